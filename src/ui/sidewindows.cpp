#include "ui/sidewindows.h"

#include "session/pedalsession.h"
#include "ui/consolewindow.h"
#include "ui/effectwindow.h"
#include "ui/firmwarewindow.h"
#include "ui/notecutwindow.h"

namespace vadrelon {

SideWindows::SideWindows(PedalSession &session, Prompt &prompt) : session_(session), prompt_(prompt), history_(session)
{}

SideWindows::~SideWindows() = default;

ConsoleWindow &SideWindows::console()
{
    if (!console_)
        console_ = std::make_unique<ConsoleWindow>(session_, prompt_);
    return *console_;
}

EffectWindow &SideWindows::effect()
{
    if (!effect_)
        effect_ = std::make_unique<EffectWindow>(session_, prompt_, history_);
    return *effect_;
}

FirmwareWindow &SideWindows::firmware()
{
    if (!firmware_)
        firmware_ = std::make_unique<FirmwareWindow>(session_, prompt_);
    return *firmware_;
}

NoteCutWindow &SideWindows::noteCut()
{
    if (!noteCut_)
        noteCut_ = std::make_unique<NoteCutWindow>(session_);
    return *noteCut_;
}

} // namespace vadrelon

#include "ui/sidewindows.h"

#include "ui/consolewindow.h"
#include "ui/effectwindow.h"
#include "ui/firmwarewindow.h"
#include "ui/notecutwindow.h"

namespace vadrelon {

SideWindows::SideWindows(PedalLink &link, ConsoleLog &log, Prompt &prompt, const ContentState &content,
                         ParameterSet &parameters, EffectState &effect)
    : link_(link), log_(log), prompt_(prompt), content_(content), parameters_(parameters), effectState_(effect)
{}

SideWindows::~SideWindows() = default;

ConsoleWindow &SideWindows::console()
{
    if (!console_)
        console_ = std::make_unique<ConsoleWindow>(link_, log_, prompt_);
    return *console_;
}

EffectWindow &SideWindows::effect()
{
    if (!effect_)
        effect_ = std::make_unique<EffectWindow>(link_, log_, prompt_, content_, parameters_, effectState_);
    return *effect_;
}

FirmwareWindow &SideWindows::firmware()
{
    if (!firmware_)
        firmware_ = std::make_unique<FirmwareWindow>(log_);
    return *firmware_;
}

NoteCutWindow &SideWindows::noteCut()
{
    if (!noteCut_)
        noteCut_ = std::make_unique<NoteCutWindow>(link_, log_);
    return *noteCut_;
}

} // namespace vadrelon

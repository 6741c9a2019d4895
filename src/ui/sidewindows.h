#pragma once
// The windows beside the main one, each built the first time something needs it: a player who
// never opens the console or the firmware window pays nothing for them when the editor starts.
#include "ui/edithistory.h"

#include <memory>

namespace vadrelon {

class ConsoleWindow;
class EffectWindow;
class FirmwareWindow;
class NoteCutWindow;
class PedalSession;
class Prompt;

class SideWindows {
public:
    SideWindows(PedalSession &session, Prompt &prompt);
    ~SideWindows();
    SideWindows(const SideWindows &) = delete;
    SideWindows &operator=(const SideWindows &) = delete;

    ConsoleWindow &console();
    EffectWindow &effect();
    FirmwareWindow &firmware();
    NoteCutWindow &noteCut(); // nothing in the editor shows it
    // The effect window's edits and the presets loaded, undoable from any window that lists
    // them.
    EditHistory &history() { return history_; }

    // Null until built: what was never built has nothing to show, close or mark.
    ConsoleWindow *builtConsole() const { return console_.get(); }
    EffectWindow *builtEffect() const { return effect_.get(); }
    FirmwareWindow *builtFirmware() const { return firmware_.get(); }

private:
    PedalSession &session_;
    Prompt &prompt_;
    EditHistory history_;
    std::unique_ptr<ConsoleWindow> console_;
    std::unique_ptr<EffectWindow> effect_;
    std::unique_ptr<FirmwareWindow> firmware_;
    std::unique_ptr<NoteCutWindow> noteCut_;
};

} // namespace vadrelon

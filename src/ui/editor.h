#pragma once
// The editor as main() builds it: the shared objects, created once, and the windows in their
// order. Tests build the same thing with the in-process pedal and a scripted prompt.
#include "base/consolelog.h"
#include "content/contentstate.h"
#include "device/link.h"
#include "device/status.h"
#include "device/transport.h"
#include "effect/parameters.h"
#include "session/pedalsession.h"
#include "support/settings.h"
#include "ui/sidewindows.h"
#include "ui/updatecontroller.h"

#include <memory>

namespace vadrelon {

class Prompt;
class SerialDriver;
class MainWindow;

class Editor {
public:
    Editor(SerialDriver &driver, Prompt &prompt, const QString &documentsFolder, const Timing &timing = {},
           const UpdateSettings &updateSettings = {});
    ~Editor();

    ConsoleLog log;
    UsbTransport transport;
    PedalLink link;
    PedalSession session;
    // The session's state, by the names the windows' tests have always used.
    DeviceState &device = session.device;
    ContentState &content = session.content;
    ParameterSet &parameters = session.parameters;
    EffectState &effect = session.effect;
    SettingsStore settings;

    SideWindows windows;
    std::unique_ptr<MainWindow> mainWindow;
    std::unique_ptr<UpdateController> updates;
};

} // namespace vadrelon

#pragma once
// The editor as main() builds it: the shared objects, created once, and the windows in their
// order. Tests build the same thing with the in-process pedal and a scripted prompt.
#include "base/consolelog.h"
#include "device/link.h"
#include "device/transport.h"
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
    PedalSession session; // what the pedal holds, and every flow of several exchanges
    SettingsStore settings;

    SideWindows windows;
    std::unique_ptr<MainWindow> mainWindow;
    std::unique_ptr<UpdateController> updates;
};

} // namespace vadrelon

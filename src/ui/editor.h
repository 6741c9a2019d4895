#pragma once
// The editor as main() builds it: the shared objects, created once, and the windows in their
// order. Tests build the same thing with the in-process pedal and a scripted prompt.
#include "base/consolelog.h"
#include "content/contentstate.h"
#include "device/link.h"
#include "device/status.h"
#include "device/transport.h"
#include "effect/parameters.h"
#include "support/settings.h"
#include "ui/updatecontroller.h"

#include <memory>

namespace vadrelon {

class Prompt;
class SerialDriver;
class MainWindow;
class ConsoleWindow;
class EffectWindow;
class FirmwareWindow;
class NoteCutWindow;

class Editor {
public:
    Editor(SerialDriver &driver, Prompt &prompt, const QString &documentsFolder, const Timing &timing = {},
           const UpdateSettings &updateSettings = {});
    ~Editor();

    ConsoleLog log;
    UsbTransport transport;
    PedalLink link;
    DeviceState device;
    ContentState content;
    ParameterSet parameters;
    EffectState effect;
    SettingsStore settings;

    std::unique_ptr<MainWindow> mainWindow;
    std::unique_ptr<ConsoleWindow> consoleWindow;
    std::unique_ptr<EffectWindow> effectWindow;
    std::unique_ptr<FirmwareWindow> firmwareWindow;
    std::unique_ptr<NoteCutWindow> noteCutWindow; // built hidden; nothing shows it
    std::unique_ptr<UpdateController> updates;
};

} // namespace vadrelon

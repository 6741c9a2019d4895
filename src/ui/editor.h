#pragma once
// The editor as main() builds it: the shared objects, created once, and the windows in their
// order. Tests build the same thing with the in-process pedal and a scripted prompt.
#include "content/contentstate.h"
#include "device/pedallink.h"
#include "device/transport.h"
#include "effect/parameters.h"
#include "support/consolelog.h"
#include "support/settings.h"

#include <memory>

namespace vadrelon {

class Prompt;
class SerialDriver;
class TformMain;
class TformPrint;
class TformFXsettings;

class Editor {
public:
    Editor(SerialDriver &driver, Prompt &prompt, const QString &documentsFolder);
    ~Editor();

    ConsoleLog log;
    UsbTransport transport;
    DeviceState device;
    ContentState content;
    ParameterSet parameters;
    EffectState effect;
    PedalExchange exchange;
    SettingsStore settings;

    std::unique_ptr<TformMain> formMain;
    std::unique_ptr<TformPrint> formPrint;
    std::unique_ptr<TformFXsettings> formFXsettings;
};

} // namespace vadrelon

#pragma once
// Save Preset and Load Preset: a preset file holds what the pedal reports, and a preset loaded
// reaches the pedal before it is said to be loaded. The main window's menu uses them, and so
// can any window that lists presets.
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace vadrelon {

class PedalSession;
class Prompt;
class SettingsStore;
class SideWindows;
struct Error;

class PresetActions : public QObject {
    Q_OBJECT
public:
    using ReadStatus = std::function<void(std::function<void()> then)>;

    // readStatus reads the pedal's status into the windows and runs then when the reply was
    // whole and current.
    PresetActions(PedalSession &session, SettingsStore &settings, Prompt &prompt, SideWindows &windows,
                  ReadStatus readStatus, QObject *parent = nullptr);

    // The pedal's values are read first, and nothing is written unless a whole, current reply
    // brought them just now.
    void save();
    // Refused until the pedal's settings have been read since it was linked.
    void load();

    // The same without their dialogs, for a window that names the file itself. Saving asks
    // nothing: the caller has settled the name and whether to replace. A load says nothing
    // either: done tells the caller how it went.
    using Done = std::function<void(const std::optional<Error> &)>;
    void saveAs(const QString &path);
    void loadFile(const QString &path, const Done &done);

signals:
    // What just happened, in a few words for the status line.
    void happened(const QString &what);
    void saved(const QString &path);

private:
    void saveFile();
    void writeFile(const QString &path);
    void showError(const Error &error);

    PedalSession &session_;
    SettingsStore &settings_;
    Prompt &prompt_;
    SideWindows &windows_;
    ReadStatus readStatus_;
};

} // namespace vadrelon

#include "ui/presetactions.h"

#include "base/consolelog.h"
#include "base/prompt.h"
#include "content/preset.h"
#include "session/pedalsession.h"
#include "support/settings.h"
#include "ui/effectwindow.h"
#include "ui/sidewindows.h"

#include <QDir>
#include <QFileInfo>

namespace vadrelon {

PresetActions::PresetActions(PedalSession &session, SettingsStore &settings, Prompt &prompt, SideWindows &windows,
                             ReadStatus readStatus, QObject *parent)
    : QObject(parent), session_(session), settings_(settings), prompt_(prompt), windows_(windows),
      readStatus_(std::move(readStatus))
{}

void PresetActions::save()
{
    readStatus_([this] { saveFile(); });
}

void PresetActions::saveFile()
{
    if (const std::optional<Error> error = settings_.ensurePresetFolder()) {
        showError(*error);
        return;
    }
    const QString chosen = prompt_.saveFileName(QStringLiteral("Save Preset File"),
                                                QStringLiteral("Preset files (*.txt)"), settings_.presetFolder());
    if (chosen.isEmpty())
        return;
    const QString path = presetFileName(chosen);
    if (QFileInfo::exists(path) &&
        !prompt_.askYesNo(QStringLiteral("%1 already exists. Replace it?").arg(QDir::toNativeSeparators(path))))
        return;
    writeFile(path);
}

void PresetActions::saveAs(const QString &path)
{
    readStatus_([this, path] { writeFile(path); });
}

void PresetActions::writeFile(const QString &path)
{
    if (const std::optional<Error> error = savePresetFile(path, session_.parameters.values())) {
        showError(*error);
        return;
    }
    session_.markStored();
    emit happened(QStringLiteral("preset saved"));
    emit saved(path);
    prompt_.message(QStringLiteral("File saved successfully: ") + QDir::toNativeSeparators(path));
}

void PresetActions::load()
{
    if (!session_.device.settingsRead) {
        showError(Error{ErrorCode::NotRead, {}});
        return;
    }
    if (const std::optional<Error> error = settings_.ensurePresetFolder()) {
        showError(*error);
        return;
    }
    const QString path = prompt_.openFileName(QStringLiteral("Open Preset File"),
                                              QStringLiteral("Preset files (*.txt)"), settings_.presetFolder());
    if (path.isEmpty())
        return;
    loadFile(path, [this, path](const std::optional<Error> &error) {
        if (error)
            showError(*error);
        else
            prompt_.message(QStringLiteral("File loaded successfully: ") + QDir::toNativeSeparators(path));
    });
}

void PresetActions::loadFile(const QString &path, const Done &done)
{
    if (!session_.device.settingsRead) {
        done(Error{ErrorCode::NotRead, {}});
        return;
    }
    const Result<Preset> loaded = loadPresetFile(path);
    if (const Error *error = std::get_if<Error>(&loaded)) {
        done(*error); // nothing changed, nothing sent
        return;
    }
    const Preset &preset = std::get<Preset>(loaded);
    session_.log().printLines(presetLoadTrace(preset));
    // Only once the pedal has every changed value is the preset said to be loaded.
    // The values edited before, even when the load ends a comparison first.
    const PresetValues before = session_.edited();
    session_.loadPreset(preset.values, this, [this, path, before, done](const Result<QList<ParameterChange>> &changes) {
        if (const Error *error = std::get_if<Error>(&changes)) {
            done(*error);
            return;
        }
        windows_.history().recordValues(QStringLiteral("Load Preset ") + QFileInfo(path).completeBaseName(), before,
                                        session_.live);
        if (EffectWindow *window = windows_.builtEffect())
            window->showLoadedValues();
        emit happened(QStringLiteral("preset loaded"));
        done(std::nullopt);
    });
}

void PresetActions::showError(const Error &error)
{
    const QString text = errorText(error);
    session_.log().print(text);
    prompt_.message(text);
}

} // namespace vadrelon

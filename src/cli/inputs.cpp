#include "cli/inputs.h"

#include "base/safefile.h"
#include "content/algorithmimage.h"
#include "content/presetlibrary.h"
#include "firmware/bootloader.h"
#include "support/settings.h"

#include <QFile>
#include <QFileInfo>

namespace vadrelon::cli {

std::optional<Error> refuseFileInTheWay(const QString &path, bool yes, bool beforeSending)
{
    if (yes || !QFileInfo::exists(path))
        return std::nullopt;
    return Error{ErrorCode::FileInTheWay,
                 beforeSending ? QStringLiteral("%1 already exists; give --yes to replace it (nothing "
                                                "was sent)")
                                     .arg(path)
                               : QStringLiteral("%1 already exists; give --yes to replace it").arg(path)};
}

namespace {

// A preset piped in: the same checks as a file's, and the same bound on its size.
Result<Preset> readStandardInput()
{
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return Error{ErrorCode::PresetNotLoaded, QStringLiteral("stdin: %1").arg(in.errorString())};
    const QByteArray bytes = in.read(kPresetFileCap + 1);
    if (bytes.size() > kPresetFileCap)
        return Error{ErrorCode::PresetNotLoaded,
                     QStringLiteral("stdin: it is larger than the %1 bytes a preset may have").arg(kPresetFileCap)};
    Result<Preset> preset = readPreset(bytes);
    if (Error *error = std::get_if<Error>(&preset)) {
        error->code = ErrorCode::PresetNotLoaded;
        error->detail = QStringLiteral("stdin: ") + error->detail;
    }
    return preset;
}

// A file that is there by that name, else the library's preset of that name (bank/name).
QString libraryPath(const QString &file)
{
    if (QFileInfo::exists(file) || QFileInfo(file).isSymLink())
        return file;
    PresetLibrary library(SettingsStore().presetFolder());
    library.refresh();
    const std::optional<int> found = library.find(file);
    return found ? library.presets()[*found].path : file;
}

} // namespace

Result<Inputs> readInputs(const CommandLine &line)
{
    Inputs inputs;
    switch (line.verb) {
    case Verb::PresetLoad: {
        Result<Preset> preset =
            isStandardStream(line.file) ? readStandardInput() : loadPresetFile(libraryPath(line.file));
        if (const Error *error = std::get_if<Error>(&preset))
            return *error;
        inputs.preset = std::get<Preset>(std::move(preset));
        inputs.trace = presetLoadTrace(inputs.preset);
        break;
    }
    case Verb::EepromRead:
        if (isStandardStream(line.output))
            break;
        if (std::optional<Error> error = refuseFileInTheWay(line.output, line.yes, true))
            return *error;
        if (std::optional<Error> error = checkWritable(line.output))
            return *error;
        break;
    case Verb::PresetSave:
        if (isStandardStream(line.file))
            break;
        if (std::optional<Error> error = refuseFileInTheWay(line.file, line.yes, true))
            return *error;
        if (std::optional<Error> error = checkWritable(line.file))
            return Error{ErrorCode::PresetNotSaved, error->detail};
        break;
    case Verb::AlgorithmUpload: {
        Result<QByteArray> image = loadAlgorithmFile(line.file);
        if (const Error *error = std::get_if<Error>(&image))
            return *error;
        inputs.algorithmImage = std::get<QByteArray>(std::move(image));
        inputs.trace << QStringLiteral("Opening - ") + QFileInfo(line.file).absoluteFilePath();
        break;
    }
    case Verb::Upgrade: {
        // An image that cannot start is refused before the pedal is touched: once its flash is
        // erased, it has no firmware until an image is written whole.
        Result<QByteArray> image = readRegularFile(line.file, kFirmwareImageCap);
        if (const Error *error = std::get_if<Error>(&image))
            return *error;
        if (std::optional<Error> error = bootloader::checkFirmwareImage(std::get<QByteArray>(image)))
            return *error;
        inputs.firmwareImage = std::get<QByteArray>(std::move(image));
        break;
    }
    default:
        break;
    }
    return inputs;
}

} // namespace vadrelon::cli

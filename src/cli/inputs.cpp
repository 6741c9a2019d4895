#include "cli/inputs.h"

#include "base/safefile.h"
#include "content/algorithmimage.h"
#include "firmware/bootloader.h"

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

Result<Inputs> readInputs(const CommandLine &line)
{
    Inputs inputs;
    switch (line.verb) {
    case Verb::PresetLoad: {
        Result<Preset> preset = loadPresetFile(line.file);
        if (const Error *error = std::get_if<Error>(&preset))
            return *error;
        inputs.preset = std::get<Preset>(std::move(preset));
        inputs.trace = presetLoadTrace(inputs.preset);
        break;
    }
    case Verb::EepromRead:
        if (std::optional<Error> error = refuseFileInTheWay(line.output, line.yes, true))
            return *error;
        break;
    case Verb::PresetSave:
        if (std::optional<Error> error = refuseFileInTheWay(line.file, line.yes, true))
            return *error;
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

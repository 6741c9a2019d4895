#pragma once
// What a command needs from the player's files, read and checked before the pedal is linked,
// so that a bad file or a file in the way costs not even a status request.
#include "base/error.h"
#include "cli/commandline.h"
#include "content/preset.h"

#include <QByteArray>
#include <QStringList>

namespace vadrelon::cli {

struct Inputs {
    Preset preset;             // preset load
    QByteArray algorithmImage; // algorithm upload
    QByteArray firmwareImage;  // upgrade: an image that can start
    QStringList trace;         // what the console says of them
};

// A file to be written that is there already is FileInTheWay unless --yes was given.
Result<Inputs> readInputs(const CommandLine &line);

// The same refusal for an output that has come since it was first looked at.
std::optional<Error> refuseFileInTheWay(const QString &path, bool yes, bool beforeSending);

} // namespace vadrelon::cli

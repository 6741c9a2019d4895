#pragma once
// The pedal's option messages and choosing an effect of the catalogue.
#include "base/error.h"
#include "content/contentstate.h"

#include <QString>
#include <optional>

namespace vadrelon {

class ConsoleLog;

// "07" and the channel: "00" for "OMNI", else the item's number as two hex digits ("0A" for
// 10). Nothing for a text that is no channel.
std::optional<QString> buildMidiChannelMessage(const QString &item);
// "1001" store the bypass state, "10FF" do not.
QString buildBypassStorageMessage(bool store);

// Loads the catalogue into the content state, its effects as the resource lines, and reads
// the newest algorithm version from its first effect. The result is what went wrong, if
// anything did.
// What Erase Settings asks before it wipes the pedal's settings memory, and how to restore
// the algorithm afterwards.
QString eraseSettingsQuestion();

std::optional<Error> loadCatalogue(ContentState &content);

// Makes the named effect the selected one and loads its image into the content state. A
// build without the maker's images still selects an effect whose address header ships; the
// result is the image's loading error when neither is there.
std::optional<Error> selectEffect(ContentState &content, const QString &effectName, ConsoleLog &log);

} // namespace vadrelon

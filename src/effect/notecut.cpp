#include "effect/notecut.h"

#include "base/hexcodec.h"

namespace vadrelon {

TracedMessage buildNoteFilterMessage(const std::array<bool, kNoteCutNotes> &checked)
{
    // The row decides which note is first, not the order in which the boxes were checked.
    std::array<QString, kNoteCutMaxNotes> notes{QStringLiteral("FF"), QStringLiteral("FF")};
    int given = 0;
    for (int code = 0; code < kNoteCutNotes && given < kNoteCutMaxNotes; ++code)
        if (checked[code])
            notes[given++] = hex2(code);

    TracedMessage m;
    m.text = QStringLiteral("09") + notes[0] + notes[1];
    m.trace << QStringLiteral("byte 1: ") + notes[0] << QStringLiteral("byte 2: ") + notes[1]
            << QStringLiteral("Set note filters: ") + m.text << QString::number(m.text.size() / 2);
    return m;
}

} // namespace vadrelon

#include "effect/notecut.h"

#include "support/printers.h"

#include <gtest/gtest.h>
#include <vector>

using namespace vadrelon;

namespace {

enum Note : int { A2, Adiesis2, B2, C3, Cdiesis3, D3, Ddiesis3, E3 };

struct NoteFilterCase {
    const char *what;
    std::vector<int> checked;
    const char *note1;
    const char *note2;
    friend void PrintTo(const NoteFilterCase &c, std::ostream *os) { *os << c.what; }
};

class NoteFilterMessage : public ::testing::TestWithParam<NoteFilterCase> {};

TEST_P(NoteFilterMessage, LowestTwoCheckedNotesInTheRowsOrder)
{
    const NoteFilterCase &c = GetParam();
    std::array<bool, kNoteCutNotes> checked{};
    for (int note : c.checked)
        checked[note] = true;
    const QString note1 = QString::fromLatin1(c.note1);
    const QString note2 = QString::fromLatin1(c.note2);
    const QString text = QStringLiteral("09") + note1 + note2;

    const TracedMessage m = buildNoteFilterMessage(checked);
    EXPECT_EQ(m.text, text);
    EXPECT_EQ(m.trace, QStringList({QStringLiteral("byte 1: ") + note1, QStringLiteral("byte 2: ") + note2,
                                    QStringLiteral("Set note filters: ") + text, QStringLiteral("3")}));
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, NoteFilterMessage,
    ::testing::Values(NoteFilterCase{"none", {}, "FF", "FF"}, NoteFilterCase{"only D3", {D3}, "05", "FF"},
                      NoteFilterCase{"only A2, whose code is 00", {A2}, "00", "FF"},
                      NoteFilterCase{"only E3", {E3}, "07", "FF"},
                      NoteFilterCase{"A#2 and E3", {Adiesis2, E3}, "01", "07"},
                      NoteFilterCase{"neighbours C#3 and D3", {Cdiesis3, D3}, "04", "05"},
                      NoteFilterCase{"D#3 and E3, the last two", {Ddiesis3, E3}, "06", "07"},
                      NoteFilterCase{"three: the third is not sent", {B2, C3, E3}, "02", "03"},
                      NoteFilterCase{"all eight", {A2, Adiesis2, B2, C3, Cdiesis3, D3, Ddiesis3, E3}, "00", "01"}),
    [](const auto &info) { return std::to_string(info.index); });

} // namespace

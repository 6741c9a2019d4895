#include "editorfixture.h"

#include "support/looks.h"
#include "ui/editor.h"
#include "ui/notecutwindow.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTest>

using namespace vadrelon;

namespace {

// The boxes in the order of their note codes.
const char *const kBoxNames[] = {"chkA2",       "chkAdiesis2", "chkB2",       "chkC3",
                                 "chkCdiesis3", "chkD3",       "chkDdiesis3", "chkE3"};
enum Note : int { A2, Adiesis2, B2, C3, Cdiesis3, D3, Ddiesis3, E3 };

} // namespace

// The window is reached through the editor, not through the fixture's find: it is hidden and
// no other window leads to it.
class NoteCutTest : public test::EditorFixture {
public:
    NoteCutWindow &nc() { return editor->windows.noteCut(); }
    template <typename T>
    T *control(const char *name)
    {
        T *found = nc().findChild<T *>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << "no control named " << name;
        return found;
    }
    QCheckBox *box(int note) { return control<QCheckBox>(kBoxNames[note]); }
    // The last lines of the log, at most n.
    QStringList lastLines(int n) const { return log().mid(std::max<qsizetype>(0, log().size() - n)); }
};

TEST_F(NoteCutTest, IsBuiltHiddenAndStaysHiddenAfterLinking)
{
    start({&pedal});
    EXPECT_EQ(nc().objectName(), "TformNoteTrackingFilter");
    EXPECT_TRUE(nc().windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(nc().windowTitle(), "Note Cut");
    EXPECT_TRUE(nc().isHidden());
    link();
    QTest::qWait(50);
    EXPECT_TRUE(nc().isHidden()) << "linking opens the effect window, never this one";
    for (int note = A2; note <= E3; ++note) {
        EXPECT_FALSE(box(note)->isChecked()) << kBoxNames[note];
        EXPECT_TRUE(box(note)->isEnabled()) << kBoxNames[note];
    }
}

// Each step changes one box, then every box is checked against the rule: a checked box is
// always enabled, an unchecked one only while fewer than two are checked.
TEST_F(NoteCutTest, TwoCheckedBoxesLockTheOthersWhateverTheOrderOfChanges)
{
    enum Act { Click, Check, Uncheck, CheckUnseen };
    struct Step {
        Act act;
        int note;
        bool locked; // afterwards: the unchecked boxes are disabled (not looked at after CheckUnseen)
    };
    struct Case {
        const char *what;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"two clicked, one clicked off",
         {{Click, A2, false}, {Click, E3, true}, {Click, A2, false}, {Click, B2, true}}},
        {"a locked box does not take a click",
         {{Click, C3, false}, {Click, D3, true}, {Click, B2, true}, {Click, D3, false}}},
        {"a box checked again from code is counted once",
         {{Check, B2, false}, {Check, B2, false}, {Check, C3, true}, {Uncheck, C3, false}}},
        {"a box unchecked that was not checked",
         {{Uncheck, A2, false}, {Check, Ddiesis3, false}, {Uncheck, A2, false}, {Check, E3, true}}},
        {"a locked box checked from code makes three",
         {{Check, A2, false},
          {Check, B2, true},
          {Check, C3, true},
          {Click, A2, true},
          {Click, B2, false},
          {Click, C3, false}}},
        {"boxes set while their signals were blocked count at the next change",
         {{CheckUnseen, A2, false},
          {CheckUnseen, Cdiesis3, false},
          {Check, E3, true},
          {Uncheck, E3, true},
          {Uncheck, A2, false}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        start({});
        int i = 0;
        for (const Step &s : c.steps) {
            SCOPED_TRACE(testing::Message() << "step " << i++ << " on " << kBoxNames[s.note]);
            QCheckBox *b = box(s.note);
            switch (s.act) {
            case Click:
                b->click();
                break;
            case Check:
                b->setChecked(true);
                break;
            case Uncheck:
                b->setChecked(false);
                break;
            case CheckUnseen: {
                const QSignalBlocker blocker(b);
                b->setChecked(true);
                break;
            }
            }
            if (s.act == CheckUnseen)
                continue; // the window cannot know of it until the next change
            for (int note = A2; note <= E3; ++note)
                EXPECT_EQ(box(note)->isEnabled(), box(note)->isChecked() || !s.locked) << kBoxNames[note];
        }
        editor.reset();
    }
}

TEST_F(NoteCutTest, SaveSendsTheNotesInTheRowsOrderNotTheOrderOfChecking)
{
    start({&pedal});
    link();
    ASSERT_TRUE(settle());
    pedal.clearReceived();
    box(E3)->click();
    box(Adiesis2)->click();
    control<QPushButton>("btnSave")->click();
    EXPECT_EQ(lastLines(4), QStringList({"byte 1: 01", "byte 2: 07", "Set note filters: 090107", "3"}));
    ASSERT_TRUE(settle());
    EXPECT_EQ(received(pedal), QStringList({"09 01 07"}));
    EXPECT_TRUE(prompt.messages.isEmpty()) << "no question is asked and no box shown";
}

TEST_F(NoteCutTest, NothingGoesOutDuringThePauseAfterTheMessage)
{
    start({&pedal});
    link();
    ASSERT_TRUE(settle());
    pedal.clearReceived();
    box(D3)->click();
    control<QPushButton>("btnSave")->click();
    ASSERT_TRUE(editor->session.link().busy()) << "the pedal is given its pause";
    control<QPushButton>("btnSave")->click();
    EXPECT_TRUE(logHas("Note filters not sent: The pedal is busy with another exchange. Try again when it has "
                       "finished."));
    ASSERT_TRUE(settle());
    EXPECT_EQ(received(pedal), QStringList({"09 05 FF"}));
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(NoteCutTest, SaveWithoutAPedalTracesAndSaysItWasNotSent)
{
    start({&pedal});
    control<QPushButton>("btnSave")->click();
    EXPECT_EQ(lastLines(5), QStringList({"byte 1: FF", "byte 2: FF", "Set note filters: 09FFFF", "3",
                                         "Note filters not sent: No pedal is linked. Choose Connection → Link "
                                         "first."}));
    EXPECT_TRUE(received(pedal).isEmpty());
    EXPECT_TRUE(prompt.messages.isEmpty()) << "the console says it; no box";
}

TEST_F(NoteCutTest, GetSendsNothing)
{
    start({&pedal});
    link();
    ASSERT_TRUE(settle());
    pedal.clearReceived();
    const qsizetype lines = log().size();
    control<QPushButton>("btnGet")->click();
    QTest::qWait(50);
    EXPECT_TRUE(received(pedal).isEmpty());
    EXPECT_EQ(log().size(), lines);
}

// At its fixed size, under every look, each control gets the room its caption needs and none
// lies over another or beyond the window's edge.
TEST_F(NoteCutTest, EveryCaptionHasRoomUnderEveryLook)
{
    const std::pair<const char *, const char *> captions[] = {
        {"chkA2", "A2"}, {"chkAdiesis2", "A#2"}, {"chkB2", "B2"}, {"chkC3", "C3"},     {"chkCdiesis3", "C#3"},
        {"chkD3", "D3"}, {"chkDdiesis3", "D#3"}, {"chkE3", "E3"}, {"btnSave", "Save"}, {"btnGet", "Get"}};
    start({});
    nc().show();
    for (int look = 0; look < lookCount; ++look) {
        SCOPED_TRACE(testing::Message() << "look " << look);
        const std::optional<QString> sheet = lookStyleSheet(lookName(look));
        ASSERT_TRUE(sheet);
        qApp->setStyleSheet(*sheet);
        QTest::qWait(20);
        EXPECT_EQ(nc().size(), QSize(222, 115));
        EXPECT_EQ(nc().minimumSize(), nc().maximumSize()) << "the window is not to be resized";
        std::vector<QRect> taken;
        for (const auto &[name, caption] : captions) {
            auto *b = control<QAbstractButton>(name);
            ASSERT_TRUE(b);
            EXPECT_EQ(b->text(), caption) << name;
            const QRect g = b->geometry();
            EXPECT_TRUE(nc().rect().contains(g)) << name;
            EXPECT_GE(g.width(), b->sizeHint().width()) << name;
            EXPECT_GE(g.height(), b->sizeHint().height()) << name;
            for (const QRect &other : taken)
                EXPECT_FALSE(g.intersects(other)) << name;
            taken.push_back(g);
        }
    }
    nc().hide();
}

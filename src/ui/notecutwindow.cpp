#include "ui/notecutwindow.h"

#include "base/consolelog.h"
#include "session/pedalsession.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

namespace vadrelon {

namespace {

// In the order of the note codes.
struct NoteBox {
    const char *name;
    const char *text;
};
constexpr std::array<NoteBox, kNoteCutNotes> kNoteBoxes{{{"chkA2", "A2"},
                                                         {"chkAdiesis2", "A#2"},
                                                         {"chkB2", "B2"},
                                                         {"chkC3", "C3"},
                                                         {"chkCdiesis3", "C#3"},
                                                         {"chkD3", "D3"},
                                                         {"chkDdiesis3", "D#3"},
                                                         {"chkE3", "E3"}}};
constexpr int kBoxesPerRow = 4;
// The pedal needs this long to take the filter in before it hears anything else.
constexpr int kNoteFilterPauseMs = 100;

} // namespace

NoteCutWindow::NoteCutWindow(PedalSession &session, QWidget *parent)
    : QWidget(parent, Qt::Tool), session_(session), log_(session.log())
{
    setObjectName(QStringLiteral("TformNoteTrackingFilter"));
    setWindowTitle(QStringLiteral("Note Cut"));

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(10, 10, 10, 10);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(8);
    for (int code = 0; code < kNoteCutNotes; ++code) {
        auto *box = new QCheckBox(QString::fromLatin1(kNoteBoxes[code].text), this);
        box->setObjectName(QString::fromLatin1(kNoteBoxes[code].name));
        grid->addWidget(box, code / kBoxesPerRow, code % kBoxesPerRow);
        // toggled, not clicked: a box set from code must count as much as one the user clicks.
        connect(box, &QCheckBox::toggled, this, &NoteCutWindow::updateNoteBoxes);
        boxes_[code] = box;
    }
    for (int column = 0; column < kBoxesPerRow; ++column)
        grid->setColumnStretch(column, 1);
    page->addLayout(grid);
    page->addStretch();

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    auto *save = new QPushButton(QStringLiteral("Save"), this);
    save->setObjectName(QStringLiteral("btnSave"));
    // no message reads the filter back: Get has nothing to do
    auto *get = new QPushButton(QStringLiteral("Get"), this);
    get->setObjectName(QStringLiteral("btnGet"));
    for (QPushButton *b : {save, get}) {
        b->setMinimumSize(75, 25);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    page->addLayout(buttons);

    setFixedSize(222, 115);
    connect(save, &QPushButton::clicked, this, &NoteCutWindow::onSaveClicked);
}

// The boxes are counted afresh on every change rather than kept in a running count: a count
// that misses a change or counts one twice (a box set while its signals were blocked, or set
// to what it already was) would leave the boxes locked or free for the rest of the run.
void NoteCutWindow::updateNoteBoxes()
{
    const auto checked = std::count_if(boxes_.begin(), boxes_.end(), [](QCheckBox *b) { return b->isChecked(); });
    // Code can check a locked box, making three; only two are sent, so the others stay locked
    // until fewer than two remain. A checked box stays usable, so the user can always free
    // the others.
    for (QCheckBox *box : boxes_)
        box->setEnabled(box->isChecked() || checked < kNoteCutMaxNotes);
}

void NoteCutWindow::onSaveClicked()
{
    std::array<bool, kNoteCutNotes> checked{};
    for (int code = 0; code < kNoteCutNotes; ++code)
        checked[code] = boxes_[code]->isChecked();
    const TracedMessage m = buildNoteFilterMessage(checked);
    log_.printLines(m.trace);

    session_.sendMessage(m.text, kNoteFilterPauseMs, /*purgeFirst=*/true, this,
                         [this](const std::optional<Error> &error) {
                             if (error)
                                 log_.print(QStringLiteral("Note filters not sent: ") + errorText(*error));
                         });
}

} // namespace vadrelon

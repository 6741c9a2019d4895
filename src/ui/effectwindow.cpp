#include "ui/effectwindow.h"

#include "base/consolelog.h"
#include "base/hexcodec.h"
#include "base/prompt.h"
#include "content/addressheader.h"
#include "content/contentstate.h"
#include "content/resources.h"
#include "effect/pedalstatus.h"
#include "effect/statusblocks.h"
#include "effect/valuetext.h"
#include "session/pedalsession.h"
#include "ui/dialwidget.h"
#include "ui/edithistory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace vadrelon {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kComparingNote = QStringLiteral(
    "Comparing with stored: the pedal plays the stored values. Compare again (Ctrl+K) to hear your edits.");
const QString kNotLinkedNote = QStringLiteral(
    "Not linked: these are the last values known. Choose Connection → Link to change them on the pedal.");

QString hint(std::initializer_list<const char *> lines)
{
    QStringList out;
    for (const char *l : lines)
        out << QString::fromUtf8(l);
    return out.join(kCrLf);
}

// A switch: a checkable button that reads ON or OFF.
QPushButton *makeSwitch(const char *name, QWidget *parent)
{
    auto *s = new QPushButton(QStringLiteral("OFF"), parent);
    s->setObjectName(QString::fromLatin1(name));
    s->setCheckable(true);
    s->setProperty("switch", true);
    s->setFixedSize(46, 22);
    QObject::connect(s, &QPushButton::toggled, s,
                     [s](bool on) { s->setText(on ? QStringLiteral("ON") : QStringLiteral("OFF")); });
    return s;
}

} // namespace

EffectWindow::EffectWindow(PedalSession &session, Prompt &prompt, EditHistory &history)
    : QWidget(nullptr, Qt::Window), session_(session), log_(session.log()), prompt_(prompt), history_(history),
      content_(session.content), parameters_(session.parameters), effect_(session.effect)
{
    // The title's mark: the edited values differ from the last read, stored or loaded.
    connect(&session_, &PedalSession::valuesChanged, this,
            [this] { setWindowModified(session_.edited() != session_.stored); });
    connect(&session_, &PedalSession::comparingChanged, this, [this] {
        showLoadedValues();
        setLinked(linked_);
        updateTitle();
    });
    connect(&history_, &EditHistory::applied, this, &EffectWindow::showHistoryStep);
    addActions({history_.undoAction(), history_.redoAction(), history_.compareAction()});
    setContextMenuPolicy(Qt::ActionsContextMenu);
    setObjectName(QStringLiteral("TformFXsettings"));
    // Until an effect is chosen; never the form's placeholder name.
    setWindowTitle(QStringLiteral("Effect Settings[*]"));
    buildControls();
    {
        // Every list on its first entry, the semitones on "0": where they start, not a step.
        const QScopedValueRollback<bool> guard(applying_, true);
        tuning_->setCurrentIndex(0);
        semitones_->setCurrentIndex(5);
    }
    for (const QComboBox *list : {tuning_, semitones_})
        shownChoices_[list] = list->currentIndex();
    for (const QComboBox *list : assignments_)
        shownChoices_[list] = list->currentIndex();
    setLinked(false);
}

void EffectWindow::setVisible(bool visible)
{
    if (visible && !sized_) {
        sized_ = true;
        // As compact as the controls allow, never narrower than the design's 358 pixels.
        setFixedSize(sizeHint().expandedTo(QSize(358, 0)));
    }
    QWidget::setVisible(visible);
}

void EffectWindow::buildControls()
{
    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(8, 6, 8, 6);
    page->setSpacing(4);

    // Dials, four to a row, each with its level under the knob and its caption below that.
    auto *dialGrid = new QGridLayout;
    dialGrid->setHorizontalSpacing(4);
    dialGrid->setVerticalSpacing(0);
    const auto dial = [&](const char *name, const char *caption, int initial, int row, int column) {
        auto *d = new DialWidget(this);
        d->setObjectName(QString::fromLatin1(name));
        d->setAccessibleName(QString::fromLatin1(caption));
        d->setAngle(initial);
        d->setFixedSize(d->sizeHint());
        auto *label = new QLabel(QString::fromLatin1(caption), this);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setBuddy(d);
        dialGrid->addWidget(d, 2 * row, column, Qt::AlignHCenter);
        dialGrid->addWidget(label, 2 * row + 1, column, Qt::AlignHCenter);
        return d;
    };
    DialWidget *dialDry = dial("dialDry", "Dry", -135, 0, 0);
    DialWidget *dialSubMix = dial("dialSubMix", "Sub Mix", -135, 0, 1);
    DialWidget *dialMinus1Oct = dial("dialMinus1Oct", "-1 OCT", -135, 0, 2);
    DialWidget *dialMinus2Oct = dial("dialMinus2Oct", "-2 OCT", -135, 0, 3);
    DialWidget *dialLowPass = dial("dialLowPass", "Low Pass", -138, 1, 0);
    DialWidget *dialHighPass = dial("dialHighPass", "High Pass", -128, 1, 1);
    DialWidget *dialRange = dial("dialRange", "Range", -126, 1, 2);
    DialWidget *dialDryHPF = dial("dialDryHPF", "Dry HPF", -126, 1, 3);
    DialWidget *dialInputLevel = dial("dialInputLevel", "Input Level", -135, 2, 0);
    DialWidget *dialClipWave = dial("dialClipWave", "Wave Clip", -135, 2, 1);
    DialWidget *dial1stHarmonic = dial("dial1stHarmonic", "1st Harmonic", -135, 2, 2);
    dialInputLevel->setToolTip(
        hint({"Set level of input signal to the octave down effect. It does not affect dry.",
              "Adjust if you hear too much distortion on the sub. By default it is set to mid position."}));

    // The pitch list sits in the last cell of the third row, framed.
    auto *pitchFrame = new QFrame(this);
    pitchFrame->setObjectName(QStringLiteral("Rectangle1"));
    pitchFrame->setFrameShape(QFrame::Box);
    auto *pitchBox = new QVBoxLayout(pitchFrame);
    pitchBox->setContentsMargins(4, 4, 4, 4);
    auto *pitchLabel = new QLabel(QStringLiteral("1st Harmonic Pitch"), pitchFrame);
    pitchLabel->setWordWrap(true);
    pitchLabel->setAlignment(Qt::AlignCenter);
    pitch_ = new QComboBox(pitchFrame);
    pitch_->setObjectName(QStringLiteral("cmbVariableWavePitch"));
    for (int semitone = -12; semitone <= 12; ++semitone)
        pitch_->addItem(semitone > 0 ? QStringLiteral("+%1").arg(semitone) : QString::number(semitone));
    pitch_->setMaxVisibleItems(12);
    pitch_->setAccessibleName(pitchLabel->text());
    pitch_->setCurrentIndex(-1);
    pitchBox->addWidget(pitchLabel);
    pitchBox->addWidget(pitch_);
    dialGrid->addWidget(pitchFrame, 4, 3, 2, 1, Qt::AlignCenter);
    for (int column = 0; column < 4; ++column)
        dialGrid->setColumnStretch(column, 1);
    pitchFrame->setMaximumWidth(84);
    page->addLayout(dialGrid);

    // The three switches on one line.
    auto *switches = new QHBoxLayout;
    const auto switchCell = [&](const char *name, const char *caption) {
        auto *label = new QLabel(QString::fromLatin1(caption), this);
        QPushButton *s = makeSwitch(name, this);
        s->setAccessibleName(label->text());
        switches->addWidget(label);
        switches->addWidget(s);
        switches->addStretch();
        return s;
    };
    wave_ = switchCell("swtWave", "Wave");
    split_ = switchCell("swtSplit", "Split");
    bypass_ = switchCell("swtBypass", "Bypass");
    auto *compare = new QToolButton(this);
    compare->setObjectName(QStringLiteral("btnCompare"));
    compare->setDefaultAction(history_.compareAction());
    switches->addWidget(compare);
    page->addLayout(switches);

    // Tracking functions.
    auto *tracking = new QGroupBox(QStringLiteral("Tracking Functions"), this);
    tracking->setObjectName(QStringLiteral("Rectangle2"));
    auto *trackingGrid = new QGridLayout(tracking);
    trackingGrid->setContentsMargins(6, 4, 6, 4);
    trackingGrid->setVerticalSpacing(3);
    tuning_ = new QComboBox(tracking);
    tuning_->setObjectName(QStringLiteral("cmbGuitarTuning"));
    tuning_->addItems({"No Tuning Selected", "Standard (EADGBE)", "Drop D (DADGBE)", "DADGAD", "open D (DADF#AD)",
                       "Blues G (DGDGBD)", "Open A (EAC#EAE)", "Open C (CGCGCE)", "Bass Guitar"});
    tuning_->setToolTip(
        hint({"Select the tuning of your instrument and the pitch variation", "in the box below. Example:",
              "- if you play in standard tuning 1 half-step down select standard tuning and -1 Pitch.",
              "- if you play in standard tuning and use capo on 3rd fret select standard tuning and +3 Pitch."}));
    semitones_ = new QComboBox(tracking);
    semitones_->setObjectName(QStringLiteral("cmbSemitonesVariation"));
    semitones_->addItems({"-5", "-4", "-3", "-2", "-1", "0", "+1", "+2", "+3"});
    semitones_->setToolTip(QStringLiteral("Select the pitch variation in semitones from -5 to +3"));
    tuning_->setAccessibleName(QStringLiteral("Tuning"));
    semitones_->setAccessibleName(QStringLiteral("Semitones"));
    dominantCut_ = new QCheckBox(QStringLiteral("Dominant Notes Cut"), tracking);
    dominantCut_->setObjectName(QStringLiteral("chkDominantNoteCut"));
    dominantCut_->setToolTip(
        hint({"Improves tracking on lowest chord (E-open chord in standard tuning) when RANGE is set high.",
              "Make sure to choose the right tuning for your instrument before applying this parameter.",
              "Like any other parameter, this parameter can either be stored permanently on pedal or assigned to a "
              "CTRL button."}));
    highCut_ = new QCheckBox(QStringLiteral("High Notes Cut"), tracking);
    highCut_->setObjectName(QStringLiteral("chkHighNoteCut"));
    highCut_->setToolTip(
        hint({"Removes tracking and noise on higher strings (e.g. open G string and first frets in standard tuning)",
              "Make sure to choose the right tuning for your instrument before applying this parameter.",
              "Like any other parameter, this parameter can either be stored permanently on pedal or assigned to a "
              "CTRL button."}));
    trackingGrid->addWidget(tuning_, 0, 0, 1, 2);
    trackingGrid->addWidget(new QLabel(QStringLiteral("Semitones"), tracking), 0, 2, Qt::AlignRight);
    trackingGrid->addWidget(semitones_, 0, 3);
    trackingGrid->addWidget(dominantCut_, 1, 0);
    trackingGrid->addWidget(highCut_, 1, 1, 1, 3);
    trackingGrid->setColumnStretch(1, 1);
    page->addWidget(tracking);

    // Assignments, two to a row.
    auto *assign = new QGroupBox(QStringLiteral("Assign Controls"), this);
    auto *assignGrid = new QGridLayout(assign);
    assignGrid->setContentsMargins(6, 4, 6, 4);
    assignGrid->setVerticalSpacing(3);
    const auto controlList = [&](const char *name, const char *caption, int control) {
        auto *list = new QComboBox(assign);
        list->setObjectName(QString::fromLatin1(name));
        list->addItems(controlListEntries(control));
        list->setCurrentIndex(0);
        list->setAccessibleName(QString::fromLatin1(caption));
        auto *label = new QLabel(QString::fromLatin1(caption), assign);
        label->setBuddy(list);
        assignGrid->addWidget(label, control, 0);
        assignGrid->addWidget(list, control, 1);
        return list;
    };
    assignments_ = {controlList("cmbAssignCtrlUNO", "Control I", CtrlI),
                    controlList("cmbAssignCtrlDUE", "Control II", CtrlII),
                    controlList("cmbAssignCtrlTRE", "Control III", CtrlIII),
                    controlList("cmbAssignCtrlQUATTRO", "Control IV", CtrlIV),
                    controlList("cmbAssignRemote", "Remote Footswitch", CtrlRemote)};
    assignGrid->setColumnStretch(1, 1);
    page->addWidget(assign);

    // Footswitch behaviour: two radio groups side by side.
    auto *footswitch = new QHBoxLayout;
    const auto radioGroup = [&](const char *caption, const char *bypassName, const char *presetName, bool presetChecked,
                                QRadioButton *&bypass, QRadioButton *&preset) {
        auto *group = new QGroupBox(QString::fromLatin1(caption), this);
        auto *box = new QVBoxLayout(group);
        box->setContentsMargins(6, 2, 6, 2);
        box->setSpacing(0);
        bypass = new QRadioButton(QStringLiteral("Bypass"), group);
        bypass->setObjectName(QString::fromLatin1(bypassName));
        preset = new QRadioButton(QStringLiteral("Change Preset"), group);
        preset->setObjectName(QString::fromLatin1(presetName));
        (presetChecked ? preset : bypass)->setChecked(true);
        box->addWidget(bypass);
        box->addWidget(preset);
        footswitch->addWidget(group);
    };
    radioGroup("Footswitch Short Press:", "chkBypassShortPress", "chkChangePresetShortPress", false, bypassShort_,
               presetShort_);
    radioGroup("Footswitch Long Press:", "chkBypassLongPress", "chkChangePresetLongPress", true, bypassLong_,
               presetLong_);
    page->addLayout(footswitch);

    addressNote_ = new QLabel(this);
    addressNote_->setObjectName(QStringLiteral("lblAddresses"));
    addressNote_->setWordWrap(true);
    // The window is measured once; a note shown later must find its room there.
    QSizePolicy keep = addressNote_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    addressNote_->setSizePolicy(keep);
    addressNote_->setText(kNotLinkedNote);
    addressNote_->hide();
    page->addWidget(addressNote_);

    // What each control does to the sound, in a sentence; the hints above are the pedal's own.
    const std::pair<const char *, const char *> sounds[] = {
        {"dialDry", "Sets the level of your own, unprocessed signal."},
        {"dialSubMix", "Sets the level of all the octave-down voices together against the dry signal."},
        {"dialMinus1Oct", "Sets the level of the voice one octave below the note you play."},
        {"dialMinus2Oct", "Sets the level of the voice two octaves below the note you play."},
        {"dialLowPass", "Darkens the octave voices: a lower step cuts more of their highs."},
        {"dialHighPass", "Thins the octave voices: a higher step cuts more of their lows."},
        {"dialRange", "Sets the range of notes that the octave tracking follows."},
        {"dialDryHPF", "Cuts the lows of the dry signal, leaving room for the octave voices."},
        {"dialClipWave", "Sets how hard the wave voice is clipped: more gives a rougher sub."},
        {"dial1stHarmonic", "Sets the level of the first harmonic voice, pitched by the list beside it."},
        {"cmbVariableWavePitch", "Sets the pitch of the first harmonic voice, in semitones from the note you play."},
        {"swtWave", "Adds the wave voice, whose edge Wave Clip sets."},
        {"swtSplit", "Switches the pedal's Split mode for the octave voices on or off."},
        {"swtBypass", "Bypasses the effect: you hear your dry signal only."},
        {"cmbAssignCtrlUNO", "Chooses the parameter that the pedal's CTRL I button switches."},
        {"cmbAssignCtrlDUE", "Chooses the parameter that the pedal's CTRL II button switches."},
        {"cmbAssignCtrlTRE", "Chooses the parameter that the pedal's CTRL III button switches."},
        {"cmbAssignCtrlQUATTRO", "Chooses the parameter that the pedal's CTRL IV button switches."},
        {"cmbAssignRemote", "Chooses the parameter that a remote footswitch switches."},
        {"chkBypassShortPress", "A short press of the footswitch bypasses the effect."},
        {"chkChangePresetShortPress", "A short press of the footswitch changes the preset."},
        {"chkBypassLongPress", "A long press of the footswitch bypasses the effect."},
        {"chkChangePresetLongPress", "A long press of the footswitch changes the preset."},
    };
    for (const auto &[name, sound] : sounds)
        findChild<QWidget *>(QString::fromLatin1(name))->setToolTip(QString::fromUtf8(sound));

    // Handlers.
    dials_ = {{dialDry, ParDry},
              {dialSubMix, ParSubMix},
              {dialMinus1Oct, ParMinus1Oct},
              {dialMinus2Oct, ParMinus2Oct},
              {dialLowPass, ParLowPass},
              {dialHighPass, ParHighPass},
              {dial1stHarmonic, Par1stHarmonic},
              {dialRange, ParRange},
              {dialInputLevel, ParInputLevel},
              {dialClipWave, ParWaveClip},
              {dialDryHPF, ParDryHPF}};
    for (const DialRow &row : dials_) {
        connect(row.dial, &DialWidget::angleChanged, this, [this, row] { onDialChanged(row); });
        connect(row.dial, &DialWidget::editRequested, this, [this, row] { editValue(row); });
        row.dial->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(row.dial, &QWidget::customContextMenuRequested, this,
                [this, row](const QPoint &at) { showKnobMenu(row, at); });
        settleDial(row.dial, row.dial->angle());
    }
    connect(pitch_, qOverload<int>(&QComboBox::currentIndexChanged), this, &EffectWindow::onPitchChanged);
    connect(wave_, &QPushButton::toggled, this, [this](bool on) { onSwitchToggled(wave_, ParWave, waveValue(on)); });
    connect(split_, &QPushButton::toggled, this, [this](bool on) { onSwitchToggled(split_, ParSplit, flagValue(on)); });
    connect(bypass_, &QPushButton::toggled, this, &EffectWindow::onBypassToggled);
    connect(dominantCut_, &QCheckBox::toggled, this, [this] { onNoteCutToggled(dominantCut_, ParDominantNotesCut); });
    connect(highCut_, &QCheckBox::toggled, this, [this] { onNoteCutToggled(highCut_, ParHighNotesCut); });
    dominantCut_->installEventFilter(this);
    connect(tuning_, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int index) {
        effect_.currentTuning = static_cast<quint8>(std::max(index, 0));
        noteChoice(tuning_, QStringLiteral("Tuning"));
    });
    connect(semitones_, &QComboBox::currentTextChanged, this, [this](const QString &text) {
        effect_.semitoneVariation = static_cast<qint8>(text.toInt());
        noteChoice(semitones_, QStringLiteral("Semitones"));
    });
    for (int c = 0; c < kControlCount; ++c)
        connect(assignments_[c], qOverload<int>(&QComboBox::currentIndexChanged), this, [this, c] {
            onAssignmentChanged(c);
            noteChoice(assignments_[c], assignments_[c]->accessibleName());
        });
}

std::array<QComboBox *, kControlCount> EffectWindow::controlLists() const
{
    return assignments_;
}

QVector<QWidget *> EffectWindow::parameterControls() const
{
    QVector<QWidget *> out;
    for (const DialRow &row : dials_)
        out << row.dial;
    out << pitch_ << wave_ << split_ << dominantCut_ << highCut_;
    return out;
}

void EffectWindow::showLevel(DialWidget *dial)
{
    for (const DialRow &row : dials_)
        if (row.dial == dial)
            dial->setValueText(knobText(row.parameter, dialAngleToValue(dial->angle()).level));
}

// ---- Typed values ----

// A small field over the knob's value. Enter sends what was typed, as the exact level; text
// that is no value of the knob stays in the field, replaced by what the knob takes, and
// nothing is sent. Escape, or leaving the field, sends nothing.
void EffectWindow::editValue(const DialRow &row)
{
    if (!row.dial->isEnabled() || valueField_)
        return;
    valueField_ = new QLineEdit(row.dial->valueText(), this);
    valueField_->setObjectName(QStringLiteral("edtDialValue"));
    valueField_->setAccessibleName(row.dial->accessibleName());
    valueField_->setAlignment(Qt::AlignCenter);
    editedDial_ = row.dial;
    fitValueField();
    valueField_->installEventFilter(this);
    connect(valueField_, &QLineEdit::returnPressed, this, [this, row] { commitValue(row); });
    valueField_->show();
    valueField_->selectAll();
    valueField_->setFocus();
}

// Over the knob's value, as wide as its text (a refusal is longer than a value), inside the
// window.
void EffectWindow::fitValueField()
{
    const QRect dial = editedDial_->geometry();
    const int height = valueField_->sizeHint().height();
    const int width = qMin(
        this->width(), qMax(dial.width() + 16, valueField_->fontMetrics().horizontalAdvance(valueField_->text()) + 16));
    const int left = qBound(0, dial.center().x() - width / 2, this->width() - width);
    valueField_->setGeometry(left, dial.bottom() - height + 1, width, height);
}

void EffectWindow::commitValue(const DialRow &row)
{
    const Result<quint32> typed = parseValueText(row.parameter, valueField_->text());
    if (const Error *error = std::get_if<Error>(&typed)) {
        valueField_->setText(error->detail);
        fitValueField();
        valueField_->selectAll();
        return;
    }
    const quint32 value = std::get<quint32>(typed);
    const quint32 before = session_.live[static_cast<size_t>(row.parameter)];
    // Paced as the knob's own messages are, so that none of them still waiting can follow it.
    if (!session_.setLive(row.parameter, value, PedalSession::Pace::Knob)) {
        valueField_->setText(QStringLiteral("not sent: the pedal is busy"));
        fitValueField();
        valueField_->selectAll();
        return;
    }
    settleDial(row.dial, valueToDialAngle(value, kLevelScale));
    row.dial->setValueText(knobText(row.parameter, static_cast<int>(value >> 13)));
    history_.recordValue(row.parameter, row.dial->accessibleName(), before,
                         session_.live[static_cast<size_t>(row.parameter)]);
    closeValueField();
}

void EffectWindow::closeValueField()
{
    if (!valueField_)
        return;
    QLineEdit *field = valueField_;
    valueField_ = nullptr;
    field->removeEventFilter(this);
    field->hide();
    field->deleteLater();
    if (editedDial_)
        editedDial_->setFocus();
}

// ---- Opening and enabling ----

void EffectWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The first knob has the keyboard, so that a player can turn it straight away.
    dials_.front().dial->setFocus();
}

void EffectWindow::showAddressNote(const QString &why)
{
    if (!why.isEmpty())
        addressReason_ = why;
    setLinked(linked_);
}

// Whenever the controls are grey, the window says why where they are.
void EffectWindow::showWhyDisabled()
{
    if (!parameters_.addressesKnown())
        addressNote_->setText(addressReason_);
    else if (!linked_)
        addressNote_->setText(kNotLinkedNote);
    else if (session_.comparing())
        addressNote_->setText(kComparingNote);
    addressNote_->setVisible(!parameters_.addressesKnown() || !linked_ || session_.comparing());
}

void EffectWindow::setLinked(bool linked)
{
    linked_ = linked;
    // While comparing, nothing may change what is being compared.
    const bool unlocked = linked && !session_.comparing();
    for (QWidget *w : findChildren<QWidget *>())
        w->setEnabled(unlocked);
    const bool editable = unlocked && parameters_.addressesKnown();
    for (QWidget *w : parameterControls())
        w->setEnabled(editable);
    addressNote_->setEnabled(true);
    findChild<QToolButton *>(QStringLiteral("btnCompare"))->setEnabled(history_.compareAction()->isEnabled());
    showWhyDisabled();
}

// ---- Live messages ----

void EffectWindow::settleDial(DialWidget *dial, int angle)
{
    {
        const QSignalBlocker quiet(dial);
        dial->setAngle(angle);
    }
    settledAngles_[dial] = angle;
    showLevel(dial);
}

void EffectWindow::onDialChanged(const DialRow &row)
{
    if (applying_) {
        showLevel(row.dial);
        return;
    }
    const DialValue v = dialAngleToValue(row.dial->angle());
    const quint32 before = session_.live[static_cast<size_t>(row.parameter)];
    if (!session_.setLive(row.parameter, v.value, PedalSession::Pace::Knob)) {
        settleDial(row.dial, settledAngles_.value(row.dial, DialWidget::kMinAngle));
        return;
    }
    settleDial(row.dial, v.angle);
    history_.recordValue(row.parameter, row.dial->accessibleName(), before,
                         session_.live[static_cast<size_t>(row.parameter)], true, row.dial->drag());
}

void EffectWindow::onSwitchToggled(QPushButton *control, int parameter, quint32 value)
{
    if (applying_)
        return;
    const quint32 before = session_.live[static_cast<size_t>(parameter)];
    if (session_.setLive(parameter, value)) {
        history_.recordValue(parameter, control->accessibleName(), before,
                             session_.live[static_cast<size_t>(parameter)]);
        return;
    }
    const QSignalBlocker quiet(control);
    control->setChecked(!control->isChecked());
    control->setText(control->isChecked() ? QStringLiteral("ON") : QStringLiteral("OFF"));
}

void EffectWindow::onBypassToggled(bool on)
{
    if (applying_)
        return;
    const bool before = effect_.bypass;
    if (session_.setBypass(on)) {
        history_.recordBypass(before, on);
        return;
    }
    const QSignalBlocker quiet(bypass_);
    bypass_->setChecked(effect_.bypass);
    bypass_->setText(effect_.bypass ? QStringLiteral("ON") : QStringLiteral("OFF"));
}

void EffectWindow::onPitchChanged(int index)
{
    if (applying_ || index < 0)
        return;
    const quint32 before = parameters_.HarmonicPitch.value;
    if (session_.setLive(ParHarmonicPitch, HarmonicPitchTable[static_cast<size_t>(index)])) {
        history_.recordValue(ParHarmonicPitch, pitch_->accessibleName(), before, parameters_.HarmonicPitch.value);
        return;
    }
    const QSignalBlocker quiet(pitch_);
    pitch_->setCurrentIndex(harmonicPitchIndex(before).value_or(-1));
}

void EffectWindow::onNoteCutToggled(QCheckBox *box, int parameter)
{
    if (applying_)
        return;
    if (session_.refuseLive()) {
        const QSignalBlocker quiet(box);
        box->setChecked(parameters_.row(parameter).value == 1);
        return;
    }
    if (tuning_->currentIndex() == 0 && box->isChecked()) {
        prompt_.message(QStringLiteral("Set a tuning before using this parameter"));
        const QSignalBlocker quiet(box);
        box->setChecked(false);
    }
    const quint32 before = session_.live[static_cast<size_t>(parameter)];
    if (session_.setLive(parameter, flagValue(box->isChecked())))
        history_.recordValue(parameter, box->text(), before, session_.live[static_cast<size_t>(parameter)]);
}

bool EffectWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == valueField_) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            closeValueField();
            return true;
        }
        if (event->type() == QEvent::FocusOut)
            QTimer::singleShot(0, this, &EffectWindow::closeValueField);
    }
    if (watched == dominantCut_ && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent *>(event)->button() == Qt::RightButton)
        log_.print(QStringLiteral("Right mouse button clicked!"));
    return QWidget::eventFilter(watched, event);
}

// ---- Assignments and footswitch ----

void EffectWindow::onAssignmentChanged(int control)
{
    QComboBox *list = assignments_[static_cast<size_t>(control)];
    effect_.controlAssigned[static_cast<size_t>(control)] = list->currentIndex() > 0;
    if ((control != CtrlIII && control != CtrlIV) || applying_)
        return;
    const QString choice = list->currentText();
    if ((choice == QLatin1String("Dominant Notes Cut") || choice == QLatin1String("High Notes Cut")) &&
        effect_.currentTuning == 0) {
        prompt_.message(QStringLiteral("No tuning selected, Select a tuning before assigning this parameter"));
        list->setCurrentIndex(0);
    }
}

TracedMessage EffectWindow::assignMessage() const
{
    std::array<ListSelection, kControlCount> selections;
    for (int c = 0; c < kControlCount; ++c)
        selections[static_cast<size_t>(c)] = {assignments_[static_cast<size_t>(c)]->currentIndex(),
                                              assignments_[static_cast<size_t>(c)]->currentText()};
    return buildAssignMessage(selections, effect_, parameters_);
}

std::optional<TracedMessage> EffectWindow::footswitchMessage() const
{
    return buildFootswitchMessage(
        {bypassShort_->isChecked(), presetShort_->isChecked(), bypassLong_->isChecked(), presetLong_->isChecked()});
}

// ---- The pedal's status on the controls ----

void EffectWindow::render(const StatusView &view)
{
    const QScopedValueRollback<bool> guard(applying_, true);
    if (view.footswitch) {
        bypassShort_->setChecked(view.footswitch->bypassShort);
        presetShort_->setChecked(view.footswitch->changePresetShort);
        bypassLong_->setChecked(view.footswitch->bypassLong);
        presetLong_->setChecked(view.footswitch->changePresetLong);
    }
    for (int c = 0; c < kControlCount; ++c)
        if (const std::optional<int> entry = view.assignmentEntries[static_cast<size_t>(c)])
            assignments_[static_cast<size_t>(c)]->setCurrentIndex(*entry);
    if (view.tuningEntry)
        tuning_->setCurrentIndex(*view.tuningEntry);
    if (view.semitoneEntry)
        semitones_->setCurrentIndex(*view.semitoneEntry);
    if (view.bypass)
        bypass_->setChecked(*view.bypass);
    if (view.parametersRead)
        applyParameterValues();
}

void EffectWindow::showLoadedValues()
{
    const QScopedValueRollback<bool> guard(applying_, true);
    applyParameterValues();
}

void EffectWindow::setEffectName(const QString &name)
{
    effectName_ = name;
    updateTitle();
}

void EffectWindow::updateTitle()
{
    const QString name = effectName_.isEmpty() ? QStringLiteral("Effect Settings") : effectName_;
    setWindowTitle(name + (session_.comparing() ? QStringLiteral(" — Comparing with stored") : QString()) +
                   QStringLiteral("[*]"));
}

// ---- History and compare ----

void EffectWindow::noteChoice(QComboBox *list, const QString &caption)
{
    const int before = shownChoices_.value(list, -1);
    const int now = list->currentIndex();
    shownChoices_[list] = now;
    if (!applying_ && !history_.replaying())
        history_.recordChoice(list, caption, before, now);
}

void EffectWindow::showHistoryStep()
{
    const QScopedValueRollback<bool> guard(applying_, true);
    applyParameterValues();
    bypass_->setChecked(effect_.bypass);
}

void EffectWindow::showKnobMenu(const DialRow &row, const QPoint &at)
{
    QMenu menu(this);
    QAction *type = menu.addAction(QStringLiteral("Type a value…"), this, [this, row] { editValue(row); });
    QAction *back =
        menu.addAction(QStringLiteral("Back to the stored value"), this, [this, row] { backToStored(row); });
    const size_t p = static_cast<size_t>(row.parameter);
    type->setEnabled(row.dial->isEnabled());
    back->setEnabled(row.dial->isEnabled() && session_.live[p] != session_.stored[p]);
    menu.addSeparator();
    menu.addActions({history_.undoAction(), history_.redoAction(), history_.compareAction()});
    menu.exec(row.dial->mapToGlobal(at));
}

// The value last read, stored or loaded, exact, as a step of its own.
void EffectWindow::backToStored(const DialRow &row)
{
    const size_t p = static_cast<size_t>(row.parameter);
    const quint32 before = session_.live[p];
    PresetValues target = session_.live;
    target[p] = session_.stored[p];
    if (!session_.setLiveValues(target))
        return;
    showLoadedValues();
    history_.recordValue(row.parameter, row.dial->accessibleName(), before, session_.live[p]);
}

void EffectWindow::applyParameterValues()
{
    // The knob at the nearest angle, and under it the value the pedal holds, exactly.
    for (const DialRow &row : dials_) {
        const ConstParameterRow r = std::as_const(parameters_).row(row.parameter);
        settleDial(row.dial, valueToDialAngle(r.value, r.decodeScale));
        row.dial->setValueText(reportedValueText(row.parameter, r.value));
    }
    const auto setSwitch = [](QPushButton *s, std::optional<bool> on) {
        if (on)
            s->setChecked(*on);
    };
    setSwitch(wave_, waveIsOn(parameters_.Wave.value));
    setSwitch(split_, flagIsOn(parameters_.Split.value));
    if (const std::optional<int> pitch = harmonicPitchIndex(parameters_.HarmonicPitch.value))
        pitch_->setCurrentIndex(*pitch);
    dominantCut_->setChecked(parameters_.DominantNotesCut.value == 1);
    highCut_->setChecked(parameters_.HighNotesCut.value == 1);
}

} // namespace vadrelon

#include "ui/fxsettingswindow.h"

#include "content/addressheader.h"
#include "content/contentstate.h"
#include "content/resources.h"
#include "device/hexcodec.h"
#include "device/pedallink.h"
#include "effect/statusblocks.h"
#include "support/consolelog.h"
#include "support/prompt.h"
#include "ui/dialwidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace vadrelon {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

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

TformFXsettings::TformFXsettings(UsbTransport &transport, PedalExchange &exchange, ConsoleLog &log,
                                 Prompt &prompt, const DeviceState &device, const ContentState &content,
                                 ParameterSet &parameters, EffectState &effect)
    : QWidget(nullptr, Qt::Window), transport_(transport), exchange_(exchange), log_(log),
      prompt_(prompt), device_(device), content_(content), parameters_(parameters), effect_(effect)
{
    setObjectName(QStringLiteral("TformFXsettings"));
    setWindowTitle(QStringLiteral("Form1"));
    buildControls();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 ms late
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TformFXsettings::Timer1Timer);

    // FormCreate: every list on its first entry, the semitones on "0".
    cmbGuitarTuning->setCurrentIndex(0);
    cmbSemitonesVariation->setCurrentIndex(5);
    EnableEffectControls(false);
    // As compact as the controls allow, never narrower than the design's 358 pixels.
    setFixedSize(sizeHint().expandedTo(QSize(358, 0)));
}

void TformFXsettings::buildControls()
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
        d->setAngle(initial);
        d->setFixedSize(d->sizeHint());
        auto *label = new QLabel(QString::fromLatin1(caption), this);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        dialGrid->addWidget(d, 2 * row, column, Qt::AlignHCenter);
        dialGrid->addWidget(label, 2 * row + 1, column, Qt::AlignHCenter);
        return d;
    };
    dialDry = dial("dialDry", "Dry", -135, 0, 0);
    dialSubMix = dial("dialSubMix", "Sub Mix", -135, 0, 1);
    dialMinus1Oct = dial("dialMinus1Oct", "-1 OCT", -135, 0, 2);
    dialMinus2Oct = dial("dialMinus2Oct", "-2 OCT", -135, 0, 3);
    dialLowPass = dial("dialLowPass", "Low Pass", -138, 1, 0);
    dialHighPass = dial("dialHighPass", "High Pass", -128, 1, 1);
    dialRange = dial("dialRange", "Range", -126, 1, 2);
    dialDryHPF = dial("dialDryHPF", "Dry HPF", -126, 1, 3);
    dialInputLevel = dial("dialInputLevel", "Input Level", -135, 2, 0);
    dialClipWave = dial("dialClipWave", "Wave Clip", -135, 2, 1);
    dial1stHarmonic = dial("dial1stHarmonic", "1st Harmonic", -135, 2, 2);
    dialInputLevel->setToolTip(hint({"Set level of input signal to the octave down effect. It does not affect dry.",
                                     "Adjust if you hear too much distortion on the sub. By deafult it is set to mid position."}));

    // The pitch list sits in the last cell of the third row, framed.
    auto *pitchFrame = new QFrame(this);
    pitchFrame->setObjectName(QStringLiteral("Rectangle1"));
    pitchFrame->setFrameShape(QFrame::Box);
    auto *pitchBox = new QVBoxLayout(pitchFrame);
    pitchBox->setContentsMargins(4, 4, 4, 4);
    auto *pitchLabel = new QLabel(QStringLiteral("1st Harmonic Pitch"), pitchFrame);
    pitchLabel->setWordWrap(true);
    pitchLabel->setAlignment(Qt::AlignCenter);
    cmbVariableWavePitch = new QComboBox(pitchFrame);
    cmbVariableWavePitch->setObjectName(QStringLiteral("cmbVariableWavePitch"));
    for (int semitone = -12; semitone <= 12; ++semitone)
        cmbVariableWavePitch->addItem(semitone > 0 ? QStringLiteral("+%1").arg(semitone) : QString::number(semitone));
    cmbVariableWavePitch->setMaxVisibleItems(12);
    cmbVariableWavePitch->setCurrentIndex(-1);
    pitchBox->addWidget(pitchLabel);
    pitchBox->addWidget(cmbVariableWavePitch);
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
        switches->addWidget(label);
        switches->addWidget(s);
        switches->addStretch();
        return s;
    };
    swtWave = switchCell("swtWave", "Wave");
    swtSplit = switchCell("swtSplit", "Split");
    swtBypass = switchCell("swtBypass", "Bypass");
    page->addLayout(switches);

    // Tracking functions.
    auto *tracking = new QGroupBox(QStringLiteral("Tracking Functions"), this);
    tracking->setObjectName(QStringLiteral("Rectangle2"));
    auto *trackingGrid = new QGridLayout(tracking);
    trackingGrid->setContentsMargins(6, 4, 6, 4);
    trackingGrid->setVerticalSpacing(3);
    cmbGuitarTuning = new QComboBox(tracking);
    cmbGuitarTuning->setObjectName(QStringLiteral("cmbGuitarTuning"));
    cmbGuitarTuning->addItems({"No Tuning Selected", "Standard (EADGBE)", "Drop D (DADGBE)", "DADGAD",
                               "open D (DADF#AD)", "Blues G (DGDGBD)", "Open A (EAC#EAE)",
                               "Open C (CGCGCE)", "Bass Guitar"});
    cmbGuitarTuning->setToolTip(hint({"Select the tuning of your instrument and the pitch variation",
                                      "in the box below. Example:",
                                      "- if you play in standard tuning 1 half-step down select standard tuning and -1 Pitch.",
                                      "- if you play in standard tuning and use capo on 3rd fret select standard tuning and +3 Pitch."}));
    cmbSemitonesVariation = new QComboBox(tracking);
    cmbSemitonesVariation->setObjectName(QStringLiteral("cmbSemitonesVariation"));
    cmbSemitonesVariation->addItems({"-5", "-4", "-3", "-2", "-1", "0", "+1", "+2", "+3"});
    cmbSemitonesVariation->setToolTip(QStringLiteral("Select the pitch variation in semitones from -5 to +3"));
    chkDominantNoteCut = new QCheckBox(QStringLiteral("Dominant Notes Cut"), tracking);
    chkDominantNoteCut->setObjectName(QStringLiteral("chkDominantNoteCut"));
    chkDominantNoteCut->setToolTip(hint({"Improves tracking on lowest chord (E-open chord in standard tuning) when RANGE is set high.",
                                         "Make sure to choose the right tuning for your instrument before applying this parameter.",
                                         "Like any other parameter, this parameter can either be stored permanently on pedal or assigned to a CTRL button."}));
    chkHighNoteCut = new QCheckBox(QStringLiteral("High Notes Cut"), tracking);
    chkHighNoteCut->setObjectName(QStringLiteral("chkHighNoteCut"));
    chkHighNoteCut->setToolTip(hint({"Removes tracking and noise on higher strings (e.g. open G string and first frets in standard tuning)",
                                     "Make sure to choose the right tuning for your instrument before applying this parameter.",
                                     "Like any other parameter, this parameter can either be stored permanently on pedal or assigned to a CTRL button."}));
    trackingGrid->addWidget(cmbGuitarTuning, 0, 0, 1, 2);
    trackingGrid->addWidget(new QLabel(QStringLiteral("Semitones"), tracking), 0, 2, Qt::AlignRight);
    trackingGrid->addWidget(cmbSemitonesVariation, 0, 3);
    trackingGrid->addWidget(chkDominantNoteCut, 1, 0);
    trackingGrid->addWidget(chkHighNoteCut, 1, 1, 1, 3);
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
        list->addItems(ControlListEntries(control));
        list->setCurrentIndex(0);
        assignGrid->addWidget(new QLabel(QString::fromLatin1(caption), assign), control, 0);
        assignGrid->addWidget(list, control, 1);
        return list;
    };
    cmbAssignCtrlUNO = controlList("cmbAssignCtrlUNO", "Control I", CtrlI);
    cmbAssignCtrlDUE = controlList("cmbAssignCtrlDUE", "Control II", CtrlII);
    cmbAssignCtrlTRE = controlList("cmbAssignCtrlTRE", "Control III", CtrlIII);
    cmbAssignCtrlQUATTRO = controlList("cmbAssignCtrlQUATTRO", "Control IV", CtrlIV);
    cmbAssignRemote = controlList("cmbAssignRemote", "Remote Footswitch", CtrlRemote);
    assignGrid->setColumnStretch(1, 1);
    page->addWidget(assign);

    // Footswitch behaviour: two radio groups side by side.
    auto *footswitch = new QHBoxLayout;
    const auto radioGroup = [&](const char *caption, const char *bypassName, const char *presetName,
                                bool presetChecked, QRadioButton *&bypass, QRadioButton *&preset) {
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
    radioGroup("Footswitch Short Press:", "chkBypassShortPress", "chkChangePresetShortPress", false,
               chkBypassShortPress, chkChangePresetShortPress);
    radioGroup("Footswitch Long Press:", "chkBypassLongPress", "chkChangePresetLongPress", true,
               chkBypassLongPress, chkChangePresetLongPress);
    page->addLayout(footswitch);

    lblAddresses = new QLabel(this);
    lblAddresses->setObjectName(QStringLiteral("lblAddresses"));
    lblAddresses->setWordWrap(true);
    lblAddresses->hide();
    page->addWidget(lblAddresses);

    // Handlers.
    dials_ = {{dialDry, ParDry},           {dialSubMix, ParSubMix},       {dialMinus1Oct, ParMinus1Oct},
              {dialMinus2Oct, ParMinus2Oct}, {dialLowPass, ParLowPass},   {dialHighPass, ParHighPass},
              {dial1stHarmonic, Par1stHarmonic}, {dialRange, ParRange},   {dialInputLevel, ParInputLevel},
              {dialClipWave, ParWaveClip}, {dialDryHPF, ParDryHPF}};
    for (const DialRow &row : dials_) {
        connect(row.dial, &DialWidget::angleChanged, this, [this, row] { dialChange(row); });
        showLevel(row.dial);
    }
    connect(cmbVariableWavePitch, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &TformFXsettings::VariWavePitchOnChange);
    connect(swtWave, &QPushButton::toggled, this,
            [this](bool on) { SendSwitchParameter(WaveValue(on), ParWave); });
    connect(swtSplit, &QPushButton::toggled, this,
            [this](bool on) { SendSwitchParameter(FlagValue(on), ParSplit); });
    connect(swtBypass, &QPushButton::toggled, this, [this](bool on) {
        if (!effect_.RequestPending)
            SendBypass(on);
    });
    connect(chkDominantNoteCut, &QCheckBox::toggled, this,
            [this] { noteCutChange(chkDominantNoteCut, ParDominantNotesCut); });
    connect(chkHighNoteCut, &QCheckBox::toggled, this, [this] { noteCutChange(chkHighNoteCut, ParHighNotesCut); });
    chkDominantNoteCut->installEventFilter(this);
    connect(cmbGuitarTuning, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int index) { effect_.CurrentTuning = static_cast<quint8>(std::max(index, 0)); });
    connect(cmbSemitonesVariation, &QComboBox::currentTextChanged, this, [this](const QString &text) {
        effect_.SemitoneVariation = static_cast<qint8>(text.toInt());
    });
    const auto lists = controlLists();
    for (int c = 0; c < kControlCount; ++c)
        connect(lists[c], qOverload<int>(&QComboBox::currentIndexChanged), this,
                [this, c] { assignListChange(c, c == CtrlIII || c == CtrlIV); });
}

std::array<QComboBox *, kControlCount> TformFXsettings::controlLists() const
{
    return {cmbAssignCtrlUNO, cmbAssignCtrlDUE, cmbAssignCtrlTRE, cmbAssignCtrlQUATTRO, cmbAssignRemote};
}

QVector<QWidget *> TformFXsettings::parameterControls() const
{
    QVector<QWidget *> out;
    for (const DialRow &row : dials_)
        out << row.dial;
    out << cmbVariableWavePitch << swtWave << swtSplit << chkDominantNoteCut << chkHighNoteCut;
    return out;
}

void TformFXsettings::showLevel(DialWidget *dial)
{
    dial->setValueText(QString::number(DialAngleToValue(dial->angle()).level));
}

// ---- Opening and enabling ----

void TformFXsettings::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    FormShow();
}

void TformFXsettings::FormShow()
{
    const QString name = ResourceNameFor(content_.SelectedEffectName);
    log_.ConsolePrint(QStringLiteral("resource name: ") + name);
    const Outcome<QStringList> image = LoadResourceLines(name);
    const AddressHeader header = AddressHeaderFor(content_.SelectedEffectName, image ? *image : QStringList());
    if (image)
        log_.ConsolePrint(QStringLiteral("filecontent (first 128 bytes): ") + image->value(0).left(256));
    if (header.source == AddressSource::None) {
        // Without addresses a parameter message would go to a wrong place on the pedal: the
        // parameter controls stay disabled and the window says why.
        if (!parameters_.addressesKnown())
            lblAddresses->setText(QStringLiteral("The parameters cannot be edited: ") + header.reason);
        else
            prompt_.message(QStringLiteral("Error loading resource: ") + image.error());
    } else if (const std::optional<QString> refused = ReadParameterAddresses(parameters_, header.line)) {
        prompt_.message(*refused);
    }
    lblAddresses->setVisible(!parameters_.addressesKnown());
    EnableEffectControls(enabled_);
}

void TformFXsettings::EnableEffectControls(bool enabled)
{
    enabled_ = enabled;
    // A dial message still waiting for its tick has no pedal to go to any more.
    if (!enabled)
        Timer1->stop();
    for (QWidget *w : findChildren<QWidget *>())
        w->setEnabled(enabled);
    const bool editable = enabled && parameters_.addressesKnown();
    for (QWidget *w : parameterControls())
        w->setEnabled(editable);
    lblAddresses->setEnabled(true);
}

// ---- Live messages ----

void TformFXsettings::dialChange(const DialRow &row)
{
    if (effect_.RequestPending) {
        showLevel(row.dial);
        return;
    }
    parameters_.row(row.parameter).value = SendDialParameter(row.dial, row.parameter);
}

quint32 TformFXsettings::SendDialParameter(DialWidget *dial, int parameter)
{
    const DialValue v = DialAngleToValue(dial->angle());
    {
        const QSignalBlocker quiet(dial);
        dial->setAngle(v.angle);
    }
    showLevel(dial);
    const std::optional<QString> text = ParameterMessageFor(parameters_, parameter, v.value);
    if (!text)
        return v.value;
    log_.ConsolePrint(ParameterSendTrace(parameters_.row(parameter).name, *text));
    pendingDialMessage_ = HexToBytes(*text);
    if (effect_.SendImmediately)
        transport_.writeBytes(pendingDialMessage_);
    else if (!Timer1->isActive())
        Timer1->start(100);
    return v.value;
}

void TformFXsettings::Timer1Timer()
{
    Timer1->stop();
    transport_.writeBytes(pendingDialMessage_);
}

void TformFXsettings::SendSwitchParameter(quint32 value, int parameter)
{
    const std::optional<QString> text = ParameterMessageFor(parameters_, parameter, value);
    if (!text)
        return;
    log_.ConsolePrint(ParameterSendTrace(parameters_.row(parameter).name, *text));
    transport_.writeBytes(HexToBytes(*text));
}

void TformFXsettings::SendBypass(bool on)
{
    transport_.writeBytes(HexToBytes(BuildBypassMessage(on)));
}

void TformFXsettings::VariWavePitchOnChange(int index)
{
    if (effect_.RequestPending || index < 0)
        return;
    const quint32 value = HarmonicPitchTable[static_cast<size_t>(index)];
    const std::optional<QString> text = ParameterMessageFor(parameters_, ParHarmonicPitch, value);
    if (!text)
        return;
    log_.ConsolePrint(HarmonicPitchSendTrace(*text));
    transport_.writeBytes(HexToBytes(*text));
    parameters_.HarmonicPitch.value = value;
}

void TformFXsettings::noteCutChange(QCheckBox *box, int parameter)
{
    if (effect_.RequestPending)
        return;
    if (cmbGuitarTuning->currentIndex() == 0 && box->isChecked()) {
        prompt_.message(QStringLiteral("Set a tuning before using this parameter"));
        const QSignalBlocker quiet(box);
        box->setChecked(false);
    }
    const quint32 value = FlagValue(box->isChecked());
    ParameterRow row = parameters_.row(parameter);
    row.value = value;
    if (parameters_.addressesKnown())
        exchange_.WriteToDsp(QStringLiteral("01"), row.address, value);
}

bool TformFXsettings::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == chkDominantNoteCut && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent *>(event)->button() == Qt::RightButton)
        log_.ConsolePrint(QStringLiteral("Right mouse button clicked!"));
    return QWidget::eventFilter(watched, event);
}

// ---- Assignments and footswitch ----

void TformFXsettings::assignListChange(int control, bool tuningCheck)
{
    QComboBox *list = controlLists()[static_cast<size_t>(control)];
    effect_.ControlAssigned[static_cast<size_t>(control)] = list->currentIndex() > 0;
    if (!tuningCheck || effect_.RequestPending || applyingStatus_)
        return;
    const QString choice = list->currentText();
    if ((choice == QLatin1String("Dominant Notes Cut") || choice == QLatin1String("High Notes Cut")) &&
        effect_.CurrentTuning == 0) {
        prompt_.message(QStringLiteral("No tuning selected, Select a tuning before assigning this parameter"));
        list->setCurrentIndex(0);
    }
}

TracedMessage TformFXsettings::BuildAssignMessage() const
{
    std::array<ListSelection, kControlCount> selections;
    const auto lists = controlLists();
    for (int c = 0; c < kControlCount; ++c)
        selections[static_cast<size_t>(c)] = {lists[static_cast<size_t>(c)]->currentIndex(),
                                              lists[static_cast<size_t>(c)]->currentText()};
    return vadrelon::BuildAssignMessage(selections, effect_, parameters_);
}

std::optional<TracedMessage> TformFXsettings::BuildFootswitchMessage() const
{
    return vadrelon::BuildFootswitchMessage({chkBypassShortPress->isChecked(), chkChangePresetShortPress->isChecked(),
                                             chkBypassLongPress->isChecked(), chkChangePresetLongPress->isChecked()});
}

// ---- The pedal's status on the controls ----

void TformFXsettings::DecodeFootswitchMode(int offset)
{
    const std::optional<FootswitchDecode> d = vadrelon::DecodeFootswitchMode(device_.StatusValues, offset);
    if (!d)
        return;
    effect_.FootswitchMode = d->mode;
    log_.ConsolePrint(d->trace);
    if (d->buttons) {
        chkBypassShortPress->setChecked(d->buttons->bypassShort);
        chkChangePresetShortPress->setChecked(d->buttons->changePresetShort);
        chkBypassLongPress->setChecked(d->buttons->bypassLong);
        chkChangePresetLongPress->setChecked(d->buttons->changePresetLong);
    }
}

void TformFXsettings::DecodeAssignments(int offset)
{
    const std::optional<AssignmentDecode> d = vadrelon::DecodeAssignments(device_.StatusValues, offset, parameters_);
    if (!d)
        return;
    applyingStatus_ = true;
    const auto lists = controlLists();
    for (int c = 0; c < kControlCount; ++c)
        if (const std::optional<int> entry = d->entries[static_cast<size_t>(c)])
            lists[static_cast<size_t>(c)]->setCurrentIndex(*entry);
    applyingStatus_ = false;
}

void TformFXsettings::DecodeTuning(int offset)
{
    const std::optional<TuningDecode> d = vadrelon::DecodeTuning(device_.StatusValues, offset);
    if (!d)
        return;
    for (const QString &line : d->trace)
        log_.ConsolePrint(line);
    if (d->tuningIndex) {
        effect_.CurrentTuning = static_cast<quint8>(*d->tuningIndex);
        cmbGuitarTuning->setCurrentIndex(*d->tuningIndex);
    }
    if (d->semitoneIndex) {
        effect_.SemitoneVariation = d->semitone;
        cmbSemitonesVariation->setCurrentIndex(*d->semitoneIndex);
    }
}

void TformFXsettings::getBypassStatus(int buffer_index)
{
    if (buffer_index >= device_.StatusValues.size())
        return;
    const std::optional<bool> on = FlagIsOn(static_cast<quint8>(device_.StatusValues[buffer_index]));
    if (on)
        swtBypass->setChecked(*on);
}

void TformFXsettings::DecodeParameterBlock(int offset)
{
    const std::optional<ParameterBlock> block = vadrelon::DecodeParameterBlock(device_.StatusValues, offset);
    if (!block)
        return;
    parameters_.setValues(block->values);
    for (const QString &line : block->trace)
        log_.ConsolePrint(line);
    ApplyParameterValues(false);
}

void TformFXsettings::ApplyParameterValues(bool sendImmediately)
{
    effect_.SendImmediately = sendImmediately;
    const auto setDial = [this](DialWidget *dial, int parameter) {
        const ConstParameterRow row = std::as_const(parameters_).row(parameter);
        dial->setAngle(ValueToDialAngle(row.value, row.decodeScale));
        showLevel(dial);
    };
    const auto setSwitch = [](QPushButton *s, std::optional<bool> on) {
        if (on)
            s->setChecked(*on);
    };
    setDial(dialDry, ParDry);
    setDial(dialSubMix, ParSubMix);
    setDial(dialMinus1Oct, ParMinus1Oct);
    setDial(dialMinus2Oct, ParMinus2Oct);
    setSwitch(swtWave, WaveIsOn(parameters_.Wave.value));
    setDial(dialLowPass, ParLowPass);
    setDial(dialHighPass, ParHighPass);
    setDial(dial1stHarmonic, Par1stHarmonic);
    setSwitch(swtSplit, FlagIsOn(parameters_.Split.value));
    setDial(dialRange, ParRange);
    setDial(dialInputLevel, ParInputLevel);
    setDial(dialClipWave, ParWaveClip);
    if (const std::optional<int> pitch = HarmonicPitchIndex(parameters_.HarmonicPitch.value))
        cmbVariableWavePitch->setCurrentIndex(*pitch);
    chkDominantNoteCut->setChecked(parameters_.DominantNotesCut.value == 1);
    chkHighNoteCut->setChecked(parameters_.HighNotesCut.value == 1);
    setDial(dialDryHPF, ParDryHPF);
    effect_.SendImmediately = false;
}

} // namespace vadrelon

#pragma once
// The effect settings window: the sixteen parameters on dials, switches, a list and check
// boxes, the tuning, the bypass switch, the control assignments and the footswitch. Its
// handlers send the pedal each change as it happens.
#include "effect/messages.h"
#include "effect/parameters.h"

#include <QByteArray>
#include <QVector>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;

namespace vadrelon {

class ConsoleLog;
class DialWidget;
class PedalExchange;
class Prompt;
class UsbTransport;
struct ContentState;
struct DeviceState;

class TformFXsettings : public QWidget {
    Q_OBJECT
public:
    TformFXsettings(UsbTransport &transport, PedalExchange &exchange, ConsoleLog &log, Prompt &prompt,
                    const DeviceState &device, const ContentState &content, ParameterSet &parameters,
                    EffectState &effect);

    // Reads the parameter addresses of the selected effect; runs each time the window shows.
    void FormShow();
    void EnableEffectControls(bool enabled);
    void DecodeParameterBlock(int offset);
    void ApplyParameterValues(bool sendImmediately);
    void DecodeTuning(int offset);
    void getBypassStatus(int buffer_index);
    void DecodeFootswitchMode(int offset);
    void DecodeAssignments(int offset);
    void SendBypass(bool on);

    // What the main window's Assign and Set Footswitch Mode buttons send.
    TracedMessage BuildAssignMessage() const;
    std::optional<TracedMessage> BuildFootswitchMessage() const;

    // Controls, reachable by their names.
    DialWidget *dialDry, *dialMinus1Oct, *dialSubMix, *dialMinus2Oct, *dialLowPass, *dialHighPass,
        *dialRange, *dialDryHPF, *dialInputLevel, *dialClipWave, *dial1stHarmonic;
    QComboBox *cmbVariableWavePitch;
    QPushButton *swtWave, *swtSplit, *swtBypass;
    QComboBox *cmbGuitarTuning, *cmbSemitonesVariation;
    QCheckBox *chkDominantNoteCut, *chkHighNoteCut;
    QComboBox *cmbAssignCtrlUNO, *cmbAssignCtrlDUE, *cmbAssignCtrlTRE, *cmbAssignCtrlQUATTRO, *cmbAssignRemote;
    QRadioButton *chkBypassShortPress, *chkChangePresetShortPress, *chkBypassLongPress, *chkChangePresetLongPress;
    QTimer *Timer1;
    // Says why the parameter controls are disabled when no addresses are known.
    QLabel *lblAddresses;

public slots:
    void Timer1Timer();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct DialRow {
        DialWidget *dial;
        int parameter;
    };
    void buildControls();
    void dialChange(const DialRow &row);
    quint32 SendDialParameter(DialWidget *dial, int parameter);
    void SendSwitchParameter(quint32 value, int parameter);
    void VariWavePitchOnChange(int index);
    void noteCutChange(QCheckBox *box, int parameter);
    void assignListChange(int control, bool tuningCheck);
    std::array<QComboBox *, kControlCount> controlLists() const;
    QVector<QWidget *> parameterControls() const;
    void showLevel(DialWidget *dial);

    UsbTransport &transport_;
    PedalExchange &exchange_;
    ConsoleLog &log_;
    Prompt &prompt_;
    const DeviceState &device_;
    const ContentState &content_;
    ParameterSet &parameters_;
    EffectState &effect_;
    QVector<DialRow> dials_;
    // The dial message waiting for the send timer, kept apart from the transmit buffer so
    // that no other message written meanwhile can take its place.
    QByteArray pendingDialMessage_;
    // True while a status reply is put on the controls: the lists' tuning check is for the
    // user's choices, not for what the pedal reports.
    bool applyingStatus_ = false;
    bool enabled_ = false;
};

} // namespace vadrelon

#pragma once
// The effect settings window: the sixteen parameters on dials, switches, a list and check
// boxes, the tuning, the bypass switch, the control assignments and the footswitch. Each
// change reaches the pedal at once as a live change of the session; while an exchange runs a
// change is refused and the control goes back to what the pedal holds.
#include "effect/messages.h"
#include "effect/parameters.h"

#include <QHash>
#include <QPointer>
#include <QVector>
#include <QWidget>
#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vadrelon {

class ConsoleLog;
class DialWidget;
class EditHistory;
class PedalSession;
class Prompt;
struct ContentState;
struct StatusView;

class EffectWindow : public QWidget {
    Q_OBJECT
public:
    EffectWindow(PedalSession &session, Prompt &prompt, EditHistory &history);

    // The controls are usable only while a pedal is linked and its versions are current.
    void setLinked(bool linked);
    // Why the parameters cannot be edited (empty: as said before), shown where they are while
    // none of their addresses is known.
    void showAddressNote(const QString &why);
    // A status reply on the controls; nothing of it goes back to the pedal.
    void render(const StatusView &view);
    // The parameter set's values on the controls, without a message: the session has sent
    // them.
    void showLoadedValues();
    // The title: the effect's name, with a "*" while the pedal's live values differ from the
    // last status reply, preset or stored parameters.
    void setEffectName(const QString &name);

    // What the main window's Assign and Set Footswitch Mode buttons send, as the controls
    // show it now.
    TracedMessage assignMessage() const;
    std::optional<TracedMessage> footswitchMessage() const;

    // Measured when first shown, not when built: measuring polishes every control under the
    // look's style sheet, a good part of the editor's start-up for a window shown only later.
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct DialRow {
        DialWidget *dial;
        int parameter;
    };
    void buildControls();
    void applyParameterValues();
    void showLevel(DialWidget *dial);
    void editValue(const DialRow &row);
    void commitValue(const DialRow &row);
    void closeValueField();
    void showWhyDisabled();
    void fitValueField();
    // Puts a dial where the pedal has it, without a message.
    void settleDial(DialWidget *dial, int angle);
    void onDialChanged(const DialRow &row);
    void onSwitchToggled(QPushButton *control, int parameter, quint32 value);
    void onBypassToggled(bool on);
    void onPitchChanged(int index);
    void onNoteCutToggled(QCheckBox *box, int parameter);
    void onAssignmentChanged(int control);
    // A list's choice, as a step of the history unless the pedal or the history made it.
    void noteChoice(QComboBox *list, const QString &caption);
    void showKnobMenu(const DialRow &row, const QPoint &at);
    void backToStored(const DialRow &row);
    void showHistoryStep();
    void updateTitle();
    std::array<QComboBox *, kControlCount> controlLists() const;
    QVector<QWidget *> parameterControls() const;

    PedalSession &session_;
    ConsoleLog &log_;
    Prompt &prompt_;
    EditHistory &history_;
    const ContentState &content_;
    ParameterSet &parameters_;
    EffectState &effect_;

    QVector<DialRow> dials_;
    QHash<const DialWidget *, int> settledAngles_; // where each knob was last sent or set
    QComboBox *pitch_;
    QPushButton *wave_, *split_, *bypass_;
    QComboBox *tuning_, *semitones_;
    QCheckBox *dominantCut_, *highCut_;
    std::array<QComboBox *, kControlCount> assignments_{};
    QRadioButton *bypassShort_, *presetShort_, *bypassLong_, *presetLong_;
    QLabel *addressNote_;
    QHash<const QComboBox *, int> shownChoices_; // each list's choice, as last shown
    QString effectName_;
    QString addressReason_;           // why no address is known, as last said
    QLineEdit *valueField_ = nullptr; // a typed value, while the player types it
    QPointer<DialWidget> editedDial_;
    // True while the pedal's values are put on the controls: they came from the pedal and
    // must not go back to it, and the lists' tuning check is for the user's choices only.
    bool applying_ = false;
    bool sized_ = false;
    bool linked_ = false;
};

} // namespace vadrelon

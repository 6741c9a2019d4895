#include "ui/edithistory.h"

#include "base/consolelog.h"
#include "effect/valuetext.h"
#include "session/pedalsession.h"

#include <QAction>
#include <QComboBox>
#include <QMap>
#include <chrono>

namespace vadrelon {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kKnobRunId = 1;

} // namespace

// Values sent live: one knob's run, a typed value, a switch, or every value a preset changed.
class ValuesStep : public QUndoCommand {
public:
    using Changes = QMap<int, std::pair<quint32, quint32>>; // parameter: before, after

    ValuesStep(EditHistory &history, const QString &text, Changes changes, bool knob = false, int drag = 0)
        : history_(history), changes_(std::move(changes)), knob_(knob), drag_(drag), at_(Clock::now())
    {
        setText(text);
    }

    void undo() override { apply(false); }
    void redo() override
    {
        if (fresh_) { // the player's change went out already
            fresh_ = false;
            return;
        }
        apply(true);
    }
    int id() const override { return knob_ ? kKnobRunId : -1; }

    bool mergeWith(const QUndoCommand *other) override
    {
        const auto *next = static_cast<const ValuesStep *>(other);
        if (changes_.size() != 1 || next->changes_.size() != 1 || changes_.firstKey() != next->changes_.firstKey())
            return false;
        const bool sameDrag = next->drag_ != 0 && next->drag_ == drag_;
        if (!sameDrag && next->at_ - at_ >= std::chrono::milliseconds(EditHistory::kRunGapMs))
            return false;
        const int parameter = changes_.firstKey();
        changes_[parameter].second = next->changes_.first().second;
        at_ = next->at_;
        drag_ = next->drag_;
        setText(next->text());
        setObsolete(changes_.first().first == changes_.first().second);
        return true;
    }

private:
    void apply(bool forward)
    {
        PresetValues target = history_.session_.live;
        for (auto c = changes_.cbegin(); c != changes_.cend(); ++c)
            target[static_cast<size_t>(c.key())] = forward ? c->second : c->first;
        history_.session_.setLiveValues(target);
    }

    EditHistory &history_;
    Changes changes_;
    bool knob_;
    int drag_;
    Clock::time_point at_;
    bool fresh_ = true;
};

class BypassStep : public QUndoCommand {
public:
    BypassStep(EditHistory &history, bool before, bool after) : history_(history), before_(before), after_(after)
    {
        setText(QStringLiteral("Bypass ") + (after ? QStringLiteral("on") : QStringLiteral("off")));
    }
    void undo() override { history_.session_.setBypass(before_); }
    void redo() override
    {
        if (fresh_)
            fresh_ = false;
        else
            history_.session_.setBypass(after_);
    }

private:
    EditHistory &history_;
    bool before_, after_;
    bool fresh_ = true;
};

class ChoiceStep : public QUndoCommand {
public:
    ChoiceStep(QComboBox *list, const QString &caption, int before, int after)
        : list_(list), before_(before), after_(after)
    {
        setText(caption + QLatin1Char(' ') + list->itemText(after));
    }
    void undo() override { choose(before_); }
    void redo() override
    {
        if (fresh_)
            fresh_ = false;
        else
            choose(after_);
    }

private:
    void choose(int index)
    {
        if (list_)
            list_->setCurrentIndex(index);
    }

    QPointer<QComboBox> list_;
    int before_, after_;
    bool fresh_ = true;
};

EditHistory::EditHistory(PedalSession &session, QObject *parent)
    : QObject(parent), session_(session), undo_(new QAction(QStringLiteral("Undo"), this)),
      redo_(new QAction(QStringLiteral("Redo"), this)), compare_(new QAction(QStringLiteral("Compare"), this))
{
    undo_->setObjectName(QStringLiteral("actUndo"));
    redo_->setObjectName(QStringLiteral("actRedo"));
    compare_->setObjectName(QStringLiteral("actCompare"));
    undo_->setShortcut(QKeySequence::Undo);
    redo_->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    compare_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    compare_->setCheckable(true);
    compare_->setToolTip(QStringLiteral("Hear the stored values against the edited ones (Ctrl+K)"));
    connect(undo_, &QAction::triggered, this, [this] { step(true); });
    connect(redo_, &QAction::triggered, this, [this] { step(false); });
    connect(compare_, &QAction::triggered, this, [this](bool on) {
        if (!available_ || !session_.setComparing(on))
            updateActions();
    });
    connect(&stack_, &QUndoStack::indexChanged, this, &EditHistory::updateActions);
    connect(&session_, &PedalSession::valuesChanged, this, &EditHistory::updateActions);
    connect(&session_, &PedalSession::comparingChanged, this, &EditHistory::updateActions);
    connect(&session_, &PedalSession::changedOutside, this, [this] {
        if (stack_.count() == 0)
            return;
        stack_.clear();
        session_.log().print(
            QStringLiteral("The pedal's values changed outside the editor: the undo history starts again here."));
        updateActions();
    });
    updateActions();
}

void EditHistory::setAvailable(bool available)
{
    available_ = available;
    updateActions();
}

void EditHistory::updateActions()
{
    const bool free = available_ && !session_.comparing();
    undo_->setEnabled(free && stack_.canUndo());
    redo_->setEnabled(free && stack_.canRedo());
    undo_->setText(stack_.canUndo() ? QStringLiteral("Undo ") + stack_.undoText() : QStringLiteral("Undo"));
    redo_->setText(stack_.canRedo() ? QStringLiteral("Redo ") + stack_.redoText() : QStringLiteral("Redo"));
    compare_->setChecked(session_.comparing());
    compare_->setEnabled(available_ && (session_.comparing() || session_.live != session_.stored));
}

void EditHistory::push(QUndoCommand *step)
{
    stack_.push(step);
    updateActions();
}

void EditHistory::step(bool undo)
{
    if (!available_ || session_.comparing() || session_.refuseLive())
        return;
    replaying_ = true;
    if (undo)
        stack_.undo();
    else
        stack_.redo();
    replaying_ = false;
    emit applied();
}

void EditHistory::recordValue(int parameter, const QString &caption, quint32 before, quint32 after, bool knob, int drag)
{
    if (before == after)
        return;
    push(new ValuesStep(*this, caption + QLatin1Char(' ') + reportedValueText(parameter, after),
                        {{parameter, {before, after}}}, knob, drag));
}

void EditHistory::recordValues(const QString &text, const PresetValues &before, const PresetValues &after)
{
    ValuesStep::Changes changes;
    for (int i = 0; i < kParameterCount; ++i)
        if (before[static_cast<size_t>(i)] != after[static_cast<size_t>(i)])
            changes.insert(i, {before[static_cast<size_t>(i)], after[static_cast<size_t>(i)]});
    if (!changes.isEmpty())
        push(new ValuesStep(*this, text, changes));
}

void EditHistory::recordBypass(bool before, bool after)
{
    if (before != after)
        push(new BypassStep(*this, before, after));
}

void EditHistory::recordChoice(QComboBox *list, const QString &caption, int before, int after)
{
    if (before != after && before >= 0 && after >= 0)
        push(new ChoiceStep(list, caption, before, after));
}

} // namespace vadrelon

#include "ui/librarywindow.h"

#include "base/consolelog.h"
#include "base/prompt.h"
#include "session/pedalsession.h"
#include "support/settings.h"
#include "ui/edithistory.h"
#include "ui/presetactions.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace vadrelon {

namespace {

constexpr int kPresetRole = Qt::UserRole;       // the preset's place in the library, or -1 for a bank
constexpr int kBankRole = Qt::UserRole + 1;     // the bank an entry stands in
const QString kHeldMark = QStringLiteral("● "); // the preset the pedal holds
constexpr int kRereadMs = 150;                  // a burst of changes in the folder is read once

QString quotedName(const QString &name)
{
    return QStringLiteral("\u201C%1\u201D").arg(name);
}

} // namespace

LibraryWindow::LibraryWindow(PedalSession &session, SettingsStore &settings, Prompt &prompt, PresetActions &presets,
                             EditHistory &history)
    : QWidget(nullptr, Qt::Window), session_(session), prompt_(prompt), settings_(settings), presets_(presets),
      history_(history), library_(settings.presetFolder())
{
    setObjectName(QStringLiteral("TformPresetLibrary"));
    setWindowTitle(QStringLiteral("Preset Library"));
    setAcceptDrops(true);

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(8, 6, 8, 6);
    page->setSpacing(6);

    auto *top = new QHBoxLayout;
    auto *filterLabel = new QLabel(QStringLiteral("&Filter:"), this);
    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("edtLibraryFilter"));
    filter_->setPlaceholderText(QStringLiteral("Name or note"));
    filter_->setClearButtonEnabled(true);
    filter_->setToolTip(QStringLiteral("Shows only the presets whose name or note holds this text"));
    filterLabel->setBuddy(filter_);
    audition_ = new QCheckBox(QStringLiteral("&Audition"), this);
    audition_->setObjectName(QStringLiteral("chkAudition"));
    audition_->setToolTip(QStringLiteral("Loads each preset into the pedal as it is selected, so that the arrow keys "
                                         "step through the sounds"));
    top->addWidget(filterLabel);
    top->addWidget(filter_, 1);
    top->addWidget(audition_);
    page->addLayout(top);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("lstLibrary"));
    list_->setAccessibleName(QStringLiteral("Presets"));
    list_->setColumnCount(3);
    list_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Date"), QStringLiteral("Note")});
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->header()->setStretchLastSection(true);
    list_->setColumnWidth(0, 200);
    list_->setColumnWidth(1, 130);
    list_->setToolTip(QStringLiteral("Enter or a double-click loads the preset into the pedal"));
    page->addWidget(list_, 1);

    auto *noteRow = new QHBoxLayout;
    auto *noteLabel = new QLabel(QStringLiteral("&Note:"), this);
    note_ = new QLineEdit(this);
    note_->setObjectName(QStringLiteral("edtLibraryNote"));
    note_->setToolTip(QStringLiteral("A note of your own on the selected preset, kept beside the presets"));
    noteLabel->setBuddy(note_);
    noteRow->addWidget(noteLabel);
    noteRow->addWidget(note_, 1);
    page->addLayout(noteRow);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("lblLibraryStatus"));
    status_->setWordWrap(true);
    page->addWidget(status_);

    buildActions();
    resize(560, 460);

    watcher_ = new QFileSystemWatcher(this);
    reread_ = new QTimer(this);
    reread_->setSingleShot(true);
    reread_->setInterval(kRereadMs);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, reread_, qOverload<>(&QTimer::start));
    connect(reread_, &QTimer::timeout, this, &LibraryWindow::refresh);
    connect(filter_, &QLineEdit::textChanged, this, &LibraryWindow::applyFilter);
    connect(list_, &QTreeWidget::currentItemChanged, this, &LibraryWindow::onSelectionChanged);
    connect(list_, &QTreeWidget::itemActivated, this, &LibraryWindow::loadSelected);
    connect(note_, &QLineEdit::editingFinished, this, &LibraryWindow::saveNote);
    connect(&session_, &PedalSession::valuesChanged, this, &LibraryWindow::markHeld);
    connect(&presets_, &PresetActions::saved, this, [this] { refresh(); });
    connect(&session_.link(), &PedalLink::busyChanged, this, [this](bool busy) {
        if (busy || loading_ || waitingPath_.isEmpty())
            return;
        // After the exchange has ended, not from inside its end.
        QTimer::singleShot(0, this, [this] {
            const QString path = waitingPath_;
            waitingPath_.clear();
            if (!path.isEmpty())
                loadPath(path, waitingName_);
        });
    });
}

void LibraryWindow::buildActions()
{
    const auto make = [this](const char *name, const QString &caption, const QKeySequence &keys,
                             void (LibraryWindow::*slot)()) {
        auto *a = new QAction(caption, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(keys);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    load_ = make("actLibraryLoad", QStringLiteral("&Load into the Pedal"), {}, &LibraryWindow::loadSelected);
    save_ = make("actLibrarySave", QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S),
                 &LibraryWindow::saveSelected);
    saveAs_ = make("actLibrarySaveAs", QStringLiteral("Save &As…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                   &LibraryWindow::saveAsNew);
    rename_ =
        make("actLibraryRename", QStringLiteral("&Rename…"), QKeySequence(Qt::Key_F2), &LibraryWindow::renameSelected);
    duplicate_ = make("actLibraryDuplicate", QStringLiteral("D&uplicate"), QKeySequence(Qt::CTRL | Qt::Key_D),
                      &LibraryWindow::duplicateSelected);
    move_ = make("actLibraryMove", QStringLiteral("&Move to Bank…"), {}, &LibraryWindow::moveSelected);
    delete_ = make("actLibraryDelete", QStringLiteral("&Delete…"), QKeySequence(QKeySequence::Delete),
                   &LibraryWindow::deleteSelected);
    newBank_ = make("actLibraryNewBank", QStringLiteral("New &Bank…"), {}, &LibraryWindow::newBank);
    import_ = make("actLibraryImport", QStringLiteral("&Import…"), {}, &LibraryWindow::importChosen);
    export_ = make("actLibraryExport", QStringLiteral("&Export…"), {}, &LibraryWindow::exportSelected);
    show_ = make("actLibraryShow", QStringLiteral("Show in File &Manager"), {}, &LibraryWindow::showInFileManager);

    auto *bar = new QMenuBar(this);
    QMenu *preset = bar->addMenu(QStringLiteral("&Preset"));
    preset->addActions({load_, save_, saveAs_, rename_, duplicate_, move_, delete_});
    preset->addSeparator();
    preset->addActions({newBank_, import_, export_, show_});
    QMenu *edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->addActions({history_.undoAction(), history_.redoAction()});
    layout()->setMenuBar(bar);
    // Delete and F2 in a text field edit the text: the fields take those keys before a shortcut.
    addActions({load_, save_, saveAs_, rename_, delete_, duplicate_, newBank_, import_, export_, show_,
                history_.undoAction(), history_.redoAction()});

    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this,
            [this, preset](const QPoint &at) { preset->exec(list_->viewport()->mapToGlobal(at)); });
    updateActions();
}

void LibraryWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (const std::optional<Error> error = settings_.ensurePresetFolder())
        showError(*error);
    refresh();
    list_->setFocus();
}

// ---- The list ----

void LibraryWindow::refresh()
{
    const LibraryPreset *was = selected();
    const QString key = was ? was->key() : QString();
    library_.refresh();
    if (!watcher_->directories().isEmpty())
        watcher_->removePaths(watcher_->directories());
    QStringList folders{library_.folder()};
    for (const QString &bank : library_.banks())
        folders << QDir(library_.folder()).filePath(bank);
    watcher_->addPaths(folders);
    {
        const QScopedValueRollback<bool> quiet(rebuilding_, true);
        rebuildList();
        if (key.isEmpty() || !select(key))
            if (QTreeWidgetItem *first = list_->topLevelItem(0))
                list_->setCurrentItem(first);
    }
    showSelection();
    if (const std::optional<Error> &notes = library_.notesProblem())
        tell(QStringLiteral("The notes cannot be read, and are not written: ") + errorText(*notes));
}

// The window's own changes of the selection never audition: only the player's do.
void LibraryWindow::rebuildList()
{
    const QScopedValueRollback<bool> quiet(rebuilding_, true);
    list_->clear();
    QHash<QString, QTreeWidgetItem *> banks;
    for (const QString &bank : library_.banks()) {
        auto *item = new QTreeWidgetItem(list_, {bank});
        item->setData(0, kPresetRole, -1);
        item->setData(0, kBankRole, bank);
        QFont bold = item->font(0);
        bold.setBold(true);
        item->setFont(0, bold);
        item->setToolTip(0, QStringLiteral("Bank %1").arg(quotedName(bank)));
        banks.insert(bank, item);
    }
    const QList<LibraryPreset> &presets = library_.presets();
    for (int i = 0; i < presets.size(); ++i) {
        const LibraryPreset &p = presets[i];
        QTreeWidgetItem *parent = banks.value(p.bank);
        auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem();
        if (!parent)
            list_->insertTopLevelItem(list_->topLevelItemCount() - static_cast<int>(banks.size()), item);
        item->setText(0, p.name);
        item->setText(1, QLocale().toString(p.modified, QLocale::ShortFormat));
        item->setText(2, p.values ? p.note.section(QLatin1Char('\n'), 0, 0) : QStringLiteral("unreadable"));
        item->setData(0, kPresetRole, i);
        item->setData(0, kBankRole, p.bank);
        for (int c = 0; c < 3; ++c)
            item->setToolTip(c, p.values ? p.note : p.problem);
    }
    list_->expandAll();
    markHeld();
    applyFilter();
}

void LibraryWindow::applyFilter()
{
    const QScopedValueRollback<bool> quiet(rebuilding_, true);
    const QString text = filter_->text();
    for (int t = 0; t < list_->topLevelItemCount(); ++t) {
        QTreeWidgetItem *top = list_->topLevelItem(t);
        const int index = top->data(0, kPresetRole).toInt();
        if (index >= 0) {
            top->setHidden(!PresetLibrary::matches(library_.presets()[index], text));
            continue;
        }
        bool any = false;
        for (int c = 0; c < top->childCount(); ++c) {
            QTreeWidgetItem *child = top->child(c);
            const bool shown = PresetLibrary::matches(library_.presets()[child->data(0, kPresetRole).toInt()], text);
            child->setHidden(!shown);
            any = any || shown;
        }
        top->setHidden(!any && !text.trimmed().isEmpty());
    }
    // The selection follows the filter: the first preset still shown.
    QTreeWidgetItem *current = list_->currentItem();
    if (!current || current->isHidden() || (current->parent() && current->parent()->isHidden())) {
        for (QTreeWidgetItemIterator it(list_, QTreeWidgetItemIterator::NotHidden); *it; ++it)
            if ((*it)->data(0, kPresetRole).toInt() >= 0) {
                list_->setCurrentItem(*it);
                break;
            }
    }
    showSelection();
}

// The preset whose values the pedal holds live, once they have been read from it.
void LibraryWindow::markHeld()
{
    const std::optional<int> held =
        session_.device.settingsRead ? library_.holding(session_.live) : std::optional<int>();
    for (QTreeWidgetItemIterator it(list_); *it; ++it) {
        const int index = (*it)->data(0, kPresetRole).toInt();
        if (index < 0)
            continue;
        const bool on = held == index;
        const QString name = library_.presets()[index].name;
        (*it)->setText(0, on ? kHeldMark + name : name);
        (*it)->setData(0, Qt::AccessibleDescriptionRole,
                       on ? QStringLiteral("the pedal holds this preset") : QString());
        QFont f = (*it)->font(0);
        f.setBold(on);
        (*it)->setFont(0, f);
    }
}

bool LibraryWindow::select(const QString &key)
{
    const std::optional<int> index = library_.find(key);
    if (!index)
        return false;
    for (QTreeWidgetItemIterator it(list_); *it; ++it)
        if ((*it)->data(0, kPresetRole).toInt() == *index) {
            list_->setCurrentItem(*it);
            return true;
        }
    return false;
}

const LibraryPreset *LibraryWindow::selected() const
{
    const QTreeWidgetItem *item = list_->currentItem();
    const int index = item ? item->data(0, kPresetRole).toInt() : -1;
    return index >= 0 && index < library_.presets().size() ? &library_.presets()[index] : nullptr;
}

QString LibraryWindow::selectedBank() const
{
    const QTreeWidgetItem *item = list_->currentItem();
    return item ? item->data(0, kBankRole).toString() : QString();
}

void LibraryWindow::onSelectionChanged()
{
    if (rebuilding_)
        return;
    showSelection();
    const LibraryPreset *p = selected();
    if (p && audition_->isChecked() && p->values)
        loadSelected();
}

void LibraryWindow::showSelection()
{
    const LibraryPreset *p = selected();
    note_->setText(p ? p->note : QString());
    note_->setEnabled(p != nullptr);
    updateActions();
}

void LibraryWindow::updateActions()
{
    const bool one = selected() != nullptr;
    for (QAction *a : {load_, rename_, duplicate_, move_, delete_, export_})
        a->setEnabled(one);
}

// ---- Listening ----

void LibraryWindow::loadSelected()
{
    const LibraryPreset *p = selected();
    if (!p)
        return;
    if (!p->values) {
        tell(p->problem);
        return;
    }
    loadPath(p->path, p->key());
}

// One load at a time, and none during another exchange: a selection that moves on meanwhile
// is loaded after it, the newest only.
void LibraryWindow::loadPath(const QString &path, const QString &name)
{
    if (loading_ || session_.link().busy()) {
        waitingPath_ = path;
        waitingName_ = name;
        return;
    }
    loading_ = true;
    presets_.loadFile(path, [this, path, name](const std::optional<Error> &error) {
        loading_ = false;
        if (error)
            tell(errorText(*error));
        else
            tell(QStringLiteral("Loaded %1 into the pedal.").arg(quotedName(name)));
        const QString next = waitingPath_;
        const QString nextName = waitingName_;
        waitingPath_.clear();
        if (!next.isEmpty() && next != path)
            loadPath(next, nextName);
    });
}

// ---- Organising ----

void LibraryWindow::saveSelected()
{
    const LibraryPreset *p = selected();
    if (!p) {
        saveAsNew();
        return;
    }
    if (!prompt_.askYesNo(QStringLiteral("Replace %1 with the values the pedal holds now?").arg(quotedName(p->key()))))
        return;
    presets_.saveAs(p->path);
}

void LibraryWindow::saveAsNew()
{
    const std::optional<QString> name =
        prompt_.askText(QStringLiteral("Save the values the pedal holds now as a preset named:"), QString());
    if (!name)
        return;
    Result<QString> path = library_.pathFor(selectedBank(), *name, false);
    if (const Error *error = std::get_if<Error>(&path)) {
        if (error->code != ErrorCode::FileInTheWay ||
            !prompt_.askYesNo(QStringLiteral("%1 already exists. Replace it?").arg(quotedName(*name)))) {
            if (error->code != ErrorCode::FileInTheWay)
                showError(*error);
            return;
        }
        path = library_.pathFor(selectedBank(), *name, true);
    }
    presets_.saveAs(std::get<QString>(path));
}

void LibraryWindow::renameSelected()
{
    const LibraryPreset *p = selected();
    if (!p)
        return;
    const LibraryPreset preset = *p;
    const std::optional<QString> name =
        prompt_.askText(QStringLiteral("Rename %1 to:").arg(quotedName(preset.name)), preset.name);
    if (!name || *name == preset.name)
        return;
    if (showMoved(library_.rename(preset, *name)))
        tell(QStringLiteral("Renamed %1 to %2.").arg(quotedName(preset.name), quotedName(*name)));
}

void LibraryWindow::duplicateSelected()
{
    const LibraryPreset *p = selected();
    if (!p)
        return;
    showMoved(library_.duplicate(*p));
}

// A preset's new file shown selected, or why there is none.
bool LibraryWindow::showMoved(const Result<QString> &path)
{
    if (const Error *error = std::get_if<Error>(&path)) {
        showError(*error);
        return false;
    }
    {
        const QScopedValueRollback<bool> quiet(rebuilding_, true);
        rebuildList();
        select(std::get<QString>(path));
    }
    showSelection();
    return true;
}

void LibraryWindow::moveSelected()
{
    const LibraryPreset *p = selected();
    if (!p)
        return;
    const LibraryPreset preset = *p;
    const QString banks = library_.banks().isEmpty() ? QStringLiteral("none yet: make one with New Bank")
                                                     : library_.banks().join(QStringLiteral(", "));
    const std::optional<QString> bank = prompt_.askText(
        QStringLiteral("Move %1 to which bank? (%2; leave empty for none)").arg(quotedName(preset.key()), banks),
        preset.bank);
    if (!bank || *bank == preset.bank)
        return;
    showMoved(library_.moveToBank(preset, bank->trimmed()));
}

void LibraryWindow::deleteSelected()
{
    const LibraryPreset *p = selected();
    if (!p)
        return;
    const LibraryPreset preset = *p;
    if (!prompt_.askYesNo(QStringLiteral("Move %1 to the trash?").arg(quotedName(preset.key()))))
        return;
    if (const std::optional<Error> error = library_.moveToTrash(preset)) {
        showError(*error);
        return;
    }
    rebuildList();
    tell(QStringLiteral("Moved %1 to the trash.").arg(quotedName(preset.key())));
}

void LibraryWindow::newBank()
{
    const std::optional<QString> name = prompt_.askText(QStringLiteral("Name of the new bank:"), QString());
    if (!name)
        return;
    if (const std::optional<Error> error = library_.makeBank(*name)) {
        showError(*error);
        return;
    }
    refresh();
}

void LibraryWindow::importChosen()
{
    importFiles(prompt_.openFileNames(QStringLiteral("Import Presets"), QStringLiteral("Preset files (*.txt)"),
                                      QDir::homePath()));
}

// Each file on its own: a bad one is refused with the line that is wrong, and the rest go on.
void LibraryWindow::importFiles(const QStringList &files)
{
    if (files.isEmpty())
        return;
    const QString bank = selectedBank();
    QStringList refused;
    int taken = 0;
    for (const QString &file : files) {
        Result<QString> in = library_.import(file, bank, false);
        if (const Error *error = std::get_if<Error>(&in); error && error->code == ErrorCode::FileInTheWay) {
            if (!prompt_.askYesNo(errorText(*error) + QStringLiteral(". Replace it?")))
                continue;
            in = library_.import(file, bank, true);
        }
        if (const Error *error = std::get_if<Error>(&in))
            refused << errorText(*error);
        else
            ++taken;
    }
    refresh();
    tell(QStringLiteral("Imported %1 of %2 presets.").arg(taken).arg(files.size()));
    if (!refused.isEmpty()) {
        session_.log().printLines(refused);
        prompt_.message(refused.join(QLatin1Char('\n')));
    }
}

void LibraryWindow::exportSelected()
{
    QList<LibraryPreset> chosen;
    for (const QTreeWidgetItem *item : list_->selectedItems()) {
        const int index = item->data(0, kPresetRole).toInt();
        if (index >= 0)
            chosen << library_.presets()[index];
    }
    if (chosen.isEmpty())
        return;
    const QString folder = prompt_.folderName(QStringLiteral("Export Presets To"), QDir::homePath());
    if (folder.isEmpty())
        return;
    int written = 0;
    for (const LibraryPreset &p : chosen) {
        Result<QString> out = library_.exportTo(p, folder, false);
        if (const Error *error = std::get_if<Error>(&out); error && error->code == ErrorCode::FileInTheWay) {
            if (!prompt_.askYesNo(errorText(*error) + QStringLiteral(". Replace it?")))
                continue;
            out = library_.exportTo(p, folder, true);
        }
        if (const Error *error = std::get_if<Error>(&out))
            showError(*error);
        else
            ++written;
    }
    tell(QStringLiteral("Exported %1 of %2 presets.").arg(written).arg(chosen.size()));
}

void LibraryWindow::showInFileManager()
{
    const LibraryPreset *p = selected();
    QDesktopServices::openUrl(QUrl::fromLocalFile(p ? QFileInfo(p->path).absolutePath() : library_.folder()));
}

void LibraryWindow::saveNote()
{
    const LibraryPreset *p = selected();
    if (!p || note_->text() == p->note)
        return;
    const QString key = p->key();
    if (const std::optional<Error> error = library_.setNote(key, note_->text())) {
        showError(*error);
        return;
    }
    if (QTreeWidgetItem *item = list_->currentItem()) {
        item->setText(2, note_->text());
        for (int c = 0; c < 3; ++c)
            item->setToolTip(c, note_->text());
    }
}

// ---- Drops ----

void LibraryWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void LibraryWindow::dropEvent(QDropEvent *event)
{
    QStringList files;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    event->acceptProposedAction();
    importFiles(files);
}

void LibraryWindow::tell(const QString &text)
{
    status_->setText(text);
}

void LibraryWindow::showError(const Error &error)
{
    const QString text = errorText(error);
    session_.log().print(text);
    tell(text);
    prompt_.message(text);
}

} // namespace vadrelon

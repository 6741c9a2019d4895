#pragma once
// The preset library: every preset in the preset folder, its sub-folders as banks, with date
// and note; a filter over names and notes; Enter loads the selected preset as Load Preset
// does, and with Audition on, selecting one loads it, so that the arrow keys step through
// sounds. The preset the pedal holds is marked. The list follows the folder as it changes.
#include "content/presetlibrary.h"

#include <QWidget>

class QAction;
class QCheckBox;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace vadrelon {

class EditHistory;
class PedalSession;
class PresetActions;
class Prompt;
class SettingsStore;

class LibraryWindow : public QWidget {
    Q_OBJECT
public:
    LibraryWindow(PedalSession &session, SettingsStore &settings, Prompt &prompt, PresetActions &presets,
                  EditHistory &history);

    const PresetLibrary &library() const { return library_; }
    // The folder read again and the list rebuilt, keeping the selection where it can.
    void refresh();
    // Selects the preset with this key ("bank/name"); false when there is none.
    bool select(const QString &key);

protected:
    void showEvent(QShowEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildActions();
    void rebuildList();
    void applyFilter();
    void markHeld();
    const LibraryPreset *selected() const;
    QString selectedBank() const;
    void onSelectionChanged();
    void showSelection();
    void loadSelected();
    void loadPath(const QString &path, const QString &name);
    void saveSelected();
    void saveAsNew();
    void renameSelected();
    void duplicateSelected();
    void moveSelected();
    bool showMoved(const Result<QString> &path);
    void deleteSelected();
    void newBank();
    void importChosen();
    void importFiles(const QStringList &files);
    void exportSelected();
    void showInFileManager();
    void saveNote();
    void tell(const QString &text);
    void showError(const Error &error);
    void updateActions();

    PedalSession &session_;
    Prompt &prompt_;
    SettingsStore &settings_;
    PresetActions &presets_;
    EditHistory &history_;
    PresetLibrary library_;

    QLineEdit *filter_;
    QCheckBox *audition_;
    QTreeWidget *list_;
    QLineEdit *note_;
    QLabel *status_;
    QFileSystemWatcher *watcher_;
    QTimer *reread_;
    QAction *load_, *save_, *saveAs_, *rename_, *duplicate_, *move_, *delete_, *newBank_, *import_, *export_, *show_;
    bool loading_ = false; // a preset on its way to the pedal
    QString waitingPath_;  // the one to load after it, when the selection moved on meanwhile
    QString waitingName_;
    bool rebuilding_ = false; // the window, not the player, moves the selection
};

} // namespace vadrelon

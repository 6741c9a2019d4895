#pragma once
#include "base/prompt.h"

class QWidget;

namespace vadrelon {

// The prompt as the user sees it: QMessageBox and QFileDialog, modal over the main window.
class DialogPrompt : public Prompt {
public:
    void setParent(QWidget *parent) { parent_ = parent; }
    void message(const QString &text) override;
    bool askYesNo(const QString &text) override;
    std::optional<int> askNumber(const QString &text, int min, int max) override;
    QString openFileName(const QString &title, const QString &filter, const QString &folder) override;
    QString saveFileName(const QString &title, const QString &filter, const QString &folder) override;
    std::optional<QString> askText(const QString &text, const QString &initial) override;
    QStringList openFileNames(const QString &title, const QString &filter, const QString &folder) override;
    QString folderName(const QString &title, const QString &folder) override;

private:
    QWidget *parent_ = nullptr;
};

} // namespace vadrelon

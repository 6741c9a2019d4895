#include "ui/dialogprompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace vadrelon {

void DialogPrompt::message(const QString &text)
{
    QMessageBox::information(parent_, QApplication::applicationDisplayName(), text);
}

bool DialogPrompt::askYesNo(const QString &text)
{
    return QMessageBox::question(parent_, QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

std::optional<int> DialogPrompt::askNumber(const QString &text, int min, int max)
{
    bool ok = false;
    const int value =
        QInputDialog::getInt(parent_, QApplication::applicationDisplayName(), text, min, min, max, 1, &ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

std::optional<QString> DialogPrompt::askText(const QString &text, const QString &initial)
{
    bool ok = false;
    const QString value =
        QInputDialog::getText(parent_, QApplication::applicationDisplayName(), text, QLineEdit::Normal, initial, &ok);
    return ok ? std::optional<QString>(value) : std::nullopt;
}

QStringList DialogPrompt::openFileNames(const QString &title, const QString &filter, const QString &folder)
{
    return QFileDialog::getOpenFileNames(parent_, title, folder, filter);
}

QString DialogPrompt::folderName(const QString &title, const QString &folder)
{
    return QFileDialog::getExistingDirectory(parent_, title, folder);
}

QString DialogPrompt::openFileName(const QString &title, const QString &filter, const QString &folder)
{
    return QFileDialog::getOpenFileName(parent_, title, folder, filter);
}

QString DialogPrompt::saveFileName(const QString &title, const QString &filter, const QString &folder)
{
    return QFileDialog::getSaveFileName(parent_, title, folder, filter, nullptr, QFileDialog::DontConfirmOverwrite);
}

} // namespace vadrelon

#include "ui/consolewindow.h"

#include "support/consolelog.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

namespace vadrelon {

ConsoleWindow::ConsoleWindow(ConsoleLog &log) : QWidget(nullptr, Qt::Window), log_(log)
{
    setObjectName(QStringLiteral("TformPrint"));
    setWindowTitle(QStringLiteral("Debug Console"));
    setFixedSize(506, 676);
    // Beside the main window where the screen allows, never off it.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    move(std::max(screen.left(), std::min(1075, screen.right() - width())), screen.top());

    auto *btnClear = new QPushButton(QStringLiteral("Clear"), this);
    btnClear->setObjectName(QStringLiteral("btnClear"));
    btnClear->setGeometry(8, 5, 44, 25);
    auto *btnScrollTop = new QPushButton(QStringLiteral("UP"), this);
    btnScrollTop->setObjectName(QStringLiteral("btnScrollTop"));
    btnScrollTop->setGeometry(58, 5, 34, 25);
    scroll_ = new QCheckBox(QStringLiteral("scroll"), this);
    scroll_->setObjectName(QStringLiteral("CheckBox1"));
    scroll_->setGeometry(100, 5, 70, 25);
    scroll_->setChecked(true);
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("Memo1"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setGeometry(8, 62, 489, 606);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPixelSize(12);
    text_->setFont(mono);

    connect(btnClear, &QPushButton::clicked, &log_, &ConsoleLog::clear);
    connect(btnScrollTop, &QPushButton::clicked, this, &ConsoleWindow::onScrollTopClicked);
    connect(&log_, &ConsoleLog::appended, this, &ConsoleWindow::append);
    connect(&log_, &ConsoleLog::cleared, text_, &QPlainTextEdit::clear);
    append(log_.lines(), true);
}

void ConsoleWindow::append(const QStringList &lines, bool scroll)
{
    if (lines.isEmpty())
        return;
    QScrollBar *bar = text_->verticalScrollBar();
    const int kept = bar->value();
    text_->appendPlainText(lines.join(QLatin1Char('\n')));
    bar->setValue(scroll && scroll_->isChecked() ? bar->maximum() : kept);
}

void ConsoleWindow::onScrollTopClicked()
{
    text_->verticalScrollBar()->setValue(0);
}

} // namespace vadrelon

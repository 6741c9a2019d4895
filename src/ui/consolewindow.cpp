#include "ui/consolewindow.h"

#include "support/consolelog.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

namespace vadrelon {

TformPrint::TformPrint(ConsoleLog &log) : QWidget(nullptr, Qt::Window), log_(log)
{
    setObjectName(QStringLiteral("TformPrint"));
    setWindowTitle(QStringLiteral("Debug Console"));
    setFixedSize(506, 676);
    // Beside the main window where the screen allows, never off it.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    move(std::max(screen.left(), std::min(1075, screen.right() - width())), screen.top());

    btnClear = new QPushButton(QStringLiteral("Clear"), this);
    btnClear->setObjectName(QStringLiteral("btnClear"));
    btnClear->setGeometry(8, 5, 44, 25);
    btnScrollTop = new QPushButton(QStringLiteral("UP"), this);
    btnScrollTop->setObjectName(QStringLiteral("btnScrollTop"));
    btnScrollTop->setGeometry(58, 5, 34, 25);
    CheckBox1 = new QCheckBox(QStringLiteral("scroll"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(100, 5, 70, 25);
    CheckBox1->setChecked(true);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setGeometry(8, 62, 489, 606);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPixelSize(12);
    Memo1->setFont(mono);

    connect(btnClear, &QPushButton::clicked, this, &TformPrint::btnClearClick);
    connect(btnScrollTop, &QPushButton::clicked, this, &TformPrint::btnScrollTopClick);
    connect(CheckBox1, &QCheckBox::toggled, this, &TformPrint::CheckBox1Change);
    connect(&log_, &ConsoleLog::appended, this, &TformPrint::append);
    connect(&log_, &ConsoleLog::cleared, Memo1, &QPlainTextEdit::clear);
    append(log_.lines(), true);
}

void TformPrint::append(const QStringList &lines, bool scroll)
{
    if (lines.isEmpty())
        return;
    QScrollBar *bar = Memo1->verticalScrollBar();
    const int kept = bar->value();
    Memo1->appendPlainText(lines.join(QLatin1Char('\n')));
    bar->setValue(scroll && ConsoleAutoScroll ? bar->maximum() : kept);
}

void TformPrint::btnClearClick() { log_.Clear(); }

void TformPrint::btnScrollTopClick() { Memo1->verticalScrollBar()->setValue(0); }

} // namespace vadrelon

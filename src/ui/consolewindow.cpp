#include "ui/consolewindow.h"

#include "base/consolelog.h"
#include "base/hexcodec.h"
#include "base/prompt.h"
#include "base/safefile.h"
#include "content/tuning.h"
#include "device/eeprom.h"
#include "session/pedalsession.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

namespace vadrelon {

ConsoleWindow::ConsoleWindow(PedalSession &session, Prompt &prompt)
    : QWidget(nullptr, Qt::Window), session_(session), log_(session.log()), prompt_(prompt)
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
    buildTools();
    append(log_.lines(), true);
}

void ConsoleWindow::buildTools()
{
    const auto button = [this](const char *name, const char *text, int x, int y, int w, int h) {
        auto *b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, y, w, h);
        return b;
    };
    QPushButton *erase = button("btnEraseEeprom", "Erase E2P", 184, 5, 73, 32);
    QPushButton *read = button("btnReadEEPROM", "Read E2P", 265, 4, 62, 32);
    auto *label = new QLabel(QStringLiteral("E2P addr"), this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setGeometry(335, 8, 97, 17);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    i2cAddress_ = new QComboBox(this);
    i2cAddress_->setObjectName(QStringLiteral("cmbI2Caddr"));
    i2cAddress_->setEditable(true); // taken as typed or chosen, and checked before it is sent
    i2cAddress_->addItems({QStringLiteral("50"), QStringLiteral("51")});
    i2cAddress_->setGeometry(438, 4, 59, 26);
    saveDump_ = button("btnSaveDump", "Save Dump…", 387, 33, 110, 24);
    saveDump_->setToolTip(QStringLiteral("Save the memory read last to a file"));
    saveDump_->setEnabled(false);

    // Hidden as designed: a parameter message typed by hand.
    QPushButton *send = button("btnSend", "Send", 173, 45, 36, 22);
    sendAddress_ = new QLineEdit(QStringLiteral("addr"), this);
    sendAddress_->setObjectName(QStringLiteral("edtAddress"));
    sendData_ = new QLineEdit(QStringLiteral("data"), this);
    sendData_->setObjectName(QStringLiteral("edtData"));
    for (QWidget *w :
         {static_cast<QWidget *>(send), static_cast<QWidget *>(sendAddress_), static_cast<QWidget *>(sendData_)})
        w->hide();

    // Hidden as designed: the filter coefficient calculator. Its fields show the values it
    // uses from the start.
    notes_ = new QComboBox(this);
    notes_->setObjectName(QStringLiteral("cmbNotePicker"));
    notes_->addItems(calculatorNoteNames());
    notes_->setCurrentIndex(0);
    q_ = new QLineEdit(QString::number(filterQ_), this);
    q_->setObjectName(QStringLiteral("edtQ"));
    boost_ = new QLineEdit(QString::number(filterGainDb_), this);
    boost_->setObjectName(QStringLiteral("edtBoost"));
    QPushButton *calc = button("btnGetNoteFrequency", "Calc Coeff.", 265, 44, 80, 22);
    for (QWidget *w : {static_cast<QWidget *>(notes_), static_cast<QWidget *>(q_), static_cast<QWidget *>(boost_),
                       static_cast<QWidget *>(calc)})
        w->hide();

    connect(erase, &QPushButton::clicked, this, &ConsoleWindow::onEraseClicked);
    connect(read, &QPushButton::clicked, this, &ConsoleWindow::onReadClicked);
    connect(saveDump_, &QPushButton::clicked, this, &ConsoleWindow::onSaveDumpClicked);
    connect(send, &QPushButton::clicked, this, &ConsoleWindow::onSendClicked);
    connect(q_, &QLineEdit::editingFinished, this, &ConsoleWindow::onQEdited);
    connect(boost_, &QLineEdit::editingFinished, this, &ConsoleWindow::onBoostEdited);
    connect(calc, &QPushButton::clicked, this, &ConsoleWindow::onCalcClicked);
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

// ---- Settings memory and raw send ----

void ConsoleWindow::showError(const Error &error)
{
    const QString text = errorText(error);
    log_.print(text);
    prompt_.message(text);
}

bool ConsoleWindow::refuseUnlinked()
{
    if (session_.link().state() == LinkState::Linked)
        return false;
    showError(Error{ErrorCode::NotLinked, {}});
    return true;
}

void ConsoleWindow::onEraseClicked()
{
    if (refuseUnlinked())
        return;
    session_.eraseMemory(i2cAddress_->currentText(), this, [this](const std::optional<Error> &error) {
        if (error)
            showError(*error);
    });
}

void ConsoleWindow::onReadClicked()
{
    if (refuseUnlinked())
        return;
    const QString address =
        i2cAddress_->currentText().isEmpty() ? i2cAddress_->itemText(0) : i2cAddress_->currentText();
    session_.readMemory(address, this, [this](const Result<QByteArray> &dump) {
        if (const Error *error = std::get_if<Error>(&dump)) {
            showError(*error);
            return;
        }
        dump_ = std::get<QByteArray>(dump);
        saveDump_->setEnabled(true);
    });
}

void ConsoleWindow::onSaveDumpClicked()
{
    const QString path =
        prompt_.saveFileName(QStringLiteral("Save Memory Dump"), QStringLiteral("Memory dumps (*.bin)"), QString());
    if (path.isEmpty())
        return;
    if (const std::optional<Error> error = writeWholeFile(path, dump_)) {
        showError(*error);
        return;
    }
    log_.print(QStringLiteral("memory dump saved: ") + QDir::toNativeSeparators(path));
}

void ConsoleWindow::onSendClicked()
{
    if (refuseUnlinked())
        return;
    const Result<QString> message = buildRawParameterMessage(sendAddress_->text(), sendData_->text());
    if (const Error *error = std::get_if<Error>(&message)) {
        showError(*error);
        return;
    }
    log_.print(std::get<QString>(message));
    session_.sendMessage(std::get<QString>(message), 0, false, this, [this](const std::optional<Error> &error) {
        if (error)
            showError(*error);
    });
}

// ---- Coefficient calculator ----

namespace {

// A number as the person typed it: with a point, or with the decimal separator of their locale.
std::optional<double> readNumber(const QString &text)
{
    bool ok = false;
    const double value = QLocale().toDouble(text.trimmed(), &ok);
    if (ok)
        return value;
    const double c = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok ? std::optional<double>(c) : std::nullopt;
}

} // namespace

void ConsoleWindow::onQEdited()
{
    const std::optional<double> q = readNumber(q_->text());
    if (!q || *q <= 0) {
        prompt_.message(QStringLiteral("Q must be a number above 0, not \"%1\"; it stays %2.")
                            .arg(q_->text().left(16), QString::number(filterQ_)));
        q_->setText(QString::number(filterQ_));
        return;
    }
    filterQ_ = *q;
    log_.print(QStringLiteral("Q: ") + QString::number(filterQ_));
}

void ConsoleWindow::onBoostEdited()
{
    const std::optional<double> gain = readNumber(boost_->text());
    if (!gain) {
        prompt_.message(QStringLiteral("The gain must be a number of decibels, not \"%1\"; it stays %2.")
                            .arg(boost_->text().left(16), QString::number(filterGainDb_)));
        boost_->setText(QString::number(filterGainDb_));
        return;
    }
    filterGainDb_ = *gain;
    log_.print(QStringLiteral("boost: ") + QString::number(filterGainDb_));
}

void ConsoleWindow::onCalcClicked()
{
    const int index = std::max(0, notes_->currentIndex());
    log_.printLines(
        coefficientTableLines(notes_->itemText(index), kCalculatorFirstNote + index, filterGainDb_, filterQ_));
}

} // namespace vadrelon

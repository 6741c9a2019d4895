#include "ui/firmwarewindow.h"

#include "base/consolelog.h"
#include "content/firmwaretable.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace vadrelon {

FirmwareWindow::FirmwareWindow(ConsoleLog &log, QWidget *parent) : QWidget(parent, Qt::Window), log_(log)
{
    setObjectName(QStringLiteral("TformFirmwareUpgrade"));
    setWindowTitle(QStringLiteral("Firmware Upgrade"));
    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(8, 8, 8, 8);
    page->setSpacing(8);
    choice_ = new QComboBox(this);
    choice_->setObjectName(QStringLiteral("cmbFirmwareChoose"));
    choice_->addItems(firmwareListNames());
    choice_->setMinimumHeight(28);
    upgrade_ = new QPushButton(QStringLiteral("Upgrade Firmware"), this);
    upgrade_->setObjectName(QStringLiteral("btnUpgradeFirmware"));
    upgrade_->setMinimumHeight(33);
    fromFile_ = new QPushButton(QStringLiteral("From File…"), this);
    fromFile_->setObjectName(QStringLiteral("btnUpgradeFromFile"));
    fromFile_->setMinimumHeight(28);
    fromFile_->setToolTip(QStringLiteral("Install a firmware image (.bin) that the maker gave you"));
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("ProgressBar1"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setMinimumHeight(24);
    phase_ = new QLabel(this);
    phase_->setObjectName(QStringLiteral("lblUpgradePhase"));
    phase_->setWordWrap(true);
    page->addWidget(choice_);
    page->addWidget(upgrade_);
    page->addWidget(fromFile_);
    page->addWidget(progress_);
    page->addWidget(phase_);
    connect(choice_, &QComboBox::currentIndexChanged, this, &FirmwareWindow::onFirmwareSelected);
    connect(upgrade_, &QPushButton::clicked, this, &FirmwareWindow::upgradeClicked);
    connect(fromFile_, &QPushButton::clicked, this, &FirmwareWindow::fromFileClicked);
}

// The newest firmware is offered each time the window opens.
void FirmwareWindow::setVisible(bool visible)
{
    if (visible && !sized_) {
        sized_ = true;
        setFixedSize(QSize(260, sizeHint().height() + phase_->fontMetrics().height()));
    }
    QWidget::setVisible(visible);
}

void FirmwareWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    const int last = choice_->count() - 1;
    if (choice_->currentIndex() != last)
        choice_->setCurrentIndex(last);
    else
        onFirmwareSelected(last);
}

void FirmwareWindow::closeEvent(QCloseEvent *event)
{
    if (running_) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void FirmwareWindow::onFirmwareSelected(int index)
{
    if (index < 0)
        return;
    selectedName_ = choice_->itemText(index);
    if (const std::optional<FirmwareEntry> entry = firmwareByName(selectedName_))
        selectedVersion_ = entry->version;
    log_.print(QStringLiteral("Firmware Version(DEC): %1").arg(selectedVersion_));
    log_.print(selectedName_);
}

void FirmwareWindow::setRunning(bool running)
{
    running_ = running;
    for (QWidget *w :
         {static_cast<QWidget *>(choice_), static_cast<QWidget *>(upgrade_), static_cast<QWidget *>(fromFile_)})
        w->setEnabled(!running);
}

void FirmwareWindow::showProgress(int percent, const QString &text)
{
    progress_->setValue(percent);
    phase_->setText(text);
}

} // namespace vadrelon

#include "ui/firmwarewindow.h"

#include "base/consolelog.h"
#include "base/prompt.h"
#include "base/safefile.h"
#include "content/firmwaretable.h"
#include "content/resources.h"
#include "session/pedalsession.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace vadrelon {

FirmwareWindow::FirmwareWindow(PedalSession &session, Prompt &prompt, QWidget *parent)
    : QWidget(parent, Qt::Window), session_(session), prompt_(prompt), log_(session.log())
{
    setObjectName(QStringLiteral("TformFirmwareUpgrade"));
    setWindowTitle(QStringLiteral("Firmware Upgrade"));
    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(8, 8, 8, 8);
    page->setSpacing(8);
    choice_ = new QComboBox(this);
    choice_->setObjectName(QStringLiteral("cmbFirmwareChoose"));
    // Only what this build carries; the maker's other images come through From File.
    for (const QString &name : firmwareListNames())
        if (carriesResource(name))
            choice_->addItem(name);
    if (choice_->count() == 0) {
        choice_->addItem(QStringLiteral("No firmware built in: use From File…"));
        choice_->setEnabled(false);
    }
    choice_->setMinimumHeight(28);
    upgrade_ = new QPushButton(QStringLiteral("Upgrade Firmware"), this);
    upgrade_->setObjectName(QStringLiteral("btnUpgradeFirmware"));
    upgrade_->setEnabled(choice_->isEnabled());
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
    connect(upgrade_, &QPushButton::clicked, this, &FirmwareWindow::onUpgradeClicked);
    connect(fromFile_, &QPushButton::clicked, this, &FirmwareWindow::onFromFileClicked);
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
    if (!running_)
        showProgress(0, QString());
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
    if (index < 0 || !choice_->isEnabled())
        return;
    selectedName_ = choice_->itemText(index);
    if (const std::optional<FirmwareEntry> entry = firmwareByName(selectedName_))
        selectedVersion_ = entry->version;
    log_.print(QStringLiteral("Firmware Version(DEC): %1").arg(selectedVersion_));
    log_.print(selectedName_);
}

void FirmwareWindow::onUpgradeClicked()
{
    const Result<QByteArray> image = findResource(selectedName_);
    if (const Error *error = std::get_if<Error>(&image)) {
        showError(*error);
        return;
    }
    upgrade(std::get<QByteArray>(image), selectedVersion_);
}

void FirmwareWindow::onFromFileClicked()
{
    const QString path =
        prompt_.openFileName(QStringLiteral("Firmware Image"), QStringLiteral("Firmware images (*.bin)"), QString());
    if (path.isEmpty())
        return;
    const Result<QByteArray> image = readRegularFile(path, kFirmwareImageCap);
    if (const Error *error = std::get_if<Error>(&image)) {
        showError(*error);
        return;
    }
    std::optional<int> version = firmwareVersionFromFileName(QFileInfo(path).fileName());
    if (!version)
        version =
            prompt_.askNumber(QStringLiteral("Which firmware version is %1?").arg(QFileInfo(path).fileName()), 1, 255);
    if (!version)
        return;
    upgrade(std::get<QByteArray>(image), *version);
}

// "Complete" only when every step was acknowledged and the image read back whole; any other
// end leaves the pedal in its bootloader, and the message says how to go on from there.
void FirmwareWindow::upgrade(const QByteArray &image, int version)
{
    const auto progress = [this](const FirmwareUpgradeJob::Progress &p) { showProgress(p.percent, p.text); };
    setRunning(true);
    session_.upgradeFirmware(image, version, progress, this, [this](const std::optional<Error> &error) {
        setRunning(false);
        if (error) {
            showProgress(0, QStringLiteral("Stopped: nothing was started"));
            showError(*error);
            return;
        }
        prompt_.message(QStringLiteral("Firmware Upgrade Complete, device will now restart"));
        showProgress(0, QString());
        hide();
        emit upgraded();
    });
}

void FirmwareWindow::showError(const Error &error)
{
    const QString text = errorText(error);
    log_.print(text);
    prompt_.message(text);
}

void FirmwareWindow::setRunning(bool running)
{
    running_ = running;
    const bool carried = !selectedName_.isEmpty();
    choice_->setEnabled(!running && carried);
    upgrade_->setEnabled(!running && carried);
    fromFile_->setEnabled(!running);
    emit runningChanged();
}

void FirmwareWindow::showProgress(int percent, const QString &text)
{
    progress_->setValue(percent);
    phase_->setText(text);
}

} // namespace vadrelon

#include "ui/newversionwindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vadrelon {

NewVersionWindow::NewVersionWindow(QWidget *parent)
    : QWidget(parent,
              Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint)
{
    setObjectName(QStringLiteral("TformNewVersionMsg"));
    setWindowTitle(QStringLiteral("New Version"));
    // A little larger than the editor's other text: this window has one thing to say. Set by
    // its own sheet, which a change of the look's sheet leaves in place (a font set in code is
    // lost when the application's sheet is replaced).
    setStyleSheet(QStringLiteral("QWidget { font-size: 14px; }"));

    headline_ = new QLabel(this);
    headline_->setObjectName(QStringLiteral("Label1"));
    headline_->setAlignment(Qt::AlignCenter);
    versions_ = new QLabel(this);
    versions_->setObjectName(QStringLiteral("Label2"));
    versions_->setAlignment(Qt::AlignCenter);
    auto *updateNow = new QPushButton(QStringLiteral("Update Now"), this);
    updateNow->setObjectName(QStringLiteral("btnLaunchUpdate"));
    auto *whatsNew = new QPushButton(QStringLiteral("What's New?"), this);
    whatsNew->setObjectName(QStringLiteral("btnSeeWhatsNew"));
    dontShowAgain_ = new QCheckBox(QStringLiteral("Don't Show This Message Again"), this);
    dontShowAgain_->setObjectName(QStringLiteral("CheckBox1"));

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(headline_);
    layout->addWidget(versions_);
    layout->addSpacing(6);
    layout->addWidget(updateNow, 0, Qt::AlignHCenter);
    layout->addWidget(whatsNew, 0, Qt::AlignHCenter);
    layout->addSpacing(6);
    layout->addWidget(dontShowAgain_, 0, Qt::AlignHCenter);
    updateNow->setMinimumWidth(120);
    whatsNew->setMinimumWidth(120);
    move(81, 318);

    connect(updateNow, &QPushButton::clicked, this, &NewVersionWindow::updateNowClicked);
    connect(whatsNew, &QPushButton::clicked, this, &NewVersionWindow::whatsNewClicked);
    connect(dontShowAgain_, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            emit dontShowAgainChecked();
    });
}

void NewVersionWindow::showVersions(const QString &own, const QString &newest)
{
    headline_->setText(QStringLiteral("A new version of the Vadrelon Editor is available"));
    versions_->setText(QStringLiteral("Your version: %1     New version: %2").arg(own, newest));
    show();
    raise();
}

} // namespace vadrelon

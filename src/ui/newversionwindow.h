#pragma once
// The small window that announces a newer editor release, with the way to it and its news.
#include <QWidget>

class QCheckBox;
class QLabel;

namespace vadrelon {

class NewVersionWindow : public QWidget {
    Q_OBJECT
public:
    explicit NewVersionWindow(QWidget *parent = nullptr);

    void showVersions(const QString &own, const QString &newest);

signals:
    void updateNowClicked();
    void whatsNewClicked();
    // The player asked not to be told at start-up again.
    void dontShowAgainChecked();

private:
    QLabel *headline_;
    QLabel *versions_;
    QCheckBox *dontShowAgain_;
};

} // namespace vadrelon

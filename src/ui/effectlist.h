#pragma once
// The effect list: the arrow keys move the selection without loading the effect (a click
// loads it), and say so in the console.
#include <QListWidget>

namespace vadrelon {

class EffectList : public QListWidget {
    Q_OBJECT
public:
    using QListWidget::QListWidget;

signals:
    void arrowPressed(const QString &trace);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace vadrelon

#pragma once
#include <QPushButton>

namespace vadrelon {

// A push button whose caption wraps onto two lines when it does not fit ("Upload Selected"
// on an 80-pixel button); text() stays the caption as written.
class WrapButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace vadrelon

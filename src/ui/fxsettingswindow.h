#pragma once
// The effect settings window: the sixteen parameters, tuning, bypass, assignments.
#include <QWidget>

namespace vadrelon {

class TformFXsettings : public QWidget {
    Q_OBJECT
public:
    TformFXsettings();

    void EnableEffectControls(bool enabled);
};

} // namespace vadrelon

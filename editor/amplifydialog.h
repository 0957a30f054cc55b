#pragma once
// The "Amplify" dialog: a percentage 1 .. 200; the two Amplify commands preset it (101 to
// increase, 10 to decrease) before each showing.
// Thread rule: a widget; main thread only.

#include "editor/spindialog.h"

namespace orvella {

class TAmplifyDialog : public TSpinDialog {
    Q_OBJECT
public:
    static constexpr int IncreasePreset = 101;
    static constexpr int DecreasePreset = 10;
    explicit TAmplifyDialog(QWidget* parent = nullptr)
        : TSpinDialog(tr("Amplify"), tr(" Amplify (%) "), 1, 200, IncreasePreset, parent) {}
};

} // namespace orvella

#pragma once
// The "Silence Duration" dialog: the length of the silence to insert in milliseconds, 500 at
// first. A negative length cannot be entered (the edit stops at 0); the top is the largest
// millisecond count the spin edit holds.
// Thread rule: a widget; main thread only.

#include "editor/spindialog.h"

#include <climits>

namespace orvella {

class TSilenceDialog : public TSpinDialog {
    Q_OBJECT
public:
    explicit TSilenceDialog(QWidget* parent = nullptr)
        : TSpinDialog(tr("Silence Duration"), tr("Silence (ms)"), 0, INT_MAX, 500, parent) {}
};

} // namespace orvella

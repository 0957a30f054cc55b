#pragma once
// The "Normalization Settings" dialog: the target peak in percent, 0 .. 100, 95 at first; the
// last value used is shown again.
// Thread rule: a widget; main thread only.

#include "editor/spindialog.h"

namespace orvella {

class TNormalizeDialog : public TSpinDialog {
    Q_OBJECT
public:
    explicit TNormalizeDialog(QWidget* parent = nullptr)
        : TSpinDialog(tr("Normalization Settings"), tr("Normalization (%)"), 0, 100, 95, parent) {}
};

} // namespace orvella

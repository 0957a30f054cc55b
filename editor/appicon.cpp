#include "editor/appicon.h"

namespace orvella {

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/orvella/icons/orvella-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace orvella

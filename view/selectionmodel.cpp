#include "view/selectionmodel.h"

namespace orvella {

void TSelectionModel::Set(uint32_t start, uint32_t stop, bool selected) {
    if (start == FStart && stop == FStop && selected == FSelected) return;
    FStart = start;
    FStop = stop;
    FSelected = selected;
    emit Changed();
}

void TSelectionModel::SetMilliseconds(bool milliseconds) {
    if (milliseconds == FMilliseconds) return;
    FMilliseconds = milliseconds;
    emit Changed();
}

} // namespace orvella

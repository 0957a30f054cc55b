#pragma once
// TSelectionModel, the one selection of the document shown: its first and last frame, whether it
// is selected, and whether times are shown in milliseconds or in frames. The view, the selection
// group and the commands share one; Changed tells them all after every change.
//
// Start and Stop are frames as set: a typed selection may run backwards or past the end, and
// readers limit it to the document themselves. Unselected, the range is kept (ticking the box
// selects it again).
// Thread rule: main thread only.

#include <QObject>

#include <cstdint>

namespace orvella {

class TSelectionModel : public QObject {
    Q_OBJECT
public:
    explicit TSelectionModel(QObject* parent = nullptr)
        : QObject(parent) {}

    uint32_t Start() const { return FStart; }
    uint32_t Stop() const { return FStop; }
    bool Selected() const { return FSelected; }
    bool Milliseconds() const { return FMilliseconds; }

    void Set(uint32_t start, uint32_t stop, bool selected);
    // The range only; selected as it was.
    void SetRange(uint32_t start, uint32_t stop) { Set(start, stop, FSelected); }
    void SetSelected(bool selected) { Set(FStart, FStop, selected); }
    void SetMilliseconds(bool milliseconds);

signals:
    // Any of the four changed.
    void Changed();

private:
    uint32_t FStart = 0, FStop = 0;
    bool FSelected = false;
    bool FMilliseconds = true;
};

} // namespace orvella

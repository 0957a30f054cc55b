#pragma once
// The main window's horizontal scroll bar as the view drives it: minimum, maximum, page size,
// position and steps in frames. Documents may hold up to 2^32 - 1 frames, but QScrollBar's values
// are int: positions are kept in units of FramesPerUnit() frames (1 for documents of up to 2^30
// frames). The bar scrolls a page of PageSize frames over [Minimum, Maximum]: its positions run
// from Minimum to Maximum - PageSize.
// Thread rule: GUI thread only.

#include <QScrollBar>

#include <cstdint>

namespace orvella {

class TFrameScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit TFrameScrollBar(QWidget* parent = nullptr);

    // Each setter leaves the other values as they are; none emits PositionChanged.
    void SetMinimum(uint32_t frames);
    void SetMaximum(uint32_t frames);
    void SetPageSize(uint32_t frames);
    void SetPosition(uint32_t frames);
    void SetSmallChange(uint32_t frames);
    void SetLargeChange(uint32_t frames);

    uint32_t Minimum() const { return FMinimum; }
    uint32_t Maximum() const { return FMaximum; }
    uint32_t PageSize() const { return FPageSize; }
    uint32_t Position() const;
    uint32_t SmallChange() const { return FSmallChange; }
    uint32_t LargeChange() const { return FLargeChange; }
    uint32_t FramesPerUnit() const { return Unit; }

signals:
    // The user moved the bar (not emitted by the setters).
    void PositionChanged(uint32_t frames);
    // SetPageSize changed the page: whether scrolling is of use may have changed with it.
    void PageSizeChanged(uint32_t frames);

private:
    void Apply();
    int ToUnits(uint64_t frames) const;

    uint32_t FMinimum = 0, FMaximum = 100, FPageSize = 1, FPosition = 0;
    uint32_t FSmallChange = 1, FLargeChange = 1;
    uint32_t Unit = 1;
    bool Applying = false;
};

} // namespace orvella

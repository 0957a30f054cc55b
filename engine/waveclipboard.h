#pragma once
// The clipboard as the document's bodies use it: a block in the wave clipboard format (a 44-byte
// work-file header, then the values). The editor implements it over the desktop clipboard, the
// batch tool and the tests over memory.
// Thread rule: called from the body's worker thread; implementations hand over to the main thread
// themselves when their clipboard lives there.

#include <cstdint>
#include <vector>

namespace orvella {

class TWaveClipboard {
public:
    virtual ~TWaveClipboard() = default;
    // Fails with Exception("Cannot open clipboard") when the clipboard cannot be had.
    virtual void Open() = 0;
    virtual void Close() = 0;
    // Between Open and Close:
    virtual bool HasWave() = 0;
    virtual std::vector<uint8_t> GetWave() = 0;
    // Empties the clipboard and places the block.
    virtual void SetWave(std::vector<uint8_t> block) = 0;
};

} // namespace orvella

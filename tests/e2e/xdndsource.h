#pragma once
// The source side of a drag and drop between X clients, as a file manager plays it: offers a
// list of file addresses (text/uri-list) to a window through the XDND protocol — enter, position,
// drop — and hands the data over when the target asks for it. Drives no pointer, so the drop
// lands exactly where asked.

#include <string>

namespace orvella::test {

// Drops uriList ("file:///a.wav\r\n") on window (an X window id) at its own point (x, y), on
// the display named by DISPLAY. Returns an empty string when the target took the drop and said it
// finished, otherwise what went wrong. Gives up after timeoutMs.
std::string DropUriList(unsigned long window, int x, int y, const std::string& uriList,
                        int timeoutMs = 10000);

} // namespace orvella::test

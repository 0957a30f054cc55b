#pragma once
// Whether the Windows Media audio decoders are present in the linked FFmpeg. Checked once per
// process; WMA import refuses to start without them.
// Thread rule: any thread.

namespace orvella {

// True when the WMA version 1 and 2 decoders are available.
bool WmaDecodersPresent();

} // namespace orvella

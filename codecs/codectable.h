#pragma once
// The codec services the document is given: the decoders by extension (".mp3", ".wav", ".wma" in
// that order) and the MP3 writer. The host adds its own question for MP3 settings.

#include "engine/codecservices.h"
#include "engine/userdialogs.h"

namespace orvella {

// dialogs receives the boxes the codecs show themselves; it must outlive the services.
TCodecServices DefaultCodecServices(TUserDialogs& dialogs);

} // namespace orvella

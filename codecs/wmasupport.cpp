#include "codecs/wmasupport.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace orvella {

bool WmaDecodersPresent() {
    static const bool bound = avcodec_find_decoder(AV_CODEC_ID_WMAV1) != nullptr &&
                              avcodec_find_decoder(AV_CODEC_ID_WMAV2) != nullptr;
    return bound;
}

} // namespace orvella

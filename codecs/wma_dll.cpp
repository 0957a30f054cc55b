#include "codecs/wma_dll.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace orvella {

bool BindWMRuntime() {
    static const bool bound = avcodec_find_decoder(AV_CODEC_ID_WMAV1) != nullptr &&
                              avcodec_find_decoder(AV_CODEC_ID_WMAV2) != nullptr;
    return bound;
}

} // namespace orvella

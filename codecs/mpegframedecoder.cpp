#include "codecs/mpegframedecoder.h"

#include <cstring>
#include <mpg123.h>
#include <mutex>

namespace orvella {

namespace {

// libmpg123's global set-up, once per process (a no-op in recent versions, required in older).
bool LibraryReady() {
    static const bool ready = mpg123_init() == MPG123_OK;
    return ready;
}

} // namespace

int InitMpegDecoder(TMpegDecoderState* mp) {
    if (mp == nullptr || !LibraryReady()) return 0;
    ExitMpegDecoder(mp);
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (handle == nullptr) return 0;
    // 16-bit signed output only, in the stream's own rate and channel count; no messages on
    // stderr about damaged frames, and no limit on how far to look for the next frame after
    // damage: the import goes on over it, whatever its length.
    bool ok = mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0) == MPG123_OK &&
              mpg123_param(handle, MPG123_RESYNC_LIMIT, -1, 0) == MPG123_OK &&
              mpg123_format_none(handle) == MPG123_OK;
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; ok && i < count; ++i)
        ok = mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16) ==
             MPG123_OK;
    if (!ok || mpg123_open_feed(handle) != MPG123_OK) {
        mpg123_delete(handle);
        return 0;
    }
    mp->Handle = handle;
    return 1;
}

int DecodeMpegFrame(TMpegDecoderState* mp, const uint8_t* in, int inSize, uint8_t* out, int outSize,
                    int* done) {
    if (done) *done = 0;
    if (mp == nullptr || mp->Handle == nullptr || out == nullptr || outSize < 0) return MP3_ERR;
    mpg123_handle* handle = mp->Handle;
    if (in != nullptr && inSize > 0 && mpg123_feed(handle, in, size_t(inSize)) != MPG123_OK)
        return MP3_ERR;
    for (;;) {
        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        size_t bytes = 0;
        int result = mpg123_decode_frame(handle, &frameNumber, &audio, &bytes);
        if (result == MPG123_NEW_FORMAT) continue; // the format is read per frame below
        if (result == MPG123_NEED_MORE) return MP3_NEED_MORE;
        if (result != MPG123_OK) return MP3_ERR;
        if (bytes == 0 || audio == nullptr) continue; // a frame with nothing to play (gapless)

        long rate = 0;
        int channels = 0, encoding = 0;
        if (mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK) return MP3_ERR;
        if (mp->Rate == 0) {
            mp->Rate = rate;
            mp->Channels = channels;
        }
        if (rate != mp->Rate || channels != mp->Channels) continue; // another format: skipped
        if (bytes > size_t(outSize)) return MP3_ERR;
        if (bytes > 0) std::memcpy(out, audio, bytes);
        if (done) *done = int(bytes);
        return MP3_OK;
    }
}

void ExitMpegDecoder(TMpegDecoderState* mp) {
    if (mp == nullptr || mp->Handle == nullptr) return;
    mpg123_delete(mp->Handle);
    mp->Handle = nullptr;
}

} // namespace orvella

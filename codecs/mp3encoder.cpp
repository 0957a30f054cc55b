#include "codecs/mp3encoder.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <lame/lame.h>
#include <memory>
#include <vector>

static_assert(std::endian::native == std::endian::little, "the record is little-endian");

namespace orvella {

struct TLameStream {
    lame_global_flags* Flags = nullptr;
    int Channels = 2;
    uint32_t BufferSize = 0;
    bool WriteTag = false;
    ~TLameStream() {
        if (Flags) lame_close(Flags);
    }
};

namespace {

bool IsMP3Rate(uint32_t rate) {
    switch (rate) {
    case 8000:
    case 11025:
    case 12000:
    case 16000:
    case 22050:
    case 24000:
    case 32000:
    case 44100:
    case 48000:
        return true;
    default:
        return false;
    }
}

MPEG_mode ModeOf(int32_t mode) {
    switch (mode) {
    case BE_MP3_MODE_JSTEREO:
        return JOINT_STEREO;
    case BE_MP3_MODE_DUALCHANNEL:
        return DUAL_CHANNEL;
    case BE_MP3_MODE_MONO:
        return MONO;
    default:
        return STEREO;
    }
}

// Transfers the record to the encoder's settings; false when a value is out of its range.
bool Configure(lame_global_flags* gf, const TEncoderRecord& c) {
    bool ok = true;
    auto set = [&ok](int result) { ok = ok && result >= 0; };
    const bool mono = c.nMode == BE_MP3_MODE_MONO;
    set(lame_set_num_channels(gf, mono ? 1 : 2));
    set(lame_set_in_samplerate(gf, int(c.dwSampleRate)));
    // The input rate is kept unless a resampling rate is asked for; a rate MP3 cannot carry is
    // left to the encoder to bring to the nearest one it can.
    if (c.dwReSampleRate != 0)
        set(lame_set_out_samplerate(gf, int(c.dwReSampleRate)));
    else if (IsMP3Rate(c.dwSampleRate))
        set(lame_set_out_samplerate(gf, int(c.dwSampleRate)));
    set(lame_set_mode(gf, ModeOf(c.nMode)));

    if (!c.bEnableVBR) {
        set(lame_set_VBR(gf, vbr_off));
        set(lame_set_brate(gf, int(c.dwBitrate)));
    } else {
        const int maximum = int(c.dwMaxBitrate);
        int minimum = int(c.dwBitrate);
        if (c.nVbrMethod == VBR_METHOD_ABR) {
            int mean = int((c.dwVbrAbr_bps + 500) / 1000);
            set(lame_set_VBR(gf, vbr_abr));
            set(lame_set_VBR_mean_bitrate_kbps(gf, mean));
            // The limits are loosened where they would exclude the target.
            minimum = std::min(minimum, mean);
            if (maximum > 0) set(lame_set_VBR_max_bitrate_kbps(gf, std::max(maximum, mean)));
        } else {
            set(lame_set_VBR(gf, c.nVbrMethod == VBR_METHOD_OLD ? vbr_rh : vbr_mtrh));
            set(lame_set_VBR_q(gf, std::clamp(int(c.nVBRQuality), 0, 9)));
            if (maximum > 0) {
                minimum = std::min(minimum, maximum);
                set(lame_set_VBR_max_bitrate_kbps(gf, maximum));
            }
        }
        if (minimum > 0) set(lame_set_VBR_min_bitrate_kbps(gf, minimum));
    }

    set(lame_set_error_protection(gf, c.bCRC ? 1 : 0));
    set(lame_set_original(gf, c.bOriginal ? 1 : 0));
    set(lame_set_copyright(gf, c.bCopyright ? 1 : 0));
    set(lame_set_extension(gf, c.bPrivate ? 1 : 0));
    set(lame_set_emphasis(gf, int(std::min<uint32_t>(c.dwEmphasis, 3))));
    set(lame_set_disable_reservoir(gf, c.bNoRes ? 1 : 0));
    set(lame_set_strict_ISO(gf, c.bStrictIso ? 1 : 0));
    if (c.nQuality <= 9) set(lame_set_quality(gf, c.nQuality));
    set(lame_set_bWriteVbrTag(gf, c.bWriteVBRHeader ? 1 : 0));
    lame_set_write_id3tag_automatic(gf, 0);
    return ok;
}

} // namespace

uint32_t OpenEncoderStream(const TEncoderRecord* config, uint32_t* samples, uint32_t* bufferSize,
                           TEncoderHandle* stream) {
    if (samples) *samples = 0;
    if (bufferSize) *bufferSize = 0;
    if (stream) *stream = nullptr;
    if (config == nullptr || samples == nullptr || bufferSize == nullptr || stream == nullptr)
        return EncoderErrorInvalidParameters;
    if (config->dwConfig != EncoderRecordLame || config->dwStructVersion < 1)
        return EncoderErrorInvalidFormat;
    if (config->dwSampleRate == 0) return EncoderErrorInvalidParameters;

    auto s = std::make_unique<TLameStream>();
    s->Flags = lame_init();
    if (s->Flags == nullptr) return EncoderErrorNoMoreHandles;
    if (!Configure(s->Flags, *config) || lame_init_params(s->Flags) < 0)
        return EncoderErrorInvalidParameters;

    s->Channels = lame_get_num_channels(s->Flags);
    s->WriteTag = config->bWriteVBRHeader != 0;
    const uint32_t frameSize = uint32_t(lame_get_framesize(s->Flags));
    // The encoder's worst case for one chunk: 1.25 × samples + 7200 bytes (the flush needs 7200).
    s->BufferSize = frameSize * 5 / 4 + 7200;
    *samples = frameSize * uint32_t(s->Channels);
    *bufferSize = s->BufferSize;
    *stream = s.release();
    return EncoderOk;
}

namespace {

// One chunk through the encoder: the checks and results both sample types share; encode(frames)
// makes the library call.
template <class T, class F>
uint32_t EncodeValues(TEncoderHandle stream, uint32_t nSamples, const T* samples, uint8_t* output,
                      uint32_t* outputBytes, F encode) {
    if (outputBytes) *outputBytes = 0;
    if (stream == nullptr || stream->Flags == nullptr) return EncoderErrorInvalidHandle;
    if (output == nullptr || outputBytes == nullptr || (samples == nullptr && nSamples > 0))
        return EncoderErrorInvalidParameters;
    const int result = encode(int(nSamples / uint32_t(stream->Channels)));
    if (result < 0) return result == -1 ? EncoderErrorBufferTooSmall : EncoderErrorInvalidFormat;
    *outputBytes = uint32_t(result);
    return EncoderOk;
}

} // namespace

uint32_t EncodeChunk(TEncoderHandle stream, uint32_t nSamples, const int16_t* samples,
                     uint8_t* output, uint32_t* outputBytes) {
    return EncodeValues(stream, nSamples, samples, output, outputBytes, [&](int frames) {
        const int size = int(stream->BufferSize);
        return stream->Channels == 1
                   ? lame_encode_buffer(stream->Flags, samples, samples, frames, output, size)
                   : lame_encode_buffer_interleaved(stream->Flags, const_cast<short*>(samples),
                                                    frames, output, size);
    });
}

uint32_t EncodeFloatChunk(TEncoderHandle stream, uint32_t nSamples, const float* samples,
                          uint8_t* output, uint32_t* outputBytes) {
    return EncodeValues(stream, nSamples, samples, output, outputBytes, [&](int frames) {
        const int size = int(stream->BufferSize);
        return stream->Channels == 1
                   ? lame_encode_buffer_ieee_float(stream->Flags, samples, samples, frames,
                                                   output, size)
                   : lame_encode_buffer_interleaved_ieee_float(stream->Flags, samples, frames,
                                                               output, size);
    });
}

uint32_t FlushEncoderStream(TEncoderHandle stream, uint8_t* output, uint32_t* outputBytes) {
    if (outputBytes) *outputBytes = 0;
    if (stream == nullptr || stream->Flags == nullptr) return EncoderErrorInvalidHandle;
    if (output == nullptr || outputBytes == nullptr) return EncoderErrorInvalidParameters;
    int result = lame_encode_flush(stream->Flags, output, int(stream->BufferSize));
    if (result < 0) return EncoderErrorBufferTooSmall;
    *outputBytes = uint32_t(result);
    return EncoderOk;
}

uint32_t WriteInfoTag(TEncoderHandle stream, const char* fileName) {
    if (stream == nullptr || stream->Flags == nullptr) return EncoderErrorInvalidHandle;
    if (!stream->WriteTag) return EncoderOk;
    if (fileName == nullptr) return EncoderErrorInvalidParameters;
    std::vector<unsigned char> frame(lame_get_lametag_frame(stream->Flags, nullptr, 0));
    if (frame.empty()) return EncoderOk;
    if (lame_get_lametag_frame(stream->Flags, frame.data(), frame.size()) != frame.size())
        return EncoderErrorBufferTooSmall;
    // The encoder put a placeholder of this size as the file's first frame.
    std::FILE* file = std::fopen(fileName, "r+b");
    if (file == nullptr) return EncoderErrorInvalidParameters;
    bool ok = std::fwrite(frame.data(), 1, frame.size(), file) == frame.size();
    ok = std::fclose(file) == 0 && ok;
    return ok ? EncoderOk : EncoderErrorInvalidParameters;
}

uint32_t CloseEncoderStream(TEncoderHandle stream) {
    if (stream == nullptr) return EncoderErrorInvalidHandle;
    std::unique_ptr<TLameStream> owned(stream);
    return EncoderOk;
}

} // namespace orvella

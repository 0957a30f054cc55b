#pragma once
// TPayloadDecoder: decodes the compressed samples of a WAV file (any tag libavcodec has a decoder
// for: IMA and MS ADPCM, A-law, mu-law, GSM 6.10, MPEG audio, ...) into interleaved 16-bit PCM
// with the rate and channel count the format declares. The steps follow the order in which the
// WAV reader needs them: suggest the PCM format, open, size the source chunks, prepare, convert.
// Decoded float samples follow the float rule of pcmconvert.h, 32-bit integers the narrowing
// rule there. Thread rule: one decoder belongs to one reader.

#include "engine/waveformat.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct AVCodecContext;
struct AVCodecParserContext;
struct AVPacket;
struct AVFrame;
struct AVCodec;

namespace orvella {

class TPayloadDecoder {
public:
    TPayloadDecoder() = default;
    ~TPayloadDecoder();
    TPayloadDecoder(const TPayloadDecoder&) = delete;
    TPayloadDecoder& operator=(const TPayloadDecoder&) = delete;

    // format: a TWaveFormat followed by its cbSize extra bytes. Fills pcm with the 16-bit PCM
    // format the decoder delivers; false when no decoder knows the tag or the format declares no
    // channels or no rate.
    bool Suggest(const std::vector<uint8_t>& format, TWaveFormat& pcm);
    // Opens the decoder found by Suggest with the format's parameters and extra bytes.
    bool Open();
    // The most source bytes one conversion is handed: whole blocks, about 4 KiB, at least one
    // block; 0 before Open.
    uint32_t MaxSourceSize() const;
    // Source bytes for the next conversion: whole blocks, about what makes pcmBytes of output at
    // the ratio seen so far, within one block and MaxSourceSize, and never more than all
    // pieces before it together: they start at one block and at most double. So a format that
    // expands a few bytes to megabytes is decoded a little at a time, not all at once. 0 before
    // Open.
    uint32_t SourceSize(uint32_t pcmBytes) const;
    // Allocates the packet and frame used by every conversion.
    bool Prepare();
    // Decodes length source bytes and appends the PCM to pcm. final: the source has ended; the
    // decoder's held-back output is drained. false on a decoding error or on output whose rate
    // or channel count differs from the suggested format.
    bool Convert(const uint8_t* source, uint32_t length, bool final, std::vector<uint8_t>& pcm);

private:
    bool ConvertInto(const uint8_t* source, uint32_t length, bool final, std::vector<uint8_t>& pcm);
    bool Decode(const uint8_t* data, int size, std::vector<uint8_t>& pcm);
    bool Drain(std::vector<uint8_t>& pcm);
    bool ReceiveFrames(std::vector<uint8_t>& pcm);
    bool AppendFrame(std::vector<uint8_t>& pcm);

    std::vector<uint8_t> Format;
    TWaveFormat Header{};
    TWaveFormat Pcm{};
    uint16_t Tag = 0;
    size_t ExtraOffset = 0;
    const AVCodec* Codec = nullptr;
    AVCodecContext* Context = nullptr;
    AVCodecParserContext* Parser = nullptr;
    AVPacket* Packet = nullptr;
    AVFrame* Frame = nullptr;
    std::vector<uint8_t> Padded; // one packet with the zero padding libavcodec reads past the end
    uint64_t SourceTaken = 0;    // source bytes handed to Convert
    uint64_t PcmGiven = 0;       // PCM bytes it appended
};

} // namespace orvella

#pragma once
// The MP3 encoder behind the four-call stream interface the MP3 writer is written against, and
// its configuration record (version-1 layout, 349 bytes, little-endian, true stored as -1).
// Thread rule: a stream belongs to one caller; different streams may run on different threads.

#include <cstddef>
#include <cstdint>

namespace orvella {

constexpr uint32_t BE_CONFIG_MP3 = 0;
constexpr uint32_t BE_CONFIG_LAME = 256;

// Results of the be* calls.
constexpr uint32_t BE_ERR_SUCCESSFUL = 0x00000000;
constexpr uint32_t BE_ERR_INVALID_FORMAT = 0x00000001;
constexpr uint32_t BE_ERR_INVALID_FORMAT_PARAMETERS = 0x00000002;
constexpr uint32_t BE_ERR_NO_MORE_HANDLES = 0x00000003;
constexpr uint32_t BE_ERR_INVALID_HANDLE = 0x00000004;
constexpr uint32_t BE_ERR_BUFFER_TOO_SMALL = 0x00000005;

// nMode
constexpr int32_t BE_MP3_MODE_STEREO = 0;
constexpr int32_t BE_MP3_MODE_JSTEREO = 1;
constexpr int32_t BE_MP3_MODE_DUALCHANNEL = 2;
constexpr int32_t BE_MP3_MODE_MONO = 3;

// dwMpegVersion
constexpr uint32_t MPEG2 = 0;
constexpr uint32_t MPEG1 = 1;

// nPreset (the ones the program uses)
constexpr int32_t LQP_NOPRESET = -1;
constexpr int32_t LQP_ABR = 11;
constexpr int32_t LQP_CBR = 12;

// nVbrMethod
constexpr int32_t VBR_METHOD_NONE = -1;
constexpr int32_t VBR_METHOD_DEFAULT = 0;
constexpr int32_t VBR_METHOD_OLD = 1;
constexpr int32_t VBR_METHOD_NEW = 2;
constexpr int32_t VBR_METHOD_MTRH = 3;
constexpr int32_t VBR_METHOD_ABR = 4;

constexpr int32_t BE_TRUE = -1;

#pragma pack(push, 1)
struct BE_CONFIG {
    uint32_t dwConfig; // BE_CONFIG_LAME
    uint32_t dwStructVersion;
    uint32_t dwStructSize; // 331
    uint32_t dwSampleRate;
    uint32_t dwReSampleRate; // 0: the input rate
    int32_t nMode;
    uint32_t dwBitrate;    // kbit/s; CBR rate, minimum for VBR and ABR
    uint32_t dwMaxBitrate; // kbit/s; maximum for VBR and ABR
    int32_t nPreset;
    uint32_t dwMpegVersion;
    uint32_t dwPsyModel;
    uint32_t dwEmphasis;
    int32_t bPrivate;
    int32_t bCRC;
    int32_t bCopyright;
    int32_t bOriginal;
    int32_t bWriteVBRHeader;
    int32_t bEnableVBR;
    int32_t nVBRQuality; // 0 best ... 9
    uint32_t dwVbrAbr_bps;
    int32_t nVbrMethod;
    int32_t bNoRes;
    int32_t bStrictIso;
    uint16_t nQuality;       // 0 best ... 9
    uint8_t btReserved[255]; // unused, zero
};
#pragma pack(pop)
static_assert(sizeof(BE_CONFIG) == 349, "the record is 349 bytes");
static_assert(offsetof(BE_CONFIG, dwSampleRate) == 12 && offsetof(BE_CONFIG, nMode) == 20 &&
                  offsetof(BE_CONFIG, nPreset) == 32 && offsetof(BE_CONFIG, bCRC) == 52 &&
                  offsetof(BE_CONFIG, nVBRQuality) == 72 && offsetof(BE_CONFIG, nVbrMethod) == 80 &&
                  offsetof(BE_CONFIG, nQuality) == 92,
              "field offsets of the version-1 layout");

struct TLameStream;
using HBE_STREAM = TLameStream*;

// Opens an encoder stream as the record says. *samples receives the number of 16-bit values (all
// channels) each chunk should hold, *bufferSize the output buffer size each call needs.
uint32_t beInitStream(const BE_CONFIG* config, uint32_t* samples, uint32_t* bufferSize,
                      HBE_STREAM* stream);
// Encodes nSamples interleaved values into output (at least the buffer size of beInitStream).
uint32_t beEncodeChunk(HBE_STREAM stream, uint32_t nSamples, const int16_t* samples,
                       uint8_t* output, uint32_t* outputBytes);
// Delivers the encoder's remaining output.
uint32_t beDeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes);
// When the record asked for a VBR header: rewrites the first frame of fileName (a closed file
// holding exactly what this stream produced) with the final header; otherwise does nothing.
uint32_t beWriteInfoTag(HBE_STREAM stream, const char* fileName);
// Releases the stream.
uint32_t beCloseStream(HBE_STREAM stream);

} // namespace orvella

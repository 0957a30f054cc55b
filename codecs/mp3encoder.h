#pragma once
// The MP3 encoder behind the four-call stream interface the MP3 writer is written against, and
// its configuration record (version-1 layout, 349 bytes, little-endian, true stored as -1).
// Thread rule: a stream belongs to one caller; different streams may run on different threads.

#include <cstddef>
#include <cstdint>

namespace orvella {

constexpr uint32_t EncoderRecordMp3 = 0;
constexpr uint32_t EncoderRecordLame = 256;

// Results of the encoder stream calls.
constexpr uint32_t EncoderOk = 0x00000000;
constexpr uint32_t EncoderErrorInvalidFormat = 0x00000001;
constexpr uint32_t EncoderErrorInvalidParameters = 0x00000002;
constexpr uint32_t EncoderErrorNoMoreHandles = 0x00000003;
constexpr uint32_t EncoderErrorInvalidHandle = 0x00000004;
constexpr uint32_t EncoderErrorBufferTooSmall = 0x00000005;

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
struct TEncoderRecord {
    uint32_t dwConfig; // EncoderRecordLame
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
static_assert(sizeof(TEncoderRecord) == 349, "the record is 349 bytes");
static_assert(offsetof(TEncoderRecord, dwSampleRate) == 12 &&
                  offsetof(TEncoderRecord, nMode) == 20 &&
                  offsetof(TEncoderRecord, nPreset) == 32 && offsetof(TEncoderRecord, bCRC) == 52 &&
                  offsetof(TEncoderRecord, nVBRQuality) == 72 &&
                  offsetof(TEncoderRecord, nVbrMethod) == 80 &&
                  offsetof(TEncoderRecord, nQuality) == 92,
              "field offsets of the version-1 layout");

struct TLameStream;
using TEncoderHandle = TLameStream*;

// Opens an encoder stream as the record says. *samples receives the number of 16-bit values (all
// channels) each chunk should hold, *bufferSize the output buffer size each call needs.
uint32_t OpenEncoderStream(const TEncoderRecord* config, uint32_t* samples, uint32_t* bufferSize,
                           TEncoderHandle* stream);
// Encodes nSamples interleaved values into output (at least the buffer size of OpenEncoderStream).
uint32_t EncodeChunk(TEncoderHandle stream, uint32_t nSamples, const int16_t* samples,
                     uint8_t* output, uint32_t* outputBytes);
// The same for float values, full scale ±1.0: encoded at their own precision.
uint32_t EncodeFloatChunk(TEncoderHandle stream, uint32_t nSamples, const float* samples,
                          uint8_t* output, uint32_t* outputBytes);
// Delivers the encoder's remaining output.
uint32_t FlushEncoderStream(TEncoderHandle stream, uint8_t* output, uint32_t* outputBytes);
// When the record asked for a VBR header: rewrites the first frame of fileName (a closed file
// holding exactly what this stream produced) with the final header; otherwise does nothing.
uint32_t WriteInfoTag(TEncoderHandle stream, const char* fileName);
// Releases the stream.
uint32_t CloseEncoderStream(TEncoderHandle stream);

} // namespace orvella

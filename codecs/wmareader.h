#pragma once
// The Windows Media file readers over FFmpeg: TWmaSampleReader delivers the decoded samples of a
// file's audio stream, one decoded frame at a time, as 16-bit interleaved PCM with the frame's
// time; ReadWMATags fills a TTagsData from the file's attributes. Thread rule: a TWmaSampleReader
// belongs to one import; ReadWMATags may run on any thread.

#include "engine/userdialogs.h"

#include <cstdint>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace orvella {

struct TTagsData {
    std::string EncodedBy;
    std::string SDKVersion;
    std::string Genre;
    std::string Author;
    std::string Title;
    std::string Album;
    std::string Composer;
    std::string URL;
    std::string TrackNumber;
    std::string Year;
    std::string Rights;
    std::string Description;
    std::string Lyrics;
    uint32_t Bitrate = 0;
    int64_t FileSize = 0;
    int32_t Duration = 0; // whole seconds, the remainder dropped
    bool VBR = false;
    bool Protected = false;
};

// True when the ASF header of fileName holds a content encryption object (the file is
// protected); false for an unprotected or unreadable file.
bool HasContentEncryption(const std::string& fileName);

// Reads the attributes of fileName into tags (Protected also from HasContentEncryption). Raises
// Exception when the file does not exist or the reader cannot be created; a file that cannot be
// parsed leaves tags as they were.
void ReadWMATags(const std::string& fileName, TTagsData& tags, TUserDialogs& dialogs);

// Converts frames × channels samples of the given FFmpeg sample format (planar or interleaved;
// unsigned 8, signed 16/32/64, float, double) to 16-bit interleaved: floats are scaled by 32768,
// wider integers keep their top 16 bits, all rounded to nearest (ties to even) and limited to the
// 16-bit range. False for a format it does not know.
bool ConvertToPCM16(const uint8_t* const* planes, int sampleFormat, int channels, int frames,
                    int16_t* out);

class TWmaSampleReader {
public:
    TWmaSampleReader();
    ~TWmaSampleReader();
    TWmaSampleReader(const TWmaSampleReader&) = delete;
    TWmaSampleReader& operator=(const TWmaSampleReader&) = delete;

    // Opens the file, selects its (first) audio stream alone and prepares its decoder. 0 on
    // success, a negative code otherwise; the format fields stay 0 on failure.
    int Open(const std::string& fileName);
    // 0 when a sample was delivered: data points at its size bytes of 16-bit interleaved PCM,
    // copied into buffer when they fit its capacity, else held by the helper until the next call.
    // time receives the sample's time in 10 ms units. Non-zero at the end or on failure.
    int ReadSample(uint8_t* buffer, uint32_t capacity, const uint8_t*& data, uint32_t& size,
                   uint64_t& time);

    uint32_t SampleRate() const { return FSampleRate; }
    uint16_t BitsPerSample() const { return FBitsPerSample; }
    uint16_t Channels() const { return FChannels; }
    uint32_t OutputCount() const { return FOutputCount; }
    int AudioStream() const { return FAudioStream; }
    int VideoStream() const { return FVideoStream; }
    // File position of the demuxer and the file size (-1 when unknown), for progress.
    int64_t BytesRead() const;
    int64_t FileSize() const;

private:
    void Release();
    int NextFrame();

    AVFormatContext* FFormat = nullptr;
    AVCodecContext* FCodec = nullptr;
    AVFrame* FFrame = nullptr;
    AVPacket* FPacket = nullptr;
    int FAudioStream = -1;
    int FVideoStream = -1;
    uint32_t FSampleRate = 0;
    uint16_t FBitsPerSample = 0;
    uint16_t FChannels = 0;
    uint32_t FOutputCount = 0;
    uint64_t FTime = 0;     // of the last sample, 100 ns units
    uint64_t FNextTime = 0; // for a frame without a time stamp
    bool FDraining = false;
    std::vector<int16_t> FLarge; // a sample larger than the caller's buffer
};

} // namespace orvella

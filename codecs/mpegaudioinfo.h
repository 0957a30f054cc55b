#pragma once
// TMpegAudioInfo works out where the audio frames of an MPEG audio file begin and end and what the
// first frame says (version, layer, sample rate, channel mode) and how many frames there are,
// taken from a Xing or VBRI header when the first frame carries one.
// Thread rule: one reader belongs to one caller at a time.

#include "codecs/ID3v1.h"
#include "codecs/ID3v2.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvella {

// Version indices of the frame header.
constexpr uint8_t MPEG_VERSION_2_5 = 0;
constexpr uint8_t MPEG_VERSION_UNKNOWN = 1;
constexpr uint8_t MPEG_VERSION_2 = 2;
constexpr uint8_t MPEG_VERSION_1 = 3;
// Layer indices of the frame header.
constexpr uint8_t MPEG_LAYER_III = 1;
constexpr uint8_t MPEG_LAYER_II = 2;
constexpr uint8_t MPEG_LAYER_I = 3;
// Channel mode indices; MPEG_CM_UNKNOWN is the reset value.
constexpr uint8_t MPEG_CM_STEREO = 0;
constexpr uint8_t MPEG_CM_JOINT_STEREO = 1;
constexpr uint8_t MPEG_CM_DUAL_CHANNEL = 2;
constexpr uint8_t MPEG_CM_MONO = 3;
constexpr uint8_t MPEG_CM_UNKNOWN = 4;

// One decoded frame header.
struct FrameData {
    bool Found;
    int64_t Position; // file offset once the search is complete
    uint16_t Size;    // frame length in bytes
    uint8_t Data[4];  // the header bytes
    uint8_t VersionID;
    uint8_t LayerID;
    uint8_t ProtectionBit; // 1 when a CRC follows the header
    uint16_t BitRateID;
    uint16_t SampleRateID;
    uint8_t PaddingBit;
    uint8_t PrivateBit;
    uint8_t ModeID;
    uint8_t ModeExtensionID;
    uint8_t CopyrightBit;
    uint8_t OriginalBit;
    uint8_t EmphasisID;
};

// A Xing or VBRI header found in the first frame.
struct VBRData {
    bool Found;
    char ID[4]; // "Xing" or "VBRI"
    int32_t Frames;
    int32_t Bytes;
    uint8_t Scale;
};

// The frame header tests and tables, also used by the decoder adapter and the tests.
bool IsFrameHeader(const uint8_t* header);
FrameData DecodeHeader(const uint8_t* header);
// kbit/s; 0 for reserved combinations.
uint16_t FrameBitRate(const FrameData& frame);
// Hz; 0 for reserved combinations.
uint32_t FrameSampleRate(const FrameData& frame);
uint16_t FrameLength(const FrameData& frame);

class TMpegAudioInfo {
public:
    TMpegAudioInfo();
    // False when the file cannot be opened or a read fails; true otherwise, also when no frame
    // was found (the reset values then remain).
    bool ReadFromFile(const std::string& fileName);

    int64_t FileLength() const { return FFileLength; }
    std::string ChannelMode() const;
    uint8_t ChannelModeID() const { return FFrame.ModeID; }
    uint32_t SampleRate() const { return FrameSampleRate(FFrame); }
    uint8_t VersionID() const { return FFrame.VersionID; }
    uint8_t LayerID() const { return FFrame.LayerID; }
    uint16_t BitRate() const { return FrameBitRate(FFrame); }
    // The VBR header's count when there is one, else the audio bytes over the first frame's
    // length; 0 when no frame was found.
    int64_t Frames() const;
    int64_t AudioDataOffset() const { return FAudioDataOffset; }
    int64_t AudioEnd() const { return FAudioEnd; }
    const FrameData& Frame() const { return FFrame; }
    const VBRData& VBR() const { return FVBR; }
    const TID3v1& ID3v1() const { return FID3v1; }
    const TID3v2& ID3v2() const { return FID3v2; }

    // The search inside one block; exposed for the tests. Fills frame (position relative to the
    // block) and vbr when a frame is found.
    static bool FindFrame(const uint8_t* block, size_t bytes, FrameData& frame, VBRData& vbr);

private:
    void ResetData();

    int64_t FFileLength;
    VBRData FVBR;
    FrameData FFrame;
    int64_t FAudioDataOffset;
    int64_t FAudioEnd;
    TID3v1 FID3v1;
    TID3v2 FID3v2;
};

} // namespace orvella

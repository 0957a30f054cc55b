#include "codecs/mpegaudioinfo.h"

#include "codecs/readonlyfile.h"

#include <cstring>

namespace orvella {

namespace {

constexpr size_t SearchBlockSize = 3458;
constexpr size_t SearchPositions = 1730; // positions 0 ... 1729 of a block

// kbit/s by [version][layer][index]; MPEG 2 and 2.5 share their rows.
constexpr uint16_t BitRates[4][4][16] = {
    // MPEG 2.5
    {{0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
    // reserved
    {{0}, {0}, {0}, {0}},
    // MPEG 2
    {{0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
    // MPEG 1
    {{0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}},
};

constexpr uint32_t SampleRates[4][4] = {
    {11025, 12000, 8000, 0},  // MPEG 2.5
    {0, 0, 0, 0},             // reserved
    {22050, 24000, 16000, 0}, // MPEG 2
    {44100, 48000, 32000, 0}, // MPEG 1
};

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// Offset of a Xing or VBRI header from the start of the frame.
size_t VBRHeaderOffset(const FrameData& frame) {
    bool mono = frame.ModeID == MPEG_CM_MONO;
    if (frame.VersionID == MPEG_VERSION_1) return mono ? 21 : 36;
    return mono ? 13 : 21;
}

// Looks for a Xing or VBRI header in the frame at the start of data (bytes available). Only what
// lies inside the bytes read is looked at.
VBRData FindVBR(const uint8_t* data, size_t bytes, const FrameData& frame) {
    VBRData vbr{};
    size_t at = VBRHeaderOffset(frame);
    if (at + 18 > bytes) return vbr;
    const uint8_t* p = data + at;
    if (std::memcmp(p, "Xing", 4) == 0) {
        vbr.Found = true;
        std::memcpy(vbr.ID, p, 4);
        // The flags word is not consulted: the frame count is always taken from +8.
        vbr.Frames = int32_t(BigEndian32(p + 8));
        vbr.Bytes = int32_t(BigEndian32(p + 12));
        if (at + 120 <= bytes) vbr.Scale = p[119];
    } else if (std::memcmp(p, "VBRI", 4) == 0) {
        vbr.Found = true;
        std::memcpy(vbr.ID, p, 4);
        vbr.Scale = p[9];
        vbr.Bytes = int32_t(BigEndian32(p + 10));
        vbr.Frames = int32_t(BigEndian32(p + 14));
    }
    return vbr;
}

FrameData ResetFrame() {
    FrameData frame{};
    frame.VersionID = MPEG_VERSION_UNKNOWN;
    frame.SampleRateID = 3;
    frame.ModeID = MPEG_CM_UNKNOWN;
    frame.ModeExtensionID = 4;
    frame.EmphasisID = 2;
    return frame;
}

} // namespace

bool IsFrameHeader(const uint8_t* h) {
    return h[0] == 0xFF && (h[1] & 0xE0) == 0xE0 && ((h[1] >> 3) & 3) != 1 &&
           ((h[1] >> 1) & 3) != 0 && (h[2] & 0xF0) != 0 && (h[2] & 0xF0) != 0xF0 &&
           ((h[2] >> 2) & 3) != 3 && (h[3] & 3) != 2;
}

FrameData DecodeHeader(const uint8_t* h) {
    FrameData frame = ResetFrame();
    std::memcpy(frame.Data, h, 4);
    frame.VersionID = (h[1] >> 3) & 3;
    frame.LayerID = (h[1] >> 1) & 3;
    frame.ProtectionBit = 1 - (h[1] & 1);
    frame.BitRateID = h[2] >> 4;
    frame.SampleRateID = (h[2] >> 2) & 3;
    frame.PaddingBit = (h[2] >> 1) & 1;
    frame.PrivateBit = h[2] & 1;
    frame.ModeID = h[3] >> 6;
    frame.ModeExtensionID = (h[3] >> 4) & 3;
    frame.CopyrightBit = (h[3] >> 3) & 1;
    frame.OriginalBit = (h[3] >> 2) & 1;
    frame.EmphasisID = h[3] & 3;
    return frame;
}

uint16_t FrameBitRate(const FrameData& frame) {
    if (frame.VersionID > 3 || frame.LayerID > 3 || frame.BitRateID > 15) return 0;
    return BitRates[frame.VersionID][frame.LayerID][frame.BitRateID];
}

uint32_t FrameSampleRate(const FrameData& frame) {
    if (frame.VersionID > 3 || frame.SampleRateID > 3) return 0;
    return SampleRates[frame.VersionID][frame.SampleRateID];
}

uint16_t FrameLength(const FrameData& frame) {
    uint32_t rate = FrameSampleRate(frame);
    if (rate == 0) return 0;
    const uint32_t bits = uint32_t(FrameBitRate(frame)) * 1000;
    // Layer I frames are counted in 4-byte slots: 384 samples need 12 × bitrate / rate slots,
    // whole slots only, plus the padding slot; every MPEG version alike.
    if (frame.LayerID == MPEG_LAYER_I) return uint16_t((12 * bits / rate + frame.PaddingBit) * 4);
    // Layers II and III count bytes: 1152 samples per frame (576 for Layer III of MPEG 2 and 2.5).
    const uint32_t coefficient =
        frame.VersionID == MPEG_VERSION_1 || frame.LayerID == MPEG_LAYER_II ? 144 : 72;
    return uint16_t(coefficient * bits / rate + frame.PaddingBit);
}

TMpegAudioInfo::TMpegAudioInfo() {
    ResetData();
}

void TMpegAudioInfo::ResetData() {
    FFileLength = 0;
    FVBR = VBRData{};
    FFrame = ResetFrame();
    FAudioDataOffset = 0;
    FAudioEnd = 0;
}

std::string TMpegAudioInfo::ChannelMode() const {
    switch (FFrame.ModeID) {
    case MPEG_CM_STEREO:
        return "Stereo";
    case MPEG_CM_JOINT_STEREO:
        return "Joint Stereo";
    case MPEG_CM_DUAL_CHANNEL:
        return "Dual Channel";
    case MPEG_CM_MONO:
        return "Mono";
    default:
        return "Unknown";
    }
}

int64_t TMpegAudioInfo::Frames() const {
    if (!FFrame.Found) return 0;
    if (FVBR.Found) return FVBR.Frames;
    if (FFrame.Size == 0) return 0;
    return (FAudioEnd - FAudioDataOffset) / FFrame.Size;
}

bool TMpegAudioInfo::FindFrame(const uint8_t* block, size_t bytes, FrameData& frame, VBRData& vbr) {
    for (size_t p = 0; p < SearchPositions && p + 4 <= bytes; ++p) {
        if (!IsFrameHeader(block + p)) continue;
        FrameData candidate = DecodeHeader(block + p);
        candidate.Size = FrameLength(candidate);
        size_t next = p + candidate.Size;
        if (next + 4 > bytes || !IsFrameHeader(block + next)) continue;
        candidate.Found = true;
        candidate.Position = int64_t(p);
        frame = candidate;
        vbr = FindVBR(block + p, bytes - p, candidate);
        return true;
    }
    return false;
}

bool TMpegAudioInfo::ReadFromFile(const std::string& fileName) {
    ResetData();
    FID3v1.ResetData();
    FID3v2.ResetData();
    TReadOnlyFile file(fileName);
    if (!file.IsOpen()) return false;

    bool result = true;
    if (FID3v2.ReadFromFile(fileName) && FID3v1.ReadFromFile(fileName)) {
        int64_t length = file.Size();
        if (length < 0) {
            result = false;
        } else {
            FFileLength = length;
            uint8_t block[SearchBlockSize];
            int64_t offset = FID3v2.Size();
            for (;;) {
                int64_t got = file.ReadAt(offset, block, sizeof block);
                if (got < 0) {
                    result = false;
                    break;
                }
                if (FindFrame(block, size_t(got), FFrame, FVBR)) {
                    FFrame.Position += offset;
                    break;
                }
                if (size_t(got) < sizeof block) break;
                offset += got;
            }
            if (FFrame.Found) {
                FAudioDataOffset = FFrame.Position;
                FAudioEnd = length - FID3v1.TagSize();
            }
        }
    }
    if (!FFrame.Found) ResetData();
    return result;
}

} // namespace orvella

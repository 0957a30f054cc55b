#include "codecs/wmareader.h"

#include "codecs/wmasupport.h"
#include "engine/errors.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
}

namespace orvella {

namespace {

std::string Hex(int code) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", unsigned(code));
    return text;
}

bool FileExists(const std::string& fileName) {
    struct stat st {};
    return ::stat(fileName.c_str(), &st) == 0;
}

int16_t Limit16(double v) {
    if (v >= 32767.0) return 32767;
    if (v <= -32768.0) return -32768;
    return int16_t(std::lrint(v)); // the default rounding mode: nearest, ties to even
}

template <typename T, typename F>
void Interleave(const uint8_t* const* planes, bool planar, int channels, int frames, int16_t* out,
                F convert) {
    if (planar) {
        for (int c = 0; c < channels; ++c) {
            const T* in = reinterpret_cast<const T*>(planes[c]);
            for (int i = 0; i < frames; ++i)
                out[size_t(i) * size_t(channels) + size_t(c)] = convert(in[i]);
        }
    } else {
        const T* in = reinterpret_cast<const T*>(planes[0]);
        const size_t n = size_t(frames) * size_t(channels);
        for (size_t i = 0; i < n; ++i)
            out[i] = convert(in[i]);
    }
}

uint64_t LittleEndian(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

} // namespace

bool HasContentEncryption(const std::string& fileName) {
    // The GUIDs as stored: the first three fields little-endian.
    static const uint8_t headerObject[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                             0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    static const uint8_t contentEncryption[16] = {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11,
                                                  0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E};
    static const uint8_t extendedContentEncryption[16] = {0x14, 0xE6, 0x8A, 0x29, 0x22, 0x26,
                                                          0x17, 0x4C, 0xB9, 0x35, 0xDA, 0xE0,
                                                          0x7E, 0xE9, 0x28, 0x9C};
    // The header object: GUID, size (8 bytes), object count (4), two reserved bytes, then its
    // objects, each a GUID and a size that includes those 24 bytes.
    constexpr uint64_t MaxHeaderBytes = 16 << 20;
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file == nullptr) return false;
    uint8_t preamble[30];
    std::vector<uint8_t> header;
    if (std::fread(preamble, 1, sizeof preamble, file) == sizeof preamble &&
        std::memcmp(preamble, headerObject, 16) == 0) {
        const uint64_t size = LittleEndian(preamble + 16, 8);
        if (size > sizeof preamble && size <= MaxHeaderBytes) {
            header.resize(size - sizeof preamble);
            header.resize(std::fread(header.data(), 1, header.size(), file));
        }
    }
    std::fclose(file);
    for (size_t at = 0; at + 24 <= header.size();) {
        const uint8_t* object = header.data() + at;
        if (std::memcmp(object, contentEncryption, 16) == 0 ||
            std::memcmp(object, extendedContentEncryption, 16) == 0)
            return true;
        const uint64_t size = LittleEndian(object + 16, 8);
        if (size < 24 || size > header.size() - at) break;
        at += size;
    }
    return false;
}

bool ConvertToPCM16(const uint8_t* const* planes, int sampleFormat, int channels, int frames,
                    int16_t* out) {
    const AVSampleFormat format = AVSampleFormat(sampleFormat);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
        Interleave<uint8_t>(planes, planar, channels, frames, out,
                            [](uint8_t v) { return int16_t((int(v) - 128) * 256); });
        return true;
    case AV_SAMPLE_FMT_S16:
        Interleave<int16_t>(planes, planar, channels, frames, out, [](int16_t v) { return v; });
        return true;
    case AV_SAMPLE_FMT_S32:
        Interleave<int32_t>(planes, planar, channels, frames, out,
                            [](int32_t v) { return Limit16(double(v) / 65536.0); });
        return true;
    case AV_SAMPLE_FMT_S64:
        Interleave<int64_t>(planes, planar, channels, frames, out,
                            [](int64_t v) { return Limit16(double(v) / 281474976710656.0); });
        return true;
    case AV_SAMPLE_FMT_FLT:
        Interleave<float>(planes, planar, channels, frames, out,
                          [](float v) { return Limit16(double(v) * 32768.0); });
        return true;
    case AV_SAMPLE_FMT_DBL:
        Interleave<double>(planes, planar, channels, frames, out,
                           [](double v) { return Limit16(v * 32768.0); });
        return true;
    default:
        return false;
    }
}

void ReadWMATags(const std::string& fileName, TTagsData& tags, TUserDialogs& dialogs) {
    if (!WmaDecodersPresent()) {
        dialogs.ShowMessage("Could not Load Library ($0).", "Error", TMessageIcon::Error);
        dialogs.ShowMessage("Could Not Load Tags!", "Error", TMessageIcon::Error);
        return;
    }
    if (!FileExists(fileName)) throw Exception("The file\r\n" + fileName + "\r\ndoes'nt exists!");
    AVFormatContext* format = avformat_alloc_context();
    if (format == nullptr)
        throw Exception("Could not create Metadata Editor ($" + Hex(AVERROR(ENOMEM)) + ").");
    // A file the demuxer cannot parse has no attributes; avformat_open_input frees the context.
    if (avformat_open_input(&format, fileName.c_str(), nullptr, nullptr) < 0) return;
    avformat_find_stream_info(format, nullptr);

    // Each field under its Windows Media name and the name FFmpeg's demuxer maps it to.
    struct TTextField {
        std::string TTagsData::*Field;
        const char* WMName;
        const char* FFmpegName;
    };
    static const TTextField textFields[] = {
        {&TTagsData::EncodedBy, "WM/EncodedBy", "encoded_by"},
        {&TTagsData::SDKVersion, "WMFSDKVersion", nullptr},
        {&TTagsData::Genre, "WM/Genre", "genre"},
        {&TTagsData::Author, "Author", "artist"},
        {&TTagsData::Title, "Title", "title"},
        {&TTagsData::Album, "WM/AlbumTitle", "album"},
        {&TTagsData::Composer, "WM/Composer", "composer"},
        {&TTagsData::URL, "WM/URL", nullptr},
        {&TTagsData::TrackNumber, "WM/TrackNumber", "track"},
        {&TTagsData::Year, "WM/Year", "date"},
        {&TTagsData::Rights, "Copyright", "copyright"},
        {&TTagsData::Description, "Description", "comment"},
        {&TTagsData::Lyrics, "WM/Lyrics", "lyrics"},
    };
    auto find = [format](const char* name) -> const char* {
        if (name == nullptr) return nullptr;
        const AVDictionaryEntry* e = av_dict_get(format->metadata, name, nullptr, 0);
        return e ? e->value : nullptr;
    };
    for (const TTextField& f : textFields) {
        const char* value = find(f.WMName);
        if (value == nullptr) value = find(f.FFmpegName);
        // The short texts have room for 255 characters.
        if (value)
            tags.*f.Field = std::string(value).substr(0, f.Field == &TTagsData::Description ||
                                                                 f.Field == &TTagsData::Lyrics
                                                             ? std::string::npos
                                                             : 255);
    }
    if (format->bit_rate > 0) tags.Bitrate = uint32_t(format->bit_rate);
    if (format->pb) tags.FileSize = avio_size(format->pb);
    if (format->duration > 0) tags.Duration = int32_t(format->duration / AV_TIME_BASE);
    if (const char* v = find("IsVBR")) tags.VBR = std::strcmp(v, "0") != 0;
    if (const char* v = find("Is_Protected")) tags.Protected = std::strcmp(v, "0") != 0;
    if (HasContentEncryption(fileName)) tags.Protected = true;
    avformat_close_input(&format);
}

TWmaSampleReader::TWmaSampleReader() = default;

TWmaSampleReader::~TWmaSampleReader() {
    Release();
}

void TWmaSampleReader::Release() {
    av_packet_free(&FPacket);
    av_frame_free(&FFrame);
    avcodec_free_context(&FCodec);
    if (FFormat) avformat_close_input(&FFormat);
}

int TWmaSampleReader::Open(const std::string& fileName) {
    Release();
    FAudioStream = FVideoStream = -1;
    FSampleRate = 0;
    FBitsPerSample = FChannels = 0;
    FOutputCount = 0;
    FTime = FNextTime = 0;
    FDraining = false;

    int result = avformat_open_input(&FFormat, fileName.c_str(), nullptr, nullptr);
    if (result < 0) return result;
    result = avformat_find_stream_info(FFormat, nullptr);
    if (result < 0) return result;
    for (unsigned i = 0; i < FFormat->nb_streams; ++i) {
        const AVMediaType type = FFormat->streams[i]->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_AUDIO && FAudioStream < 0) FAudioStream = int(i);
        if (type == AVMEDIA_TYPE_VIDEO && FVideoStream < 0) FVideoStream = int(i);
    }
    if (FAudioStream < 0) return AVERROR_STREAM_NOT_FOUND;
    // Only the audio stream is delivered: the demuxer drops the packets of every other one.
    for (unsigned i = 0; i < FFormat->nb_streams; ++i)
        if (int(i) != FAudioStream) FFormat->streams[i]->discard = AVDISCARD_ALL;

    const AVCodecParameters* parameters = FFormat->streams[FAudioStream]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    if (codec == nullptr) return AVERROR_DECODER_NOT_FOUND;
    FCodec = avcodec_alloc_context3(codec);
    FFrame = av_frame_alloc();
    FPacket = av_packet_alloc();
    if (FCodec == nullptr || FFrame == nullptr || FPacket == nullptr) return AVERROR(ENOMEM);
    result = avcodec_parameters_to_context(FCodec, parameters);
    if (result < 0) return result;
    result = avcodec_open2(FCodec, codec, nullptr);
    if (result < 0) return result;
    if (FCodec->sample_rate <= 0 || FCodec->ch_layout.nb_channels <= 0 ||
        FCodec->ch_layout.nb_channels > 0xFFFF)
        return AVERROR_INVALIDDATA;

    FOutputCount = 1;
    FSampleRate = uint32_t(FCodec->sample_rate);
    FChannels = uint16_t(FCodec->ch_layout.nb_channels);
    FBitsPerSample = 16; // every output is brought to 16 bits
    return 0;
}

// Decodes the next frame of the audio stream into FFrame; 0 on success.
int TWmaSampleReader::NextFrame() {
    for (;;) {
        int result = avcodec_receive_frame(FCodec, FFrame);
        if (result == 0) return 0;
        if (result != AVERROR(EAGAIN)) return result; // the end, or a decoder failure
        if (FDraining) return AVERROR_EOF;
        result = av_read_frame(FFormat, FPacket);
        if (result < 0) {
            FDraining = true;
            avcodec_send_packet(FCodec, nullptr);
            continue;
        }
        if (FPacket->stream_index == FAudioStream) {
            // A damaged packet is skipped; the stream goes on with the next one.
            avcodec_send_packet(FCodec, FPacket);
        }
        av_packet_unref(FPacket);
    }
}

int TWmaSampleReader::ReadSample(uint8_t* buffer, uint32_t capacity, const uint8_t*& data,
                                 uint32_t& size, uint64_t& time) {
    data = nullptr;
    size = 0;
    int result = FCodec ? NextFrame() : AVERROR(EINVAL);
    if (result == 0) {
        const AVStream* stream = FFormat->streams[FAudioStream];
        const int frames = FFrame->nb_samples;
        const int channels = FFrame->ch_layout.nb_channels;
        const int64_t stamp = FFrame->best_effort_timestamp;
        if (stamp != AV_NOPTS_VALUE && stamp >= 0)
            FTime = uint64_t(av_rescale_q(stamp, stream->time_base, AVRational{1, 10000000}));
        else
            FTime = FNextTime; // right after the previous frame
        FNextTime = FTime + uint64_t(frames) * 10000000 / FSampleRate;

        if (channels != FChannels || FFrame->sample_rate != int(FSampleRate)) {
            // The work format is fixed; a frame in another format is left out.
            av_frame_unref(FFrame);
            time = FTime / 100000;
            return 0;
        }
        const size_t bytes = size_t(frames) * size_t(channels) * 2;
        int16_t* out;
        if (bytes <= capacity) {
            out = reinterpret_cast<int16_t*>(buffer);
        } else {
            FLarge.resize(bytes / 2);
            out = FLarge.data();
        }
        if (!ConvertToPCM16(FFrame->extended_data, FFrame->format, channels, frames, out)) {
            av_frame_unref(FFrame);
            return AVERROR_PATCHWELCOME;
        }
        data = reinterpret_cast<const uint8_t*>(out);
        size = uint32_t(bytes);
        av_frame_unref(FFrame);
    }
    time = FTime / 100000;
    return result;
}

int64_t TWmaSampleReader::BytesRead() const {
    return FFormat && FFormat->pb ? avio_tell(FFormat->pb) : -1;
}

int64_t TWmaSampleReader::FileSize() const {
    return FFormat && FFormat->pb ? avio_size(FFormat->pb) : -1;
}

} // namespace orvella

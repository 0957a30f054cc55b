#include "codecs/wavpayload/payloaddecoder.h"

#include "codecs/wavpayload/formattag.h"
#include "codecs/wavpayload/pcmconvert.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cstring>

namespace orvella {

namespace {

// Source chunks of about this many bytes keep the decoder calls few without holding much.
constexpr uint32_t TargetSourceChunk = 4096;

template <class T, class F>
void Interleave(const AVFrame& frame, int channels, int16_t* out, F convert) {
    const int n = frame.nb_samples;
    if (av_sample_fmt_is_planar(AVSampleFormat(frame.format))) {
        for (int c = 0; c < channels; ++c) {
            const T* plane = reinterpret_cast<const T*>(frame.extended_data[c]);
            for (int i = 0; i < n; ++i)
                out[size_t(i) * channels + c] = convert(plane[i]);
        }
    } else {
        const T* data = reinterpret_cast<const T*>(frame.extended_data[0]);
        for (size_t i = 0; i < size_t(n) * channels; ++i)
            out[i] = convert(data[i]);
    }
}

} // namespace

TPayloadDecoder::~TPayloadDecoder() {
    av_frame_free(&Frame);
    av_packet_free(&Packet);
    if (Parser) av_parser_close(Parser);
    avcodec_free_context(&Context);
}

bool TPayloadDecoder::Suggest(const std::vector<uint8_t>& format, TWaveFormat& pcm) {
    if (format.size() < sizeof(TWaveFormat)) return false;
    Format = format;
    std::memcpy(&Header, format.data(), sizeof Header);
    if (Header.nChannels == 0 || Header.nSamplesPerSec == 0) return false;
    const TFormatTag effective = EffectiveFormatTag(format);
    Tag = effective.Tag;
    ExtraOffset = effective.ExtraOffset;
    const AVCodecTag* const tables[] = {avformat_get_riff_audio_tags(), nullptr};
    const AVCodecID id = av_codec_get_id(tables, Tag);
    if (id == AV_CODEC_ID_NONE) return false;
    Codec = avcodec_find_decoder(id);
    if (!Codec) return false;
    Pcm = MakePCMFormat(Header.nChannels, Header.nSamplesPerSec, 16);
    pcm = Pcm;
    return true;
}

bool TPayloadDecoder::Open() {
    if (!Codec || Context) return false;
    Context = avcodec_alloc_context3(Codec);
    if (!Context) return false;
    Context->codec_tag = Tag;
    Context->sample_rate = int(Header.nSamplesPerSec > INT32_MAX ? 0 : Header.nSamplesPerSec);
    av_channel_layout_default(&Context->ch_layout, Header.nChannels);
    Context->block_align = Header.nBlockAlign;
    Context->bit_rate = int64_t(Header.nAvgBytesPerSec) * 8;
    Context->bits_per_coded_sample = Header.wBitsPerSample;
    const size_t extra = Format.size() > ExtraOffset ? Format.size() - ExtraOffset : 0;
    if (extra > 0) {
        Context->extradata =
            static_cast<uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!Context->extradata) return false;
        std::memcpy(Context->extradata, Format.data() + ExtraOffset, extra);
        Context->extradata_size = int(extra);
    }
    if (avcodec_open2(Context, Codec, nullptr) < 0) return false;
    // Streams without fixed packets (MPEG audio) are cut into frames by the codec's parser.
    Parser = av_parser_init(Codec->id);
    return true;
}

uint32_t TPayloadDecoder::MaxSourceSize() const {
    if (!Context || Header.nBlockAlign == 0) return 0;
    const uint32_t blocks = TargetSourceChunk / Header.nBlockAlign;
    return Header.nBlockAlign * (blocks > 0 ? blocks : 1);
}

uint32_t TPayloadDecoder::SourceSize(uint32_t pcmBytes) const {
    const uint32_t most = MaxSourceSize();
    if (most == 0 || pcmBytes == 0) return 0;
    const uint64_t block = Header.nBlockAlign;
    // No piece is larger than all before it together: until output shows the ratio, and while
    // a decoder's start-up delay still distorts it, the pieces double from one block.
    uint64_t bytes = SourceTaken;
    if (PcmGiven > 0)
        bytes = std::min(bytes, (uint64_t(pcmBytes) * SourceTaken + PcmGiven - 1) / PcmGiven);
    const uint64_t blocks = std::max<uint64_t>(1, (bytes + block - 1) / block);
    return uint32_t(std::min<uint64_t>(blocks * block, most));
}

bool TPayloadDecoder::Prepare() {
    Packet = av_packet_alloc();
    Frame = av_frame_alloc();
    return Packet && Frame;
}

bool TPayloadDecoder::Convert(const uint8_t* source, uint32_t length, bool final,
                              std::vector<uint8_t>& pcm) {
    if (!Context || !Packet || !Frame) return false;
    const size_t before = pcm.size();
    const bool ok = ConvertInto(source, length, final, pcm);
    SourceTaken += length;
    PcmGiven += pcm.size() > before ? pcm.size() - before : 0;
    return ok;
}

bool TPayloadDecoder::ConvertInto(const uint8_t* source, uint32_t length, bool final,
                                  std::vector<uint8_t>& pcm) {
    if (!Parser) {
        if (length > 0 && !Decode(source, int(length), pcm)) return false;
        return !final || Drain(pcm);
    }
    while (length > 0 || final) {
        uint8_t* out = nullptr;
        int outSize = 0;
        const int used = av_parser_parse2(Parser, Context, &out, &outSize, source, int(length),
                                          AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0 || (used == 0 && outSize == 0 && length > 0)) return false; // no progress
        source += used;
        length -= uint32_t(used);
        if (outSize > 0 && !Decode(out, outSize, pcm)) return false;
        // With no input left, the parser has handed out everything it held once it returns no
        // more output.
        if (length == 0 && (!final || outSize == 0)) break;
    }
    return !final || Drain(pcm);
}

bool TPayloadDecoder::Decode(const uint8_t* data, int size, std::vector<uint8_t>& pcm) {
    Padded.assign(data, data + size);
    Padded.resize(size_t(size) + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    Packet->data = Padded.data();
    Packet->size = size;
    while (true) {
        const int sent = avcodec_send_packet(Context, Packet);
        if (sent == AVERROR(EAGAIN)) {
            if (!ReceiveFrames(pcm)) return false;
            continue;
        }
        if (sent < 0) return false;
        break;
    }
    av_packet_unref(Packet);
    return ReceiveFrames(pcm);
}

bool TPayloadDecoder::Drain(std::vector<uint8_t>& pcm) {
    const int sent = avcodec_send_packet(Context, nullptr);
    if (sent < 0 && sent != AVERROR_EOF) return false;
    return ReceiveFrames(pcm);
}

bool TPayloadDecoder::ReceiveFrames(std::vector<uint8_t>& pcm) {
    while (true) {
        const int got = avcodec_receive_frame(Context, Frame);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
        if (got < 0) return false;
        const bool ok = AppendFrame(pcm);
        av_frame_unref(Frame);
        if (!ok) return false;
    }
}

bool TPayloadDecoder::AppendFrame(std::vector<uint8_t>& pcm) {
    const int channels = Frame->ch_layout.nb_channels;
    if (channels != Pcm.nChannels || uint32_t(Frame->sample_rate) != Pcm.nSamplesPerSec)
        return false;
    if (Frame->nb_samples <= 0) return true;
    const size_t values = size_t(Frame->nb_samples) * size_t(channels);
    const size_t start = pcm.size();
    pcm.resize(start + values * 2);
    int16_t* out = reinterpret_cast<int16_t*>(pcm.data() + start);
    switch (av_get_packed_sample_fmt(AVSampleFormat(Frame->format))) {
    case AV_SAMPLE_FMT_U8:
        Interleave<uint8_t>(*Frame, channels, out,
                            [](uint8_t v) { return int16_t((v - 128) * 256); });
        break;
    case AV_SAMPLE_FMT_S16:
        Interleave<int16_t>(*Frame, channels, out, [](int16_t v) { return v; });
        break;
    case AV_SAMPLE_FMT_S32:
        Interleave<int32_t>(*Frame, channels, out, [](int32_t v) { return NarrowInt32(v); });
        break;
    case AV_SAMPLE_FMT_FLT:
        Interleave<float>(*Frame, channels, out, [](float v) { return FloatTo16(v); });
        break;
    case AV_SAMPLE_FMT_DBL:
        Interleave<double>(*Frame, channels, out, [](double v) { return FloatTo16(v); });
        break;
    default:
        pcm.resize(start);
        return false;
    }
    return true;
}

} // namespace orvella

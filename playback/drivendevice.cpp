#include "playback/drivendevice.h"

#include <algorithm>

namespace orvella {

namespace {
class TDrivenStream;
}

struct TDrivenDevice::TClock {
    // Held while a stream renders, so Stop returns only when no Render runs, as on a sound card.
    mutable std::mutex Lock;
    std::vector<TDrivenStream*> Streams;
    std::vector<uint8_t> Output;
    uint32_t LatencyFrames = 0;
};

namespace {

class TDrivenStream : public TSoundStream {
public:
    TDrivenStream(std::shared_ptr<TDrivenDevice::TClock> clock, const TWaveFormat& format,
                  TSoundRenderer& renderer)
        : Clock(std::move(clock))
        , Format(format)
        , Renderer(renderer) {
        std::lock_guard<std::mutex> guard(Clock->Lock);
        Clock->Streams.push_back(this);
    }
    ~TDrivenStream() override {
        std::lock_guard<std::mutex> guard(Clock->Lock);
        auto& list = Clock->Streams;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    void Start() override {
        std::lock_guard<std::mutex> guard(Clock->Lock);
        Running = true;
    }
    void Stop() override {
        std::lock_guard<std::mutex> guard(Clock->Lock);
        Running = false;
        Queued.clear();
    }
    void Drain() override {
        std::lock_guard<std::mutex> guard(Clock->Lock);
        Running = false;
        Clock->Output.insert(Clock->Output.end(), Queued.begin(), Queued.end());
        Queued.clear();
    }

    // Clock->Lock held.
    void Tick(uint32_t frames) {
        if (!Running) return;
        Scratch.resize(size_t(frames) * Format.nBlockAlign);
        Renderer.Render(Scratch.data(), frames);
        Queued.insert(Queued.end(), Scratch.begin(), Scratch.end());
        const size_t held = size_t(Clock->LatencyFrames) * Format.nBlockAlign;
        if (Queued.size() > held) {
            const auto played = Queued.end() - std::ptrdiff_t(held);
            Clock->Output.insert(Clock->Output.end(), Queued.begin(), played);
            Queued.erase(Queued.begin(), played);
        }
    }
    bool IsRunning() const { return Running; }

private:
    std::shared_ptr<TDrivenDevice::TClock> Clock;
    TWaveFormat Format;
    TSoundRenderer& Renderer;
    bool Running = false;
    std::vector<uint8_t> Scratch;
    std::vector<uint8_t> Queued; // rendered, not yet played
};

} // namespace

TDrivenDevice::TDrivenDevice(uint32_t latencyFrames)
    : Clock(std::make_shared<TClock>()) {
    Clock->LatencyFrames = latencyFrames;
}

std::unique_ptr<TSoundStream> TDrivenDevice::OpenStream(const TWaveFormat& format,
                                                        TSoundRenderer& renderer) {
    return std::make_unique<TDrivenStream>(Clock, format, renderer);
}

void TDrivenDevice::Advance(uint32_t frames) {
    std::lock_guard<std::mutex> guard(Clock->Lock);
    for (TDrivenStream* stream : Clock->Streams)
        stream->Tick(frames);
}

std::vector<uint8_t> TDrivenDevice::Output() const {
    std::lock_guard<std::mutex> guard(Clock->Lock);
    return Clock->Output;
}

void TDrivenDevice::ClearOutput() {
    std::lock_guard<std::mutex> guard(Clock->Lock);
    Clock->Output.clear();
}

int TDrivenDevice::OpenStreams() const {
    std::lock_guard<std::mutex> guard(Clock->Lock);
    return int(Clock->Streams.size());
}

int TDrivenDevice::RunningStreams() const {
    std::lock_guard<std::mutex> guard(Clock->Lock);
    return int(std::count_if(Clock->Streams.begin(), Clock->Streams.end(),
                             [](TDrivenStream* s) { return s->IsRunning(); }));
}

} // namespace orvella

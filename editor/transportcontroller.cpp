#include "editor/transportcontroller.h"

#include <algorithm>

namespace orvella {

TPlayRange PlayRangeOf(bool selected, uint32_t start, uint32_t stop, uint32_t cursor,
                       uint32_t length) {
    if (selected) {
        const uint32_t end = std::min(stop, length);
        const uint32_t first = std::min(start, end);
        return {first, end - first};
    }
    const uint32_t first = std::min(cursor, length);
    return {first, length - first};
}

TTransportController::TTransportController(TMainThread& mainThread, TPlayer::TDeviceFactory devices,
                                           QObject* parent)
    : QObject(parent)
    , Player(std::make_unique<TPlayer>(mainThread, std::move(devices))) {
    Player->OnPosition = [this](uint32_t bytes) {
        const int64_t blockAlign = Document ? int64_t(Document->Channels.load()) * 2 : 0;
        if (blockAlign != 0) emit PositionChanged(uint32_t(int64_t(bytes) / blockAlign + First));
    };
    Player->OnStatus = [this](bool playing) { emit PlayingChanged(playing); };
    Player->OnError = [this](const std::string& text) {
        emit Failed(QString::fromStdString(text));
    };
    Player->InitDevice();
    Meter.setInterval(10);
    connect(&Meter, &QTimer::timeout, this, &TTransportController::FeedMeter);
}

TTransportController::~TTransportController() {
    Player->OnPosition = nullptr;
    Player->OnStatus = nullptr;
    Player->Shutdown();
}

void TTransportController::Play(TPlayRange range) {
    if (!Document || !Document->Ready.load()) return;
    const uint16_t channels = Document->Channels.load();
    const TWaveFormat format = MakePCMFormat(channels, Document->SampleRate.load(), 16);
    First = range.First;
    Player->Prepare(*Document, channels * range.First, format, channels * range.Count * 2);
    Player->Play();
    if (!Player->Playing()) return;
    // The buffer of this play is new: it takes the volume.
    Player->SetVolume(Volume);
    Meter.start();
}

void TTransportController::Pause() {
    if (Active()) Player->Halt();
}

bool TTransportController::Stop() {
    if (!Active()) return false;
    Meter.stop();
    Player->Halt();
    First = 0;
    return true;
}

void TTransportController::Release() {
    Player->Release();
}

void TTransportController::SetVolume(int32_t volume) {
    Volume = volume;
    Player->SetVolume(volume);
}

void TTransportController::FeedMeter() {
    float left = 0, right = 0;
    Player->GetLevels(left, right);
    emit LevelsChanged(int16_t(left), int16_t(right),
                       uint8_t(Document ? Document->Channels.load() : 0));
}

} // namespace orvella

#pragma once
// TTransportController, playback of the document: the player and its sound device, the range a
// play covers, the volume, and the level meter's 10 ms feed while a play runs. The view only
// shows the play cursor at the frames this controller reports.
//
// Thread rule: GUI thread only. The player's reports reach it on the GUI thread through the
// TMainThread it is given.

#include "engine/document.h"
#include "engine/mainthread.h"
#include "playback/player.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>

namespace orvella {

// The frames a play covers: count frames from First.
struct TPlayRange {
    uint32_t First = 0;
    uint32_t Count = 0;
    bool operator==(const TPlayRange&) const = default;
};

// The selection start .. stop when selected (a typed one may run past the end: what of it lies in
// the document), else from the cursor to the end; length is the document's frames.
TPlayRange PlayRangeOf(bool selected, uint32_t start, uint32_t stop, uint32_t cursor,
                       uint32_t length);

class TTransportController : public QObject {
    Q_OBJECT
public:
    // Creates the player on mainThread and lets it open the sound device (devices: the device
    // factory, empty for the system's default). A device that cannot be opened is reported by
    // Play, not here.
    TTransportController(TMainThread& mainThread, TPlayer::TDeviceFactory devices,
                         QObject* parent = nullptr);
    ~TTransportController() override;

    // The document played (not owned); set before Play.
    void SetDocument(TDocument* document) { Document = document; }

    // Plays range of the document when it is ready and starts the meter feed; nothing without a
    // ready document. Raises the sound device's failure.
    void Play(TPlayRange range);
    // Halts the sound; the meter feed goes on until Stop.
    void Pause();
    // Halts the sound and ends the meter feed; false when no play had been started.
    bool Stop();
    // Gives the sound device back before the document closes.
    void Release();
    // A play was started and not stopped (the meter is being fed).
    bool Active() const { return Meter.isActive(); }
    // The sound is running.
    bool Playing() const { return Player->Playing(); }
    // The volume in hundredths of a decibel (0 full, negative quieter); it also reaches every
    // later play.
    void SetVolume(int32_t volume);
    TPlayer& GetPlayer() { return *Player; }

signals:
    // The frame the sound has reached.
    void PositionChanged(uint32_t frame);
    // The sound started (true) or ended (false, also at the end of the range).
    void PlayingChanged(bool playing);
    // The meter's levels, every 10 ms while a play is active.
    void LevelsChanged(int16_t left, int16_t right, uint8_t channels);
    // A read or device failure while playing; the sound has been halted.
    void Failed(const QString& text);

private:
    void FeedMeter();

    TDocument* Document = nullptr;
    std::unique_ptr<TPlayer> Player;
    QTimer Meter;
    uint32_t First = 0;
    int32_t Volume = 0;
};

} // namespace orvella

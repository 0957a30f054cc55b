#pragma once
// Shared by the playback tests: a tiny work file and a way to let the notify thread catch up.

#include "engine/mainthread.h"
#include "engine/samplestore.h"
#include "playback/soundoutput.h"
#include "support/tempdir.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace orvella::testing {

// A work file with the given values in a fresh temporary folder, removed on destruction.
class TWorkFile {
public:
    TWorkFile(int channels, int rate, const std::vector<int16_t>& values)
        : Folder(Temp.Path())
        , Path(Temp.File("work.wav")) {
        TWorkFileWriter file(Path, channels, rate);
        file.Write(values.data(), uint32_t(values.size() * 2));
        file.Close();
        Store = std::make_shared<TSampleStore>(Path, 0, false, Folder);
    }

private:
    test::TempDir Temp; // first: removed last

public:
    std::string Folder, Path;
    std::shared_ptr<TSampleStore> Store;
};

// Distinct, never-zero values, so silence and misplaced samples show.
inline std::vector<int16_t> Ramp(size_t count) {
    std::vector<int16_t> v(count);
    for (size_t i = 0; i < count; ++i)
        v[i] = int16_t(1 + (i * 7919) % 30000);
    return v;
}

// Runs the main thread's messages until the buffer has no notification signalled or in
// delivery (the buffer may be freed meanwhile). False after two seconds.
inline bool Settle(TMainLoop& loop, const std::function<TLoopingBuffer*()>& buffer) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;) {
        loop.ProcessMessages();
        TLoopingBuffer* b = buffer();
        if (!b || b->NotificationsIdle()) {
            // One more round for a call posted just before the thread went idle.
            loop.ProcessMessages();
            b = buffer();
            if (!b || b->NotificationsIdle()) return true;
        }
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}

} // namespace orvella::testing

#include "cliptestsupport.h"

#include "codecs/codectable.h"
#include "engine/errors.h"
#include "engine/samplestore.h"
#include "engine/waveclip.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

namespace orvella::test {

Bytes WorkClip(uint16_t channels, uint32_t rate, const std::vector<int16_t>& values) {
    const uint32_t bytes = uint32_t(values.size() * 2);
    Bytes block = MakeClipBlock(MakeWorkHeader(channels, rate, bytes), bytes);
    if (bytes) std::memcpy(block.data() + 44, values.data(), bytes);
    return block;
}

Bytes FloatWav(uint32_t rate, const std::vector<float>& values) {
    const uint32_t dataBytes = uint32_t(values.size() * 4);
    Bytes b(44 + dataBytes);
    const auto put = [&b](size_t at, uint32_t v, int n) {
        for (int k = 0; k < n; ++k)
            b[at + k] = uint8_t(v >> (8 * k));
    };
    std::memcpy(b.data(), "RIFF", 4);
    put(4, 36 + dataBytes, 4);
    std::memcpy(b.data() + 8, "WAVEfmt ", 8);
    put(16, 16, 4);
    put(20, 3, 2); // IEEE float
    put(22, 1, 2);
    put(24, rate, 4);
    put(28, rate * 4, 4);
    put(32, 4, 2);
    put(34, 32, 2);
    std::memcpy(b.data() + 36, "data", 4);
    put(40, dataBytes, 4);
    if (dataBytes) std::memcpy(b.data() + 44, values.data(), dataBytes);
    return b;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string OnWorker(const std::function<void()>& fn) {
    std::atomic<bool> done{false};
    std::string failure;
    std::thread worker([&] {
        try {
            fn();
        } catch (const Exception& e) {
            failure = e.Message();
        }
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    worker.join();
    return failure;
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

TClipDocument::TClipDocument(TMainThread& mainThread, TQtWaveClipboard& clipboard) {
    TEngineSettings settings;
    settings.TempFolder = Temp.Path();
    Doc = std::make_unique<TDocument>(mainThread, Dialogs, settings, DefaultCodecServices(Dialogs),
                                      &clipboard);
}

TClipDocument::~TClipDocument() {
    Doc.reset();
}

void TClipDocument::WaitIdle() {
    ASSERT_TRUE(PumpUntil([this] { return !Doc->IsBusy(); }, 30000)) << "the body did not end";
    QCoreApplication::processEvents();
}

void TClipDocument::Load(uint16_t channels, uint32_t rate, const std::vector<int16_t>& values) {
    const std::string source = Temp.File("source.wav");
    WriteBytes(source, WorkClip(channels, rate, values));
    ASSERT_TRUE(Doc->Open(source));
    WaitIdle();
    ASSERT_TRUE(Doc->Ready);
    std::remove(source.c_str());
}

std::vector<int16_t> TClipDocument::Values() {
    const uint32_t count = Doc->Frames * Doc->Channels;
    std::vector<int16_t> values(count);
    if (count) Doc->GetStore()->ReadBlock(values.data(), 0, count - 1);
    return values;
}

} // namespace orvella::test

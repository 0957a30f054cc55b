// Convert: the whole work file streamed through the rate conversion library into a new one.

#include "engine/document.h"
#include "engine/errors.h"
#include "engine/streampeakbuilder.h"
#include "velcora/velcora.h"

#include <cstdio>
#include <unistd.h>

namespace orvella {

namespace {

constexpr uint32_t InputValues = 2048;
constexpr uint32_t OutputBytes = 524288;

// The library has no error report: a pair it cannot convert gives no output at all, while any
// pair it converts ends a stream with at least two frames. Ask it with an empty stream.
bool LibraryConverts(int sourceRate, int targetRate, int sourceChannels, int targetChannels,
                     void* output) {
    if (sourceRate == targetRate) return true;
    DSP_init(sourceRate, targetRate, uint32_t(sourceChannels), uint32_t(targetChannels), 2, 2, 96,
             8000, 1024);
    uint32_t bytes = 0;
    DSP_exit(output, &bytes);
    return bytes > 0;
}

} // namespace

bool TDocument::Convert(int sampleRate, int channels) {
    if (!CanStartChange()) return false;
    TargetRate = sampleRate;
    TargetChannels = channels;
    return StartOperation(TWaveOperation::woConvert, &TDocument::BodyConvert);
}

void TDocument::BodyConvert() {
    Ready = false;
    BeginChange();
    std::vector<int16_t> input(InputValues);
    std::vector<uint8_t> output(OutputBytes);
    const std::string newName = NewWorkFileName(EngineSettings.TempFolder);
    try {
        const int sourceRate = int(SampleRate.load());
        const int sourceChannels = Channels;
        if (!LibraryConverts(sourceRate, TargetRate, sourceChannels, TargetChannels,
                             output.data())) {
            char text[128];
            std::snprintf(text, sizeof text, "Cannot convert from %d Hz to %d Hz.", sourceRate,
                          TargetRate);
            throw Exception(text);
        }
        DSP_init(sourceRate, TargetRate, unsigned(sourceChannels), unsigned(TargetChannels), 2, 2,
                 96, 8000, 1024);
        TWorkFileWriter target(newName, TargetChannels, TargetRate);
        TStreamPeakBuilder filter(TargetChannels);
        auto take = [&](uint32_t bytes) {
            if (bytes == 0) return;
            const auto* values = reinterpret_cast<const int16_t*>(output.data());
            filter.Feed(values, bytes);
            target.Write(values, bytes);
        };

        const int64_t total = int64_t(sourceChannels) * Frames;
        const int64_t blocks = total / InputValues;
        const int64_t rest = total % InputValues;
        uint32_t bytes = 0;
        for (int64_t b = 0; b < blocks; ++b) {
            Progress = int(b * 100 / blocks);
            Store->ReadBlock(input.data(), b * InputValues, b * InputValues + InputValues - 1);
            DSP_process(input.data(), InputValues * 2, output.data(), &bytes);
            take(bytes);
        }
        Store->ReadBlock(input.data(), blocks * InputValues, blocks * InputValues + rest - 1);
        DSP_process(input.data(), uint32_t(rest * 2), output.data(), &bytes);
        take(bytes);
        DSP_exit(output.data(), &bytes);
        take(bytes);
        target.Close();

        WorkFileName = newName;
        SetStore(nullptr);
        OpenCurrentWorkFile();
        int16_t peakLeft, peakRight, peak;
        int peakDb;
        filter.GetPeaks(peakLeft, peakRight, peak, peakDb);
        PeakLeft = peakLeft;
        PeakRight = peakRight;
        Peak = peak;
        PeakDb = peakDb;
        // The new store and format reach readers together with the index built on the way.
        Publish(std::make_shared<const TPeakIndexEntries>(filter.GetIndex()));
    } catch (...) {
        if (WorkFileName != newName) ::unlink(newName.c_str());
        throw;
    }
}

} // namespace orvella

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
    const bool isFloat = IsFloat();
    // The library's codes for the document's values; its float output comes at half scale.
    const uint32_t code = isFloat ? 16 : 2;
    const uint32_t valueBytes = uint32_t(SampleBytes(Format));
    std::vector<int16_t> input(InputValues);
    std::vector<float> floatInput(isFloat ? InputValues : 0);
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
        DSP_init(sourceRate, TargetRate, unsigned(sourceChannels), unsigned(TargetChannels), code,
                 code, 96, 8000, 1024);
        TWorkFileWriter target(newName, TargetChannels, TargetRate, Format);
        TStreamPeakBuilder filter(TargetChannels);
        auto take = [&](uint32_t bytes) {
            if (bytes == 0) return;
            if (isFloat) {
                float* values = reinterpret_cast<float*>(output.data());
                for (uint32_t k = 0; k < bytes / 4; ++k) values[k] *= 2.0f;
            } else {
                filter.Feed(reinterpret_cast<const int16_t*>(output.data()), bytes);
            }
            target.Write(output.data(), bytes);
        };
        auto convert = [&](int64_t first, int64_t count) {
            const void* in = isFloat ? static_cast<const void*>(floatInput.data()) : input.data();
            if (isFloat)
                Store->ReadBlock(floatInput.data(), first, first + count - 1);
            else
                Store->ReadBlock(input.data(), first, first + count - 1);
            uint32_t bytes = 0;
            DSP_process(in, uint32_t(count) * valueBytes, output.data(), &bytes);
            take(bytes);
        };

        const int64_t total = int64_t(sourceChannels) * Frames;
        const int64_t blocks = total / InputValues;
        const int64_t rest = total % InputValues;
        for (int64_t b = 0; b < blocks; ++b) {
            Progress = int(b * 100 / blocks);
            convert(b * InputValues, InputValues);
        }
        convert(blocks * InputValues, rest);
        uint32_t bytes = 0;
        DSP_exit(output.data(), &bytes);
        take(bytes);
        target.Close();

        WorkFileName = newName;
        SetStore(nullptr);
        OpenCurrentWorkFile();
        // A float document's levels come from a scan of the result.
        if (isFloat) {
            BuildPeakIndex();
            return;
        }
        int16_t peakLeft, peakRight, peak;
        int peakDb;
        filter.GetPeaks(peakLeft, peakRight, peak, peakDb);
        PeakLeft = peakLeft;
        PeakRight = peakRight;
        Peak = peak;
        PeakLevel = float(peak / 32768.0);
        PeakDb = peakDb;
        // The new store and format reach readers together with the index built on the way.
        Publish(std::make_shared<const TPeakIndexEntries>(filter.GetIndex()));
    } catch (...) {
        if (WorkFileName != newName) ::unlink(newName.c_str());
        throw;
    }
}

} // namespace orvella

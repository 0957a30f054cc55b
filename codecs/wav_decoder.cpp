#include "codecs/wav_decoder.h"

#include "codecs/WaveIOX.h"
#include "codecs/wavmaker.h"
#include "engine/errors.h"
#include "engine/writebehind.h"

#include <algorithm>
#include <vector>

namespace orvella {

namespace {

constexpr size_t TransferSize = 0x100000;

// Uncompressed sources: the work file's length is known before anything is written. The writer
// may add one filler frame; counting it always errs by at most one frame at the limit.
void CheckWorkFileSize(const TPCMWaveReader& reader, const WAVEFORMATEX& sourceFormat) {
    if (reader.IsCompressed() || sourceFormat.nBlockAlign == 0) return;
    const uint64_t frames = uint64_t(reader.DataSize()) / sourceFormat.nBlockAlign + 1;
    if (44 + frames * reader.PCMFormat().nChannels * 2 > 0xFFFFFFFFu)
        throw Exception(WorkFileTooLargeText);
}

} // namespace

bool DecodeWAVFile(const std::string& sourceFile, const std::string& workFile,
                   std::atomic<int>& progress) {
    TFileWaveStream stream(sourceFile, nullptr);
    TPCMWaveReader reader(stream);
    const WAVEFORMATEX source = reader.PCMFormat();
    // The work file always gets the canonical 16-bit header, not a copy of the source's fields.
    const WAVEFORMATEX target = MakePCMFormat(source.nChannels, source.nSamplesPerSec, 16);
    CheckWorkFileSize(reader, stream.Format());

    WAVWriter writer(source, target);
    try {
        writer.Open(workFile);
        const int64_t total = reader.DataSize();
        if (total > 0) {
            // Several reads are gathered before each Write: the writer's output does not depend
            // on how its input is cut, and large writes keep the 16-bit path fast. A short source
            // gets a short transfer buffer: sixteen times its data covers the widest expansion of
            // a compressed format, and a larger output just takes more writes.
            const size_t limit = size_t(reader.ReadLimit());
            const size_t transferSize = size_t(std::clamp<uint64_t>(
                uint64_t(total) * 16, std::max<uint64_t>(limit, 65536), TransferSize));
            // Writing runs behind the reads on a thread of its own.
            TWriteBehind behind(
                [&](const uint8_t* bytes, size_t count) { writer.Write(bytes, uint32_t(count)); },
                transferSize);
            uint8_t* transfer = behind.Next();
            int64_t consumed = 0;
            size_t filled = 0;
            while (true) {
                int32_t count = 1;
                const int32_t n = reader.Read(transfer + filled, count);
                if (n > 0) filled += size_t(n);
                consumed += count;
                progress = int(double(consumed) / double(total) * 100.0);
                if (filled > 0 && (n <= 0 || transferSize - filled < limit)) {
                    behind.Submit(filled);
                    filled = 0;
                    if (n > 0) transfer = behind.Next();
                }
                if (n <= 0) break;
            }
            behind.Finish();
        }
        progress = 0;
    } catch (...) {
        try {
            writer.Close();
        } catch (...) {
            // The first failure is the one to report.
        }
        throw;
    }
    writer.Close();
    return true;
}

} // namespace orvella

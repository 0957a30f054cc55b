#pragma once
// What the clipboard tests share: clip blocks of our layout, running a body on a worker while the
// GUI thread's event loop runs, and a document over the desktop clipboard.

#include "editor/qtwaveclipboard.h"
#include "engine/document.h"
#include "support/recordingdialogs.h"
#include "support/tempdir.h"
#include "view/qtmainthread.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvella::test {

using Bytes = std::vector<uint8_t>;

// A clip block (also a WAV file) of values for channels at rate.
Bytes WorkClip(uint16_t channels, uint32_t rate, const std::vector<int16_t>& values);
// A WAV file as another program writes it: 32-bit float, mono, values at rate.
Bytes FloatWav(uint32_t rate, const std::vector<float>& values);
void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);

// Runs fn on a thread of its own while the GUI thread's event loop runs; the text of the
// Exception fn raised, empty when none.
std::string OnWorker(const std::function<void()>& fn);

// Runs the GUI thread's event loop until done() or timeoutMs passed; done()'s last answer.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// A document over the desktop clipboard, its dialogs recorded, its files in a private folder.
class TClipDocument {
public:
    TClipDocument(TMainThread& mainThread, TQtWaveClipboard& clipboard);
    ~TClipDocument();

    // Opens a WAV file of values and waits until it is loaded.
    void Load(uint16_t channels, uint32_t rate, const std::vector<int16_t>& values);
    // Runs the GUI thread's event loop until no body runs.
    void WaitIdle();
    std::vector<int16_t> Values();

    TempDir Temp;
    RecordingDialogs Dialogs;
    std::unique_ptr<TDocument> Doc;
};

} // namespace orvella::test

#pragma once
// Helpers shared by the engine's tests: work files from value lists, and a document fixture driven
// by a plain main-thread loop with a private temporary folder and recorded dialogs.

#include "documenttestaccess.h"
#include "engine/document.h"
#include "engine/mainthread.h"
#include "engine/memoryclipboard.h"
#include "engine/samplestore.h"
#include "engine/userdialogs.h"
#include "support/fixtures.h"
#include "support/recordingdialogs.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace orvella::test {

// Writes a work file holding values (interleaved) for channels at rate.
void WriteWorkFile(const std::string& path, int channels, int rate,
                   const std::vector<int16_t>& values);
// All values of a work file.
std::vector<int16_t> ReadWorkFileValues(const std::string& path);
std::vector<uint8_t> ReadFileBytes(const std::string& path);

// A document with a main loop, recorded dialogs, an in-memory clipboard and a private temporary
// folder.
class DocumentTest : public ::testing::Test {
protected:
    DocumentTest();
    ~DocumentTest() override;

    // Replaces Doc by a document over codecs, with the fixture's folder, loop, dialogs, clipboard
    // and event counters.
    void RebuildDocument(const TCodecServices& codecs);
    // Runs the main loop until no body runs (fails the test after 30 s).
    void RunToIdle();
    // Loads values into the document through the copying decoder and waits.
    void Load(int channels, int rate, const std::vector<int16_t>& values);
    // The current work file's values.
    std::vector<int16_t> Values();
    // The document's current work file and histories.
    const std::string& WorkFile() const { return TDocumentTestAccess::WorkFileName(*Doc); }
    const TWorkFileStack& UndoStack() const { return TDocumentTestAccess::UndoStack(*Doc); }
    const TWorkFileStack& RedoStack() const { return TDocumentTestAccess::RedoStack(*Doc); }

    TempDir Temp;
    TMainLoop Loop;
    RecordingDialogs Dialogs;
    TMemoryClipboard Clipboard;
    std::unique_ptr<TDocument> Doc;
    int ReadyCount = 0, LoadedCount = 0;
    std::vector<std::pair<bool, bool>> Actions;
};

} // namespace orvella::test

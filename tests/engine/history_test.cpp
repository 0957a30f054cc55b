// Undo and redo over edits: byte-identical work files, the OnAction states, and the files the
// history deletes.

#include "engine/errors.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

using namespace orvella;
using namespace orvella::test;

namespace {

using Bytes = std::vector<uint8_t>;

} // namespace

class HistoryTest : public DocumentTest {
protected:
    // Loads a document and makes three changes; States[k] is the work file after k changes.
    void LoadAndChangeThrice() {
        std::vector<int16_t> values;
        for (int i = 0; i < 2 * 800; ++i)
            values.push_back(int16_t(i * 11));
        Load(2, 8000, values);
        States.push_back(ReadFileBytes(WorkFile()));
        ASSERT_TRUE(Doc->Amplify(50));
        RunToIdle();
        States.push_back(ReadFileBytes(WorkFile()));
        ASSERT_TRUE(Doc->DeleteRange(10, 200));
        RunToIdle();
        States.push_back(ReadFileBytes(WorkFile()));
        ASSERT_TRUE(Doc->InsertSilence(5, 1000));
        RunToIdle();
        States.push_back(ReadFileBytes(WorkFile()));
        ASSERT_TRUE(Dialogs.Errors().empty());
        Actions.clear();
    }

    void UndoAndWait() {
        Doc->Undo();
        RunToIdle();
    }

    void RedoAndWait() {
        Doc->Redo();
        RunToIdle();
    }

    std::vector<Bytes> States;
};

TEST_F(HistoryTest, ThreeUndosReachTheLoadedStateAndThreeRedosTheLast) {
    LoadAndChangeThrice();
    for (int k = 2; k >= 0; --k) {
        UndoAndWait();
        EXPECT_EQ(ReadFileBytes(WorkFile()), States[k]) << k;
        EXPECT_EQ(Doc->Frames, (States[k].size() - 44) / 4);
        ASSERT_FALSE(Actions.empty());
        EXPECT_EQ(Actions.back(), std::make_pair(k > 0, true));
    }
    EXPECT_TRUE(UndoStack().IsEmpty());
    UndoAndWait(); // nothing left to undo: nothing happens
    EXPECT_EQ(ReadFileBytes(WorkFile()), States[0]);
    for (int k = 1; k <= 3; ++k) {
        RedoAndWait();
        EXPECT_EQ(ReadFileBytes(WorkFile()), States[k]) << k;
        EXPECT_EQ(Actions.back(), std::make_pair(true, k < 3));
    }
    EXPECT_TRUE(RedoStack().IsEmpty());
    EXPECT_TRUE(Dialogs.Errors().empty());
}

TEST_F(HistoryTest, NewChangeAfterUndoDeletesTheRedoFilesAtOnce) {
    LoadAndChangeThrice();
    UndoAndWait();
    UndoAndWait();
    EXPECT_EQ(Temp.Files().size(), 4u); // the loaded file and three changes
    Actions.clear();
    ASSERT_TRUE(Doc->Invert());
    // Undo is enabled and Redo disabled from the body's start.
    RunToIdle();
    EXPECT_TRUE(RedoStack().IsEmpty());
    EXPECT_EQ(UndoStack().Count(), 2u);
    // The two undone states are gone; the loaded file, the first change, and the new one remain.
    EXPECT_EQ(Temp.Files().size(), 3u);
    ASSERT_GE(Actions.size(), 2u);
    EXPECT_EQ(Actions.front(), std::make_pair(true, false));
    EXPECT_EQ(Actions.back(), std::make_pair(true, false));
    UndoAndWait();
    EXPECT_EQ(ReadFileBytes(WorkFile()), States[1]);
}

TEST_F(HistoryTest, UndoKeepsModifiedAndCloseLeavesNoWorkFile) {
    LoadAndChangeThrice();
    for (int k = 0; k < 3; ++k)
        UndoAndWait();
    EXPECT_TRUE(Doc->Modified);
    RedoAndWait();
    EXPECT_TRUE(Doc->Modified);
    EXPECT_EQ(Temp.Files().size(), 4u);
    Doc->Close();
    EXPECT_TRUE(Temp.Files().empty());
}

// A saved document is no longer what was saved once an Undo or Redo changed it: Save writes it
// and closing asks.
TEST_F(HistoryTest, UndoOrRedoAfterASaveMarksTheDocumentModified) {
    LoadAndChangeThrice();
    Doc->FileName = Temp.File("saved.wav");
    ASSERT_TRUE(Doc->Save());
    RunToIdle();
    ASSERT_FALSE(Doc->Modified);
    UndoAndWait();
    EXPECT_TRUE(Doc->Modified);
    ASSERT_TRUE(Doc->Save());
    RunToIdle();
    EXPECT_EQ(ReadFileBytes(Temp.File("saved.wav")), States[2]);
    ASSERT_FALSE(Doc->Modified);
    RedoAndWait();
    EXPECT_TRUE(Doc->Modified);
}

// A change that fails, before its body starts (the clipboard cannot be opened) or after it has
// taken the history entry (a rate pair the library refuses), keeps the undo and redo states.
TEST_F(HistoryTest, FailedChangeKeepsTheHistory) {
    LoadAndChangeThrice();
    UndoAndWait();
    const Bytes current = ReadFileBytes(WorkFile());
    const auto files = Temp.Files();
    Clipboard.SetRefuseOpen(true);
    ASSERT_TRUE(Doc->CutRange(0, 10));
    RunToIdle();
    ASSERT_TRUE(Doc->Convert(1000003, 2));
    RunToIdle();
    ASSERT_EQ(Dialogs.Errors(),
              (std::vector<std::string>{"Cannot open clipboard",
                                        "Cannot convert from 8000 Hz to 1000003 Hz."}));
    EXPECT_EQ(ReadFileBytes(WorkFile()), current);
    EXPECT_EQ(UndoStack().Count(), 2u);
    EXPECT_EQ(RedoStack().Count(), 1u);
    EXPECT_EQ(Temp.Files(), files);
    ASSERT_FALSE(Actions.empty());
    EXPECT_EQ(Actions.back(), std::make_pair(true, true));
    RedoAndWait();
    EXPECT_EQ(ReadFileBytes(WorkFile()), States[3]);
}

// An earlier state's work file removed behind the document's back: Undo raises the store's error
// on the main thread and leaves no document, for the starters and for readers alike.
TEST_F(HistoryTest, UndoToAMissingWorkFileLeavesNoDocument) {
    LoadAndChangeThrice();
    std::filesystem::remove(UndoStack().Top());
    EXPECT_THROW(Doc->Undo(), Exception);
    EXPECT_FALSE(Doc->IsBusy());
    EXPECT_FALSE(Doc->Ready);
    EXPECT_EQ(Doc->Snapshot()->Store, nullptr);
    EXPECT_EQ(Doc->Snapshot()->Frames, 0u);
    EXPECT_FALSE(Doc->Amplify(50));
    EXPECT_EQ(UndoStack().Count(), 2u);
    EXPECT_EQ(RedoStack().Count(), 1u);
    Doc->Close();
    EXPECT_TRUE(Temp.Files().empty());
}

// Painting and the player take the store, the peak index and the format as one picture while
// changes, and the rescans after Undo and Redo, replace them: every picture is whole. The
// states differ in content only (amplify), in length (delete) and in channels and rate
// (convert), so an index or format of a neighbouring state shows in the first block or in a
// size.
TEST_F(HistoryTest, ThreadsSnapshotsKeepStoreIndexAndFormatTogether) {
    std::vector<int16_t> values(2 * 600000);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = int16_t(i * 7);
    Load(2, 44100, values);

    std::atomic<bool> stop{false};
    std::string failure;
    int64_t taken = 0, changes = 0;
    std::thread reader([&] {
        std::shared_ptr<const TDocumentSnapshot> last;
        std::vector<int16_t> block(2 * PeakBlockFrames);
        while (!stop && failure.empty()) {
            const std::shared_ptr<const TDocumentSnapshot> s = Doc->Snapshot();
            ++taken;
            if (s == last) continue;
            ++changes;
            last = s;
            const uint32_t frames = s->Frames, channels = s->Channels;
            const std::string at =
                std::to_string(frames) + " frames, " + std::to_string(channels) + " channels: ";
            if (!s->PeakIndex || !s->Store) {
                failure = at + "no index or no store";
            } else if (s->Store->ValueCount() != int64_t(frames) * channels ||
                       s->DataBytes != uint64_t(frames) * channels * 2 ||
                       s->Duration != double(frames) / s->SampleRate) {
                failure = at + "the store or the format fields disagree";
            } else if (frames > PeakBlockFrames) {
                if (s->PeakIndex->size() != (frames / PeakBlockFrames + 1) * channels) {
                    failure = at + "index of " + std::to_string(s->PeakIndex->size());
                    continue;
                }
                // The first block's entries are those of this store's values.
                s->Store->ReadBlock(block.data(), 0, int64_t(PeakBlockFrames) * channels - 1);
                for (uint32_t c = 0; c < channels; ++c) {
                    int16_t max = 0, min = 0;
                    for (uint32_t f = 0; f < PeakBlockFrames; ++f) {
                        max = std::max(max, block[f * channels + c]);
                        min = std::min(min, block[f * channels + c]);
                    }
                    if ((*s->PeakIndex)[c].Max != max || (*s->PeakIndex)[c].Min != min)
                        failure = at + "first block of channel " + std::to_string(c);
                }
            }
        }
    });
    auto run = [&](const std::function<bool()>& start) {
        ASSERT_TRUE(start());
        RunToIdle();
    };
    run([&] { return Doc->Amplify(50); });
    run([&] { return Doc->DeleteRange(0, 30000); });
    run([&] { return Doc->Convert(22050, 1); });
    // Each rescan is a chance for a reader to meet a new store beside an old index.
    for (int round = 0; round < 3; ++round) {
        for (int k = 0; k < 3; ++k)
            run([&] {
                Doc->Undo();
                return true;
            });
        for (int k = 0; k < 3; ++k)
            run([&] {
                Doc->Redo();
                return true;
            });
    }
    stop = true;
    reader.join();
    EXPECT_EQ(failure, "");
    EXPECT_TRUE(Dialogs.Errors().empty());
    EXPECT_EQ(Doc->Channels, 1);
    EXPECT_GT(taken, changes);
    EXPECT_GE(changes, 2);
}

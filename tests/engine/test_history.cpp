// Undo and redo over edits: byte-identical work files, the OnAction states, and the files the
// history deletes.

#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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
        States.push_back(ReadFileBytes(Doc->WorkFileName));
        ASSERT_TRUE(Doc->Amplify(50));
        RunToIdle();
        States.push_back(ReadFileBytes(Doc->WorkFileName));
        ASSERT_TRUE(Doc->DeleteRange(10, 200));
        RunToIdle();
        States.push_back(ReadFileBytes(Doc->WorkFileName));
        ASSERT_TRUE(Doc->InsertSilence(5, 1000));
        RunToIdle();
        States.push_back(ReadFileBytes(Doc->WorkFileName));
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
        EXPECT_EQ(ReadFileBytes(Doc->WorkFileName), States[k]) << k;
        EXPECT_EQ(Doc->Frames, (States[k].size() - 44) / 4);
        ASSERT_FALSE(Actions.empty());
        EXPECT_EQ(Actions.back(), std::make_pair(k > 0, true));
    }
    EXPECT_TRUE(Doc->UndoStack.IsEmpty());
    UndoAndWait(); // nothing left to undo: nothing happens
    EXPECT_EQ(ReadFileBytes(Doc->WorkFileName), States[0]);
    for (int k = 1; k <= 3; ++k) {
        RedoAndWait();
        EXPECT_EQ(ReadFileBytes(Doc->WorkFileName), States[k]) << k;
        EXPECT_EQ(Actions.back(), std::make_pair(true, k < 3));
    }
    EXPECT_TRUE(Doc->RedoStack.IsEmpty());
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
    EXPECT_TRUE(Doc->RedoStack.IsEmpty());
    EXPECT_EQ(Doc->UndoStack.Count(), 2u);
    // The two undone states are gone; the loaded file, the first change, and the new one remain.
    EXPECT_EQ(Temp.Files().size(), 3u);
    ASSERT_GE(Actions.size(), 2u);
    EXPECT_EQ(Actions.front(), std::make_pair(true, false));
    EXPECT_EQ(Actions.back(), std::make_pair(true, false));
    UndoAndWait();
    EXPECT_EQ(ReadFileBytes(Doc->WorkFileName), States[1]);
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

// A change that fails, before its body starts (the clipboard cannot be opened) or after it has
// taken the history entry (a rate pair the library refuses), keeps the undo and redo states.
TEST_F(HistoryTest, FailedChangeKeepsTheHistory) {
    LoadAndChangeThrice();
    UndoAndWait();
    const Bytes current = ReadFileBytes(Doc->WorkFileName);
    const auto files = Temp.Files();
    Clipboard.SetRefuseOpen(true);
    ASSERT_TRUE(Doc->CutRange(0, 10));
    RunToIdle();
    ASSERT_TRUE(Doc->Convert(1000003, 2));
    RunToIdle();
    ASSERT_EQ(Dialogs.Errors(),
              (std::vector<std::string>{"Cannot open clipboard",
                                        "Cannot convert from 8000 Hz to 1000003 Hz."}));
    EXPECT_EQ(ReadFileBytes(Doc->WorkFileName), current);
    EXPECT_EQ(Doc->UndoStack.Count(), 2u);
    EXPECT_EQ(Doc->RedoStack.Count(), 1u);
    EXPECT_EQ(Temp.Files(), files);
    ASSERT_FALSE(Actions.empty());
    EXPECT_EQ(Actions.back(), std::make_pair(true, true));
    RedoAndWait();
    EXPECT_EQ(ReadFileBytes(Doc->WorkFileName), States[3]);
}

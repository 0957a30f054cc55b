// Copy, cut, delete, paste and insert silence on small documents.

#include "engine/waveclip.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using namespace orvella;
using namespace orvella::test;

namespace {

using Values16 = std::vector<int16_t>;

// A clip block with a canonical header for channels at rate and the given values.
std::vector<uint8_t> ClipOf(int channels, int rate, const Values16& values) {
    const uint32_t bytes = uint32_t(values.size() * 2);
    std::vector<uint8_t> block =
        MakeClipBlock(MakeWorkHeader(uint16_t(channels), rate, bytes), bytes);
    if (!values.empty()) std::memcpy(block.data() + 44, values.data(), bytes);
    return block;
}

Values16 ClipValues(const std::vector<uint8_t>& block) {
    Values16 v((block.size() - 44) / 2);
    if (!v.empty()) std::memcpy(v.data(), block.data() + 44, v.size() * 2);
    return v;
}

TWaveHeader HeaderOf(const std::string& path) {
    TWaveHeader h;
    const auto bytes = ReadFileBytes(path);
    std::memcpy(&h, bytes.data(), sizeof h);
    return h;
}

} // namespace

class EditTest : public DocumentTest {};

TEST_F(EditTest, CopyPlacesTheRangeAsAClipAndChangesNothing) {
    Load(2, 22050, {1, -1, 2, -2, 3, -3, 4, -4});
    const std::string work = WorkFile();
    ASSERT_TRUE(Doc->CopyRange(1, 3));
    RunToIdle();
    const auto block = Clipboard.Contents();
    ASSERT_TRUE(block);
    ASSERT_EQ(block->size(), 44u + 8u);
    TWaveHeader h;
    std::memcpy(&h, block->data(), 44);
    EXPECT_EQ(h.RiffSize, 8u + 36u);
    EXPECT_EQ(h.DataSize, 8u);
    EXPECT_EQ(h.Channels, 2);
    EXPECT_EQ(h.SamplesPerSec, 22050u);
    EXPECT_EQ(h.BlockAlign, 4);
    EXPECT_EQ(ClipValues(*block), (Values16{2, -2, 3, -3}));
    EXPECT_EQ(WorkFile(), work);
    EXPECT_TRUE(UndoStack().IsEmpty());
    EXPECT_FALSE(Doc->Modified);
    EXPECT_TRUE(Actions.empty());
    EXPECT_EQ(ReadyCount, 1);
    EXPECT_EQ(Doc->Progress.load(), 0);

    // An empty range gives a bare header; pasting it adds a history entry and nothing else.
    ASSERT_TRUE(Doc->CopyRange(2, 2));
    RunToIdle();
    ASSERT_EQ(Clipboard.Contents()->size(), 44u);
    ASSERT_TRUE(Doc->Paste(1));
    RunToIdle();
    EXPECT_EQ(UndoStack().Count(), 1u);
    EXPECT_EQ(Values(), (Values16{1, -1, 2, -2, 3, -3, 4, -4}));
}

struct EditCase {
    const char* name;
    int channels;
    Values16 before;
    // One of: delete [a, b), insert silence of b frames at a, paste clip at a.
    enum { Delete, Silence, Paste } kind;
    int64_t a, b;
    Values16 clip; // for Paste, in the document's channel count
    Values16 after;
};

std::ostream& operator<<(std::ostream& out, const EditCase& c) {
    return out << c.name;
}

class EditCases : public EditTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(EditCases, RewriteTheDocumentAndItsHeader) {
    const EditCase& c = GetParam();
    Load(c.channels, 8000, c.before);
    const std::string previous = WorkFile();
    switch (c.kind) {
    case EditCase::Delete:
        ASSERT_TRUE(Doc->DeleteRange(c.a, c.b));
        break;
    case EditCase::Silence:
        ASSERT_TRUE(Doc->InsertSilence(c.a, c.b));
        break;
    case EditCase::Paste:
        Clipboard.Place(ClipOf(c.channels, 8000, c.clip));
        ASSERT_TRUE(Doc->Paste(c.a));
        break;
    }
    RunToIdle();
    EXPECT_TRUE(Dialogs.Errors().empty());
    EXPECT_EQ(Values(), c.after);
    const uint32_t frames = uint32_t(c.after.size() / c.channels);
    EXPECT_EQ(Doc->Frames, frames);
    EXPECT_EQ(Doc->DataBytes, c.after.size() * 2);
    EXPECT_DOUBLE_EQ(Doc->Duration, frames / 8000.0);
    const TWaveHeader h = HeaderOf(WorkFile());
    EXPECT_EQ(h.DataSize, c.after.size() * 2);
    EXPECT_EQ(h.RiffSize, c.after.size() * 2 + 36);
    EXPECT_EQ(std::filesystem::file_size(WorkFile()), 44 + c.after.size() * 2);
    // One history entry, the previous work file, and Undo enabled from the body's start.
    ASSERT_EQ(UndoStack().Count(), 1u);
    EXPECT_EQ(UndoStack().Top(), previous);
    EXPECT_TRUE(Doc->Modified);
    EXPECT_TRUE(Doc->Ready);
    ASSERT_FALSE(Actions.empty());
    EXPECT_EQ(Actions.back(), std::make_pair(true, false));
    EXPECT_EQ(ReadyCount, 1);
    EXPECT_EQ(Doc->Progress.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, EditCases,
    ::testing::Values(
        EditCase{"DeleteMiddle", 1, {1, 2, 3, 4, 5}, EditCase::Delete, 1, 3, {}, {1, 4, 5}},
        EditCase{
            "DeleteStereo", 2, {1, -1, 2, -2, 3, -3}, EditCase::Delete, 0, 1, {}, {2, -2, 3, -3}},
        EditCase{"DeleteWholeDocument", 2, {1, -1, 2, -2}, EditCase::Delete, 0, 2, {}, {}},
        EditCase{"DeleteEmptyRange", 1, {1, 2, 3}, EditCase::Delete, 2, 2, {}, {1, 2, 3}},
        EditCase{
            "DeleteRangeLimitedToDocument", 1, {1, 2, 3, 4}, EditCase::Delete, 2, 99, {}, {1, 2}},
        EditCase{"DeleteReversedRange", 1, {1, 2, 3, 4}, EditCase::Delete, 3, 1, {}, {1, 4}},
        EditCase{"SilenceMiddleStereo",
                 2,
                 {1, -1, 2, -2},
                 EditCase::Silence,
                 1,
                 2,
                 {},
                 {1, -1, 0, 0, 0, 0, 2, -2}},
        EditCase{"SilenceAtEnd", 1, {1, 2}, EditCase::Silence, 2, 1, {}, {1, 2, 0}},
        EditCase{"SilenceOfNothing", 1, {1, 2}, EditCase::Silence, 1, 0, {}, {1, 2}},
        EditCase{"PasteAtStart", 1, {1, 2}, EditCase::Paste, 0, 0, {7, 8}, {7, 8, 1, 2}},
        EditCase{"PasteAtEnd", 1, {1, 2}, EditCase::Paste, 2, 0, {7, 8}, {1, 2, 7, 8}},
        EditCase{"PasteStereoKeepsChannels",
                 2,
                 {1, -1, 2, -2},
                 EditCase::Paste,
                 1,
                 0,
                 {5, -5, 6, -6},
                 {1, -1, 5, -5, 6, -6, 2, -2}},
        EditCase{"PasteIntoEmptyDocument", 2, {}, EditCase::Paste, 0, 0, {5, -5}, {5, -5}}),
    [](const auto& info) { return info.param.name; });

TEST_F(EditTest, CutThenPasteAtTheSamePlaceGivesBackTheOriginal) {
    Values16 original;
    for (int i = 0; i < 2 * 1500; ++i)
        original.push_back(int16_t(i * 37 - 20000));
    Load(2, 44100, original);
    const auto loadedBytes = ReadFileBytes(WorkFile());
    ASSERT_TRUE(Doc->CutRange(400, 1100));
    RunToIdle();
    EXPECT_EQ(Doc->Frames, 800u);
    // The clipboard holds exactly the removed frames.
    EXPECT_EQ(ClipValues(*Clipboard.Contents()),
              Values16(original.begin() + 800, original.begin() + 2200));
    Values16 expected(original.begin(), original.begin() + 800);
    expected.insert(expected.end(), original.begin() + 2200, original.end());
    EXPECT_EQ(Values(), expected);

    ASSERT_TRUE(Doc->Paste(400));
    RunToIdle();
    EXPECT_EQ(ReadFileBytes(WorkFile()), loadedBytes);

    // Undo twice: back to the loaded file; the clip stays.
    Doc->Undo();
    RunToIdle();
    Doc->Undo();
    RunToIdle();
    EXPECT_EQ(ReadFileBytes(WorkFile()), loadedBytes);
    EXPECT_EQ(Clipboard.Contents()->size(), 44u + 2800u);
    EXPECT_TRUE(Dialogs.Errors().empty());
}

TEST_F(EditTest, ClipOfOtherChannelCountIsConverted) {
    Load(2, 8000, {1, -1});
    Clipboard.Place(ClipOf(1, 8000, {10, -20}));
    ASSERT_TRUE(Doc->Paste(1));
    RunToIdle();
    EXPECT_EQ(Values(), (Values16{1, -1, 10, 10, -20, -20}));
    Doc->Close();

    Load(1, 8000, {9});
    // Means of 1.5, 0.5, -0.5, -1.5 go to the even neighbour; the extremes stay in range.
    Clipboard.Place(
        ClipOf(2, 8000, {1, 2, 1, 0, -1, 0, -3, 0, 32767, 32767, -32768, -32768, 5, -2}));
    ASSERT_TRUE(Doc->Paste(0));
    RunToIdle();
    EXPECT_EQ(Values(), (Values16{2, 0, 0, -2, 32767, -32768, 2, 9}));
    EXPECT_TRUE(Dialogs.Errors().empty());
}

TEST_F(EditTest, InvalidClipFailsAndChangesNothing) {
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> blocks = [] {
        std::vector<std::pair<const char*, std::vector<uint8_t>>> b;
        b.emplace_back("short", std::vector<uint8_t>(43, 0));
        auto tooLong = ClipOf(2, 8000, {1, 2, 3, 4});
        tooLong.pop_back(); // the data size now exceeds the block
        b.emplace_back("data size beyond block", tooLong);
        auto noChannels = ClipOf(2, 8000, {1, 2});
        noChannels[22] = noChannels[23] = 0;
        b.emplace_back("no channels", noChannels);
        b.emplace_back("three channels", ClipOf(3, 8000, {1, 2, 3}));
        return b;
    }();
    Load(2, 8000, {1, -1, 2, -2});
    const auto bytes = ReadFileBytes(WorkFile());
    const std::string work = WorkFile();
    size_t errors = 0;
    for (const auto& [name, block] : blocks) {
        SCOPED_TRACE(name);
        Clipboard.Place(block);
        ASSERT_TRUE(Doc->Paste(1));
        RunToIdle();
        ASSERT_EQ(Dialogs.Errors().size(), ++errors);
        EXPECT_EQ(Dialogs.Errors().back(), "The clipboard does not hold valid wave data.");
        EXPECT_EQ(WorkFile(), work);
        EXPECT_EQ(ReadFileBytes(work), bytes);
        EXPECT_TRUE(UndoStack().IsEmpty());
        EXPECT_FALSE(Doc->Modified);
        EXPECT_TRUE(Doc->Ready);
        EXPECT_EQ(Doc->Frames, 2u);
        EXPECT_EQ(Temp.Files().size(), 1u);
    }
    EXPECT_EQ(ReadyCount, 0);
}

TEST_F(EditTest, ClipOfOtherRateIsRefusedAndChangesNothing) {
    Load(2, 8000, {1, -1, 2, -2});
    const auto bytes = ReadFileBytes(WorkFile());
    // A malformed block of another rate still gets the malformed message.
    auto tooLong = ClipOf(2, 22050, {1, 2});
    tooLong.pop_back();
    const std::vector<std::pair<std::vector<uint8_t>, std::string>> cases = {
        {ClipOf(2, 22050, {7, 7}),
         "The sound on the clipboard has a sample rate of 22050 Hz, the document 8000 Hz. "
         "Convert one of them to the other's rate before pasting."},
        {ClipOf(1, 0, {}),
         "The sound on the clipboard has a sample rate of 0 Hz, the document 8000 Hz. "
         "Convert one of them to the other's rate before pasting."},
        {tooLong, "The clipboard does not hold valid wave data."},
    };
    for (const auto& [block, message] : cases) {
        Clipboard.Place(block);
        ASSERT_TRUE(Doc->Paste(1));
        RunToIdle();
        ASSERT_FALSE(Dialogs.Errors().empty());
        EXPECT_EQ(Dialogs.Errors().back(), message);
        EXPECT_EQ(ReadFileBytes(WorkFile()), bytes);
        EXPECT_TRUE(UndoStack().IsEmpty());
        EXPECT_FALSE(Doc->Modified);
    }
    EXPECT_EQ(Dialogs.Errors().size(), cases.size());
}

TEST_F(EditTest, PasteWithoutWaveDataDoesNothing) {
    Load(1, 8000, {1, 2, 3});
    const std::string work = WorkFile();
    ASSERT_TRUE(Doc->Paste(1));
    RunToIdle();
    EXPECT_EQ(WorkFile(), work);
    EXPECT_TRUE(UndoStack().IsEmpty());
    EXPECT_FALSE(Doc->Modified);
    EXPECT_TRUE(Actions.empty());
    EXPECT_TRUE(Dialogs.Errors().empty());
    EXPECT_EQ(Values(), (Values16{1, 2, 3}));
}

TEST_F(EditTest, ClipboardThatCannotBeOpenedFailsOnceAndChangesNothing) {
    Load(2, 8000, {1, -1, 2, -2, 3, -3});
    const auto bytes = ReadFileBytes(WorkFile());
    Clipboard.Place(ClipOf(2, 8000, {9, 9}));
    Clipboard.SetRefuseOpen(true);
    const std::vector<std::pair<const char*, std::function<bool()>>> commands = {
        {"copy", [&] { return Doc->CopyRange(0, 2); }},
        {"cut", [&] { return Doc->CutRange(0, 2); }},
        {"paste", [&] { return Doc->Paste(1); }},
    };
    size_t errors = 0;
    for (const auto& [name, run] : commands) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(run());
        RunToIdle();
        ASSERT_EQ(Dialogs.Errors().size(), ++errors);
        EXPECT_EQ(Dialogs.Errors().back(), "Cannot open clipboard");
        EXPECT_EQ(ReadFileBytes(WorkFile()), bytes);
        EXPECT_EQ(Doc->Frames, 3u);
        EXPECT_TRUE(UndoStack().IsEmpty());
        EXPECT_FALSE(Doc->Modified);
        EXPECT_TRUE(Doc->Ready);
        EXPECT_EQ(Doc->Progress.load(), 0);
        EXPECT_EQ(ClipValues(*Clipboard.Contents()), (Values16{9, 9}));
    }
    EXPECT_EQ(ReadyCount, 0);
    EXPECT_EQ(Temp.Files().size(), 1u);
}

TEST_F(EditTest, WithoutAClipboardCopyAndPasteCannotOpenIt) {
    TEngineSettings settings;
    settings.TempFolder = Temp.Path();
    TCodecServices codecs;
    codecs.Decoders.push_back(CopyingWavDecoder());
    Doc = std::make_unique<TDocument>(Loop, Dialogs, settings, codecs);
    Load(1, 8000, {1, 2});
    ASSERT_TRUE(Doc->CopyRange(0, 1));
    RunToIdle();
    ASSERT_TRUE(Doc->Paste(0));
    RunToIdle();
    EXPECT_EQ(Dialogs.Errors(),
              (std::vector<std::string>{"Cannot open clipboard", "Cannot open clipboard"}));
    EXPECT_EQ(Values(), (Values16{1, 2}));
}

TEST_F(EditTest, StartersRefuseADocumentThatIsNotOpen) {
    EXPECT_FALSE(Doc->CopyRange(0, 1));
    EXPECT_FALSE(Doc->DeleteRange(0, 1));
    EXPECT_FALSE(Doc->Paste(0));
    EXPECT_FALSE(Doc->InsertSilence(0, 5));
    EXPECT_FALSE(Doc->Invert());
    EXPECT_FALSE(Doc->IsBusy());
}

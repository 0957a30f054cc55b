// Every operation starter, in one table: refused without a document, and refused (with Undo and
// Redo) while a body runs.

#include "engine/memoryclipboard.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

using namespace orvella;
using namespace orvella::test;

namespace {

constexpr int64_t Frames = 1000;

struct Starter {
    const char* Name;
    bool NeedsDocument; // Open is how a document comes
    std::function<bool(TDocument&, const TempDir&)> Start;
};

// Arguments that a loaded document of Frames mono frames would accept, so that a refusal can only
// come from the state of the document.
const Starter Starters[] = {
    {"Open", false, [](TDocument& d, const TempDir& t) { return d.Open(t.File("a.wav")); }},
    {"Save", true, [](TDocument& d, const TempDir&) { return d.Save(); }},
    {"SaveRange", true,
     [](TDocument& d, const TempDir& t) { return d.SaveRange(t.File("x.wav"), 0, 10); }},
    {"CutRange", true, [](TDocument& d, const TempDir&) { return d.CutRange(0, 10); }},
    {"CopyRange", true, [](TDocument& d, const TempDir&) { return d.CopyRange(0, 10); }},
    {"Paste", true, [](TDocument& d, const TempDir&) { return d.Paste(5); }},
    {"DeleteRange", true, [](TDocument& d, const TempDir&) { return d.DeleteRange(0, 10); }},
    {"InsertSilence", true, [](TDocument& d, const TempDir&) { return d.InsertSilence(5, 10); }},
    {"FadeIn", true, [](TDocument& d, const TempDir&) { return d.FadeIn(0, 10); }},
    {"FadeOut", true, [](TDocument& d, const TempDir&) { return d.FadeOut(0, 10); }},
    {"Normalize", true, [](TDocument& d, const TempDir&) { return d.Normalize(50); }},
    {"Amplify", true, [](TDocument& d, const TempDir&) { return d.Amplify(150); }},
    {"Reverse", true, [](TDocument& d, const TempDir&) { return d.Reverse(); }},
    {"Invert", true, [](TDocument& d, const TempDir&) { return d.Invert(); }},
    {"Convert", true, [](TDocument& d, const TempDir&) { return d.Convert(22050, 1); }},
};
static_assert(std::size(Starters) == 15, "every starter of the document is in the table");

std::vector<int16_t> Ramp() {
    std::vector<int16_t> v(Frames);
    for (int64_t i = 0; i < Frames; ++i)
        v[size_t(i)] = int16_t(i * 13 - 5000);
    return v;
}

// The memory clipboard, except that Open waits while Hold is set: a copy's body stays running
// until the test lets it go.
class HoldingClipboard : public TMemoryClipboard {
public:
    void Open() override {
        Entered = true;
        while (Hold)
            std::this_thread::yield();
        TMemoryClipboard::Open();
    }
    std::atomic<bool> Hold{false}, Entered{false};
};

class StarterTest : public DocumentTest {
protected:
    StarterTest() {
        TEngineSettings settings;
        settings.TempFolder = Temp.Path();
        TCodecServices codecs;
        codecs.Decoders.push_back(CopyingWavDecoder());
        Doc = std::make_unique<TDocument>(Loop, Dialogs, settings, codecs, &Holding);
    }
    ~StarterTest() override {
        Holding.Hold = false;
        Doc.reset();
    }
    HoldingClipboard Holding;
};

} // namespace

TEST_F(StarterTest, WithoutADocumentOnlyOpenStartsAndUndoRedoDoNothing) {
    for (const Starter& s : Starters) {
        if (!s.NeedsDocument) continue;
        EXPECT_FALSE(s.Start(*Doc, Temp)) << s.Name;
        EXPECT_FALSE(Doc->IsBusy()) << s.Name;
    }
    Doc->Undo();
    Doc->Redo();
    EXPECT_FALSE(Doc->IsBusy());
    EXPECT_FALSE(Doc->Ready);
    EXPECT_TRUE(Temp.Files().empty()); // no work file made, nothing saved
    EXPECT_TRUE(Dialogs.Errors().empty());
    EXPECT_TRUE(Dialogs.Messages().empty());
}

TEST_F(StarterTest, WhileABodyRunsEveryStarterUndoAndRedoAreRefused) {
    WriteWorkFile(Temp.File("a.wav"), 1, 8000, Ramp());
    ASSERT_TRUE(Doc->Open(Temp.File("a.wav")));
    RunToIdle();
    // A history in both directions: Invert, Reverse, then Undo the Reverse.
    ASSERT_TRUE(Doc->Invert());
    RunToIdle();
    ASSERT_TRUE(Doc->Reverse());
    RunToIdle();
    Doc->Undo();
    RunToIdle();
    const std::vector<int16_t> current = Values();
    std::vector<int16_t> inverted = Ramp();
    for (int16_t& v : inverted)
        v = int16_t(-v);
    ASSERT_EQ(current, inverted);
    const std::vector<std::string> files = Temp.Files();
    const auto snapshot = Doc->Snapshot();

    Holding.Hold = true;
    ASSERT_TRUE(Doc->CopyRange(0, Frames));
    while (!Holding.Entered)
        std::this_thread::yield();
    for (const Starter& s : Starters) {
        EXPECT_FALSE(s.Start(*Doc, Temp)) << s.Name;
        EXPECT_TRUE(Doc->IsBusy()) << s.Name;
    }
    Doc->Undo();
    Doc->Redo();
    EXPECT_TRUE(Doc->IsBusy());
    EXPECT_EQ(Doc->Snapshot(), snapshot); // neither applied its state
    Holding.Hold = false;
    RunToIdle();

    // Nothing the refused calls asked for happened: the same values, the same files, no box.
    EXPECT_TRUE(Dialogs.Errors().empty());
    EXPECT_EQ(Values(), current);
    EXPECT_EQ(Temp.Files().size(), files.size());
    EXPECT_TRUE(Holding.Contents().has_value()); // the held copy finished
    // Both histories are whole: Undo gives the original, two Redos the inverted and the reversed.
    Doc->Undo();
    RunToIdle();
    EXPECT_EQ(Values(), Ramp());
    Doc->Redo();
    RunToIdle();
    EXPECT_EQ(Values(), inverted);
    Doc->Redo();
    RunToIdle();
    std::reverse(inverted.begin(), inverted.end());
    EXPECT_EQ(Values(), inverted);
}

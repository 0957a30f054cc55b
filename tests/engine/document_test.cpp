#include "engine/errors.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace orvella;
using namespace orvella::test;

namespace {

std::vector<int16_t> Stereo(const std::vector<std::pair<int16_t, int16_t>>& frames) {
    std::vector<int16_t> v;
    for (auto [l, r] : frames) {
        v.push_back(l);
        v.push_back(r);
    }
    return v;
}

} // namespace

TEST_F(DocumentTest, LoadRaisesLoadedAndReadyAndTakesTheFormat) {
    const std::string source = Temp.File("song.WAV"); // upper case extension still loads
    WriteWorkFile(source, 2, 44100, Stereo({{1, -1}, {2, -2}, {3, -3}}));
    // A read-only file opens and keeps its permissions.
    namespace fs = std::filesystem;
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read;
    fs::permissions(source, readOnly);
    ASSERT_TRUE(Doc->Open(source));
    RunToIdle();
    EXPECT_EQ(fs::status(source).permissions(), readOnly);
    EXPECT_TRUE(Doc->Ready);
    EXPECT_EQ(LoadedCount, 1);
    EXPECT_EQ(ReadyCount, 1);
    EXPECT_EQ(Doc->SourceKind, 1);
    EXPECT_EQ(Doc->Channels, 2);
    EXPECT_EQ(Doc->SampleRate, 44100u);
    EXPECT_EQ(Doc->Frames, 3u);
    EXPECT_EQ(Doc->DataBytes, 12u);
    EXPECT_DOUBLE_EQ(Doc->Duration, 3.0 / 44100);
    EXPECT_EQ(Doc->Progress.load(), 0);
    EXPECT_EQ(Values(), Stereo({{1, -1}, {2, -2}, {3, -3}}));
}

TEST_F(DocumentTest, ApplyHeaderUsesTheRiffSizeNotTheDataSize) {
    TWaveHeader h = MakeWorkHeader(2, 44100, 999999);
    h.RiffSize = 1036;
    TDocumentTestAccess::ApplyHeader(*Doc, h);
    EXPECT_EQ(Doc->DataBytes, 1000u);
    EXPECT_EQ(Doc->Frames, 250u);
    EXPECT_FALSE(Doc->NotPCM);
    h.FormatTag = 3;
    TDocumentTestAccess::ApplyHeader(*Doc, h);
    h.FormatTag = 1;
    TDocumentTestAccess::ApplyHeader(*Doc, h);
    EXPECT_TRUE(Doc->NotPCM); // once seen, it stays
}

struct PeakCase {
    const char* name;
    int channels;
    uint32_t frames;
    size_t entriesPerChannel;
};

std::ostream& operator<<(std::ostream& out, const PeakCase& c) {
    return out << c.name;
}

class PeakIndexLength : public DocumentTest, public ::testing::WithParamInterface<PeakCase> {};

TEST_P(PeakIndexLength, OneEntryPerBlockAndChannelPlusTheRemainder) {
    const PeakCase& c = GetParam();
    std::vector<int16_t> values(size_t(c.frames) * c.channels);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = int16_t((i % 100) * (i % 2 ? -1 : 1));
    Load(c.channels, 8000, values);
    const auto index = Doc->GetPeakIndex();
    ASSERT_EQ(index->size(), c.entriesPerChannel * c.channels);
    // The last block of 1024 frames holds no frame: (0, 0).
    if (c.frames % 512 == 0) {
        EXPECT_EQ(index->back().Max, 0);
        EXPECT_EQ(index->back().Min, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, PeakIndexLength,
                         ::testing::Values(PeakCase{"mono513", 1, 513, 2},
                                           PeakCase{"stereo513", 2, 513, 2},
                                           PeakCase{"stereo1024", 2, 1024, 3},
                                           PeakCase{"mono100000", 1, 100000, 196}),
                         [](const auto& info) { return info.param.name; });

TEST_F(DocumentTest, PeakIndexHoldsBlockMaximaAndMinimaPerChannel) {
    std::vector<int16_t> v(2 * 600, 0);
    v[2 * 10] = 16384;      // left, block 0
    v[2 * 20 + 1] = -30000; // right, block 0
    v[2 * 513] = -5;        // left, block 1
    v[2 * 514 + 1] = 1200;  // right, block 1
    Load(2, 8000, v);
    const auto index = Doc->GetPeakIndex();
    ASSERT_EQ(index->size(), 4u);
    EXPECT_EQ((*index)[0].Max, 16384);
    EXPECT_EQ((*index)[0].Min, 0);
    EXPECT_EQ((*index)[1].Max, 0);
    EXPECT_EQ((*index)[1].Min, -30000);
    EXPECT_EQ((*index)[2].Max, 0);
    EXPECT_EQ((*index)[2].Min, -5);
    EXPECT_EQ((*index)[3].Max, 1200);
    // Only block maxima count: the right channel's -30000 raises no peak.
    EXPECT_EQ(Doc->PeakLeft, 16384);
    EXPECT_EQ(Doc->PeakRight, 1200);
    EXPECT_EQ(Doc->Peak, 16384);
    EXPECT_EQ(Doc->PeakDb, -6);
}

// An import that builds the index on the way hands it to the load body, which takes it only
// when it covers exactly the sound the work file's header describes, and scans otherwise.
TEST_F(DocumentTest, LoadTakesTheImportsPeakIndexOnlyWhenItCoversTheWorkFile) {
    struct Case {
        const char* Name;
        uint32_t Frames;        // of the work file (stereo, all values 1000)
        uint32_t BuilderFrames; // the import's builder, fed with this many frames of 77
        uint32_t FedFrames;
        bool Taken;
    };
    const Case cases[] = {
        {"covers the sound", 3000, 3000, 3000, true},
        {"fed only in part", 3000, 3000, 2999, false},
        {"made for another length", 3000, 3001, 3001, false},
        {"one index block or less", 512, 512, 512, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TCodecServices codecs;
        TDecoderRow row = CopyingWavDecoder();
        auto copy = row.Decode;
        row.DecodeWithPeaks = [&, copy](const std::string& source, const std::string& work,
                                        TProgress& progress, std::unique_ptr<TPeakBuilder>& peaks,
                                        TFilePrecision&) {
            peaks = std::make_unique<TPeakBuilder>(c.BuilderFrames, 2);
            const std::vector<int16_t> fed(size_t(c.FedFrames) * 2, 77);
            peaks->Feed(fed.data(), uint32_t(fed.size()));
            return copy(source, work, progress);
        };
        codecs.Decoders.push_back(row);
        RebuildDocument(codecs);
        WriteWorkFile(Temp.File("in.wav"), 2, 8000, std::vector<int16_t>(c.Frames * 2, 1000));
        ASSERT_TRUE(Doc->Open(Temp.File("in.wav")));
        RunToIdle();
        ASSERT_TRUE(Doc->Ready);
        const auto index = Doc->GetPeakIndex();
        if (c.Frames <= PeakBlockFrames) {
            EXPECT_TRUE(index->empty()); // a short document keeps the (empty) index it had
            continue;
        }
        ASSERT_FALSE(index->empty());
        EXPECT_EQ(index->front().Max, c.Taken ? 77 : 1000);
        EXPECT_EQ(Doc->Peak, c.Taken ? 77 : 1000);
    }
}

TEST_F(DocumentTest, PeakOfAllNegativeSignalIsZeroAndFullScaleIsZeroDb) {
    Load(1, 8000, std::vector<int16_t>(2000, -1000));
    EXPECT_EQ(Doc->Peak, 0);
    EXPECT_EQ(Doc->PeakDb, -90);
    Doc->Close();
    Load(1, 8000, std::vector<int16_t>(2000, 32767));
    EXPECT_EQ(Doc->PeakDb, 0);
    EXPECT_EQ(Doc->PeakRight, 32767); // mono: right follows left
}

TEST_F(DocumentTest, ShortDocumentKeepsTheIndexAndPeaksItHad) {
    Load(1, 8000, std::vector<int16_t>(2000, 100));
    const auto index = Doc->GetPeakIndex();
    const std::string other = Temp.File("short.wav");
    WriteWorkFile(other, 1, 8000, std::vector<int16_t>(512, 5000));
    // Scan a 512-frame work file in place of the loaded one: nothing changes.
    TWaveHeader h = MakeWorkHeader(1, 8000, 1024);
    TDocumentTestAccess::ApplyHeader(*Doc, h);
    Doc->BuildPeakIndex();
    EXPECT_EQ(Doc->GetPeakIndex(), index);
    EXPECT_EQ(Doc->Peak, 100);
}

TEST_F(DocumentTest, NewMakesAnEmptyReadyDocument) {
    ASSERT_TRUE(Doc->New("", 44100, 2, 16));
    EXPECT_TRUE(Doc->Ready);
    EXPECT_EQ(Doc->Frames, 0u);
    EXPECT_EQ(Doc->SampleRate, 44100u);
    EXPECT_EQ(Doc->Channels, 2);
    EXPECT_EQ(std::filesystem::file_size(WorkFile()), 44u);
    EXPECT_EQ(LoadedCount, 1);
    EXPECT_EQ(ReadyCount, 1);
    ASSERT_EQ(Actions.size(), 1u);
    EXPECT_EQ(Actions[0], std::make_pair(false, false));
    EXPECT_FALSE(Doc->Modified);
}

TEST_F(DocumentTest, UnknownExtensionFailsTheLoadWithItsOwnText) {
    const std::string source = Temp.File("song.ogg");
    WriteWorkFile(source, 1, 8000, {1, 2});
    ASSERT_TRUE(Doc->Open(source));
    RunToIdle();
    EXPECT_FALSE(Doc->Ready);
    ASSERT_EQ(Dialogs.Messages().size(), 1u);
    EXPECT_EQ(Dialogs.Messages()[0].Caption, "File Loading Error!");
    EXPECT_EQ(Dialogs.Messages()[0].Text,
              "Unsupported file type. Orvella opens .wav, .mp3 and .wma files.");
    EXPECT_EQ(Dialogs.Messages()[0].Icon, TMessageIcon::Warning);
    EXPECT_EQ(LoadedCount, 0);
    EXPECT_EQ(ReadyCount, 0);
    std::filesystem::remove(source);
    EXPECT_TRUE(Temp.Files().empty()); // the unfinished work file is gone
}

TEST_F(DocumentTest, DecoderFailureShowsTheRowMessageAndLeavesNothing) {
    const std::string source = Temp.File("missing.wav"); // the copying decoder fails
    ASSERT_TRUE(Doc->Open(source));
    RunToIdle();
    ASSERT_EQ(Dialogs.Messages().size(), 1u);
    EXPECT_EQ(Dialogs.Messages()[0].Text,
              "Sorry, required codec not installed on your PC. Can not decode WAV file.");
    EXPECT_TRUE(Dialogs.Errors().empty());
    EXPECT_FALSE(Doc->Ready);
    EXPECT_TRUE(Temp.Files().empty());
}

TEST_F(DocumentTest, SaveRangeWritesHeaderAndValues) {
    Load(2, 22050, Stereo({{1, 2}, {3, 4}, {5, 6}, {7, 8}}));
    const std::string target = Temp.File("out.wav");
    ASSERT_TRUE(Doc->SaveRange(target, 1, 3));
    RunToIdle();
    EXPECT_TRUE(Doc->Saved);
    EXPECT_EQ(ReadWorkFileValues(target), Stereo({{3, 4}, {5, 6}}));
    TSampleStore saved(target, 0, false, Temp.Path());
    TWaveHeader h;
    saved.ReadHeader(h);
    EXPECT_EQ(h.DataSize, 8u);
    EXPECT_EQ(h.RiffSize, 44u);
    EXPECT_EQ(h.SamplesPerSec, 22050u);

    ASSERT_TRUE(Doc->SaveRange(Temp.File("empty.wav"), 0, 0));
    RunToIdle();
    EXPECT_EQ(std::filesystem::file_size(Temp.File("empty.wav")), 44u);
}

// Saving a selection to another file does not save the document: its changes stay marked, so
// closing still asks; saving the document clears the mark.
TEST_F(DocumentTest, SavingARangeLeavesTheDocumentModified) {
    Load(1, 8000, {1, 2, 3, 4});
    Doc->FileName = Temp.File("doc.wav");
    ASSERT_TRUE(Doc->Invert());
    RunToIdle();
    ASSERT_TRUE(Doc->Modified);
    ASSERT_TRUE(Doc->SaveRange(Temp.File("part.wav"), 0, 2));
    RunToIdle();
    EXPECT_TRUE(Doc->Saved);
    EXPECT_TRUE(Doc->Modified);
    ASSERT_TRUE(Doc->Save());
    RunToIdle();
    EXPECT_FALSE(Doc->Modified);
}

TEST_F(DocumentTest, FailedSaveKeepsTheUsersFileAndTheModifiedMark) {
    Load(1, 8000, {1, 2, 3, 4});
    Doc->Modified = true;
    // A folder that does not exist: the new file cannot be made.
    ASSERT_TRUE(Doc->SaveRange(Temp.File("gone/keep.wav"), 0, 4));
    RunToIdle();
    ASSERT_EQ(Dialogs.Errors().size(), 1u);
    EXPECT_FALSE(Doc->Saved);
    EXPECT_TRUE(Doc->Modified);
    EXPECT_TRUE(Doc->Ready);
    // No half-written file is left: only the document's work file remains.
    EXPECT_EQ(Temp.Files().size(), 1u);

    // A save that starts nothing leaves the mark too; a good one clears it.
    EXPECT_FALSE(Doc->SaveRange(Temp.File("x.txt"), 0, 1));
    EXPECT_TRUE(Doc->Modified);
    // The replaced file's permissions carry over to the saved one.
    namespace fs = std::filesystem;
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    WriteWorkFile(Doc->FileName, 1, 8000, {5});
    fs::permissions(Doc->FileName, mode);
    ASSERT_TRUE(Doc->Save()); // FileName is the loaded source, a .wav
    RunToIdle();
    EXPECT_TRUE(Doc->Saved);
    EXPECT_FALSE(Doc->Modified);
    EXPECT_EQ(fs::status(Doc->FileName).permissions(), mode);
}

// The engine limits a saved range to the document, whatever the caller passes.
TEST_F(DocumentTest, SaveRangeKeepsToTheDocument) {
    Load(1, 8000, {1, 2, 3, 4});
    struct Case {
        int64_t Start, Stop;
        std::vector<int16_t> Saved;
    } cases[] = {{0, 10, {1, 2, 3, 4}}, {3, 1, {2, 3}}, {-5, 2, {1, 2}}, {7, 9, {}}};
    for (const Case& c : cases) {
        const std::string target = Temp.File("range.wav");
        ASSERT_TRUE(Doc->SaveRange(target, c.Start, c.Stop));
        RunToIdle();
        EXPECT_TRUE(Doc->Saved) << c.Start << ".." << c.Stop;
        EXPECT_EQ(ReadWorkFileValues(target), c.Saved) << c.Start << ".." << c.Stop;
    }
    EXPECT_TRUE(Dialogs.Errors().empty());
}

// A save through a symbolic link rewrites the file the link points at; the link stays a link,
// and the rewritten file keeps its mode and owner.
TEST_F(DocumentTest, SaveThroughALinkReplacesItsTargetKeepingModeAndOwner) {
    namespace fs = std::filesystem;
    Load(1, 8000, {1, 2, 3});
    fs::create_directory(Temp.File("real"));
    const std::string real = Temp.File("real/song.wav");
    WriteWorkFile(real, 1, 8000, {9});
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read;
    fs::permissions(real, mode);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(real.c_str(), 4321, 4322), 0);
    }
    // A relative link to a relative link.
    fs::create_symlink("real/song.wav", Temp.File("middle.wav"));
    fs::create_symlink("middle.wav", Temp.File("link.wav"));

    ASSERT_TRUE(Doc->SaveRange(Temp.File("link.wav"), 0, 3));
    RunToIdle();
    ASSERT_TRUE(Doc->Saved);
    EXPECT_TRUE(fs::is_symlink(Temp.File("link.wav")));
    EXPECT_TRUE(fs::is_symlink(Temp.File("middle.wav")));
    EXPECT_EQ(ReadWorkFileValues(real), std::vector<int16_t>({1, 2, 3}));
    EXPECT_EQ(fs::status(real).permissions(), mode);
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    if (root) {
        EXPECT_EQ(info.st_uid, 4321u);
        EXPECT_EQ(info.st_gid, 4322u);
    }
    // A link to a file not there yet: the file is made where the link points.
    fs::create_symlink("real/new.wav", Temp.File("ahead.wav"));
    ASSERT_TRUE(Doc->SaveRange(Temp.File("ahead.wav"), 0, 1));
    RunToIdle();
    EXPECT_TRUE(fs::is_symlink(Temp.File("ahead.wav")));
    EXPECT_EQ(ReadWorkFileValues(Temp.File("real/new.wav")), std::vector<int16_t>({1}));
}

TEST_F(DocumentTest, CloseAndDestroyLeaveNoWorkFiles) {
    Load(1, 8000, std::vector<int16_t>(3000, 7));
    EXPECT_FALSE(Temp.Files().empty());
    Doc->Close();
    EXPECT_FALSE(Doc->Ready);
    EXPECT_TRUE(Temp.Files().empty());
    Load(1, 8000, {1});
    Doc.reset();
    EXPECT_TRUE(Temp.Files().empty());
}

// MP3 saves through an encoder that records what the body hands it.
class Mp3SaveTest : public DocumentTest {
protected:
    class RecordingWriter : public TEncodedWriter {
    public:
        RecordingWriter(const std::string& path, std::vector<uint32_t>& writes)
            : File(path, std::ios::binary)
            , Writes(writes) {}
        int Write(const int16_t* values, uint32_t byteCount) override {
            Writes.push_back(byteCount);
            File.write(reinterpret_cast<const char*>(values), byteCount);
            return int(byteCount);
        }
        bool Finish() override {
            File.close();
            return bool(File);
        }
        std::ofstream File;
        std::vector<uint32_t>& Writes;
    };

    Mp3SaveTest() {
        TCodecServices codecs;
        codecs.Decoders.push_back(CopyingWavDecoder());
        codecs.ConfirmMP3Settings = [this](TDocument&) { return Confirm; };
        // Chunk 0 stands for an encoder stream that cannot be opened: the writer exists and has
        // created its file, but nothing may be encoded.
        codecs.CreateMP3Writer = [this](const std::string& path, uint32_t& chunk,
                                        const TEncoderConfig&) {
            chunk = Chunk;
            return std::make_unique<RecordingWriter>(path, Writes);
        };
        RebuildDocument(codecs);
    }

    bool Confirm = true;
    uint32_t Chunk = 6;
    std::vector<uint32_t> Writes;
};

TEST_F(Mp3SaveTest, ChunksOfTheEncodersSizeThenTheShorterLastEvenWhenEmpty) {
    struct Case {
        int Channels;
        std::vector<int16_t> Values;
        std::vector<uint32_t> Writes;
    } cases[] = {
        {2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {12, 12, 0}},
        {1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, {12, 12, 2}},
        {1, {1, 2}, {4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Values.size());
        Load(c.Channels, 8000, c.Values);
        Doc->Modified = true;
        Writes.clear();
        const std::string target = Temp.File("out.mp3");
        ASSERT_TRUE(Doc->SaveRange(target, 0, Doc->Frames));
        RunToIdle();
        EXPECT_TRUE(Dialogs.Errors().empty());
        EXPECT_EQ(Writes, c.Writes);
        EXPECT_TRUE(Doc->Saved);
        EXPECT_TRUE(Doc->Modified); // a range saved elsewhere does not save the document
        const auto bytes = ReadFileBytes(target);
        ASSERT_EQ(bytes.size(), c.Values.size() * 2);
        EXPECT_EQ(std::memcmp(bytes.data(), c.Values.data(), bytes.size()), 0);
    }
}

TEST_F(Mp3SaveTest, CancelledOrUnopenedEncoderKeepsTheUsersFile) {
    Load(1, 8000, {1, 2, 3, 4, 5, 6, 7, 8});
    const std::string target = Temp.File("keep.mp3");
    WriteWorkFile(target, 1, 8000, {9, 9});
    const auto before = ReadFileBytes(target);
    const auto files = Temp.Files();
    Doc->Modified = true;
    auto expectUntouched = [&] {
        EXPECT_TRUE(Writes.empty());
        EXPECT_EQ(ReadFileBytes(target), before);
        EXPECT_EQ(Temp.Files(), files); // no partial file is left
        EXPECT_FALSE(Doc->Saved);
        EXPECT_TRUE(Doc->Modified);
        EXPECT_TRUE(Doc->Ready);
    };

    Confirm = false; // the user cancels the settings: nothing starts
    EXPECT_FALSE(Doc->SaveRange(target, 0, 8));
    expectUntouched();

    Confirm = true;
    Chunk = 0; // the encoder stream cannot be opened
    ASSERT_TRUE(Doc->SaveRange(target, 0, 8));
    RunToIdle();
    expectUntouched();
}

// A decoder and an MP3 writer that block until released, to hold a body running: the load, or a
// save of a document that has a history.
class BlockingDocumentTest : public DocumentTest {
protected:
    // Takes whatever it is given; the file exists so that the save can be completed.
    class AcceptingWriter : public TEncodedWriter {
    public:
        explicit AcceptingWriter(const std::string& path)
            : File(path, std::ios::binary) {}
        int Write(const int16_t*, uint32_t byteCount) override { return int(byteCount); }
        bool Finish() override { return true; }
        std::ofstream File;
    };

    BlockingDocumentTest() {
        TCodecServices codecs;
        TDecoderRow row = CopyingWavDecoder();
        auto copy = row.Decode;
        row.Decode = [this, copy](const std::string& s, const std::string& w, TProgress& p) {
            Block();
            if (FailWith) throw Exception(FailWith);
            return copy(s, w, p);
        };
        codecs.Decoders.push_back(row);
        codecs.ConfirmMP3Settings = [](TDocument&) { return true; };
        codecs.CreateMP3Writer = [this](const std::string& path, uint32_t& chunk,
                                        const TEncoderConfig&) {
            Block();
            chunk = 64;
            return std::make_unique<AcceptingWriter>(path);
        };
        RebuildDocument(codecs);
    }
    void Block() {
        Entered = true;
        while (!Release)
            std::this_thread::yield();
    }
    std::atomic<bool> Entered{false}, Release{false};
    const char* FailWith = nullptr;
};

TEST_F(BlockingDocumentTest, FailedBodyShowsItsErrorOnceAndRestoresTheDocument) {
    Release = true;
    WriteWorkFile(Temp.File("a.wav"), 1, 8000, std::vector<int16_t>(1000, 10));
    ASSERT_TRUE(Doc->Open(Temp.File("a.wav")));
    RunToIdle();
    FailWith = "Error 13: Not a wave file!";
    ASSERT_TRUE(Doc->Open(Temp.File("a.wav")));
    RunToIdle();
    ASSERT_EQ(Dialogs.Errors().size(), 1u);
    EXPECT_EQ(Dialogs.Errors()[0], "Error 13: Not a wave file!");
    EXPECT_FALSE(Doc->Ready);
    EXPECT_EQ(Doc->Progress.load(), 0);
    std::filesystem::remove(Temp.File("a.wav"));
    EXPECT_TRUE(Temp.Files().empty());
    Doc.reset();
    EXPECT_TRUE(Temp.Files().empty());
}

// The store is read by the main thread (painting, the player) while a body reads it too.
TEST_F(DocumentTest, ThreadsStoreIsSharedSafelyWithARunningBody) {
    std::vector<int16_t> values(2 * 300000);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = int16_t(i);
    Load(2, 44100, values);
    ASSERT_TRUE(Doc->SaveRange(Temp.File("copy.wav"), 0, 300000));
    int16_t buffer[64];
    int64_t reads = 0;
    while (Doc->IsBusy() || reads == 0) {
        auto store = Doc->GetStore();
        const int64_t first = (reads * 4099) % 590000;
        store->ReadBlock(buffer, first, first + 63);
        ASSERT_EQ(buffer[0], int16_t(first));
        ++reads;
        Loop.ProcessMessages();
    }
    RunToIdle();
    EXPECT_EQ(ReadWorkFileValues(Temp.File("copy.wav")), values);
}

// The document's clipboard over QClipboard, on the offscreen platform (its clipboard lives in this
// process): what a copy offers, what a paste takes under each type and from a file manager's
// copy, when Paste is available, and pastes into real documents that refuse what they cannot
// take without changing anything.

#include "cliptestsupport.h"

#include "codecs/codectable.h"
#include "editor/clipimport.h"
#include "engine/errors.h"
#include "engine/waveclip.h"
#include "support/fixtures.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <tuple>

using namespace orvella;
using namespace orvella::test;

namespace {

QByteArray AsQt(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// Places data on the clipboard as another program would (on the GUI thread).
void Offer(const std::function<void(QMimeData&)>& fill) {
    auto* data = new QMimeData;
    fill(*data);
    QGuiApplication::clipboard()->setMimeData(data);
}

// A float WAV of another program: mono 8000 Hz, values 0.5 and -0.25.
Bytes FloatWav() {
    return orvella::test::FloatWav(8000, {0.5f, -0.25f});
}

class QtWaveClipboardTest : public ::testing::Test {
protected:
    QtWaveClipboardTest() {
        QGuiApplication::clipboard()->clear();
        QCoreApplication::processEvents();
        Clipboard.SetTempFolder(Temp.Path());
    }
    ~QtWaveClipboardTest() override { QGuiApplication::clipboard()->clear(); }

    // HasWave and GetWave as a paste body calls them, on a worker.
    struct TPaste {
        bool Has = false;
        Bytes Block;
        std::string Failure;
    };
    TPaste Paste() {
        TPaste paste;
        paste.Failure = OnWorker([&] {
            Clipboard.Open();
            struct TClose {
                TQtWaveClipboard& C;
                ~TClose() { C.Close(); }
            } close{Clipboard};
            paste.Has = Clipboard.HasWave();
            paste.Block = Clipboard.GetWave();
        });
        EXPECT_TRUE(Temp.Files().empty());
        return paste;
    }

    TempDir Temp;
    TQtMainThread Main;
    TQtWaveClipboard Clipboard{Main};
};

TEST_F(QtWaveClipboardTest, ACopyIsOfferedUnderEveryWaveTypeAndPastedBack) {
    QSignalSpy availability(&Clipboard, &TQtWaveClipboard::WaveAvailabilityChanged);
    EXPECT_FALSE(Clipboard.WaveAvailable());
    const Bytes block = WorkClip(2, 44100, {1, -1, 32767, -32768});
    EXPECT_EQ(OnWorker([&] {
                  Clipboard.Open();
                  Clipboard.SetWave(block);
                  Clipboard.Close();
              }),
              "");
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    for (const char* type : {"audio/wav", "audio/x-wav", "audio/vnd.wave"})
        EXPECT_EQ(data->data(type), AsQt(block)) << type;
    EXPECT_TRUE(Clipboard.WaveAvailable());
    ASSERT_EQ(availability.count(), 1);
    EXPECT_TRUE(availability.front().front().toBool());

    const TPaste paste = Paste();
    EXPECT_EQ(paste.Failure, "");
    EXPECT_TRUE(paste.Has);
    EXPECT_EQ(paste.Block, block);

    // Another program's text takes Paste away.
    Offer([](QMimeData& d) { d.setText("words"); });
    EXPECT_FALSE(Clipboard.WaveAvailable());
    ASSERT_EQ(availability.count(), 2);
    EXPECT_FALSE(availability.back().front().toBool());
}

TEST_F(QtWaveClipboardTest, EachWaveTypeAloneIsPastedAndConverted) {
    // A float WAV with the canonical header is a float clip as it stands.
    const Bytes expected = FloatWav();
    for (const char* type : {"audio/wav", "audio/x-wav", "audio/vnd.wave"}) {
        SCOPED_TRACE(type);
        Offer([&](QMimeData& d) { d.setData(type, AsQt(FloatWav())); });
        EXPECT_TRUE(Clipboard.WaveAvailable());
        const TPaste paste = Paste();
        EXPECT_EQ(paste.Failure, "");
        EXPECT_TRUE(paste.Has);
        EXPECT_EQ(paste.Block, expected);
        QGuiApplication::clipboard()->clear();
        EXPECT_FALSE(Clipboard.WaveAvailable());
    }
}

TEST_F(QtWaveClipboardTest, AFileManagersCopyOfOneSoundFileIsPasted) {
    RecordingDialogs dialogs;
    for (const char* fixture : {"wav/pcm8-8000-2.wav", "mp3/stereo.mp3"}) {
        SCOPED_TRACE(fixture);
        const QString path = QString::fromStdString(FixturePath(fixture));
        Offer([&](QMimeData& d) { d.setUrls({QUrl::fromLocalFile(path)}); });
        EXPECT_TRUE(Clipboard.WaveAvailable());
        const TPaste paste = Paste();
        EXPECT_EQ(paste.Failure, "");
        EXPECT_TRUE(paste.Has);
        TempDir own;
        EXPECT_EQ(paste.Block,
                  ClipFromSoundFile(path.toStdString(), DefaultCodecServices(dialogs).Decoders,
                                    own.Path()));
    }
}

TEST_F(QtWaveClipboardTest, WhatAPasteCannotTakeIsNotOffered) {
    const QUrl wav =
        QUrl::fromLocalFile(QString::fromStdString(FixturePath("wav/pcm16-8000-2.wav")));
    const QUrl text = QUrl::fromLocalFile(QString::fromStdString(FixturePath("wav/README.md")));
    const std::vector<std::pair<const char*, std::function<void(QMimeData&)>>> offers = {
        {"nothing", [](QMimeData&) {}},
        {"text", [](QMimeData& d) { d.setText("RIFF"); }},
        {"two files",
         [&](QMimeData& d) {
             d.setUrls({wav, wav});
         }},
        {"a file that is not sound", [&](QMimeData& d) { d.setUrls({text}); }},
        {"a remote file", [](QMimeData& d) { d.setUrls({QUrl("https://example.invalid/a.wav")}); }},
        {"an image", [](QMimeData& d) { d.setData("image/png", "PNG"); }},
    };
    for (const auto& [name, fill] : offers) {
        SCOPED_TRACE(name);
        Offer(fill);
        EXPECT_FALSE(Clipboard.WaveAvailable());
        const TPaste paste = Paste();
        EXPECT_FALSE(paste.Has);
        EXPECT_EQ(paste.Failure, InvalidClipText);
    }
}

TEST_F(QtWaveClipboardTest, OneBodyAtATimeHasTheClipboardOpen) {
    Clipboard.Open();
    EXPECT_EQ(OnWorker([&] { Clipboard.Open(); }), "Cannot open clipboard");
    Clipboard.Close();
    EXPECT_EQ(OnWorker([&] {
                  Clipboard.Open();
                  Clipboard.Close();
              }),
              "");
}

TEST_F(QtWaveClipboardTest, AvailabilityAtConstructionFollowsTheClipboard) {
    Offer([](QMimeData& d) { d.setData("audio/x-wav", AsQt(FloatWav())); });
    TQtWaveClipboard other(Main);
    EXPECT_TRUE(other.WaveAvailable());
}

// Pastes through real documents.
class ClipboardDocumentTest : public QtWaveClipboardTest {
protected:
    // Pastes at position and waits; the document's error boxes.
    std::vector<std::string> PasteInto(TClipDocument& target, int64_t position) {
        EXPECT_TRUE(target.Doc->Paste(position));
        target.WaitIdle();
        EXPECT_TRUE(Temp.Files().empty());
        return target.Dialogs.Errors();
    }
};

TEST_F(ClipboardDocumentTest, ACutInOneDocumentPastesIntoAnother) {
    TClipDocument source(Main, Clipboard), target(Main, Clipboard);
    source.Load(2, 8000, {1, -1, 2, -2, 3, -3});
    target.Load(2, 8000, {9, 9});
    ASSERT_TRUE(source.Doc->CutRange(1, 3));
    source.WaitIdle();
    EXPECT_EQ(source.Values(), (std::vector<int16_t>{1, -1}));
    EXPECT_TRUE(Clipboard.WaveAvailable());
    EXPECT_TRUE(PasteInto(target, 1).empty());
    EXPECT_EQ(target.Values(), (std::vector<int16_t>{9, 9, 2, -2, 3, -3}));
    EXPECT_TRUE(source.Dialogs.Errors().empty());
}

TEST_F(ClipboardDocumentTest, OtherProgramsSoundIsConvertedToTheDocumentsChannels) {
    TClipDocument mono(Main, Clipboard), stereo(Main, Clipboard);
    mono.Load(1, 8000, {7});
    stereo.Load(2, 8000, {7, 7});
    // A float mono WAV into a stereo document: 16-bit, each value on both channels (rounded
    // exactly: without dither).
    stereo.Doc->SetDither(false);
    Offer([](QMimeData& d) { d.setData("audio/vnd.wave", AsQt(FloatWav())); });
    EXPECT_TRUE(PasteInto(stereo, 0).empty());
    EXPECT_EQ(stereo.Values(), (std::vector<int16_t>{16384, 16384, -8192, -8192, 7, 7}));
    // A file manager's copy of an 8-bit stereo file into a mono document: the channels' means.
    const std::string pcm8 = FixturePath("wav/pcm8-8000-2.wav");
    Offer([&](QMimeData& d) { d.setUrls({QUrl::fromLocalFile(QString::fromStdString(pcm8))}); });
    EXPECT_TRUE(PasteInto(mono, 0).empty());
    TempDir own;
    const Bytes file = ReadBytes(pcm8);
    const Bytes clip = ClipFromWaveBytes(file.data(), file.size(), own.Path());
    const size_t frames = (clip.size() - 44) / 4;
    const std::vector<int16_t> values = mono.Values();
    ASSERT_EQ(values.size(), frames + 1);
    EXPECT_EQ(values.back(), 7);
    for (size_t f = 0; f < frames; ++f) {
        int16_t l, r;
        std::memcpy(&l, clip.data() + 44 + 4 * f, 2);
        std::memcpy(&r, clip.data() + 46 + 4 * f, 2);
        ASSERT_LE(std::abs(values[f] - (l + r) / 2), 1) << f;
    }
}

TEST_F(ClipboardDocumentTest, WhatCannotBePastedChangesNothing) {
    TClipDocument doc(Main, Clipboard);
    doc.Load(2, 8000, {1, -1, 2, -2});
    const std::string rateText =
        "The sound on the clipboard has a sample rate of 16000 Hz, the document 8000 Hz. Convert "
        "one of them to the other's rate before pasting.";
    const std::string mp3 = FixturePath("wav/mp3-16000-1.wav");
    Bytes truncatedHeader = WorkClip(2, 8000, {1, 2});
    truncatedHeader.resize(30);
    const std::vector<std::tuple<const char*, std::function<void(QMimeData&)>, std::string>> cases =
        {
            {"a WAV of another rate",
             [](QMimeData& d) {
                 d.setData("audio/wav", AsQt(WorkClip(1, 16000, {1, 2})));
             },
             rateText},
            {"a file of another rate",
             [&](QMimeData& d) { d.setUrls({QUrl::fromLocalFile(QString::fromStdString(mp3))}); },
             rateText},
            {"a malformed block",
             [&](QMimeData& d) { d.setData("audio/x-wav", AsQt(truncatedHeader)); },
             InvalidClipText},
            {"six channels",
             [](QMimeData& d) {
                 d.setData("audio/wav",
                           AsQt(WorkClip(2, 8000, {1, 2, 3, 4, 5, 6})).replace(22, 1, "\x06"));
             },
             InvalidClipText},
        };
    size_t errors = 0;
    for (const auto& [name, fill, message] : cases) {
        SCOPED_TRACE(name);
        Offer(fill);
        const auto shown = PasteInto(doc, 1);
        ASSERT_EQ(shown.size(), ++errors);
        EXPECT_EQ(shown.back(), message);
        EXPECT_EQ(doc.Values(), (std::vector<int16_t>{1, -1, 2, -2}));
        EXPECT_FALSE(doc.Doc->Modified);
        EXPECT_TRUE(doc.Doc->Ready);
    }
}

} // namespace

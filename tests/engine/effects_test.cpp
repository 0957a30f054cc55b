// The sample effects: their arithmetic against the per-value loops, and the bodies on documents.

#include "engine/peakscan.h"
#include "engine/samplekernels.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>

using namespace orvella;
using namespace orvella::test;

namespace {

using Values16 = std::vector<int16_t>;

Values16 AllValues() {
    Values16 v;
    for (int x = -32768; x <= 32767; ++x)
        v.push_back(int16_t(x));
    return v;
}

Values16 Random(size_t n, uint32_t seed) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> value(-32768, 32767);
    Values16 v(n);
    for (auto& x : v)
        x = int16_t(value(generator));
    return v;
}

// The per-value loops the kernels must match.
int16_t NormalizeOne(int16_t v, double factor) {
    const double r = std::nearbyint(v * factor);
    return int16_t(r > 32767 ? 32767 : r < -32767 ? -32767 : r);
}

int16_t AmplifyOne(int16_t v, int percent) {
    const float factor = float(percent / 100.0);
    const double r = std::trunc(v * double(factor));
    return int16_t(r > 32767 ? 32767 : r < -32767 ? -32767 : r);
}

int16_t InvertOne(int16_t v) {
    return v == -32768 ? int16_t(-32768) : int16_t(-v);
}

// Fade over the whole of values (channels per frame).
Values16 FadeLoop(const Values16& values, int channels, bool fadeIn) {
    const size_t n = values.size() / channels;
    Values16 out(values.size());
    const double step = 90.0 / double(n);
    for (size_t j = 0; j < n; ++j) {
        const double angle = double(j) * step * std::numbers::pi / 200;
        const double gain = fadeIn ? std::sin(angle) : std::cos(angle);
        for (int c = 0; c < channels; ++c)
            out[j * channels + c] = int16_t(std::nearbyint(values[j * channels + c] * gain));
    }
    return out;
}

// Every kernel test runs twice: on the hand-vectorised kernels (where the processor has them) and
// on the portable loops.
// Each kernel path the processor has (a path it lacks falls back to the next, tested twice).
class SampleKernels : public ::testing::TestWithParam<TKernelPath> {
protected:
    void SetUp() override { LimitKernelPath(GetParam()); }
    void TearDown() override { LimitKernelPath(TKernelPath::Avx512); }
};

INSTANTIATE_TEST_SUITE_P(Paths, SampleKernels,
                         ::testing::Values(TKernelPath::Avx512, TKernelPath::Avx2,
                                           TKernelPath::Portable),
                         [](const auto& info) {
                             switch (info.param) {
                             case TKernelPath::Avx512:
                                 return "Avx512";
                             case TKernelPath::Avx2:
                                 return "Avx2";
                             default:
                                 return "Portable";
                             }
                         });

} // namespace

TEST_P(SampleKernels, NormalizeAndAmplifyMatchTheLoopsForEveryValue) {
    const Values16 all = AllValues();
    Values16 out(all.size());
    for (double factor : {2.0, 0.5, 1.5, 1.0 / 3, 32768.0 / 12345, -0.75, 0.0, 1e12}) {
        SCOPED_TRACE(factor);
        ScaleRounded(all.data(), out.data(), all.size(), factor);
        for (size_t i = 0; i < all.size(); ++i)
            ASSERT_EQ(out[i], NormalizeOne(all[i], factor)) << all[i];
    }
    // Every percent up to 1000 and a few beyond: the vectorised kernel works in single precision
    // and must still truncate the exact product.
    std::vector<int> percents = {-50, 1000000, 99999, 12345};
    for (int percent = 0; percent <= 1000; ++percent)
        percents.push_back(percent);
    for (int percent : percents) {
        SCOPED_TRACE(percent);
        ScaleTruncated(all.data(), out.data(), all.size(), float(percent / 100.0));
        for (size_t i = 0; i < all.size(); ++i)
            ASSERT_EQ(out[i], AmplifyOne(all[i], percent)) << all[i];
    }
}

TEST_P(SampleKernels, PeakScanMatchesTheLoopForAnyStartAndLength) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> value(-32768, 32767);
    Values16 v(3000);
    for (int16_t& x : v)
        x = int16_t(value(rng));
    v[1234] = 32767;
    v[77] = -32768;
    for (int channels : {1, 2, 3})
        for (int first = 0; first < channels; ++first)
            for (uint32_t n : {0u, 1u, 15u, 16u, 17u, 63u, 64u, 65u, 1000u, 3000u}) {
                SCOPED_TRACE(testing::Message() << channels << " " << first << " " << n);
                int16_t max[3] = {5, 5, 5}, min[3] = {-5, -5, -5};
                int16_t wantMax[3] = {5, 5, 5}, wantMin[3] = {-5, -5, -5};
                AccumulateMaxMin(v.data(), n, first, channels, max, min);
                for (uint32_t i = 0; i < n; ++i) {
                    const int c = int((first + i) % uint32_t(channels));
                    wantMax[c] = std::max(wantMax[c], v[i]);
                    wantMin[c] = std::min(wantMin[c], v[i]);
                }
                for (int c = 0; c < channels; ++c) {
                    EXPECT_EQ(max[c], wantMax[c]) << c;
                    EXPECT_EQ(min[c], wantMin[c]) << c;
                }
            }
}

TEST_P(SampleKernels, NegateKeepsTheMostNegativeValue) {
    const Values16 all = AllValues();
    Values16 out(all.size());
    Negate(all.data(), out.data(), all.size());
    for (size_t i = 0; i < all.size(); ++i)
        ASSERT_EQ(out[i], InvertOne(all[i]));
}

TEST_P(SampleKernels, FadeMatchesTheLoopInAnyChunking) {
    for (bool fadeIn : {true, false})
        for (int channels : {1, 2, 3})
            for (size_t frames : {1, 2, 3, 100, 1025, 4097, 50000}) {
                SCOPED_TRACE(testing::Message() << fadeIn << " " << channels << " " << frames);
                const Values16 values = Random(frames * channels, uint32_t(frames + channels));
                const Values16 expected = FadeLoop(values, channels, fadeIn);
                const TFadeGains gains(fadeIn, frames);
                Values16 out(values.size());
                // Uneven pieces that split frames and gain blocks.
                std::mt19937 generator(7);
                for (size_t done = 0; done < values.size();) {
                    const size_t n = std::min(values.size() - done, size_t(generator() % 3000 + 1));
                    gains.Apply(values.data() + done, out.data() + done, n, done, channels);
                    done += n;
                }
                ASSERT_EQ(out, expected);
            }
}

// Frames whose gain is within rounding of one half put odd values next to a tie: the kernel must
// still round as the loop does.
TEST_P(SampleKernels, FadeNearTiesMatchesTheLoop) {
    const Values16 all = AllValues();
    // 27 frames: frame 10 of a fade in has the angle pi / 6, frame 20 of a fade out pi / 3.
    for (auto [fadeIn, frame] : {std::pair{true, 10}, std::pair{false, 20}}) {
        const TFadeGains gains(fadeIn, 27);
        const double gain = gains.Exact(frame);
        EXPECT_NEAR(gain, 0.5, 1e-15);
        for (int16_t v : all) {
            const int16_t expected = int16_t(std::nearbyint(v * gain));
            int16_t out;
            gains.Apply(&v, &out, 1, uint64_t(frame), 1);
            ASSERT_EQ(out, expected) << v;
            // The same frame in stereo, through the frame-wise path.
            const int16_t pair[2] = {v, int16_t(-v / 2)};
            int16_t outPair[2];
            gains.Apply(pair, outPair, 2, uint64_t(2 * frame), 2);
            ASSERT_EQ(outPair[0], expected) << v;
            ASSERT_EQ(outPair[1], int16_t(std::nearbyint(pair[1] * gain))) << v;
        }
    }
}

TEST_P(SampleKernels, ReverseMovesWholeFrames) {
    const Values16 in = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    Values16 out(9);
    ReverseFrames(in.data(), out.data(), 3, 3);
    EXPECT_EQ(out, (Values16{7, 8, 9, 4, 5, 6, 1, 2, 3}));
    ReverseFrames(in.data(), out.data(), 9, 1);
    EXPECT_EQ(out, (Values16{9, 8, 7, 6, 5, 4, 3, 2, 1}));
    ReverseFrames(in.data(), out.data(), 4, 2);
    EXPECT_EQ(Values16(out.begin(), out.begin() + 8), (Values16{7, 8, 5, 6, 3, 4, 1, 2}));
}

class EffectTest : public DocumentTest {
protected:
    void Run(const std::function<bool()>& start) {
        ASSERT_TRUE(start());
        RunToIdle();
        ASSERT_TRUE(Dialogs.Errors().empty()) << Dialogs.Errors()[0];
    }

    // The peaks a body built while writing are those of a scan of its result.
    void ExpectPeaksOfAScan() {
        const auto index = *Doc->GetPeakIndex();
        const int16_t left = Doc->PeakLeft, right = Doc->PeakRight;
        const int db = Doc->PeakDb;
        Doc->BuildPeakIndex();
        const auto scanned = *Doc->GetPeakIndex();
        ASSERT_EQ(index.size(), scanned.size());
        for (size_t i = 0; i < index.size(); ++i) {
            ASSERT_EQ(index[i].Max, scanned[i].Max) << i;
            ASSERT_EQ(index[i].Min, scanned[i].Min) << i;
        }
        EXPECT_EQ(left, Doc->PeakLeft);
        EXPECT_EQ(right, Doc->PeakRight);
        EXPECT_EQ(db, Doc->PeakDb);
    }
};

TEST_F(EffectTest, FadesOverOneFrameAndOverAHundred) {
    Load(2, 8000, {1000, -1000, 5, 5});
    Run([&] { return Doc->FadeIn(0, 1); });
    EXPECT_EQ(Values(), (Values16{0, 0, 5, 5}));
    Run([&] { return Doc->FadeOut(1, 2); });
    EXPECT_EQ(Values(), (Values16{0, 0, 5, 5}));
    Doc->Close();

    Load(1, 8000, Values16(100, 10000));
    Run([&] { return Doc->FadeIn(0, 100); });
    const Values16 v = Values();
    for (int j = 0; j < 100; ++j)
        ASSERT_EQ(v[j],
                  int16_t(std::nearbyint(10000 * std::sin(j * 0.45 * std::numbers::pi / 100))));
    EXPECT_EQ(v[99], 9854); // sin(0.4455 pi) = 0.98538
    EXPECT_EQ(v[0], 0);
}

TEST_F(EffectTest, FadeLeavesValuesOutsideTheRange) {
    const Values16 values = Random(3 * 700, 3);
    Load(3, 8000, values);
    Run([&] { return Doc->FadeOut(200, 500); });
    Values16 expected = values;
    const Values16 range(values.begin() + 600, values.begin() + 1500);
    const Values16 faded = FadeLoop(range, 3, false);
    std::copy(faded.begin(), faded.end(), expected.begin() + 600);
    EXPECT_EQ(Values(), expected);
}

TEST_F(EffectTest, FadeOfAnEmptyRangeStillAddsAHistoryEntry) {
    Load(1, 8000, {1, 2, 3});
    const auto bytes = ReadFileBytes(WorkFile());
    const std::string before = WorkFile();
    Run([&] { return Doc->FadeIn(2, 2); });
    EXPECT_NE(WorkFile(), before);
    EXPECT_EQ(ReadFileBytes(WorkFile()), bytes);
    EXPECT_EQ(UndoStack().Count(), 1u);
}

TEST_F(EffectTest, NormalizeScalesToThePositivePeakAndLimits) {
    Values16 values(600, 0);
    values[0] = 16384;
    values[1] = -16384;
    values[2] = 1000;
    values[3] = -32768;
    Load(1, 8000, values);
    ASSERT_EQ(Doc->Peak, 16384);
    Run([&] { return Doc->Normalize(100); });
    const Values16 v = Values();
    EXPECT_EQ(Values16(v.begin(), v.begin() + 5), (Values16{32767, -32767, 2000, -32767, 0}));
    EXPECT_EQ(Doc->Peak, 32767);
    EXPECT_EQ(Doc->PeakDb, 0);
    EXPECT_EQ(Doc->Progress.load(), 0);
}

TEST_F(EffectTest, NormalizeWithoutPositivePeakFailsAndChangesNothing) {
    Load(2, 8000, Values16(2 * 600, -500));
    const auto bytes = ReadFileBytes(WorkFile());
    ASSERT_TRUE(Doc->Normalize(100));
    RunToIdle();
    ASSERT_EQ(Dialogs.Errors(),
              std::vector<std::string>{
                  "The sound is silent or has no positive peak: nothing to normalize."});
    EXPECT_EQ(ReadFileBytes(WorkFile()), bytes);
    EXPECT_TRUE(UndoStack().IsEmpty());
    EXPECT_FALSE(Doc->Modified);
    EXPECT_TRUE(Doc->Ready);
    EXPECT_EQ(ReadyCount, 0);
    EXPECT_EQ(Temp.Files().size(), 1u);
}

TEST_F(EffectTest, AmplifyTruncatesAndLimits) {
    const Values16 values = {20000, -20000, 100, -32768, 32767, -7};
    struct Case {
        int percent;
        Values16 expected;
    };
    for (const Case& c : {Case{200, {32767, -32767, 200, -32767, 32767, -14}},
                          Case{100, {20000, -20000, 100, -32767, 32767, -7}},
                          Case{101, {20199, -20199, 100, -32767, 32767, -7}}}) {
        SCOPED_TRACE(c.percent);
        Load(1, 8000, values);
        Run([&] { return Doc->Amplify(c.percent); });
        EXPECT_EQ(Values(), c.expected);
        Doc->Close();
    }
}

TEST_F(EffectTest, InvertTwiceGivesBackTheFile) {
    Load(2, 8000, {-32768, 32767, 0, -1});
    const auto bytes = ReadFileBytes(WorkFile());
    Run([&] { return Doc->Invert(); });
    EXPECT_EQ(Values(), (Values16{-32768, -32767, 0, 1}));
    Run([&] { return Doc->Invert(); });
    EXPECT_EQ(ReadFileBytes(WorkFile()), bytes);
}

TEST_F(EffectTest, ReverseMovesWholeFramesForAnyChannelCount) {
    Load(3, 8000, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    Run([&] { return Doc->Reverse(); });
    EXPECT_EQ(Values(), (Values16{10, 11, 12, 7, 8, 9, 4, 5, 6, 1, 2, 3}));
    Doc->Close();
    Load(2, 8000, {});
    Run([&] { return Doc->Reverse(); });
    EXPECT_TRUE(Values().empty());
}

// Each effect on a stereo document equals the effect on each channel alone.
TEST_F(EffectTest, EveryEffectKeepsLeftValuesLeft) {
    const size_t frames = 3000;
    Values16 left = Random(frames, 1), right = Random(frames, 2);
    // The same positive peak in both, so that Normalize has one factor for all three documents.
    for (Values16* channel : {&left, &right}) {
        for (int16_t& v : *channel)
            v = std::clamp<int16_t>(v, -30000, 30000);
        (*channel)[frames / 2] = 30000;
    }
    Values16 stereo;
    for (size_t f = 0; f < frames; ++f) {
        stereo.push_back(left[f]);
        stereo.push_back(right[f]);
    }
    const std::vector<std::pair<const char*, std::function<bool(TDocument&)>>> effects = {
        {"fade in", [](TDocument& d) { return d.FadeIn(100, 2900); }},
        {"fade out", [](TDocument& d) { return d.FadeOut(0, 3000); }},
        {"normalize", [](TDocument& d) { return d.Normalize(90); }},
        {"amplify", [](TDocument& d) { return d.Amplify(150); }},
        {"reverse", [](TDocument& d) { return d.Reverse(); }},
        {"invert", [](TDocument& d) { return d.Invert(); }},
    };
    for (const auto& [name, effect] : effects) {
        SCOPED_TRACE(name);
        Values16 alone[2];
        for (int c = 0; c < 2; ++c) {
            Load(1, 8000, c == 0 ? left : right);
            Run([&] { return effect(*Doc); });
            alone[c] = Values();
            Doc->Close();
        }
        Load(2, 8000, stereo);
        Run([&] { return effect(*Doc); });
        const Values16 both = Values();
        ExpectPeaksOfAScan();
        Doc->Close();
        ASSERT_EQ(both.size(), 2 * frames);
        for (size_t f = 0; f < frames; ++f) {
            ASSERT_EQ(both[2 * f], alone[0][f]) << f;
            ASSERT_EQ(both[2 * f + 1], alone[1][f]) << f;
        }
    }
}

// A document larger than one window, with frames that straddle window edges (three channels):
// every block path meets the window boundaries. Progress stays within 0 .. 100 throughout.
TEST_F(EffectTest, EffectsAcrossWindowBoundaries) {
    const size_t frames = TSampleStore::MaxWindowSize / 6 + 3001;
    const Values16 values = Random(frames * 3, 9);
    const std::vector<std::pair<const char*, std::function<bool(TDocument&)>>> effects = {
        {"reverse", [](TDocument& d) { return d.Reverse(); }},
        {"fade in", [frames](TDocument& d) { return d.FadeIn(0, int64_t(frames)); }},
        {"amplify", [](TDocument& d) { return d.Amplify(75); }},
    };
    Values16 expected[3];
    expected[0].resize(values.size());
    ReverseFrames(values.data(), expected[0].data(), frames, 3);
    expected[1] = FadeLoop(values, 3, true);
    for (int16_t v : values)
        expected[2].push_back(AmplifyOne(v, 75));
    for (size_t e = 0; e < effects.size(); ++e) {
        SCOPED_TRACE(effects[e].first);
        Load(3, 44100, values);
        ASSERT_TRUE(effects[e].second(*Doc));
        while (Doc->IsBusy()) {
            const int progress = Doc->Progress.load();
            ASSERT_GE(progress, 0);
            ASSERT_LE(progress, 100);
            Loop.ProcessMessages();
        }
        RunToIdle();
        EXPECT_TRUE(Dialogs.Errors().empty());
        EXPECT_TRUE(Values() == expected[e]);
        ExpectPeaksOfAScan();
        Doc->Close();
    }
}

// Painting and the player read the store and the peak index, and the host looks at the
// clipboard, while bodies replace the store and fill the clipboard.
TEST_F(EffectTest, ThreadsReadersMeetRunningEditsAndEffects) {
    Values16 values(2 * 200000);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = int16_t(i % 2 ? 1000 : -1000);
    Load(2, 44100, values);
    const std::vector<std::function<bool()>> starts = {
        [&] { return Doc->Amplify(50); },        [&] { return Doc->Reverse(); },
        [&] { return Doc->CopyRange(0, 1000); }, [&] { return Doc->Paste(100); },
        [&] { return Doc->DeleteRange(0, 50); },
    };
    int16_t buffer[16];
    for (const auto& start : starts) {
        ASSERT_TRUE(start());
        while (Doc->IsBusy()) {
            if (const auto store = Doc->GetStore()) store->ReadBlock(buffer, 0, 15);
            EXPECT_LE(Doc->GetPeakIndex()->size(), 2u * 2000u);
            (void)Clipboard.Contents();
            Loop.ProcessMessages();
        }
        RunToIdle();
    }
    EXPECT_TRUE(Dialogs.Errors().empty());
    EXPECT_EQ(Doc->Frames, 200000u + 1000u - 50u);
}

// Edits and partial fades feed the peaks of the copied parts too.
TEST_F(EffectTest, EditsAndPartialFadesBuildThePeaksOfTheirResult) {
    const std::vector<std::pair<const char*, std::function<bool(TDocument&)>>> changes = {
        {"delete", [](TDocument& d) { return d.DeleteRange(100, 700); }},
        {"insert silence", [](TDocument& d) { return d.InsertSilence(900, 1300); }},
        {"paste", [](TDocument& d) { return d.Paste(333); }},
        {"fade in part", [](TDocument& d) { return d.FadeIn(600, 1700); }},
        {"fade out part", [](TDocument& d) { return d.FadeOut(0, 10); }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        Load(2, 8000, Random(2 * 2000, 5));
        std::vector<uint8_t> clip = ReadFileBytes(WorkFile());
        clip.resize(44 + 4 * 700);
        reinterpret_cast<TWaveHeader*>(clip.data())->DataSize = 4 * 700;
        Clipboard.Place(clip);
        Run([&] { return change(*Doc); });
        ExpectPeaksOfAScan();
        Doc->Close();
    }
}

// The real program end to end, on a private X server: `orvella FILE` opens the file; a mouse drag
// on the view selects, Ctrl+C copies (read back with xclip, as another program would), Ctrl+X
// cuts, Ctrl+S saves, Ctrl+Z undoes, Ctrl+S saves again, Alt+F4 closes. The saved file's samples
// are compared after each save; the program leaves no work file behind. A second test kills the
// program after an edit and recovers the edit in the next run; another saves as MP3 through the
// file dialog; another drops a file on the window as a file manager does. Skipped only when Xvfb
// cannot start.

#include "support/tempdir.h"
#include "xdndsource.h"
#include "xserver.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace orvella::test;
using namespace std::chrono_literals;

namespace {

using Bytes = std::vector<uint8_t>;

struct TRun {
    int Exit = -1;
    std::string Out;
};

// Runs argv to its end (killed after timeoutS), its standard input /dev/null; exit code and
// standard output. Standard error goes to the test's.
TRun RunProgram(const std::vector<std::string>& argv, int timeoutS = 20) {
    int out[2];
    if (::pipe(out) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, 0);
        ::dup2(out[1], 1);
        ::close(out[0]);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    TRun run;
    // Ends with the program, not with its output: a daemon it leaves behind (xclip -i) may keep
    // the pipe open.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutS);
    pollfd wait{out[0], POLLIN, 0};
    int status = 0;
    bool exited = false, ended = false;
    while (!ended) {
        const bool readable = ::poll(&wait, 1, 20) > 0;
        if (readable) {
            char buffer[65536];
            const ssize_t n = ::read(out[0], buffer, sizeof buffer);
            if (n > 0) run.Out.append(buffer, size_t(n));
            if (n <= 0) wait.fd = -1; // end of output: poll only waits from now on
        }
        if (!exited) exited = ::waitpid(pid, &status, WNOHANG) == pid;
        ended = exited && (!readable || wait.fd < 0);
        if (!ended && std::chrono::steady_clock::now() >= deadline) {
            ::close(out[0]);
            if (!exited) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
            }
            return run;
        }
    }
    ::close(out[0]);
    run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Calls check every 100 ms until it is true or timeoutMs passed; its last answer.
bool Poll(const std::function<bool()>& check, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!check()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

void Put(Bytes& b, uint32_t v, int n) {
    for (int k = 0; k < n; ++k)
        b.push_back(uint8_t(v >> (8 * k)));
}

// A 16-bit stereo WAV file of the values at rate.
Bytes Wav(const std::vector<int16_t>& values, uint32_t rate) {
    Bytes b = {'R', 'I', 'F', 'F'};
    const uint32_t data = uint32_t(values.size() * 2);
    Put(b, 36 + data, 4);
    for (char c : std::string("WAVEfmt "))
        b.push_back(uint8_t(c));
    Put(b, 16, 4);
    Put(b, 1, 2);
    Put(b, 2, 2);
    Put(b, rate, 4);
    Put(b, rate * 4, 4);
    Put(b, 4, 2);
    Put(b, 16, 2);
    for (char c : std::string("data"))
        b.push_back(uint8_t(c));
    Put(b, data, 4);
    for (int16_t v : values)
        Put(b, uint16_t(v), 2);
    return b;
}

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The values of a 16-bit WAV file's data chunk (walking its chunks); empty when there is none.
std::vector<int16_t> WavValues(const Bytes& file) {
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0) return {};
    for (size_t at = 12; at + 8 <= file.size();) {
        const uint32_t size = Le32(file.data() + at + 4);
        if (std::memcmp(file.data() + at, "data", 4) == 0) {
            const size_t n = std::min<size_t>(size, file.size() - at - 8) / 2;
            std::vector<int16_t> values(n);
            std::memcpy(values.data(), file.data() + at + 8, n * 2);
            return values;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The running editor: started with its own configuration and temporary folders, closed through
// its window (or killed when it does not close).
class TEditor {
public:
    pid_t ProcessId() const { return Pid; }
    TEditor(const std::string& program, const std::string& file, const TempDir& dir) {
        const std::string config = dir.File("config"), temp = dir.File("tmp"),
                          runtime = dir.File("runtime");
        ::mkdir(config.c_str(), 0700);
        ::mkdir(runtime.c_str(), 0700);
        ::mkdir(temp.c_str(), 0700);
        Pid = ::fork();
        if (Pid == 0) {
            ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
            ::setenv("TMPDIR", temp.c_str(), 1);
            ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "xcb", 1);
            ::execl(program.c_str(), program.c_str(), file.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~TEditor() {
        if (Pid <= 0) return;
        ::kill(Pid, SIGKILL);
        ::waitpid(Pid, nullptr, 0);
    }
    // Waits up to timeoutMs for the program to end; its exit code, or -1 when it did not end.
    int WaitExit(int timeoutMs) {
        int status = 0, code = -1;
        Poll(
            [&] {
                if (::waitpid(Pid, &status, WNOHANG) != Pid) return false;
                code = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
                Pid = -1;
                return true;
            },
            timeoutMs);
        return code;
    }

private:
    pid_t Pid = -1;
};

std::string Xdo(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    return RunProgram(args).Out;
}

std::string ClipboardTargets() {
    return RunProgram({"xclip", "-selection", "clipboard", "-t", "TARGETS", "-o"}).Out;
}

bool ClipboardHoldsWave() {
    return ClipboardTargets().find("audio/wav") != std::string::npos;
}

int GeometryValue(const std::string& shell, const std::string& key) {
    const size_t at = shell.find(key + "=");
    return at == std::string::npos ? 0 : std::atoi(shell.c_str() + at + key.size() + 1);
}

std::string FindWindow(const std::string& name, int timeoutMs = 60000) {
    std::string window;
    Poll(
        [&] {
            std::istringstream ids(Xdo({"search", "--onlyvisible", "--name", name}));
            return bool(ids >> window);
        },
        timeoutMs);
    return window;
}

// Stereo frames: frame i holds i and -i-1, so any run of frames tells where it came from.
std::vector<int16_t> StereoRamp(int frames) {
    std::vector<int16_t> values;
    for (int i = 0; i < frames; ++i) {
        values.push_back(int16_t(i));
        values.push_back(int16_t(-i - 1));
    }
    return values;
}

// The editor's main window: its X id, and its size when it was found.
struct TWindow {
    std::string Id;
    int Width = 0, Height = 0;
};

// Drags with the left button across the view (the middle band of the window), from 30 % to 60 %
// of its width.
void DragAcrossView(const TWindow& window) {
    const std::string y = std::to_string(window.Height * 35 / 100);
    Xdo({"mousemove", "--window", window.Id, std::to_string(window.Width * 3 / 10), y});
    Xdo({"mousedown", "1"});
    Xdo({"mousemove", "--window", window.Id, std::to_string(window.Width * 45 / 100), y});
    Xdo({"mousemove", "--window", window.Id, std::to_string(window.Width * 6 / 10), y});
    Xdo({"mouseup", "1"});
}

// Each test has a private X server that DISPLAY names, the editor that ORVELLA_PROGRAM names and a
// temporary folder for the document and the editor's own folders. Skipped only when the server
// cannot start.
class EndToEnd : public testing::Test {
protected:
    void SetUp() override {
        if (!Server.Running()) GTEST_SKIP() << Server.Failure();
        ::setenv("DISPLAY", Server.DisplayName().c_str(), 1);
        const char* program = std::getenv("ORVELLA_PROGRAM");
        ASSERT_NE(program, nullptr) << "ORVELLA_PROGRAM names the editor to run";
        Program = program;
    }

    // Writes values as the 16-bit stereo WAV file name (File) in the folder, starts the editor on
    // it (Editor) and waits up to a minute for its window, named after the file; the window gets
    // the focus. Its Id is empty when none came.
    TWindow StartEditor(const std::string& name, const std::vector<int16_t>& values,
                        uint32_t rate) {
        File = Dir.File(name);
        const Bytes wav = Wav(values, rate);
        std::ofstream(File, std::ios::binary)
            .write(reinterpret_cast<const char*>(wav.data()), std::streamsize(wav.size()));
        Editor = std::make_unique<TEditor>(Program, File, Dir);
        TWindow window{FindWindow(name + " - Orvella")};
        if (window.Id.empty()) return window;
        Xdo({"windowfocus", "--sync", window.Id});
        const std::string geometry = Xdo({"getwindowgeometry", "--shell", window.Id});
        window.Width = GeometryValue(geometry, "WIDTH");
        window.Height = GeometryValue(geometry, "HEIGHT");
        return window;
    }

    TXServer Server;
    TempDir Dir;
    std::string Program, File;
    std::unique_ptr<TEditor> Editor;
};

TEST_F(EndToEnd, OpenSelectCopyCutUndoSave) {
    // At 8000 Hz, not a whole number of the import's 100 ms buffers, which would add a frame of
    // silence to the document.
    constexpr int Frames = 7777;
    const std::vector<int16_t> original = StereoRamp(Frames);
    const TWindow window = StartEditor("doc.wav", original, 8000);
    ASSERT_FALSE(window.Id.empty()) << "no window";
    ASSERT_GT(window.Width, 100);
    ASSERT_GT(window.Height, 100);

    // Select by dragging across the view, then copy. The first tries may come before the
    // document is loaded: try again until the clipboard holds a clip.
    ASSERT_TRUE(Poll(
        [&] {
            DragAcrossView(window);
            Xdo({"key", "ctrl+c"});
            return Poll(ClipboardHoldsWave, 2000);
        },
        60000))
        << "no clip after a selection and Ctrl+C";
    const TRun copied = RunProgram({"xclip", "-selection", "clipboard", "-t", "audio/wav", "-o"});
    const Bytes clip(copied.Out.begin(), copied.Out.end());
    ASSERT_GT(clip.size(), 44u);
    ASSERT_EQ(std::memcmp(clip.data(), "RIFF", 4), 0);
    ASSERT_EQ(Le32(clip.data() + 40), clip.size() - 44) << "data size of the clip";
    const std::vector<int16_t> clipValues = WavValues(clip);
    ASSERT_GE(clipValues.size(), 2u);
    const int first = clipValues[0], count = int(clipValues.size() / 2);
    ASSERT_GE(first, 0);
    ASSERT_LE(first + count, Frames);
    EXPECT_TRUE(std::equal(clipValues.begin(), clipValues.end(), original.begin() + 2 * first))
        << "the clip is the frames " << first << " .. " << first + count - 1;

    // Someone else takes the clipboard, so that the cut's own clip shows when the cut ran.
    RunProgram({"xclip", "-selection", "clipboard", "-i", "/dev/null"});
    ASSERT_TRUE(Poll([] { return !ClipboardHoldsWave(); }));
    Xdo({"key", "ctrl+x"});
    ASSERT_TRUE(Poll(ClipboardHoldsWave)) << "Ctrl+X put nothing on the clipboard";
    std::this_thread::sleep_for(1s); // the delete half of the cut

    std::vector<int16_t> cut = original;
    cut.erase(cut.begin() + 2 * first, cut.begin() + 2 * (first + count));
    Xdo({"key", "ctrl+s"});
    EXPECT_TRUE(Poll([&] { return WavValues(ReadFile(File)) == cut; }))
        << "the saved file is not the document without the cut frames: " << count
        << " frames cut from " << first << ", the file holds "
        << WavValues(ReadFile(File)).size() / 2 << " frames";

    Xdo({"key", "ctrl+z"});
    std::this_thread::sleep_for(1s);
    Xdo({"key", "ctrl+s"});
    EXPECT_TRUE(Poll([&] { return WavValues(ReadFile(File)) == original; }))
        << "after Undo the saved file is not the original";

    // The cut's clip stays on the clipboard after Undo.
    const TRun after = RunProgram({"xclip", "-selection", "clipboard", "-t", "audio/wav", "-o"});
    EXPECT_EQ(Bytes(after.Out.begin(), after.Out.end()), clip);

    // Alt+F4 closes a saved document without a question; the work files go with it.
    Xdo({"key", "alt+F4"});
    EXPECT_EQ(Editor->WaitExit(15000), 0);
    for (const auto& entry : std::filesystem::directory_iterator(Dir.File("tmp")))
        ADD_FAILURE() << "left behind: " << entry.path();
}

// The text of the journal in folder that records unsaved changes; empty while there is none.
std::string UnsavedJournal(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".journal") continue;
        const Bytes text = ReadFile(entry.path().string());
        const std::string journal(text.begin(), text.end());
        if (journal.find("\"modified\": true") != std::string::npos) return journal;
    }
    return {};
}

// Types text into the file name field of a file dialog (it has the keyboard when it opens) in
// place of what the field holds, and presses Return.
void TypeIntoDialog(const std::string& dialog, const std::string& text) {
    Xdo({"windowfocus", "--sync", dialog});
    Xdo({"key", "ctrl+a"}); // whatever a retried key press left in the field goes
    Xdo({"type", "--delay", "5", text});
    Xdo({"key", "Return"});
}

TEST_F(EndToEnd, KilledAfterAnEditTheNextRunRecoversIt) {
    constexpr int Frames = 6000;
    const std::vector<int16_t> original = StereoRamp(Frames);
    const TWindow window = StartEditor("song.wav", original, 8000);
    ASSERT_FALSE(window.Id.empty()) << "no window";
    // Select and delete until the journal records the change (the first tries may come before
    // the document is loaded).
    ASSERT_TRUE(Poll(
        [&] {
            DragAcrossView(window);
            Xdo({"key", "Delete"});
            return Poll([&] { return !UnsavedJournal(Dir.File("tmp")).empty(); }, 2000);
        },
        60000))
        << "no journal of the change";
    // A kill: the program gets no chance to clean up.
    ::kill(Editor->ProcessId(), SIGKILL);
    Editor.reset();
    ASSERT_FALSE(UnsavedJournal(Dir.File("tmp")).empty()) << "a kill leaves the journal";
    const Bytes unchanged = ReadFile(File);
    ASSERT_EQ(WavValues(unchanged), original) << "the user's file is untouched until a save";

    TEditor second(Program, File, Dir);
    const std::string question = FindWindow("^Orvella$");
    ASSERT_FALSE(question.empty()) << "no recovery question";
    Xdo({"windowfocus", "--sync", question});
    Xdo({"key", "alt+r"}); // Recover
    const std::string recovered = FindWindow("song.wav - Orvella");
    ASSERT_FALSE(recovered.empty());
    Xdo({"windowfocus", "--sync", recovered});
    std::vector<int16_t> saved;
    ASSERT_TRUE(Poll(
        [&] {
            Xdo({"key", "ctrl+s"});
            return Poll(
                [&] {
                    saved = WavValues(ReadFile(File));
                    return saved != original;
                },
                2000);
        },
        60000))
        << "Save did not write the recovered changes";
    EXPECT_LT(saved.size(), original.size()) << "the deletion is in the saved file";
    EXPECT_GT(saved.size(), 0u);
    EXPECT_TRUE(std::equal(saved.begin(), saved.begin() + 2, original.begin()));

    Xdo({"key", "alt+F4"});
    EXPECT_EQ(second.WaitExit(15000), 0);
    for (const auto& entry : std::filesystem::directory_iterator(Dir.File("tmp")))
        ADD_FAILURE() << "left behind: " << entry.path();
}

// Save As to MP3 through the file dialog and the MP3 settings dialog, then open the MP3 again:
// the document that comes back is the encoded sound (its decoder adds frames at the ends).
TEST_F(EndToEnd, SaveAsMp3WithTheDialogThenReopenIt) {
    // One second of a 440 Hz tone at 22,050 Hz, stereo (not a whole number of 100 ms buffers).
    constexpr int Frames = 22000;
    std::vector<int16_t> tone;
    for (int i = 0; i < Frames; ++i) {
        const int16_t v = int16_t(12000 * std::sin(2 * M_PI * 440 * i / 22050.0));
        tone.push_back(v);
        tone.push_back(int16_t(-v));
    }
    const TWindow window = StartEditor("tone.wav", tone, 22050);
    ASSERT_FALSE(window.Id.empty()) << "no window";
    const std::string mp3 = Dir.File("tone.mp3");

    // File > Save As..., a name typed into the file dialog, the MP3 settings accepted as shown.
    std::string saveDialog;
    ASSERT_TRUE(Poll(
        [&] {
            Xdo({"windowfocus", "--sync", window.Id});
            Xdo({"key", "alt+f"});
            Xdo({"key", "a"});
            saveDialog = FindWindow("^Save As$", 15000);
            return !saveDialog.empty();
        },
        60000))
        << "no Save As dialog";
    TypeIntoDialog(saveDialog, mp3);
    const std::string settings = FindWindow("MPEG Layer3 Settings");
    ASSERT_FALSE(settings.empty()) << "no MP3 settings dialog";
    Xdo({"windowfocus", "--sync", settings});
    Xdo({"key", "Return"});
    ASSERT_FALSE(FindWindow("tone.mp3 - Orvella").empty())
        << "the window is not named after the MP3";
    ASSERT_TRUE(Poll([&] { return ReadFile(mp3).size() > 1000; })) << "no MP3 file";

    // File > Open of the MP3; the document that comes back is longer than the one saved.
    int frames = 0;
    ASSERT_TRUE(Poll(
        [&] {
            Xdo({"windowfocus", "--sync", window.Id});
            Xdo({"key", "ctrl+o"});
            const std::string openDialog = FindWindow("^Open$", 15000);
            if (openDialog.empty()) return false;
            TypeIntoDialog(openDialog, mp3);
            return Poll(
                [&] {
                    Xdo({"windowfocus", "--sync", window.Id});
                    Xdo({"key", "ctrl+a"});
                    Xdo({"key", "ctrl+c"});
                    const TRun copied =
                        RunProgram({"xclip", "-selection", "clipboard", "-t", "audio/wav", "-o"});
                    const Bytes clip(copied.Out.begin(), copied.Out.end());
                    if (clip.size() <= 44 || Le32(clip.data() + 24) != 22050) return false;
                    frames = int((clip.size() - 44) / 4);
                    return frames > Frames;
                },
                5000);
        },
        60000))
        << "the MP3 did not open as a longer document (last copy held " << frames << " frames)";
    EXPECT_LT(frames, Frames + 3 * 1152) << "the decoder's extra frames are a few MPEG frames";

    Xdo({"windowfocus", "--sync", window.Id});
    Xdo({"key", "alt+F4"});
    EXPECT_EQ(Editor->WaitExit(15000), 0);
}

TEST_F(EndToEnd, AFileDroppedOnTheWindowOpens) {
    // A name a file manager writes percent-encoded: a space and a letter outside ASCII.
    const std::string dropped = Dir.File("take 2 \xc3\xa9.wav");
    std::vector<int16_t> values;
    for (int i = 0; i < 3000; ++i)
        values.push_back(int16_t(i * 7));
    const Bytes droppedWav = Wav(values, 8000);
    std::ofstream(dropped, std::ios::binary)
        .write(reinterpret_cast<const char*>(droppedWav.data()),
               std::streamsize(droppedWav.size()));
    std::string uri = "file://";
    for (unsigned char c : dropped) {
        static const char hex[] = "0123456789ABCDEF";
        if (std::isalnum(c) || std::strchr("/-._~", c))
            uri += char(c);
        else
            uri += std::string{'%', hex[c >> 4], hex[c & 15]};
    }

    const TWindow window = StartEditor("first.wav", std::vector<int16_t>(2000, 100), 8000);
    ASSERT_FALSE(window.Id.empty()) << "no window";
    // The first tries may come before the window takes drops.
    std::string failure;
    ASSERT_TRUE(Poll(
        [&] {
            failure = DropUriList(std::stoul(window.Id), window.Width / 2, window.Height / 3,
                                  uri + "\r\n", 5000);
            return failure.empty();
        },
        60000))
        << failure;
    EXPECT_FALSE(FindWindow("take 2 .+\\.wav - Orvella").empty())
        << "the dropped file did not open";

    // The document holds the dropped file's values: all of it copied, read as another program.
    std::vector<int16_t> copied;
    EXPECT_TRUE(Poll(
        [&] {
            Xdo({"windowfocus", "--sync", window.Id});
            Xdo({"key", "ctrl+a"});
            Xdo({"key", "ctrl+c"});
            const TRun clip =
                RunProgram({"xclip", "-selection", "clipboard", "-t", "audio/wav", "-o"});
            copied = WavValues(Bytes(clip.Out.begin(), clip.Out.end()));
            return copied == values;
        },
        30000))
        << "the clipboard held " << copied.size() << " values";

    Xdo({"windowfocus", "--sync", window.Id});
    Xdo({"key", "alt+F4"});
    EXPECT_EQ(Editor->WaitExit(15000), 0);
}

} // namespace

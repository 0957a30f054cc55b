#include "testsupport.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace orvella::test {

void WriteWorkFile(const std::string& path, int channels, int rate,
                   const std::vector<int16_t>& values) {
    TWorkFileWriter file(path, channels, rate);
    if (!values.empty()) file.Write(values.data(), uint32_t(values.size() * 2));
    file.Close();
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return {};
    std::vector<uint8_t> bytes(size_t(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    return bytes;
}

std::vector<int16_t> ReadWorkFileValues(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    std::vector<int16_t> values(bytes.size() > 44 ? (bytes.size() - 44) / 2 : 0);
    if (!values.empty()) std::memcpy(values.data(), bytes.data() + 44, values.size() * 2);
    return values;
}

DocumentTest::DocumentTest() {
    TCodecServices codecs;
    codecs.Decoders.push_back(CopyingWavDecoder());
    RebuildDocument(codecs);
}

void DocumentTest::RebuildDocument(const TCodecServices& codecs) {
    TEngineSettings settings;
    settings.TempFolder = Temp.Path();
    Doc = std::make_unique<TDocument>(Loop, Dialogs, settings, codecs, &Clipboard);
    Doc->OnReady = [this](TDocument*) { ++ReadyCount; };
    Doc->OnLoaded = [this](TDocument*) { ++LoadedCount; };
    Doc->OnAction = [this](TDocument*, bool u, bool r) { Actions.emplace_back(u, r); };
}

DocumentTest::~DocumentTest() {
    Doc.reset();
}

void DocumentTest::RunToIdle() {
    const bool idle = Loop.RunUntil([this] { return !Doc->IsBusy(); }, 30000);
    ASSERT_TRUE(idle) << "the body did not end";
    Loop.ProcessMessages();
}

void DocumentTest::Load(int channels, int rate, const std::vector<int16_t>& values) {
    const std::string source = Temp.File("source.wav");
    WriteWorkFile(source, channels, rate, values);
    ASSERT_TRUE(Doc->Open(source));
    RunToIdle();
    ASSERT_TRUE(Doc->Ready);
    std::remove(source.c_str());
    ReadyCount = LoadedCount = 0;
    Actions.clear();
}

std::vector<int16_t> DocumentTest::Values() {
    return ReadWorkFileValues(WorkFile());
}

} // namespace orvella::test

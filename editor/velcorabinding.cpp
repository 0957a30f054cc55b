#include "editor/velcorabinding.h"

#include "velcora/velcora.h"

#include <atomic>
#include <dlfcn.h>
#include <filesystem>

namespace orvella {

namespace {

using TInit = void (*)(int32_t, int32_t, uint32_t, uint32_t, uint32_t, uint32_t, int32_t, int32_t,
                       int32_t);
using TProcess = void (*)(const void*, uint32_t, void*, uint32_t*);
using TExit = void (*)(void*, uint32_t*);

struct TBinding {
    TInit Init = nullptr;
    TProcess Process = nullptr;
    TExit Exit = nullptr;
};

TBinding Bound;
std::atomic<bool> IsBound{false};

} // namespace

std::string VelcoraPathFor(const std::string& programPath) {
    const std::filesystem::path folder = std::filesystem::path(programPath).parent_path();
    return (folder / "plugins" / "libvelcora.so").string();
}

std::string BindVelcora(const std::string& libraryPath) {
    void* library = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) return "The library " + libraryPath + " is missing or cannot be loaded.";
    TBinding binding;
    binding.Init = reinterpret_cast<TInit>(dlsym(library, "DSP_init"));
    binding.Process = reinterpret_cast<TProcess>(dlsym(library, "DSP_process"));
    binding.Exit = reinterpret_cast<TExit>(dlsym(library, "DSP_exit"));
    const char* missing = !binding.Init      ? "DSP_init"
                          : !binding.Process ? "DSP_process"
                          : !binding.Exit    ? "DSP_exit"
                                             : nullptr;
    if (missing) {
        dlclose(library);
        return std::string("The library ") + libraryPath + " does not export " + missing + ".";
    }
    // A second binding (tests) replaces the first; no conversion runs while it does.
    Bound = binding;
    IsBound.store(true);
    return {};
}

bool VelcoraBound() {
    return IsBound.load();
}

} // namespace orvella

// The program's own definitions of the library's interface: the document's convert body calls
// these, and they call the bound library. Unbound, a conversion produces no output.
extern "C" {

void DSP_init(int32_t srcRate, int32_t dstRate, uint32_t srcChannels, uint32_t dstChannels,
              uint32_t inFormat, uint32_t outFormat, int32_t attenuation, int32_t transitionWidth,
              int32_t fftLength) {
    if (orvella::IsBound.load())
        orvella::Bound.Init(srcRate, dstRate, srcChannels, dstChannels, inFormat, outFormat,
                            attenuation, transitionWidth, fftLength);
}

void DSP_process(const void* input, uint32_t inputBytes, void* output, uint32_t* outputBytes) {
    if (orvella::IsBound.load()) {
        orvella::Bound.Process(input, inputBytes, output, outputBytes);
    } else if (outputBytes) {
        *outputBytes = 0;
    }
}

void DSP_exit(void* output, uint32_t* outputBytes) {
    if (orvella::IsBound.load()) {
        orvella::Bound.Exit(output, outputBytes);
    } else if (outputBytes) {
        *outputBytes = 0;
    }
}
}

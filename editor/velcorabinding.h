#pragma once
// The rate conversion library as the program binds it: plugins/libvelcora.so beside the
// executable, opened at start-up. The program does not link the library; it defines DSP_init,
// DSP_process and DSP_exit itself as calls through the bound functions, so a missing library is
// found by the program (which says which file is missing) instead of by the loader.
// Thread rule: BindVelcora on the main thread before any conversion; the calls from any thread.

#include <string>

namespace orvella {

// The library's path for a program at programPath: <folder>/plugins/libvelcora.so.
std::string VelcoraPathFor(const std::string& programPath);

// Opens the library and binds its three functions. Returns an empty string on success, otherwise
// the message that names the missing file or function (an earlier binding then stays). The
// library stays loaded for the program's life.
std::string BindVelcora(const std::string& libraryPath);

bool VelcoraBound();

} // namespace orvella

#include "engine/stack.h"

#include <unistd.h>

namespace orvella {

std::string TStack::Pop() {
    if (Items.empty()) return {};
    std::string path = std::move(Items.front());
    Items.pop_front();
    return path;
}

void TStack::Clear() {
    for (const std::string& path : Items)
        ::unlink(path.c_str());
    Items.clear();
}

} // namespace orvella

#include "engine/workfilestack.h"

#include <unistd.h>

namespace orvella {

std::string TWorkFileStack::Pop() {
    if (Items.empty()) return {};
    std::string path = std::move(Items.front());
    Items.pop_front();
    return path;
}

void TWorkFileStack::Clear() {
    for (const std::string& path : Items)
        ::unlink(path.c_str());
    Items.clear();
}

} // namespace orvella

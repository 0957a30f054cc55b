#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes. Every test that writes files writes them in one of these.

#include <string>
#include <vector>

namespace orvella::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return Dir; }
    std::string File(const std::string& name) const { return Dir + "/" + name; }
    // Names of the files now in the folder.
    std::vector<std::string> Files() const;

private:
    std::string Dir;
};

} // namespace orvella::test

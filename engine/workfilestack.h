#pragma once
// A last-in first-out list of work-file paths. Clear deletes the files it names.
// Thread rule: not locked; the document only touches its stacks while no body runs, or from the
// running body itself.

#include <deque>
#include <string>

namespace orvella {

class TWorkFileStack {
public:
    TWorkFileStack() = default;
    // Frees the list; the named files stay on disk.
    ~TWorkFileStack() = default;

    void Push(const std::string& path) { Items.push_front(path); }
    // Removes and returns the front path; the empty string when the list is empty.
    std::string Pop();
    bool IsEmpty() const { return Items.empty(); }
    size_t Count() const { return Items.size(); }
    const std::string& Top() const { return Items.front(); }
    // The paths, front first.
    const std::deque<std::string>& Paths() const { return Items; }
    // Deletes each named file front to back (failures are skipped), then empties the list.
    void Clear();

private:
    std::deque<std::string> Items;
};

} // namespace orvella

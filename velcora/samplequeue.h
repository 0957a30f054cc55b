// Growable float array that keeps its storage for reuse: appends grow the capacity from
// 0 to 1 and then by doubling until the values fit; the capacity never shrinks.
#pragma once

#include <cstdint>

namespace velcora {

class SampleQueue {
public:
    SampleQueue() = default;
    ~SampleQueue();
    SampleQueue(const SampleQueue&) = delete;
    SampleQueue& operator=(const SampleQueue&) = delete;

    std::uint32_t count() const { return count_; }
    std::uint32_t capacity() const { return capacity_; }
    float* data() { return data_; }
    const float* data() const { return data_; }

    // Makes room for `extra` more values and returns where they go; count grows by extra.
    float* appendSpace(std::uint32_t extra);
    void append(const float* values, std::uint32_t n);
    // Removes the first n values, moving the rest to the front.
    void consume(std::uint32_t n);
    void clear() { count_ = 0; }

private:
    void reserve(std::uint64_t needed);

    float* data_ = nullptr;
    std::uint32_t capacity_ = 0;
    std::uint32_t count_ = 0;
};

} // namespace velcora

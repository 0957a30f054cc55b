#include "velcora/samplequeue.h"

#include <cstdlib>
#include <cstring>

namespace velcora {

SampleQueue::~SampleQueue() {
    std::free(data_);
}

void SampleQueue::reserve(std::uint64_t needed) {
    if (needed <= capacity_) return;
    if (needed > UINT32_MAX)
        std::abort(); // a queue of 2^32 values cannot be counted; the stream is unusable
    std::uint64_t capacity = capacity_ == 0 ? 1 : capacity_;
    while (capacity < needed)
        capacity *= 2;
    if (capacity > UINT32_MAX) capacity = UINT32_MAX;
    void* grown = std::realloc(data_, capacity * sizeof(float));
    if (grown == nullptr) std::abort();
    data_ = static_cast<float*>(grown);
    capacity_ = static_cast<std::uint32_t>(capacity);
}

float* SampleQueue::appendSpace(std::uint32_t extra) {
    reserve(static_cast<std::uint64_t>(count_) + extra);
    float* at = data_ + count_;
    count_ += extra;
    return at;
}

void SampleQueue::append(const float* values, std::uint32_t n) {
    if (n == 0) return;
    float* at = appendSpace(n);
    std::memcpy(at, values, static_cast<std::size_t>(n) * sizeof(float));
}

void SampleQueue::consume(std::uint32_t n) {
    if (n >= count_) {
        count_ = 0;
        return;
    }
    std::memmove(data_, data_ + n, static_cast<std::size_t>(count_ - n) * sizeof(float));
    count_ -= n;
}

} // namespace velcora

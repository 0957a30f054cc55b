// Owned, zero-initialised, 64-byte aligned arrays for the converters' buffers.
// Allocation goes straight to the C runtime so the library needs nothing else.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace velcora {

template <typename T> class AlignedArray {
    static_assert(std::is_trivially_copyable_v<T>, "AlignedArray holds plain values only");

public:
    AlignedArray() = default;
    explicit AlignedArray(std::size_t count) { reset(count); }
    ~AlignedArray() { std::free(data_); }
    AlignedArray(const AlignedArray&) = delete;
    AlignedArray& operator=(const AlignedArray&) = delete;
    AlignedArray(AlignedArray&& other) noexcept
        : data_(other.data_)
        , size_(other.size_) {
        other.data_ = nullptr;
        other.size_ = 0;
    }
    AlignedArray& operator=(AlignedArray&& other) noexcept {
        if (this != &other) {
            std::free(data_);
            data_ = other.data_;
            size_ = other.size_;
            other.data_ = nullptr;
            other.size_ = 0;
        }
        return *this;
    }

    // Replaces the content with `count` zero values.
    void reset(std::size_t count) {
        std::free(data_);
        data_ = nullptr;
        size_ = 0;
        if (count == 0) return;
        std::size_t bytes = (count * sizeof(T) + kAlign - 1) / kAlign * kAlign;
        data_ = static_cast<T*>(std::aligned_alloc(kAlign, bytes));
        if (data_ == nullptr)
            std::abort(); // out of memory: the C interface has no way to report it
        std::memset(static_cast<void*>(data_), 0, bytes);
        size_ = count;
    }

    // Grows to at least `count` values; the content is not kept.
    void ensure(std::size_t count) {
        if (count > size_) reset(count);
    }

    void fillZero() {
        if (size_ != 0) std::memset(static_cast<void*>(data_), 0, size_ * sizeof(T));
    }

    T* data() { return data_; }
    const T* data() const { return data_; }
    std::size_t size() const { return size_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }

private:
    static constexpr std::size_t kAlign = 64;
    T* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace velcora

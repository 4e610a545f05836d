// Buffers of plain values for data that streams through in large pieces
// (a MiB of a member's input, the matches found in it).  From 1 MiB on,
// the memory comes straight from the system, in huge pages where it can
// (platform::allocateLarge): a fresh 4 KiB page costs a fault of several
// microseconds, so filling 1 MiB of fresh small pages costs milliseconds.
// Smaller buffers come from the heap.  A buffer's values start unset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

namespace pactools {

// The memory behind a LargeBuffer: throws std::bad_alloc when there is none.
void* acquireBufferMemory(std::size_t bytes);
void releaseBufferMemory(void* data, std::size_t bytes);

template <class T>
class LargeBuffer {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    LargeBuffer() = default;
    explicit LargeBuffer(std::size_t count) { ensure(count); }
    ~LargeBuffer() { releaseBufferMemory(data_, capacity_ * sizeof(T)); }
    LargeBuffer(LargeBuffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), capacity_(std::exchange(other.capacity_, 0)) {}
    LargeBuffer& operator=(LargeBuffer&& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(capacity_, other.capacity_);
        return *this;
    }

    // Room for `count` values.  When the buffer has to grow, what it held
    // is lost.
    void ensure(std::size_t count) {
        if (count <= capacity_) return;
        if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        void* fresh = acquireBufferMemory(count * sizeof(T));
        releaseBufferMemory(data_, capacity_ * sizeof(T));
        data_ = static_cast<T*>(fresh);
        capacity_ = count;
    }

    T* data() { return data_; }
    const T* data() const { return data_; }
    std::size_t capacity() const { return capacity_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    std::span<T> first(std::size_t count) { return {data_, count}; }

private:
    T* data_ = nullptr;
    std::size_t capacity_ = 0;
};

}  // namespace pactools

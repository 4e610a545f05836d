#include "large_buffer.h"

#include <cstdlib>
#include <new>

#include "platform.h"

namespace pactools {

namespace {

// From this size on a buffer takes memory of its own from the system.
constexpr std::size_t kLarge = std::size_t{1} << 20;

}  // namespace

void* acquireBufferMemory(std::size_t bytes) {
    void* data = bytes >= kLarge ? platform::allocateLarge(bytes) : std::malloc(bytes == 0 ? 1 : bytes);
    if (data == nullptr) throw std::bad_alloc();
    return data;
}

void releaseBufferMemory(void* data, std::size_t bytes) {
    if (bytes >= kLarge) platform::freeLarge(data, bytes);
    else std::free(data);
}

}  // namespace pactools

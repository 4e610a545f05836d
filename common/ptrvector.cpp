#include "ptrvector.h"

#include <cstring>

namespace pactools {

bool roundUpToStep(std::uint32_t wanted, std::uint32_t step, std::uint32_t& rounded) {
    if (step == 0) step = 1;
    const std::uint64_t value = (static_cast<std::uint64_t>(wanted) + step - 1) / step * step;
    if (value > UINT32_MAX) return false;
    rounded = static_cast<std::uint32_t>(value);
    return true;
}

void** resizeSlots(void** items, std::uint32_t slots) {
    const std::size_t bytes = static_cast<std::size_t>(slots) * sizeof(void*);
    if (items == nullptr) return static_cast<void**>(std::calloc(slots, sizeof(void*)));
    return static_cast<void**>(std::realloc(items, bytes));
}

}  // namespace pactools

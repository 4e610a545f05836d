// PtrVector: the growable list used for every list both tools build (names,
// lines, statements, labels).  It holds pointers to separately allocated
// blocks and grows in fixed steps chosen by its creator, so its capacity is
// always a multiple of the step.  The blocks belong to the vector and are
// deleted when it is freed (or destroyed).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>

namespace pactools {

// Rounds `wanted` up to the next multiple of `step`.  Returns false when the
// result would not fit in 32 bits.
bool roundUpToStep(std::uint32_t wanted, std::uint32_t step, std::uint32_t& rounded);

// Resizes a slot array of pointers to `slots` (at least 1) entries; a fresh
// array is zero-filled.  Returns null, leaving `items` untouched, on failure.
void** resizeSlots(void** items, std::uint32_t slots);

template <class T>
struct PtrVector {
    std::uint32_t capacity = 0;  // slots allocated in items
    std::uint32_t count = 0;     // slots in use
    std::uint32_t step = 1;      // growth granularity, at least 1
    T** items = nullptr;         // owned slot array; null while capacity is 0

    PtrVector() = default;
    PtrVector(const PtrVector&) = delete;
    PtrVector& operator=(const PtrVector&) = delete;
    PtrVector(PtrVector&& other) noexcept { *this = std::move(other); }
    PtrVector& operator=(PtrVector&& other) noexcept;
    ~PtrVector();

    T& operator[](std::uint32_t index) const { return *items[index]; }
    T** begin() const { return items; }
    T** end() const { return items + count; }
    bool empty() const { return count == 0; }
    T& back() const { return *items[count - 1]; }
};

// Resizes the slot array to `wanted` rounded up to the step.  On failure the
// vector keeps its old array and capacity; it never drops slots in use.
template <class T>
bool ptrVectorGrow(PtrVector<T>& vector, std::uint32_t wanted) {
    std::uint32_t rounded = 0;
    if (!roundUpToStep(wanted, vector.step, rounded)) return false;
    if (rounded == vector.capacity) return true;
    if (rounded < vector.count) return false;
    if (rounded == 0) {
        std::free(vector.items);
        vector.items = nullptr;
        vector.capacity = 0;
        return true;
    }
    void** slots = resizeSlots(reinterpret_cast<void**>(vector.items), rounded);
    if (slots == nullptr) return false;
    vector.items = reinterpret_cast<T**>(slots);
    vector.capacity = rounded;
    return true;
}

// Releases every block (when `freeItems`) and the slot array; the step stays,
// so the vector can be used again.
template <class T>
void ptrVectorFree(PtrVector<T>& vector, bool freeItems = true) {
    if (freeItems && vector.items != nullptr) {
        for (std::uint32_t i = 0; i < vector.count; ++i) delete vector.items[i];
    }
    std::free(vector.items);
    vector.items = nullptr;
    vector.capacity = 0;
    vector.count = 0;
}

template <class T>
PtrVector<T>::~PtrVector() {
    ptrVectorFree(*this);
}

template <class T>
PtrVector<T>& PtrVector<T>::operator=(PtrVector&& other) noexcept {
    if (this != &other) {
        ptrVectorFree(*this);
        capacity = other.capacity;
        count = other.count;
        step = other.step;
        items = other.items;
        other.capacity = other.count = 0;
        other.items = nullptr;
    }
    return *this;
}

template <class T>
bool ptrVectorInit(PtrVector<T>& vector, std::uint32_t step, std::uint32_t initialCapacity) {
    ptrVectorFree(vector);
    vector.step = step == 0 ? 1 : step;
    return initialCapacity == 0 || ptrVectorGrow(vector, initialCapacity);
}

// Appends a block, growing by one step when full.  On failure the block is
// deleted (nobody else holds it) and false is returned.
template <class T>
bool ptrVectorPush(PtrVector<T>& vector, std::unique_ptr<T> block) {
    if (vector.count >= vector.capacity) {
        if (vector.count == UINT32_MAX || !ptrVectorGrow(vector, vector.count + 1)) return false;
    }
    vector.items[vector.count++] = block.release();
    return true;
}

}  // namespace pactools

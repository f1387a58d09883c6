#pragma once

#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "common/LargeBuffers.h"

namespace lanscope {

// Leaves new bytes uninitialised: a file's text is read over them at once, so
// zeroing tens of megabytes first would be wasted. Large buffers get the
// platform's large-buffer advice.
template <class T>
struct UninitializedAllocator {
    using value_type = T;
    template <class U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() = default;
    template <class U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(AllocateBuffer(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { FreeBuffer(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const UninitializedAllocator<U>&) const noexcept {
        return true;
    }
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using ByteBuffer = std::vector<std::uint8_t, UninitializedAllocator<std::uint8_t>>;

}  // namespace lanscope

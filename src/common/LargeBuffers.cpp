#include "common/LargeBuffers.h"

#include <atomic>
#include <cstdlib>
#ifdef _WIN32
#include <malloc.h>
#endif
#include <new>

namespace lanscope {

namespace {

std::atomic<LargeBufferAdvice> g_advice{nullptr};

}  // namespace

void SetLargeBufferAdvice(LargeBufferAdvice advice) {
    g_advice = advice;
}

void* AllocateBuffer(std::size_t size) {
    if (size < kLargeBufferSize) {
        return ::operator new(size);
    }
    const std::size_t rounded =
        (size + kLargeBufferAlignment - 1) / kLargeBufferAlignment * kLargeBufferAlignment;
#ifdef _WIN32
    // Windows' C runtime has no aligned_alloc (its free could not release it).
    void* buffer = _aligned_malloc(rounded, kLargeBufferAlignment);
#else
    void* buffer = std::aligned_alloc(kLargeBufferAlignment, rounded);
#endif
    if (buffer == nullptr) {
        throw std::bad_alloc();
    }
    if (const LargeBufferAdvice advice = g_advice.load()) {
        advice(buffer, rounded);
    }
    return buffer;
}

void FreeBuffer(void* buffer, std::size_t size) noexcept {
    if (size < kLargeBufferSize) {
        ::operator delete(buffer);
    } else {
#ifdef _WIN32
        _aligned_free(buffer);
#else
        std::free(buffer);
#endif
    }
}

}  // namespace lanscope

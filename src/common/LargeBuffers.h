#pragma once

#include <cstddef>

namespace lanscope {

// Buffers of several megabytes (whole firmware files) are touched once from
// end to end; with small pages that costs one page fault per 4 KiB. The
// platform layer may install advice (huge pages) that is applied to every
// such buffer; without it they are plain allocations. Process-wide on
// purpose, as the memory it advises on is: set once at start-up.
using LargeBufferAdvice = void (*)(void* buffer, std::size_t size);

inline constexpr std::size_t kLargeBufferSize = 4u << 20;
inline constexpr std::size_t kLargeBufferAlignment = 2u << 20;

void SetLargeBufferAdvice(LargeBufferAdvice advice);

void* AllocateBuffer(std::size_t size);
void FreeBuffer(void* buffer, std::size_t size) noexcept;

}  // namespace lanscope

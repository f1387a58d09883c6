#include "platform/HugePages.h"

#ifndef _WIN32
#include <sys/mman.h>
#endif

#include "common/LargeBuffers.h"

namespace lanscope {

void UseHugePagesForLargeBuffers() {
#ifdef MADV_HUGEPAGE
    SetLargeBufferAdvice([](void* buffer, std::size_t size) {
        ::madvise(buffer, size, MADV_HUGEPAGE);  // advice only: failure changes nothing
    });
#endif
}

}  // namespace lanscope

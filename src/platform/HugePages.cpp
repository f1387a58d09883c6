#include "platform/HugePages.h"

#include <sys/mman.h>

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

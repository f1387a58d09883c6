#pragma once

namespace lanscope {

// Lets large buffers (whole firmware files) use transparent huge pages where
// the system offers them on request, cutting page faults by a factor of 512.
void UseHugePagesForLargeBuffers();

}  // namespace lanscope

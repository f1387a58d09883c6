#include "platform/PollLoop.h"
#include "support/EventLoopContract.h"

namespace lanscope::test {
INSTANTIATE_TYPED_TEST_SUITE_P(Poll, EventLoopContract, PollLoop);
}  // namespace lanscope::test

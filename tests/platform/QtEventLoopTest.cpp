#include "platform/QtEventLoop.h"
#include "support/EventLoopContract.h"

namespace lanscope::test {
INSTANTIATE_TYPED_TEST_SUITE_P(Qt, EventLoopContract, QtEventLoop);
}  // namespace lanscope::test

#include <gtest/gtest.h>

#include "discovery/DiscoverySession.h"
#include "support/LoopWait.h"
#include "support/LoopbackModule.h"
#include "support/RecordingPrompt.h"
#include "support/Replies.h"

namespace lanscope {
namespace {

using namespace std::chrono_literals;

// A session on an ephemeral loopback port whose requests reach one simulated
// module; a second module's reply the test sends by hand.
struct Session {
    test::LoopbackModule module{sim::ModuleIdentity{}, test::TestLoop()};
    test::RecordingPrompt prompt;
    DiscoverySession session{prompt, test::TestLoop(),
                             FerroxEndpoints{kLoopback, 0, kLoopback, module.port()}};

    bool lines(std::size_t count) {
        return session.waitFor(5s, [&] { return session.list().size() == count; });
    }
};

constexpr MacAddress kSimulated{0x02, 0x4C, 0x53, 0x00, 0x00, 0x01};

TEST(DiscoverySession, ListsWhatAnswersAndFindsEachByItsHardwareAddress) {
    Session s;
    ASSERT_TRUE(s.session.open());
    ASSERT_TRUE(s.session.request().ok());
    auto other = std::move(UdpSocket::open().value());
    ASSERT_TRUE(other.bind(kLoopback, 0).ok());
    ASSERT_TRUE(other
                    .sendTo(test::MakeReply(test::kMacB, kLoopback, "Pump", "Hall"), kLoopback,
                            s.session.socket()->localPort())
                    .ok());
    ASSERT_TRUE(s.lines(2));
    EXPECT_EQ(s.module.requests(), 1);
    EXPECT_TRUE(s.prompt.shown.empty());

    const struct {
        MacAddress mac;
        std::optional<std::size_t> row;
    } cases[] = {
        {test::kMacB, 0},  // [00-…] sorts before [02-…]
        {kSimulated, 1},
        {test::kMacA, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(s.session.findMac(c.mac), c.row) << FormatMacBracketed(c.mac);
    }
}

TEST(DiscoverySession, ASecondRequestAfterReopeningRepeatsTheLineItKept) {
    Session s;
    ASSERT_TRUE(s.session.open());
    ASSERT_TRUE(s.session.request().ok());
    ASSERT_TRUE(s.lines(1));

    s.session.close();
    EXPECT_FALSE(s.session.isOpen());
    EXPECT_FALSE(s.session.request().ok());
    EXPECT_TRUE(s.session.waitFor(5s, [] { return true; }));  // done is done, closed or not
    EXPECT_EQ(s.session.list().size(), 1u);

    ASSERT_TRUE(s.session.open());
    ASSERT_TRUE(s.session.request().ok());
    ASSERT_TRUE(
        s.session.waitFor(5s, [&] { return s.session.list().record(0).repeatCount() == 1; }));
    EXPECT_EQ(s.session.list().size(), 1u);
    EXPECT_EQ(s.module.requests(), 2);
}

}  // namespace
}  // namespace lanscope

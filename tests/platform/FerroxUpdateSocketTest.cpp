#include <gtest/gtest.h>

#include "support/LoopWait.h"
#include "support/RecordingPrompt.h"
#include "update/FerroxUpdateSocket.h"

namespace lanscope {
namespace {

TEST(FerroxUpdateSocket, SendsToTheModuleAndHandsEveryReplyOn) {
    auto module = std::move(UdpSocket::open().value());
    ASSERT_TRUE(module.bind(kLoopback, 0).ok());
    test::RecordingPrompt prompt;
    std::vector<std::vector<std::uint8_t>> replies;
    FerroxUpdateSocket socket(
        [&](std::span<const std::uint8_t> reply) {
            replies.emplace_back(reply.begin(), reply.end());
        },
        kLoopback, prompt, test::TestLoop(), "lanscope",
        UpdateEndpoints{kLoopback, 0, module.localPort().value()});
    ASSERT_TRUE(socket.isListening());

    const auto request = BuildStartRequest(9, 0x1000, 100, false, "", "");
    socket.sendRequest(request);
    std::array<std::uint8_t, 2048> buffer{};
    Result<ReceivedDatagram> received = Error{};
    ASSERT_TRUE(test::WaitUntil([&] { return (received = module.receiveFrom(buffer)).ok(); }));
    ASSERT_EQ(received->size, 24u);
    EXPECT_TRUE(std::equal(request.begin(), request.end(), buffer.begin()));

    // Replies of any length that fits the buffer reach the run; longer ones
    // are incomplete and dropped.
    const auto ok = BuildUpdateReply(UpdateReplyType::Ok, 9, 0, 0, "LM42");
    (void)module.sendTo(ok, kLoopback, socket.localPort());
    (void)module.sendTo(std::vector<std::uint8_t>(1025, 1), kLoopback, socket.localPort());
    (void)module.sendTo(std::vector<std::uint8_t>(3, 1), kLoopback, socket.localPort());
    ASSERT_TRUE(test::WaitUntil([&] { return replies.size() == 2; }));
    EXPECT_EQ(replies[0], ok);
    EXPECT_EQ(replies[1].size(), 3u);
    EXPECT_TRUE(prompt.shown.empty());
}

TEST(FerroxUpdateSocket, ABusyPortShowsTheBindMessageAndTheRunGoesOn) {
    test::RecordingPrompt prompt;
    const auto sink = [](std::span<const std::uint8_t>) {};
    FerroxUpdateSocket first(sink, kLoopback, prompt, test::TestLoop(), "lanscope",
                             {kLoopback, 0, 9});
    FerroxUpdateSocket second(sink, kLoopback, prompt, test::TestLoop(), "lanscope",
                              {kLoopback, first.localPort(), 9});
    EXPECT_FALSE(second.isListening());
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text,
              "Error on Bind = " + std::to_string(test::kAddressInUse) + " for 0");
    EXPECT_EQ(prompt.shown[0].caption, "lanscope");
    second.sendRequest(BuildFinishRequest(1, 2, 3, false));  // silently nothing
}

}  // namespace
}  // namespace lanscope

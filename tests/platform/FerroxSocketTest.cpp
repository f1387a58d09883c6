#include <gtest/gtest.h>

#include "discovery/FerroxSocket.h"
#include "support/LoopWait.h"
#include "support/LoopbackModule.h"
#include "support/RecordingPrompt.h"
#include "support/Replies.h"

namespace lanscope {
namespace {

using test::MakeReply;

// A discovery socket on an ephemeral loopback port, sending to `peerPort`.
FerroxEndpoints Loopback(std::uint16_t peerPort = 9) {
    return FerroxEndpoints{kLoopback, 0, kLoopback, peerPort};
}

UdpSocket Sender() {
    auto socket = std::move(UdpSocket::open().value());
    EXPECT_TRUE(socket.bind(kLoopback, 0).ok());
    return socket;
}

TEST(FerroxSocket, SecondSocketOnTheDiscoveryPortReportsTheBindError) {
    ModuleList list;
    test::RecordingPrompt prompt;
    FerroxSocket first(list, prompt, test::TestLoop());
    ASSERT_TRUE(first.isListening()) << "port 20034 is taken on this machine";
    ASSERT_TRUE(prompt.shown.empty());

    FerroxSocket second(list, prompt, test::TestLoop());
    EXPECT_FALSE(second.isListening());
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Error on Bind = " + std::to_string(test::kAddressInUse) +
                                        " for 0, port maybe used by another application");
    EXPECT_EQ(prompt.shown[0].caption, "Error");
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Exclamation);
    // Deaf but usable: sending fails quietly, nothing is shown.
    EXPECT_FALSE(second.SendDiscoveryRequest().ok());
    EXPECT_EQ(prompt.shown.size(), 1u);
}

TEST(FerroxSocket, RequestReachesAModuleAndItsReplyBecomesALine) {
    test::LoopbackModule module(sim::ModuleIdentity{}, test::TestLoop());
    ModuleList list;
    test::RecordingPrompt prompt;
    FerroxSocket socket(list, prompt, test::TestLoop(), Loopback(module.port()));
    ASSERT_TRUE(socket.isListening());
    int handled = 0;
    socket.replyHandled = [&](AddReplyOutcome) { ++handled; };

    ASSERT_TRUE(socket.SendDiscoveryRequest().ok());
    ASSERT_TRUE(test::WaitUntil([&] { return handled == 1; }));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.text(0), "[02-4C-53-00-00-01]\t127.0.0.1\tDHCP\tLAN Module\tSimulated module");
    EXPECT_EQ(list.selection(), 0u);

    ASSERT_TRUE(socket.SendDiscoveryRequest().ok());
    ASSERT_TRUE(test::WaitUntil([&] { return handled == 2; }));
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(list.record(0).repeatCount(), 1u);
}

TEST(FerroxSocket, DrainsABurstAndDropsOversizedDatagrams) {
    ModuleList list;
    test::RecordingPrompt prompt;
    FerroxSocket socket(list, prompt, test::TestLoop(), Loopback());
    UdpSocket sender = Sender();

    constexpr int kReplies = 200;
    for (int i = 0; i < kReplies; ++i) {
        const MacAddress mac{
            0, 0, 0, 0, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
        ASSERT_TRUE(
            sender.sendTo(MakeReply(mac, kLoopback, "n", "m"), kLoopback, socket.localPort()).ok());
    }
    // One byte too long for the receive buffer: incomplete, so dropped.
    auto oversized = MakeReply({9, 9, 9, 9, 9, 9}, kLoopback, "n", "m");
    oversized.resize(kMaxReplySize + 1, 'x');
    ASSERT_TRUE(sender.sendTo(oversized, kLoopback, socket.localPort()).ok());
    // Exactly the buffer size is fine (the second name runs to the end).
    auto full = MakeReply({8, 8, 8, 8, 8, 8}, kLoopback, "n", "m");
    full.resize(kMaxReplySize, 'y');
    ASSERT_TRUE(sender.sendTo(full, kLoopback, socket.localPort()).ok());

    ASSERT_TRUE(test::WaitUntil([&] { return list.size() == kReplies + 1; })) << list.size();
    EXPECT_FALSE(list.findPrefix("[09-09"));
    EXPECT_TRUE(list.findPrefix("[08-08"));
}

TEST(FerroxSocket, ConfigurationWriteGoesOutAs161Bytes) {
    ModuleList list;
    test::RecordingPrompt prompt;
    UdpSocket peer = Sender();
    FerroxSocket socket(list, prompt, test::TestLoop(), Loopback(peer.localPort().value()));
    ModuleRecord record;
    record.setLength(148);
    record.setAddress(MakeIpv4(192, 0, 2, 9));
    const auto sent = socket.SendConfiguration(record);
    ASSERT_TRUE(sent.ok());
    EXPECT_EQ(*sent, 161u);

    std::array<std::uint8_t, 2048> buffer{};
    Result<ReceivedDatagram> received = Error{};
    ASSERT_TRUE(test::WaitUntil([&] { return (received = peer.receiveFrom(buffer)).ok(); }))
        << received.error().text;
    ASSERT_EQ(received->size, 161u);
    EXPECT_TRUE(
        std::equal(buffer.begin(), buffer.begin() + 161, BuildConfigurationWrite(record).begin()));
}

TEST(FerroxSocket, SendsNothingAfterShutdown) {
    ModuleList list;
    test::RecordingPrompt prompt;
    FerroxSocket socket(list, prompt, test::TestLoop(), Loopback());
    socket.ShutdownSend();
    EXPECT_FALSE(socket.SendDiscoveryRequest().ok());
    EXPECT_FALSE(socket.SendConfiguration(ModuleRecord{}).ok());
    EXPECT_TRUE(prompt.shown.empty());
}

}  // namespace
}  // namespace lanscope

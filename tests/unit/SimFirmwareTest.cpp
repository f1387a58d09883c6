#include <gtest/gtest.h>

#include "SimFirmware.h"
#include "update/SRecordImage.h"

namespace lanscope {
namespace {

UpdateDatagram Only(const sim::FirmwareReaction& reaction) {
    EXPECT_EQ(reaction.replies.size(), 1u) << reaction.log;
    return *DecodeUpdateDatagram(reaction.replies.at(0));
}

std::vector<std::uint8_t> Bytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 13 + 1);
    }
    return bytes;
}

TEST(SimFirmware, StoresChunksAndChecksTheFinishChecksum) {
    sim::SimFirmware firmware({});
    const auto image = Bytes(1000);
    EXPECT_EQ(Only(firmware.handle(BuildStartRequest(7, 0x100, 1000, false, "", ""))).type, 0);
    std::uint32_t at = 0x100;
    while (at < 0x100 + 1000) {
        const std::size_t n = std::min<std::size_t>(470, 0x100 + 1000 - at);
        const auto ack = Only(
            firmware.handle(BuildDataRequest(7, at, std::span(image.data() + (at - 0x100), n))));
        EXPECT_EQ(ack.type, 0);
        at = ack.address;
    }
    EXPECT_EQ(firmware.image(), image);
    EXPECT_EQ(
        Only(firmware.handle(BuildFinishRequest(7, 0x100 + 1000, ImageChecksum(image) + 1, true)))
            .type,
        static_cast<std::uint8_t>(UpdateReplyType::ChecksumFailed));
    const auto done =
        firmware.handle(BuildFinishRequest(7, 0x100 + 1000, ImageChecksum(image), true));
    EXPECT_EQ(Only(done).type, 0);
    EXPECT_TRUE(done.finished);
    EXPECT_TRUE(firmware.restartRequested());
}

TEST(SimFirmware, AsksForWhatWasLostAndTakesPartialChunks) {
    sim::FirmwareOptions options;
    options.ackLimit = 100;
    sim::SimFirmware firmware(options);
    const auto image = Bytes(2000);
    firmware.handle(BuildStartRequest(1, 0, 2000, false, "", ""));
    EXPECT_EQ(Only(firmware.handle(BuildDataRequest(1, 0, std::span(image.data(), 470)))).address,
              100u);
    const auto gap =
        Only(firmware.handle(BuildDataRequest(1, 470, std::span(image.data() + 470, 470))));
    EXPECT_EQ(gap.type, static_cast<std::uint8_t>(UpdateReplyType::Resend));
    EXPECT_EQ(gap.address, 100u);
    // Another run's data is not taken.
    EXPECT_TRUE(
        firmware.handle(BuildDataRequest(2, 100, std::span(image.data(), 10))).replies.empty());
}

TEST(SimFirmware, CredentialsVerdictsAndFaults) {
    sim::FirmwareOptions options;
    options.requireCredentials = true;
    options.user = "admin";
    options.password = "secret";
    sim::SimFirmware firmware(options);
    EXPECT_EQ(Only(firmware.handle(BuildStartRequest(1, 0, 10, false, "", ""))).type, 1);
    EXPECT_EQ(Only(firmware.handle(BuildStartRequest(1, 0, 10, true, "admin", "nope"))).type, 1);
    EXPECT_EQ(Only(firmware.handle(BuildStartRequest(1, 0, 10, true, "admin", "secret"))).type, 0);

    sim::FirmwareOptions verdict;
    verdict.startVerdict = UpdateReplyType::ShutdownRefused;
    verdict.duplicate = true;
    const auto refused =
        sim::SimFirmware(verdict).handle(BuildStartRequest(1, 0, 10, false, "", ""));
    ASSERT_EQ(refused.replies.size(), 2u);
    EXPECT_EQ(refused.replies[0][5], 4);

    sim::FirmwareOptions dropping;
    dropping.dropData = {2};
    sim::SimFirmware lossy(dropping);
    const auto image = Bytes(940);
    lossy.handle(BuildStartRequest(1, 0, 940, false, "", ""));
    EXPECT_EQ(lossy.handle(BuildDataRequest(1, 0, std::span(image.data(), 470))).replies.size(),
              1u);
    EXPECT_TRUE(
        lossy.handle(BuildDataRequest(1, 470, std::span(image.data() + 470, 470))).replies.empty());
    EXPECT_EQ(
        lossy.handle(BuildDataRequest(1, 470, std::span(image.data() + 470, 470))).replies.size(),
        1u);
}

// A slow flash write of one chunk (and of its copies), an end acknowledgement
// repeated on its own, and a module that declines once it has restarted.
TEST(SimFirmware, SlowChunksRepeatedAcknowledgementsAndDeclinesMidway) {
    const auto image = Bytes(940);
    const auto chunk = [&](std::uint32_t at) {
        return BuildDataRequest(1, at, std::span(image.data() + at, 470));
    };
    sim::FirmwareOptions slow;
    slow.slowData = std::pair{2u, 300u};
    sim::SimFirmware flash(slow);
    flash.handle(BuildStartRequest(1, 0, 940, false, "", ""));
    EXPECT_EQ(flash.handle(chunk(0)).workMs, 0u);
    EXPECT_EQ(flash.handle(chunk(470)).workMs, 300u);
    const auto copy = flash.handle(chunk(470));
    EXPECT_EQ(copy.workMs, 300u);
    EXPECT_EQ(Only(copy).address, 940u);

    sim::FirmwareOptions repeating;
    repeating.repeatLastAckMs = 400;
    sim::SimFirmware repeater(repeating);
    repeater.handle(BuildStartRequest(1, 0, 940, false, "", ""));
    EXPECT_FALSE(repeater.handle(chunk(0)).later);
    const auto last = repeater.handle(chunk(470));
    ASSERT_TRUE(last.later);
    EXPECT_EQ(last.later->first, 400u);
    EXPECT_EQ(last.later->second, last.replies.at(0));

    sim::FirmwareOptions restarted;
    restarted.declineAfter = 1;
    sim::SimFirmware decliner(restarted);
    decliner.handle(BuildStartRequest(1, 0, 940, false, "", ""));
    EXPECT_EQ(Only(decliner.handle(chunk(0))).type, 0);
    EXPECT_EQ(Only(decliner.handle(chunk(470))).type,
              static_cast<std::uint8_t>(UpdateReplyType::Declined));
}

}  // namespace
}  // namespace lanscope

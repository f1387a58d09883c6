#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "support/RecordingPrompt.h"
#include "update/PrepareUpdate.h"
#include "update/UpdateRun.h"

namespace lanscope {
namespace {

namespace fs = std::filesystem;

struct RecordingTransport : UpdateTransport {
    std::vector<std::vector<std::uint8_t>> sent;
    void sendRequest(std::span<const std::uint8_t> datagram) override {
        sent.emplace_back(datagram.begin(), datagram.end());
    }
    UpdateDatagram last() const { return *DecodeUpdateDatagram(sent.back()); }
};

struct ScriptedCredentials : CredentialsSource {
    std::vector<std::pair<std::string, std::string>> answers;  // empty pair user "": cancel
    int asked = 0;
    std::vector<bool> again;            // per question: asked after a refusal
    std::string why;                    // why none are given, when nobody can be asked
    std::function<void()> whileAsking;  // what happens while the question is up
    bool askCredentialsAgain(std::string& user, std::string& password) override {
        again.push_back(true);
        return ask(user, password);
    }
    bool askCredentials(std::string& user, std::string& password) override {
        again.push_back(false);
        return ask(user, password);
    }
    std::string whyNotGiven() const override { return why; }
    bool ask(std::string& user, std::string& password) {
        if (whileAsking) {
            whileAsking();
        }
        if (static_cast<std::size_t>(asked) >= answers.size()) {
            ++asked;
            return false;
        }
        std::tie(user, password) = answers[static_cast<std::size_t>(asked++)];
        return true;
    }
};

// An S-record file of `size` bytes at `base`, with an optional header.
std::string WriteImage(std::size_t size, std::uint32_t base, const std::string& header = {}) {
    static int counter = 0;
    const auto path =
        fs::temp_directory_path() / ("lanscope-run-" + std::to_string(std::random_device{}()) +
                                     "-" + std::to_string(counter++) + "_APP.s19");
    std::ofstream file(path, std::ios::binary);
    char line[600];
    if (!header.empty()) {
        file << "S0" << header << "\n";
    }
    for (std::size_t at = 0; at < size; at += 16) {
        const std::size_t n = std::min<std::size_t>(16, size - at);
        const std::uint32_t address = base + static_cast<std::uint32_t>(at);
        unsigned sum = static_cast<unsigned>(n + 5);
        int len =
            std::snprintf(line, sizeof line, "S3%02X%08X", static_cast<unsigned>(n + 5), address);
        for (int i = 0; i < 4; ++i) {
            sum += (address >> (8 * i)) & 0xFF;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned byte = static_cast<unsigned>((at + i) * 7 + 3) & 0xFF;
            sum += byte;
            len += std::snprintf(line + len, sizeof line - static_cast<std::size_t>(len), "%02X",
                                 byte);
        }
        std::snprintf(line + len, sizeof line - static_cast<std::size_t>(len), "%02X\n",
                      ~sum & 0xFF);
        file << line;
    }
    return path.string();
}

// The image such a file loads into, made in memory.
UpdateImage MakeImage(std::size_t size, std::uint32_t base, const std::string& platform = {}) {
    UpdateImage image;
    image.base = base;
    const std::uint64_t end = (std::uint64_t{base} + size + 3) / 4 * 4;
    image.length = static_cast<std::uint32_t>(end - base);
    image.block.assign(image.length + 1, 0);
    for (std::size_t i = 0; i < size; ++i) {
        image.block[i] = static_cast<std::uint8_t>((i * 7 + 3) & 0xFF);
    }
    image.checksum = ImageChecksum(image.bytes());
    image.platform = platform;
    return image;
}

struct RunFixture {
    test::RecordingPrompt prompt;
    ScriptedCredentials credentials;
    RecordingTransport transport;
    UpdateImage image;
    std::unique_ptr<UpdateRun> run;
    int changes = 0;
    std::uint32_t now = 0x12345678u;

    explicit RunFixture(UpdateImage loaded, bool restart = true) : image(std::move(loaded)) {
        run = std::make_unique<UpdateRun>(image, restart, prompt, credentials, "lanscope",
                                          [this] { return now; });
        run->changed = [this] { ++changes; };
    }
    void start() { run->beginTransfer(transport); }
    void reply(UpdateReplyType type, std::uint32_t address = 0, const std::string& platform = {},
               std::uint32_t transferId = 0x12345678u) {
        run->onReply(BuildUpdateReply(type, transferId, address, 0, platform));
    }
    // The module stays quiet long enough for the held finish to go out.
    void quiet() {
        now += UpdateRun::kFinishQuietMs;
        run->onWake();
    }
    void ticks(int count) {
        for (int i = 0; i < count; ++i) {
            run->onTick();
        }
    }
};

TEST(UpdateRun, NoAnswerSendsTheStartFiveTimesThenTimesOut) {
    RunFixture r(MakeImage(100, 0x1000));
    r.start();
    ASSERT_EQ(r.transport.sent.size(), 1u);
    std::vector<int> sentAt;
    for (int second = 1; second <= 100 && r.run->outcome() == UpdateOutcome::Running; ++second) {
        const auto before = r.transport.sent.size();
        r.run->onTick();
        if (r.transport.sent.size() > before) {
            sentAt.push_back(second);
        }
    }
    EXPECT_EQ(sentAt, (std::vector<int>{20, 40, 60, 80}));
    EXPECT_EQ(r.transport.sent.size(), 5u);
    for (const auto& datagram : r.transport.sent) {
        EXPECT_EQ(datagram.size(), 24u);
        EXPECT_EQ(datagram[5], 1);
    }
    EXPECT_EQ(r.run->outcome(), UpdateOutcome::Cancel);
    ASSERT_EQ(r.prompt.shown.size(), 1u);
    EXPECT_EQ(r.prompt.shown[0].text, "Programming Failed: Timeout");
}

TEST(UpdateRun, KeepAlivesKeepTheRunAliveWithoutEnd) {
    RunFixture r(MakeImage(100, 0x1000));
    r.start();
    for (int second = 0; second < 1000; ++second) {
        r.run->onTick();
        if (second % 15 == 0) {
            r.reply(UpdateReplyType::KeepAlive);
        }
    }
    EXPECT_EQ(r.run->outcome(), UpdateOutcome::Running);
    EXPECT_EQ(r.transport.sent.size(), 1u + 1000 / 20);
}

TEST(UpdateRun, AnotherRunsReplyNeitherAdvancesNorClearsTheResendCount) {
    RunFixture r(MakeImage(1000, 0x1000));
    r.start();
    r.ticks(20);
    ASSERT_EQ(r.run->resendCount(), 1);
    r.reply(UpdateReplyType::Ok, 0, {}, 0x1111);
    EXPECT_EQ(r.run->state(), UpdateState::Starting);
    EXPECT_EQ(r.run->resendCount(), 1);
    EXPECT_EQ(r.transport.sent.size(), 2u);
    // Too short to be a reply at all.
    r.run->onReply(std::vector<std::uint8_t>(19, 0));
    EXPECT_EQ(r.run->resendCount(), 1);
    r.reply(UpdateReplyType::KeepAlive);
    EXPECT_EQ(r.run->resendCount(), 0);
}

TEST(UpdateRun, ThousandBytesGoOutAs470_470_60AndFinishWithRestart) {
    RunFixture r(MakeImage(1000, 0x1000), true);
    r.start();
    const auto& image = r.image;
    r.reply(UpdateReplyType::Ok);  // 24 bytes: no platform check
    std::vector<std::size_t> chunks;
    std::vector<int> progress;
    while (r.run->state() == UpdateState::Transferring) {
        const auto request = r.transport.last();
        ASSERT_EQ(request.type, 2);
        chunks.push_back(request.value);
        EXPECT_EQ(request.payload.size(), request.value);
        EXPECT_TRUE(std::equal(request.payload.begin(), request.payload.end(),
                               image.block.begin() + (request.address - image.base)));
        progress.push_back(r.run->progress());
        r.reply(UpdateReplyType::Ok, request.address + request.value);
    }
    EXPECT_EQ(chunks, (std::vector<std::size_t>{470, 470, 60}));
    EXPECT_EQ(progress, (std::vector<int>{0, 47, 94}));
    EXPECT_EQ(r.run->progress(), 100);
    r.quiet();
    const auto finish = r.transport.last();
    EXPECT_EQ(finish.type, 4);
    EXPECT_EQ(finish.address, 0x1000u + 1000);
    EXPECT_EQ(finish.value, image.checksum);
    EXPECT_EQ(r.transport.sent.back().size(), 24u);
    r.reply(UpdateReplyType::Ok);
    EXPECT_EQ(r.run->outcome(), UpdateOutcome::Ok);
    EXPECT_TRUE(r.prompt.shown.empty());
}

// Every reply arrives twice, as on a network that duplicates datagrams.
TEST(UpdateRun, DuplicatedRepliesNeitherMultiplyRequestsNorPassForTheFinishVerdict) {
    RunFixture r(MakeImage(1000, 0x1000));
    r.start();
    const auto twice = [&](UpdateReplyType type, std::uint32_t address) {
        r.reply(type, address);
        r.reply(type, address);
    };
    twice(UpdateReplyType::Ok, 0);
    twice(UpdateReplyType::Ok, 0x1000 + 470);
    twice(UpdateReplyType::Ok, 0x1000 + 940);
    twice(UpdateReplyType::Ok, 0x1000 + 1000);
    EXPECT_EQ(r.transport.sent.size(), 4u);  // start and three chunks
    EXPECT_TRUE(r.run->holdingFinish());
    // Copies keep arriving: the finish waits for a quiet moment...
    for (int i = 0; i < 3; ++i) {
        r.now += 150;
        r.reply(UpdateReplyType::Ok, 0x1000 + 1000);
        r.run->onWake();
        r.run->onTick();
    }
    EXPECT_EQ(r.transport.sent.size(), 4u);
    EXPECT_EQ(r.run->outcome(), UpdateOutcome::Running);
    r.quiet();
    ASSERT_EQ(r.transport.sent.size(), 5u);
    EXPECT_EQ(r.transport.last().type, 4);
    // ...so the verdict that follows is the module's word on the finish.
    r.reply(UpdateReplyType::ChecksumFailed);
    EXPECT_EQ(r.run->outcome(), UpdateOutcome::Cancel);
    ASSERT_EQ(r.prompt.shown.size(), 1u);
    EXPECT_EQ(r.prompt.shown[0].text, "The LAN card Checksum Failed.");
}

TEST(UpdateRun, TheFinishWaitsTwoSecondsAtMostAndWithoutWakeUpsTheTickSendsIt) {
    RunFixture r(MakeImage(100, 0x1000));
    r.start();
    r.reply(UpdateReplyType::Ok);
    r.reply(UpdateReplyType::Ok, 0x1000 + 100);
    for (std::uint32_t at = 100; at < UpdateRun::kMaxFinishHoldMs; at += 100) {
        r.now += 100;
        r.reply(UpdateReplyType::Ok, 0x1000 + 100);
        r.run->onWake();
    }
    EXPECT_EQ(r.transport.sent.size(), 2u);
    r.now += 100;
    r.run->onTick();  // 2 s held, however busy the line
    EXPECT_EQ(r.transport.sent.size(), 3u);
    EXPECT_EQ(r.transport.last().type, 4);
}

TEST(UpdateRun, RepliesOutsideTheImageSendNothing) {
    RunFixture r(MakeImage(1000, 0x1000));
    r.start();
    r.reply(UpdateReplyType::Ok);
    const auto sent = r.transport.sent.size();
    r.reply(UpdateReplyType::Ok, 0x0FFF);             // a late copy of the start's OK
    r.reply(UpdateReplyType::Resend, 0x1000 + 1000);  // past the end
    r.reply(UpdateReplyType::Resend, 0x0F00);
    EXPECT_EQ(r.transport.sent.size(), sent);
    EXPECT_EQ(r.run->currentAddress(), 0x1000u);
}

// A message box keeps the event loop running: nothing that arrives while the
// run's last word is on screen may send anything or show it twice.
TEST(UpdateRun, NothingGoesOutWhileAFailureIsShown) {
    RunFixture r(MakeImage(1000, 0x1000, "LM42"));
    r.start();
    std::size_t sentBefore = 0;
    r.prompt.whileShown = [&] {
        sentBefore = r.transport.sent.size();
        r.prompt.whileShown = nullptr;
        r.ticks(100);
        r.reply(UpdateReplyType::Ok, 0x1000 + 470);
        r.reply(UpdateReplyType::NoMemory);
    };
    r.reply(UpdateReplyType::Ok, 0, "XX99");
    EXPECT_EQ(r.transport.sent.size(), sentBefore);
    EXPECT_EQ(r.run->outcome(), UpdateOutcome::Cancel);
    EXPECT_EQ(r.prompt.shown.size(), 1u);
}

TEST(UpdateRun, ALostReplyAfterTheCredentialsIsSentAgainAndTimesOut) {
    RunFixture r(MakeImage(100, 0x1000));
    r.credentials.answers = {{"admin", "pw"}};
    r.credentials.whileAsking = [&] { r.ticks(100); };  // the user takes their time
    r.start();
    r.reply(UpdateReplyType::NeedCredentials);
    ASSERT_EQ(r.transport.sent.size(), 2u);  // the start again, with credentials
    r.ticks(100);
    EXPECT_EQ(r.transport.sent.size(), 6u);
    EXPECT_EQ(r.run->outcome(), UpdateOutcome::Cancel);
    ASSERT_EQ(r.prompt.shown.size(), 1u);
    EXPECT_EQ(r.prompt.shown[0].text, "Programming Failed: Timeout");
}

TEST(UpdateRun, AnImageWithoutBytesNeverDividesByItsLength) {
    // Data records that carry an address but no data byte.
    RunFixture r(MakeImage(0, 0x1000));
    r.start();
    EXPECT_EQ(r.run->image().length, 0u);
    r.reply(UpdateReplyType::Ok);
    r.reply(UpdateReplyType::Ok, 0x0FF0);  // an address before the image
    EXPECT_EQ(r.run->state(), UpdateState::Transferring);
    r.reply(UpdateReplyType::Ok, 0x1000);
    EXPECT_EQ(r.run->state(), UpdateState::FinishingWithRestart);
}

TEST(UpdateRun, ProgressOfLargeImagesIsTheShareAcknowledged) {
    // Past 41 MiB the bytes acknowledged times 100 no longer fit 32 bits.
    constexpr std::uint32_t kSize = 100u << 20;
    UpdateImage image;
    image.base = 0x1000;
    image.length = kSize;
    image.block.assign(kSize + 1, 0);
    RunFixture r(std::move(image));
    r.start();
    r.reply(UpdateReplyType::Ok);
    for (const int percent : {1, 25, 50, 99}) {
        r.reply(UpdateReplyType::Ok,
                0x1000 + static_cast<std::uint32_t>(std::uint64_t{kSize} * percent / 100));
        EXPECT_EQ(r.run->progress(), percent);
    }
}

TEST(UpdateRun, WithoutRestartTheFinishIsType3) {
    RunFixture r(MakeImage(100, 0x1000), false);
    r.start();
    r.reply(UpdateReplyType::Ok);
    r.reply(UpdateReplyType::Ok, 0x1000 + 100);
    r.quiet();
    const auto finish = r.transport.last();
    EXPECT_EQ(finish.type, 3);
    EXPECT_EQ(finish.address, 0x1000u + 100);
}

TEST(UpdateRun, PartialAcknowledgementsAndResendRequestsMoveTheCurrentAddress) {
    RunFixture r(MakeImage(2000, 0x1000));
    r.start();
    r.reply(UpdateReplyType::Ok);
    r.reply(UpdateReplyType::Ok, 0x1000 + 100);  // only 100 of 470 taken
    EXPECT_EQ(r.transport.last().address, 0x1000u + 100);
    EXPECT_EQ(r.transport.last().value, 470u);
    r.reply(UpdateReplyType::Resend, 0x1000 + 40);  // back to an earlier address
    EXPECT_EQ(r.transport.last().address, 0x1000u + 40);
    r.now += 1000;
    r.reply(UpdateReplyType::NeedCredentials);  // anything else: the same chunk again
    EXPECT_EQ(r.transport.last().address, 0x1000u + 40);
    EXPECT_EQ(r.transport.sent.size(), 5u);
}

TEST(UpdateRun, PlatformNamesMustMatchExactly) {
    for (const auto& [module, proceeds] :
         {std::pair{std::string("LM42"), true}, std::pair{std::string("lm42"), false}}) {
        RunFixture r(MakeImage(100, 0x1000, "LM42"));
        r.start();
        r.reply(UpdateReplyType::Ok, 0, module);
        if (proceeds) {
            EXPECT_EQ(r.run->state(), UpdateState::Transferring) << module;
            EXPECT_TRUE(r.prompt.shown.empty());
        } else {
            EXPECT_EQ(r.run->outcome(), UpdateOutcome::Cancel) << module;
            ASSERT_EQ(r.prompt.shown.size(), 1u);
            EXPECT_EQ(r.prompt.shown[0].text,
                      "File platform = [LM42] : Device platform = [lm42]\n\nPlatforms do not "
                      "Match - Download aborted");
            EXPECT_EQ(r.transport.sent.size(), 1u);  // nothing after the start
        }
    }
    // A file without a header skips the check.
    RunFixture r(MakeImage(100, 0x1000));
    r.start();
    r.reply(UpdateReplyType::Ok, 0, "anything");
    EXPECT_EQ(r.run->state(), UpdateState::Transferring);
}

TEST(UpdateRun, CredentialsAreAskedOnEveryRequestAndSentWithTheStart) {
    RunFixture r(MakeImage(100, 0x1000));
    r.credentials.answers = {{"admin", "wrong"}, {"admin", "secret"}};
    r.start();
    r.reply(UpdateReplyType::NeedCredentials);
    EXPECT_EQ(r.run->state(), UpdateState::AwaitingCredentials);
    ASSERT_EQ(r.transport.sent.back().size(), 26u + 5 + 5);
    EXPECT_EQ(std::string(r.transport.sent.back().begin() + 20, r.transport.sent.back().end()),
              std::string("admin\0wrong\0\0\0\0\0", 16));
    r.reply(UpdateReplyType::NeedCredentials);
    EXPECT_EQ(r.credentials.asked, 2);
    // The second question knows that the first answer was refused.
    EXPECT_EQ(r.credentials.again, (std::vector<bool>{false, true}));
    EXPECT_EQ(r.transport.sent.back().size(), 26u + 5 + 6);
    r.reply(UpdateReplyType::Ok);
    EXPECT_EQ(r.run->state(), UpdateState::Transferring);
    // The user cancels the third question: the run ends quietly.
    RunFixture c(MakeImage(100, 0x1000));
    c.start();
    c.reply(UpdateReplyType::NeedCredentials);
    EXPECT_EQ(c.run->outcome(), UpdateOutcome::Cancel);
    EXPECT_TRUE(c.prompt.shown.empty());
}

struct VerdictCase {
    UpdateReplyType type;
    const char* message;  // null: no message
};

class UpdateVerdicts : public testing::TestWithParam<VerdictCase> {};

TEST_P(UpdateVerdicts, EndTheRunWithCancelAndTheirMessage) {
    RunFixture r(MakeImage(100, 0x1000));
    r.start();
    r.reply(GetParam().type);
    EXPECT_EQ(r.run->outcome(), UpdateOutcome::Cancel);
    EXPECT_FALSE(r.run->timerRunning());
    if (GetParam().message == nullptr) {
        EXPECT_TRUE(r.prompt.shown.empty());
    } else {
        ASSERT_EQ(r.prompt.shown.size(), 1u);
        EXPECT_EQ(r.prompt.shown[0].text, GetParam().message);
        EXPECT_EQ(r.prompt.shown[0].caption, "lanscope");
    }
    EXPECT_EQ(r.transport.sent.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    StartAnswers, UpdateVerdicts,
    testing::Values(VerdictCase{UpdateReplyType::Declined, nullptr},
                    VerdictCase{UpdateReplyType::NoMemory,
                                "The LAN card has insufficient RAM to complete this operation"},
                    VerdictCase{UpdateReplyType::ShutdownRefused,
                                "The LAN card refused to shutdown."}));

TEST(UpdateRun, ChecksumFailedAfterTheFinishFailsTheRun) {
    RunFixture r(MakeImage(100, 0x1000));
    r.start();
    r.reply(UpdateReplyType::ChecksumFailed);  // ignored before the finish
    EXPECT_EQ(r.run->outcome(), UpdateOutcome::Running);
    r.reply(UpdateReplyType::Ok);
    r.reply(UpdateReplyType::Ok, 0x1000 + 100);
    r.quiet();
    r.reply(UpdateReplyType::ChecksumFailed);
    EXPECT_EQ(r.run->outcome(), UpdateOutcome::Cancel);
    ASSERT_EQ(r.prompt.shown.size(), 1u);
    EXPECT_EQ(r.prompt.shown[0].text, "The LAN card Checksum Failed.");
}

TEST(UpdateRun, CancelSendsNothingMore) {
    RunFixture r(MakeImage(5000, 0x1000));
    r.start();
    r.reply(UpdateReplyType::Ok);
    r.reply(UpdateReplyType::Ok, 0x1000 + 470);
    const auto sent = r.transport.sent.size();
    r.run->cancel();
    r.reply(UpdateReplyType::Ok, 0x1000 + 940);
    r.ticks(100);
    EXPECT_EQ(r.transport.sent.size(), sent);
    EXPECT_EQ(r.run->outcome(), UpdateOutcome::Cancel);
    EXPECT_TRUE(r.prompt.shown.empty());
}

// An acknowledgement of the last chunk that comes after the finish request:
// the answer to a resent copy (a slow flash write), or one the module repeats
// on its own. Modules answer the finish with an OK naming no address, or the
// end address; either way only the module's verdict on the finish decides.
TEST(UpdateRun, AnAcknowledgementAfterTheFinishIsNeverTakenForTheVerdict) {
    enum class Late { CopyOfResentChunk, RepeatedByTheModule };
    struct Case {
        Late late;
        bool finishOkWithEnd;
        UpdateReplyType verdict;
    };
    std::vector<Case> cases;
    for (const Late late : {Late::CopyOfResentChunk, Late::RepeatedByTheModule}) {
        for (const bool withEnd : {false, true}) {
            for (const auto verdict : {UpdateReplyType::ChecksumFailed, UpdateReplyType::Ok}) {
                cases.push_back({late, withEnd, verdict});
            }
        }
    }
    constexpr std::uint32_t kEnd = 0x1000 + 1000;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << (c.late == Late::CopyOfResentChunk ? "resent copy" : "repeat")
                     << (c.finishOkWithEnd ? ", finish OK names the end" : ", plain finish OK")
                     << ", verdict " << static_cast<int>(c.verdict));
        RunFixture r(MakeImage(1000, 0x1000));
        r.start();
        r.reply(UpdateReplyType::Ok);
        r.reply(UpdateReplyType::Ok, 0x1000 + 470);
        r.reply(UpdateReplyType::Ok, 0x1000 + 940);
        if (c.late == Late::CopyOfResentChunk) {
            r.ticks(UpdateRun::kTicksPerResend);  // the last chunk's answer is slow
            ASSERT_EQ(r.transport.last().address, 0x1000u + 940);
        }
        r.reply(UpdateReplyType::Ok, kEnd);
        r.quiet();
        ASSERT_EQ(r.transport.last().type, 4);  // the finish is out
        r.reply(UpdateReplyType::Ok, kEnd);     // the late acknowledgement
        EXPECT_EQ(r.run->outcome(), UpdateOutcome::Running);
        const bool ok = c.verdict == UpdateReplyType::Ok;
        r.reply(c.verdict, ok && c.finishOkWithEnd ? kEnd : 0);
        r.now += UpdateRun::kVerdictSettleMs;
        r.run->onWake();
        EXPECT_EQ(r.run->outcome(), ok ? UpdateOutcome::Ok : UpdateOutcome::Cancel);
        EXPECT_EQ(r.run->result().reason, ok ? UpdateEndReason::Ok : UpdateEndReason::Failed);
        if (!ok) {
            ASSERT_EQ(r.prompt.shown.size(), 1u);
            EXPECT_EQ(r.prompt.shown[0].text, "The LAN card Checksum Failed.");
        }
    }
}

TEST(UpdateRun, AnOkNamingAnAddressInsideTheImageIsALateDataAcknowledgement) {
    RunFixture r(MakeImage(1000, 0x1000));
    r.start();
    r.reply(UpdateReplyType::Ok);
    r.reply(UpdateReplyType::Ok, 0x1000 + 470);
    r.reply(UpdateReplyType::Ok, 0x1000 + 1000);
    r.quiet();
    r.reply(UpdateReplyType::Ok, 0x1000 + 470);
    r.now += 10 * UpdateRun::kVerdictSettleMs;
    r.run->onWake();
    EXPECT_EQ(r.run->outcome(), UpdateOutcome::Running);
    r.reply(UpdateReplyType::Ok);
    EXPECT_EQ(r.run->outcome(), UpdateOutcome::Ok);
}

TEST(UpdateRun, AModuleThatDeclinesInTheMiddleEndsTheRunWithOurMessage) {
    struct Case {
        UpdateReplyType type;
        const char* message;
    };
    const Case cases[] = {
        {UpdateReplyType::Declined,
         "The module declined the rest of the update after 470 of 1000 bytes."},
        {UpdateReplyType::NoMemory,
         "The module ran out of memory for the update after 470 of 1000 bytes."},
        {UpdateReplyType::ShutdownRefused,
         "The module refused the rest of the update after 470 of 1000 bytes."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        RunFixture r(MakeImage(1000, 0x1000));
        r.start();
        r.reply(UpdateReplyType::Ok);
        r.reply(UpdateReplyType::Ok, 0x1000 + 470);
        const auto sent = r.transport.sent.size();
        r.reply(c.type);
        EXPECT_EQ(r.transport.sent.size(), sent);
        EXPECT_EQ(r.run->outcome(), UpdateOutcome::Cancel);
        EXPECT_EQ(r.run->result().reason, UpdateEndReason::Failed);
        EXPECT_EQ(r.run->result().message, c.message);
        ASSERT_EQ(r.prompt.shown.size(), 1u);
        EXPECT_EQ(r.prompt.shown[0].text, c.message);
    }
}

// A module that answers every data request at once, but never with progress:
// the run sends a few requests a second at most and still reaches its
// time-out.
TEST(UpdateRun, RepliesWithoutProgressArePacedAndTheTimeOutStillEndsTheRun) {
    static constexpr std::uint32_t kBase = 0x1000;
    using Answer = std::function<std::pair<UpdateReplyType, std::uint32_t>(const UpdateDatagram&)>;
    const std::pair<const char*, Answer> cases[] = {
        {"no acknowledgement",
         [](const UpdateDatagram&) {
             return std::pair{UpdateReplyType::NeedCredentials, 0u};
         }},
        {"a resend from where it is",
         [](const UpdateDatagram& d) {
             return std::pair{UpdateReplyType::Resend, d.address};
         }},
        {"back and forth",
         [](const UpdateDatagram& d) {
             return d.address == kBase + 470 ? std::pair{UpdateReplyType::Resend, kBase}
                                             : std::pair{UpdateReplyType::Ok, kBase + 470};
         }},
    };
    for (const auto& [what, answer] : cases) {
        SCOPED_TRACE(what);
        RunFixture r(MakeImage(5000, kBase));
        r.run->wakeAfter = [](std::uint32_t) {};  // woken every 10 ms below
        r.start();
        r.reply(UpdateReplyType::Ok);
        r.reply(UpdateReplyType::Ok, kBase + 470);  // some progress first
        const std::size_t before = r.transport.sent.size();
        std::size_t answered = before;
        constexpr std::uint32_t kStepMs = 10;
        std::uint32_t elapsed = 0;
        while (r.run->outcome() == UpdateOutcome::Running && elapsed < 1000 * 1000) {
            // Bounded, so that a run that floods fails here rather than
            // answering itself for ever.
            while (answered < r.transport.sent.size() && answered < 100000) {
                const auto request = *DecodeUpdateDatagram(r.transport.sent[answered++]);
                const auto [type, address] = answer(request);
                r.reply(type, address);
            }
            r.now += kStepMs;
            elapsed += kStepMs;
            r.run->onWake();
            if (elapsed % 1000 == 0) {
                r.run->onTick();
            }
        }
        EXPECT_EQ(r.run->outcome(), UpdateOutcome::Cancel);
        ASSERT_FALSE(r.prompt.shown.empty());
        EXPECT_EQ(r.prompt.shown.back().text, "Programming Failed: Timeout");
        const std::size_t seconds = elapsed / 1000 + 1;
        EXPECT_LE(r.transport.sent.size() - before,
                  seconds * UpdateRun::kMaxRepeatsPerSecond + UpdateRun::kRepeatsAtOnce + 5)
            << "in " << seconds << " s";
    }
}

TEST(UpdateRun, TheResultSaysWhyTheRunEnded) {
    struct Case {
        const char* what;
        std::function<void(RunFixture&)> act;
        UpdateEndReason reason;
        std::string message;
    };
    const auto toFinish = [](RunFixture& r) {
        r.reply(UpdateReplyType::Ok);
        r.reply(UpdateReplyType::Ok, 0x1000 + 100);
    };
    const Case cases[] = {
        {"cancelled while transferring",
         [](RunFixture& r) {
             r.reply(UpdateReplyType::Ok);
             r.run->cancel();
         },
         UpdateEndReason::Cancelled, ""},
        {"cancelled while the finish is held",
         [&](RunFixture& r) {
             toFinish(r);
             r.run->cancel();
         },
         UpdateEndReason::Cancelled, ""},
        {"cancelled after the finish request",
         [&](RunFixture& r) {
             toFinish(r);
             r.quiet();
             r.run->cancel();
         },
         UpdateEndReason::UnknownOutcome, "outcome unknown (cancelled after the finish request)"},
        {"declined at the start", [](RunFixture& r) { r.reply(UpdateReplyType::Declined); },
         UpdateEndReason::Declined, "The module declined the update."},
        {"credentials not given", [](RunFixture& r) { r.reply(UpdateReplyType::NeedCredentials); },
         UpdateEndReason::Cancelled, ""},
        {"nobody to ask for credentials",
         [](RunFixture& r) {
             r.credentials.why = "no terminal";
             r.reply(UpdateReplyType::NeedCredentials);
         },
         UpdateEndReason::Failed, "no terminal"},
        {"checksum failed",
         [&](RunFixture& r) {
             toFinish(r);
             r.quiet();
             r.reply(UpdateReplyType::ChecksumFailed);
         },
         UpdateEndReason::Failed, "The LAN card Checksum Failed."},
        {"confirmed",
         [&](RunFixture& r) {
             toFinish(r);
             r.quiet();
             r.reply(UpdateReplyType::Ok);
         },
         UpdateEndReason::Ok, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunFixture r(MakeImage(100, 0x1000));
        r.start();
        c.act(r);
        EXPECT_EQ(r.run->result().reason, c.reason);
        EXPECT_EQ(r.run->result().message, c.message);
        EXPECT_EQ(r.run->outcome(),
                  c.reason == UpdateEndReason::Ok ? UpdateOutcome::Ok : UpdateOutcome::Cancel);
    }
}

TEST(PrepareUpdate, SaveToFileWritesTheImageFileAndAFailedWriteIsAFailure) {
    const std::string file = WriteImage(300, 0x2000);
    const std::string out = file + ".bin";
    UpdateRunSettings settings;
    settings.imageFile = file;
    settings.saveToFile = true;
    settings.saveFile = out;
    settings.description = "Pump (PC42) 1.05";
    const auto saved = PrepareUpdate(settings);
    ASSERT_TRUE(saved.ok());
    EXPECT_TRUE(saved->saved);
    EXPECT_EQ(fs::file_size(out), 400u);
    fs::remove(out);

    settings.saveFile = "/nonexistent-folder/x.bin";
    const auto failing = PrepareUpdate(settings);
    ASSERT_FALSE(failing.ok());
    ASSERT_EQ(failing.error().messages.size(), 1u);
    EXPECT_NE(failing.error().messages[0].find("Cannot write the image file"), std::string::npos);
    fs::remove(file);
}

TEST(PrepareUpdate, LoadsTheFileThroughTheNativeNameAndAFileThatDoesNotLoadFails) {
    UpdateRunSettings settings;
    settings.imageFile = "/nonexistent/x_APP.s19";
    const auto missing = PrepareUpdate(settings);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().messages, std::vector<std::string>{"Failed to open file"});

    const std::string file = WriteImage(100, 0x1000, "LM42");
    settings.imageFile = "as typed";
    const auto loaded = PrepareUpdate(
        settings, [&](const std::string& name) { return name == "as typed" ? file : name; });
    ASSERT_TRUE(loaded.ok());
    EXPECT_FALSE(loaded->saved);
    EXPECT_EQ(loaded->image.bytes().size(), 100u);
    EXPECT_EQ(loaded->image.platform, "LM42");
    fs::remove(file);
}

TEST(UpdateProtocol, RequestsHaveTheirExactLengthsAndFields) {
    EXPECT_EQ(BuildStartRequest(1, 2, 3, false, "", "").size(), 24u);
    EXPECT_EQ(BuildStartRequest(1, 2, 3, true, "", "").size(), 26u);
    const auto start = BuildStartRequest(0xA1B2C3D4, 0x08000000, 0x1234, true, "u", "pw");
    EXPECT_EQ(std::string(start.begin(), start.begin() + 6), "QARNA\x01");
    EXPECT_EQ(start[8], 0xA1);
    EXPECT_EQ(start[11], 0xD4);
    EXPECT_EQ(start[12], 0x08);
    EXPECT_EQ(start[18], 0x12);
    EXPECT_EQ(std::string(start.begin() + 20, start.end()), std::string("u\0pw\0\0\0\0\0", 9));
    std::vector<std::uint8_t> bytes(1000, 7);
    EXPECT_EQ(BuildDataRequest(1, 0, bytes).size(), 490u);
    EXPECT_EQ(BuildFinishRequest(1, 2, 3, true)[5], 4);
    EXPECT_EQ(BuildFinishRequest(1, 2, 3, false)[5], 3);
}

TEST(UpdateProtocol, PlatformNameIsReadWithinTheDatagramAndAt80BytesMost) {
    auto reply = BuildUpdateReply(UpdateReplyType::Ok, 1);
    EXPECT_FALSE(ReplyPlatformName(reply));
    reply.push_back('x');  // unterminated
    EXPECT_EQ(ReplyPlatformName(reply), "x");
    reply = BuildUpdateReply(UpdateReplyType::Ok, 1, 0, 0, std::string(200, 'p'));
    EXPECT_EQ(ReplyPlatformName(reply), std::string(80, 'p'));
}

}  // namespace
}  // namespace lanscope

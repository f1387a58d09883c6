// Whatever arrives on the update port during a run: datagrams of any length
// and content, half of them carrying the run's own transfer id, fed to a run
// in progress. Nothing it sends may exceed the protocol's largest request.
#include <cstdint>
#include <string>
#include <vector>

#include "update/UpdateRun.h"

namespace {

struct QuietPrompt : lanscope::Prompt {
    void message(const std::string&, const std::string&, lanscope::PromptIcon) override {}
    bool askYesNo(const std::string&, const std::string&, bool answer) override { return answer; }
};
struct Credentials : lanscope::CredentialsSource {
    bool askCredentials(std::string& user, std::string& password) override {
        user = "u";
        password = "p";
        return true;
    }
};
struct Transport : lanscope::UpdateTransport {
    void sendRequest(std::span<const std::uint8_t> datagram) override {
        if (datagram.size() < 20 || datagram.size() > 490) {
            __builtin_trap();
        }
    }
};

lanscope::UpdateImage g_image;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::string text =
        "S00600004C4D34A4\nS1131000000102030405060708090A0B0C0D0E0F64\n"
        "S1131010101112131415161718191A1B1C1D1E1F54\n";
    lanscope::ByteBuffer block(text.begin(), text.end());
    block.push_back(0);
    g_image = lanscope::DecodeSRecordImage(std::move(block)).value();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QuietPrompt prompt;
    Credentials credentials;
    Transport transport;
    std::uint32_t now = 0xABCD1234u;
    lanscope::UpdateRun run(g_image, true, prompt, credentials, "fuzz", [&now] { return now; });
    run.beginTransfer(transport);
    // Each datagram: a length byte, then that many bytes.
    std::size_t at = 0;
    while (at < size) {
        const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
        std::vector<std::uint8_t> datagram(data + at + 1, data + at + 1 + length);
        at += 1 + length;
        if (datagram.size() >= 12 && (datagram[0] & 1) != 0) {
            datagram[8] = 0xAB;
            datagram[9] = 0xCD;
            datagram[10] = 0x12;
            datagram[11] = 0x34;
        }
        run.onReply(datagram);
        if ((length & 3) == 0) {
            now += 100;  // time passes, so a held finish goes out
            run.onTick();
        } else if ((length & 3) == 1) {
            now += 100;
            run.onWake();
        }
    }
    return 0;
}

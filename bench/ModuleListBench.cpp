// How long one arriving reply takes to reach the module list: a new module's
// reply (a line inserted in sorted order with its record) and a repeated one
// (a prefix search and a counter), in lists of 1,000 and 10,000 lines.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "discovery/ModuleList.h"

namespace {

using namespace lanscope;

std::vector<std::uint8_t> Reply(std::uint32_t id) {
    std::vector<std::uint8_t> datagram(153, 0);
    std::memcpy(datagram.data(), "QOLTA", 5);
    datagram[8] = 148;
    const Ipv4 address =
        MakeIpv4(10, static_cast<std::uint8_t>(id >> 16), static_cast<std::uint8_t>(id >> 8),
                 static_cast<std::uint8_t>(id));
    for (int i = 0; i < 4; ++i) {
        datagram[9 + i] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
    }
    // Spread the hardware addresses so new lines land all over the list.
    const std::uint32_t spread = id * 2654435761u;
    const std::uint8_t mac[6] = {0x02,
                                 0x4C,
                                 static_cast<std::uint8_t>(spread >> 24),
                                 static_cast<std::uint8_t>(spread >> 16),
                                 static_cast<std::uint8_t>(spread >> 8),
                                 static_cast<std::uint8_t>(spread)};
    std::memcpy(datagram.data() + 5 + 107, mac, 6);
    const char names[] = "LAN Module\0Simulated module";
    datagram.insert(datagram.end(), names, names + sizeof names);
    return datagram;
}

Ipv4 Sender(const std::vector<std::uint8_t>& reply) {
    return Ipv4FromBytes(reply.data() + 9);
}

void Fill(ModuleList& list, std::uint32_t lines) {
    for (std::uint32_t id = 0; id < lines; ++id) {
        const auto reply = Reply(id);
        AddReply(list, reply, Sender(reply));
    }
}

void NewReply(benchmark::State& state) {
    const auto lines = static_cast<std::uint32_t>(state.range(0));
    ModuleList list;
    Fill(list, lines);
    std::uint32_t id = lines;
    for (auto _ : state) {
        const auto reply = Reply(id++);
        const auto start = std::chrono::steady_clock::now();
        const auto outcome = AddReply(list, reply, Sender(reply));
        const auto stop = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(outcome);
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
        // Keep the list at its size for the next reply.
        list.remove(*list.findPrefix(FormatMacBracketed(
            MacAddress{reply[112], reply[113], reply[114], reply[115], reply[116], reply[117]})));
    }
}

void RepeatedReply(benchmark::State& state) {
    const auto lines = static_cast<std::uint32_t>(state.range(0));
    ModuleList list;
    Fill(list, lines);
    std::vector<std::vector<std::uint8_t>> replies;
    for (std::uint32_t id = 0; id < lines; id += lines / 64) {
        replies.push_back(Reply(id));
    }
    std::size_t next = 0;
    for (auto _ : state) {
        const auto& reply = replies[next++ % replies.size()];
        benchmark::DoNotOptimize(AddReply(list, reply, Sender(reply)));
    }
}

BENCHMARK(NewReply)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(RepeatedReply)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// How long one arriving reply takes to reach the module list: a new module's
// reply (a line inserted in sorted order with its record) and a repeated one
// (a prefix search and a counter), in lists of 1,000 to 65,534 lines; and a
// whole /16 listed from empty, its hardware addresses in order and shuffled.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

#include "discovery/ModuleList.h"

namespace {

using namespace lanscope;

std::vector<std::uint8_t> Reply(std::uint32_t id, bool spread = true) {
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
    const std::uint32_t low = spread ? id * 2654435761u : id;
    const std::uint8_t mac[6] = {0x02,
                                 0x4C,
                                 static_cast<std::uint8_t>(low >> 24),
                                 static_cast<std::uint8_t>(low >> 16),
                                 static_cast<std::uint8_t>(low >> 8),
                                 static_cast<std::uint8_t>(low)};
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

// Every reply of a segment reaching an empty list: arg 1 = 0 in hardware
// address order, 1 shuffled (as replies arrive from a real segment).
void WholeSegment(benchmark::State& state) {
    const auto lines = static_cast<std::uint32_t>(state.range(0));
    std::vector<std::uint32_t> ids(lines);
    std::iota(ids.begin(), ids.end(), 1U);
    if (state.range(1) != 0) {
        std::shuffle(ids.begin(), ids.end(), std::mt19937(20034));
    }
    std::vector<std::vector<std::uint8_t>> replies;
    replies.reserve(lines);
    for (const std::uint32_t id : ids) {
        replies.push_back(Reply(id, false));
    }
    for (auto _ : state) {
        ModuleList list;
        for (const auto& reply : replies) {
            AddReply(list, reply, Sender(reply));
        }
        benchmark::DoNotOptimize(list.size());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * lines);
}

BENCHMARK(NewReply)->Arg(1000)->Arg(10000)->Arg(65534)->UseManualTime()->Unit(
    benchmark::kMicrosecond);
BENCHMARK(RepeatedReply)->Arg(1000)->Arg(10000)->Arg(65534)->Unit(benchmark::kMicrosecond);
BENCHMARK(WholeSegment)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({65534, 0})
    ->Args({65534, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

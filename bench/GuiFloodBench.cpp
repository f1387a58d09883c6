// 10,000 distinct replies arriving on loopback at an open module list window
// and at an open module picker (offscreen): how long until all are listed, and
// how long a click waits for the window meanwhile. Run it in a private network
// namespace (bench/run does): the windows broadcast a discovery request when
// they open.
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

#include "app/LanscopeDlg.h"
#include "config/IdFindDlg.h"
#include "platform/HostInterfaces.h"
#include "platform/QtEventLoop.h"
#include "settings/IniSettingsBackend.h"

using namespace lanscope;

namespace {

struct NullPrompt : Prompt {
    void message(const std::string&, const std::string&, PromptIcon) override {}
    bool askYesNo(const std::string&, const std::string&, bool answer) override { return answer; }
};
struct NullOpener : UrlOpener {
    bool open(const std::string&) override { return true; }
};

std::vector<std::uint8_t> Reply(std::uint32_t id) {
    std::vector<std::uint8_t> datagram(153, 0);
    std::memcpy(datagram.data(), "QOLTA", 5);
    datagram[8] = 148;
    const std::uint8_t address[4] = {127, 0, 0, 1};
    std::memcpy(datagram.data() + 9, address, 4);
    const std::uint8_t mac[6] = {0x02,
                                 0x4C,
                                 0,
                                 static_cast<std::uint8_t>(id >> 16),
                                 static_cast<std::uint8_t>(id >> 8),
                                 static_cast<std::uint8_t>(id)};
    std::memcpy(datagram.data() + 5 + 107, mac, 6);
    const char names[] = "LAN Module\0Simulated module";
    datagram.insert(datagram.end(), names, names + sizeof names);
    return datagram;
}

struct Figures {
    double listedMs = 0;
    double cpuMs = 0;
    double clickMs = 0;
    double longestStallMs = 0;  // the longest the event loop did not answer
    std::size_t listed = 0;
};

// Sends `replies` distinct replies to `port` while the window runs, clicks its
// list meanwhile, and measures until every reply is listed.
Figures Flood(QWidget& window, const ModuleList& modules, std::uint16_t port, int replies) {
    auto* list = window.findChild<QTreeView*>(QStringLiteral("list"));
    // Hardware addresses in no order, as a segment's modules answer.
    std::vector<std::uint32_t> ids(static_cast<std::size_t>(replies));
    std::iota(ids.begin(), ids.end(), 1U);
    std::shuffle(ids.begin(), ids.end(), std::mt19937(20034));
    QElapsedTimer clock;
    clock.start();
    const std::clock_t cpuStart = std::clock();
    double senderCpuMs = 0;
    std::thread sender([&] {
        auto socket = std::move(UdpSocket::open().value());
        (void)socket.bind(kLoopback, 0);
        for (int i = 0; i < replies; ++i) {
            (void)socket.sendTo(Reply(ids[static_cast<std::size_t>(i)]), kLoopback, port);
            if (i % 20 == 19) {
                // Twenty at a time, as fast as a busy segment delivers them,
                // without overrunning the socket's receive buffer.
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        }
        timespec used{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
        senderCpuMs = used.tv_sec * 1e3 + used.tv_nsec / 1e6;
    });
    // A person clicks a line while the replies pour in.
    Figures figures;
    QTimer::singleShot(20, [&] {
        QElapsedTimer click;
        click.start();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(0, 0)).center());
        figures.clickMs = click.nsecsElapsed() / 1e6;
    });
    // A timer due every 10 ms fires late by as long as the loop was held:
    // the longest gap is the longest a frame would have waited.
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        figures.longestStallMs = std::max(figures.longestStallMs, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    ticks.start(10);
    // Sleeping between events as the window's own loop does: a loop that
    // only looked would count its looking as the window's CPU time.
    while (modules.size() < static_cast<std::size_t>(replies) && clock.elapsed() < 20000) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    ticks.stop();
    figures.listedMs = clock.nsecsElapsed() / 1e6;
    figures.listed = modules.size();
    sender.join();
    // The program's CPU time: the process's, less the sender's.
    figures.cpuMs =
        1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC - senderCpuMs;
    return figures;
}

// False when a run lost a reply: every reply must reach the list.
bool Report(const char* window, std::vector<Figures> runs, int replies) {
    std::sort(runs.begin(), runs.end(),
              [](const Figures& a, const Figures& b) { return a.listedMs < b.listedMs; });
    const Figures& median = runs[runs.size() / 2];
    double clickMax = 0;
    double stallMax = 0;
    bool complete = true;
    std::vector<double> cpu;
    for (const Figures& run : runs) {
        clickMax = std::max(clickMax, run.clickMs);
        stallMax = std::max(stallMax, run.longestStallMs);
        cpu.push_back(run.cpuMs);
        if (run.listed != static_cast<std::size_t>(replies)) {
            std::fprintf(stderr, "GuiFlood %s: FAILED: a run listed only %zu of %d replies\n",
                         window, run.listed, replies);
            complete = false;
        }
    }
    std::sort(cpu.begin(), cpu.end());
    std::printf(
        "GuiFlood %s: %d replies listed in %.1f ms (median of %zu; min %.1f, max %.1f); "
        "CPU %.1f ms (min %.1f, max %.1f); a click during the flood %.2f ms (max %.2f); "
        "the event loop held at most %.1f ms (a 10 ms timer's longest gap)\n",
        window, replies, median.listedMs, runs.size(), runs.front().listedMs, runs.back().listedMs,
        cpu[cpu.size() / 2], cpu.front(), cpu.back(), median.clickMs, clickMax, stallMax);
    return complete;
}

}  // namespace

int main(int argc, char** argv) {
    // Only in a private network namespace (loopback alone), never on the
    // machine's own network.
    for (const HostInterface& host : AllIpv4Interfaces()) {
        if (!host.loopback) {
            std::fprintf(stderr,
                         "bench_gui_flood: %s is a network interface here; run it in a private "
                         "network namespace through bench/run\n",
                         host.name.c_str());
            return 2;
        }
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LANSCOPE_SETTINGS", "/dev/null/none.ini");
    QApplication app(argc, argv);
    // bench_gui_flood [REPLIES] (default 10000; a full /16 is 65534)
    const int kReplies = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 65534) : 10000;
    constexpr int kRuns = 5;

    IniSettingsBackend backend;
    SettingsStore settings(backend);
    NullPrompt prompt;
    NullOpener opener;
    AppServices services{prompt, settings, opener, QtEventLoop::instance(),
                         [] { return std::vector<Ipv4>{}; }};
    services.endpoints = FerroxEndpoints{kLoopback, 0, kLoopback, 9};

    std::vector<Figures> mainWindow;
    std::vector<Figures> picker;
    for (int run = 0; run < kRuns; ++run) {
        {
            CLanscopeDlg window(services);
            window.show();
            QApplication::processEvents();
            mainWindow.push_back(
                Flood(window, window.moduleList(), window.socket()->localPort(), kReplies));
            window.reject();
        }
        {
            CIdFindDlg window(prompt, services.loop, services.endpoints);
            window.show();
            QApplication::processEvents();
            picker.push_back(Flood(window, window.discovery().list(),
                                   window.discovery().socket()->localPort(), kReplies));
            window.reject();
        }
    }
    const bool listedAll = Report("module list window", mainWindow, kReplies);
    const bool pickedAll = Report("module picker", picker, kReplies);
    return listedAll && pickedAll ? 0 : 1;
}

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
#include <cstring>
#include <thread>
#include <vector>

#include "app/LanscopeDlg.h"
#include "config/IdFindDlg.h"
#include "platform/HostInterfaces.h"
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
    double clickMs = 0;
    std::size_t listed = 0;
};

// Sends `replies` distinct replies to `port` while the window runs, clicks its
// list meanwhile, and measures until every reply is listed.
Figures Flood(QWidget& window, const ModuleList& modules, std::uint16_t port, int replies) {
    auto* list = window.findChild<QTreeView*>(QStringLiteral("list"));
    QElapsedTimer clock;
    clock.start();
    std::thread sender([&] {
        auto socket = std::move(UdpSocket::open().value());
        (void)socket.bind(kLoopback, 0);
        for (int i = 0; i < replies; ++i) {
            (void)socket.sendTo(Reply(static_cast<std::uint32_t>(i)), kLoopback, port);
            if (i % 20 == 19) {
                // Twenty at a time, as fast as a busy segment delivers them,
                // without overrunning the socket's receive buffer.
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        }
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
    while (modules.size() < static_cast<std::size_t>(replies) && clock.elapsed() < 20000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    figures.listedMs = clock.nsecsElapsed() / 1e6;
    figures.listed = modules.size();
    sender.join();
    return figures;
}

void Report(const char* window, std::vector<Figures> runs, int replies) {
    std::sort(runs.begin(), runs.end(),
              [](const Figures& a, const Figures& b) { return a.listedMs < b.listedMs; });
    const Figures& median = runs[runs.size() / 2];
    double clickMax = 0;
    for (const Figures& run : runs) {
        clickMax = std::max(clickMax, run.clickMs);
        if (run.listed != static_cast<std::size_t>(replies)) {
            std::printf("%s: a run listed only %zu of %d replies\n", window, run.listed, replies);
        }
    }
    std::printf(
        "GuiFlood %s: %d replies listed in %.1f ms (median of %zu; min %.1f, max %.1f); "
        "a click during the flood %.2f ms (max %.2f); target 1000 ms -> %s\n",
        window, replies, median.listedMs, runs.size(), runs.front().listedMs, runs.back().listedMs,
        median.clickMs, clickMax, median.listedMs <= 1000 ? "met" : "missed");
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
    constexpr int kReplies = 10000;
    constexpr int kRuns = 5;

    IniSettingsBackend backend;
    SettingsStore settings(backend);
    NullPrompt prompt;
    NullOpener opener;
    AppServices services{prompt, settings, opener, [] { return std::vector<Ipv4>{}; }};
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
            CIdFindDlg window(prompt, services.endpoints);
            window.show();
            QApplication::processEvents();
            picker.push_back(Flood(window, window.discovery().list(),
                                   window.discovery().socket()->localPort(), kReplies));
            window.reject();
        }
    }
    Report("module list window", mainWindow, kReplies);
    Report("module picker", picker, kReplies);
    return 0;
}

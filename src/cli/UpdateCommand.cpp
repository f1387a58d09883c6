#include <unistd.h>

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <iostream>

#include "cli/Commands.h"
#include "platform/ConsoleCredentials.h"
#include "platform/NativePath.h"
#include "update/UpdateRun.h"

namespace lanscope::cli {

namespace {

constexpr const char* kCaption = "lanscope-cli";

std::uint32_t MillisecondClock() {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// A bar on a terminal, a line per new percentage elsewhere.
class ProgressPrinter {
  public:
    explicit ProgressPrinter(std::ostream& out)
        : m_out(out), m_terminal(&out == &std::cout && isatty(STDOUT_FILENO)) {}

    void show(int percent) {
        if (percent == m_shown) {
            return;
        }
        m_shown = percent;
        if (m_terminal) {
            const int filled = percent * 40 / 100;
            m_out << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
                  << std::string(static_cast<std::size_t>(40 - filled), ' ') << "] " << percent
                  << "% " << std::flush;
        } else {
            m_out << "progress " << percent << "%\n";
        }
    }
    void end() {
        if (m_terminal && m_shown >= 0) {
            m_out << '\n';
        }
    }

  private:
    std::ostream& m_out;
    bool m_terminal;
    int m_shown = -1;
};

}  // namespace

int RunUpdate(const UpdateOptions& options, CliContext& context) {
    Ipv4 module = 0;
    if (!ParseIpv4Strict(options.address, module)) {
        context.err << "Not an IPv4 address: \"" << options.address << "\"\n";
        return kExitUsage;
    }
    ConsoleCredentials credentials(context.err, options.user, options.password);
    UpdateRunSettings settings;
    settings.imageFile = options.file;
    settings.moduleAddress = module;
    settings.restart = !options.noRestart;
    UpdateRun run(settings, context.prompt, credentials, kCaption, MillisecondClock, NativePath);

    ProgressPrinter progress(context.out);
    QEventLoop loop;
    run.changed = [&] {
        if (run.outcome() == UpdateOutcome::Running) {
            progress.show(run.progress());
        } else {
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        }
    };
    auto transferStart = std::chrono::steady_clock::now();
    if (run.open() == UpdateOutcome::Running) {
        FerroxUpdateSocket socket(
            [&run](std::span<const std::uint8_t> reply) { run.onReply(reply); }, module,
            context.prompt, kCaption, context.updateEndpoints);
        QTimer tick;
        tick.setInterval(options.tick);
        QObject::connect(&tick, &QTimer::timeout, [&run] { run.onTick(); });
        run.wakeAfter = [&loop, &run](std::uint32_t ms) {
            QTimer::singleShot(static_cast<int>(ms), &loop, [&run] { run.onWake(); });
        };
        tick.start();
        progress.show(0);
        transferStart = std::chrono::steady_clock::now();
        run.beginTransfer(socket);
        if (run.outcome() == UpdateOutcome::Running) {
            loop.exec();
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - transferStart).count();
    progress.end();
    if (run.outcome() == UpdateOutcome::Ok) {
        char took[32];
        std::snprintf(took, sizeof took, "%.3f", seconds);
        context.out << "Update complete: " << run.image()->length << " bytes to "
                    << FormatIpv4(module) << " in " << took << " s"
                    << (settings.restart ? ", module restarting" : "") << ".\n";
        return kExitOk;
    }
    context.err << "Update failed.\n";
    return kExitFailed;
}

}  // namespace lanscope::cli

#include <chrono>
#include <iostream>
#include <optional>

#include "cli/Commands.h"
#include "platform/Console.h"
#include "platform/ConsoleCredentials.h"
#include "platform/NativePath.h"
#include "update/UpdateLoop.h"
#include "update/UpdateSession.h"

namespace lanscope::cli {

namespace {

constexpr const char* kCaption = "lanscope-cli";

// A bar on a terminal, a line per new percentage elsewhere.
class ProgressPrinter {
  public:
    explicit ProgressPrinter(std::ostream& out)
        : m_out(out), m_terminal(&out == &std::cout && IsTerminal(ConsoleStream::Output)) {}

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
    UpdateSession session(settings, context.prompt, credentials, kCaption, SteadyMilliseconds,
                          NativePath);

    ProgressPrinter progress(context.out);
    auto transferStart = std::chrono::steady_clock::now();
    std::optional<std::chrono::steady_clock::time_point> allAcknowledged;
    session.changed = [&] {
        if (session.outcome() == UpdateOutcome::Running) {
            if (session.progress() == 100 && !allAcknowledged) {
                allAcknowledged = std::chrono::steady_clock::now();
            }
            progress.show(session.progress());
        }
    };
    UpdateLoop driver(session, context.prompt, context.loop, kCaption, context.updateEndpoints,
                      options.tick);
    if (driver.open() == UpdateOutcome::Running) {
        progress.show(0);
        transferStart = std::chrono::steady_clock::now();
        driver.begin();
        context.loop.runUntil(EventLoop::kForever,
                              [&] { return session.outcome() != UpdateOutcome::Running; });
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - transferStart).count();
    progress.end();
    if (session.outcome() == UpdateOutcome::Ok) {
        const double acknowledged =
            std::chrono::duration<double>(allAcknowledged.value_or(transferStart) - transferStart)
                .count();
        char took[96];
        std::snprintf(took, sizeof took, "%.3f s (all data acknowledged after %.3f s)", seconds,
                      acknowledged);
        context.out << "Update complete: " << session.image()->length << " bytes to "
                    << FormatIpv4(module) << " in " << took
                    << (settings.restart ? ", module restarting" : "") << ".\n";
        return kExitOk;
    }
    context.err << "Update failed.\n";
    return kExitFailed;
}

}  // namespace lanscope::cli

#include <algorithm>
#include <chrono>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/Batch.h"
#include "cli/Commands.h"
#include "platform/Console.h"
#include "platform/ConsoleCredentials.h"
#include "platform/NativePath.h"
#include "update/UpdateSession.h"

namespace lanscope::cli {

namespace {

constexpr const char* kCaption = "lanscope-cli";

// A bar on a terminal, a line per new percentage elsewhere; both on the error
// stream, so the report on standard output stays what scripts read.
class ProgressPrinter {
  public:
    explicit ProgressPrinter(ProgressStream stream)
        : m_out(stream.out), m_terminal(stream.terminal) {}

    void show(int percent) {
        if (percent == m_shown) {
            return;
        }
        m_shown = percent;
        draw();
    }
    // A line of its own; the bar comes back below it.
    void note(const std::string& text) {
        if (m_terminal && m_shown >= 0) {
            m_out << '\r' << std::string(kBarWidth + 8, ' ') << '\r';
        }
        m_out << text << '\n';
        if (m_terminal && m_shown >= 0) {
            draw();
        }
        m_out << std::flush;
    }
    void end() {
        if (m_terminal && m_shown >= 0) {
            m_out << '\n';
        }
    }

  private:
    static constexpr int kBarWidth = 40;

    void draw() {
        if (m_terminal) {
            const int filled = m_shown * kBarWidth / 100;
            m_out << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
                  << std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') << "] "
                  << m_shown << "% " << std::flush;
        } else {
            m_out << "progress " << m_shown << "%\n";
        }
    }

    std::ostream& m_out;
    bool m_terminal;
    int m_shown = -1;
};

// "no answer from A.B.C.D, asking again (1 of 3)" once for every request the
// run sends again: a silent module is otherwise 80 quiet seconds.
class ResendNotices {
  public:
    explicit ResendNotices(Ipv4 module) : m_module(FormatIpv4(module)) {}
    // The notice for a repetition not yet told, if there is one.
    std::optional<std::string> next(const UpdateSession& session) {
        const UpdateRun* run = session.run();
        if (run == nullptr || run->resendCount() <= m_told) {
            m_told = run == nullptr ? 0 : run->resendCount();  // an answer starts again
            return std::nullopt;
        }
        m_told = run->resendCount();
        return "no answer from " + m_module + ", asking again (" + std::to_string(m_told) + " of " +
               std::to_string(UpdateRun::kMaxResends) + ")";
    }

  private:
    std::string m_module;
    int m_told = 0;
};

UpdateRunSettings SettingsFor(Ipv4 module, const UpdateOptions& options) {
    UpdateRunSettings settings;
    settings.imageFile = options.file;
    settings.moduleAddress = module;
    settings.restart = !options.noRestart;
    settings.loadMessages = LoadMessages::Detailed;
    return settings;
}

// One module, with a progress bar and a line on the outcome.
int UpdateOne(const Target& target, const UpdateOptions& options, CliContext& context) {
    const Ipv4 module = target.address;
    ConsoleCredentials credentials(context.err, options.user, options.password);
    const UpdateRunSettings settings = SettingsFor(module, options);
    UpdateSession session(settings, context.prompt, credentials, context.loop, kCaption,
                          context.updateEndpoints, options.tick);
    session.recordTo(context.history, HistoryModuleOf(target));

    ProgressPrinter progress(ProgressOf(context));
    ResendNotices resends(module);
    auto transferStart = std::chrono::steady_clock::now();
    std::optional<std::chrono::steady_clock::time_point> allAcknowledged;
    session.changed = [&] {
        if (session.outcome() == UpdateOutcome::Running) {
            if (session.progress() == 100 && !allAcknowledged) {
                allAcknowledged = std::chrono::steady_clock::now();
            }
            if (const auto notice = resends.next(session)) {
                progress.note(*notice);
            }
            progress.show(session.progress());
        }
    };
    if (session.start() == UpdateOutcome::Running) {
        progress.show(0);
        transferStart = std::chrono::steady_clock::now();
        // Without the port nothing could answer: the run would only wait
        // for its time-out.
        if (!session.listening()) {
            session.cancel();
        }
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

// A prompt for one module of a batch: its messages go out with its address
// before them, and the last is kept for the report.
class ModulePrompt : public Prompt {
  public:
    ModulePrompt(Prompt& inner, std::string address)
        : m_inner(inner), m_address(std::move(address)) {}
    void message(const std::string& text, const std::string& caption, PromptIcon icon) override {
        m_last = text;
        m_inner.message(m_address + ": " + text, caption, icon);
    }
    bool askYesNo(const std::string& text, const std::string& caption, bool defaultYes) override {
        return m_inner.askYesNo(m_address + ": " + text, caption, defaultYes);
    }
    const std::string& last() const { return m_last; }

  private:
    Prompt& m_inner;
    std::string m_address;
    std::string m_last;
};

// One module's run in a batch.
struct Job {
    Job(const Target& target, const UpdateOptions& options, CliContext& context,
        FerroxUpdateSocket& port)
        : prompt(context.prompt, FormatIpv4(target.address)),
          credentials(context.err, options.user, options.password),
          session(SettingsFor(target.address, options), prompt, credentials, context.loop, kCaption,
                  port, options.tick),
          resends(target.address) {
        result.target = target;
        session.recordTo(context.history, HistoryModuleOf(target));
    }

    ModulePrompt prompt;
    ConsoleCredentials credentials;
    UpdateSession session;
    ResendNotices resends;
    ModuleResult result;
    std::chrono::steady_clock::time_point started;
    int shownQuarter = -1;
    bool finished = false;
};

int UpdateMany(const std::vector<Target>& targets, const UpdateOptions& options,
               CliContext& context) {
    // Progress on a terminal; the report is what scripts read.
    const ProgressStream stream = ProgressOf(context);
    const bool terminal = stream.terminal;
    std::ostream& progress = stream.out;
    FerroxUpdateSocket port(context.prompt, context.loop, kCaption, context.updateEndpoints);
    if (!port.isListening()) {
        // Nothing could answer: the runs would only wait for their time-outs.
        std::vector<ModuleResult> results;
        for (const Target& target : targets) {
            ModuleResult result;
            result.target = target;
            result.message = "the update port could not be bound";
            results.push_back(std::move(result));
        }
        PrintReport(context.out, results, options.json);
        return kExitFailed;
    }
    std::vector<std::unique_ptr<Job>> jobs;
    for (const Target& target : targets) {
        jobs.push_back(std::make_unique<Job>(target, options, context, port));
    }
    std::size_t next = 0;
    std::size_t running = 0;
    const auto finish = [&](Job& job) {
        job.finished = true;
        --running;
        ModuleResult& result = job.result;
        result.ok = job.session.outcome() == UpdateOutcome::Ok;
        result.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - job.started).count();
        result.bytes = job.session.acknowledgedBytes();
        result.message = result.ok ? "update complete" : job.prompt.last();
        if (!result.ok && result.message.empty()) {
            result.message = "the module declined or ended the update";
        }
        if (terminal) {
            progress << FormatIpv4(result.target.address) << ": "
                     << (result.ok ? "done" : "FAILED: " + result.message) << std::endl;
        }
    };
    const auto start = [&](Job& job) {
        ++running;
        job.started = std::chrono::steady_clock::now();
        job.session.changed = [&] {
            if (job.finished) {
                return;
            }
            if (job.session.outcome() != UpdateOutcome::Running) {
                finish(job);
                return;
            }
            if (const auto notice = job.resends.next(job.session)) {
                progress << *notice << std::endl;
            }
            if (terminal && job.session.progress() / 25 != job.shownQuarter) {
                // A few lines per module: with many at once a bar each would
                // be a wall of text.
                job.shownQuarter = job.session.progress() / 25;
                progress << FormatIpv4(job.result.target.address) << ": " << job.shownQuarter * 25
                         << "%" << std::endl;
            }
        };
        job.session.start();
        if (job.session.outcome() != UpdateOutcome::Running && !job.finished) {
            finish(job);
        }
    };
    const auto fill = [&] {
        while (next < jobs.size() && running < static_cast<std::size_t>(options.jobs)) {
            start(*jobs[next++]);
        }
        return next == jobs.size() && running == 0;
    };
    // A failed module never stops the others: a slot that frees starts the
    // next at once.
    context.loop.runUntil(EventLoop::kForever, fill);

    std::vector<ModuleResult> results;
    for (const auto& job : jobs) {
        results.push_back(job->result);
    }
    PrintReport(context.out, results, options.json);
    return ExitCodeOf(results);
}

// What would be done, with nothing sent but the discovery.
int ShowPlan(const std::vector<Target>& targets, const UpdateOptions& options,
             CliContext& context) {
    std::vector<ModuleResult> plan;
    const UpdateRunSettings settings = SettingsFor(0, options);
    auto image = LoadSRecordImage(NativePath(settings.imageFile), settings.loadMessages);
    if (!image) {
        ShowLoadFailure(image.error(), context.prompt, kCaption);
    }
    const bool loaded = image.ok();
    for (const Target& target : targets) {
        ModuleResult entry;
        entry.target = target;
        entry.ok = loaded;
        entry.bytes = loaded ? image->length : 0;
        entry.message =
            loaded ? std::string("would update") + (options.noRestart ? "" : " and restart")
                   : "the image file cannot be loaded";
        plan.push_back(std::move(entry));
    }
    PrintReport(context.out, plan, options.json, ReportKind::UpdatePlan);
    return ExitCodeOf(plan);
}

}  // namespace

int RunUpdate(const UpdateOptions& options, CliContext& context) {
    for (const std::string& name : options.targets) {
        if (!ParseIpv4Strict(name) && !ParseMac(name)) {
            context.err << "Neither an IPv4 nor a hardware address: \"" << name << "\"\n";
            return kExitUsage;
        }
    }
    TargetRequest request{options.targets, options.all, options.namePrefix, options.waitSeconds};
    const auto targets = ResolveTargets(request, context);
    if (!targets) {
        return kExitFailed;
    }
    if (options.dryRun) {
        return ShowPlan(*targets, options, context);
    }
    const bool batch = targets->size() > 1 || options.all || options.json;
    if (!batch) {
        return UpdateOne(targets->front(), options, context);
    }
    return UpdateMany(*targets, options, context);
}

}  // namespace lanscope::cli

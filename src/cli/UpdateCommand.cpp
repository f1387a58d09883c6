#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/Batch.h"
#include "cli/Commands.h"
#include "platform/Console.h"
#include "platform/ConsoleCredentials.h"
#include "platform/Interrupts.h"
#include "platform/NativePath.h"
#include "update/UpdateSession.h"

namespace lanscope::cli {

namespace {

constexpr const char* kCaption = "lanscope-cli";

// The first line of a file, without its line end; nothing when unreadable.
std::optional<std::string> FirstLineOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string line;
    if (!file || (!std::getline(file, line) && !file.eof())) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

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

// What the module said of an update that did not take, when the run has not
// shown it already: the run shows its verdicts itself.
std::string UntoldReason(const UpdateRunResult& result) {
    switch (result.reason) {
        case UpdateEndReason::Declined:
        case UpdateEndReason::UnknownOutcome:
            return result.message;
        default:
            return {};
    }
}

// The exit code of a command that a signal stopped, else `code`.
int ExitCodeAfter(const InterruptWatch& interrupts, int code) {
    return interrupts.received() != 0 ? interrupts.received() : code;
}

// One module, with a progress bar and a line on the outcome.
int UpdateOne(const Target& target, const UpdateOptions& options, CliContext& context) {
    const Ipv4 module = target.address;
    ConsoleCredentials credentials(context.err, options.user, options.password);
    const UpdateRunSettings settings = SettingsFor(module, options);
    UpdateSession session(settings, context.prompt, credentials, context.loop, kCaption,
                          context.updateEndpoints, options.tick);
    session.recordTo(context.history, HistoryModuleOf(target));
    // Ctrl-C or SIGTERM ends the run as the Cancel button does: recorded.
    InterruptWatch interrupts(context.loop, [&](int) { session.cancel(); });

    ProgressPrinter progress(ProgressOf(context));
    ResendNotices resends(module);
    std::optional<double> allAcknowledged;
    session.changed = [&] {
        if (session.outcome() == UpdateOutcome::Running) {
            if (session.progress() == 100 && !allAcknowledged) {
                allAcknowledged = session.transferSeconds();
            }
            if (const auto notice = resends.next(session)) {
                progress.note(*notice);
            }
            progress.show(session.progress());
        }
    };
    if (session.start() == UpdateOutcome::Running) {
        progress.show(0);
        // Without the port nothing could answer: the run would only wait
        // for its time-out.
        if (!session.listening()) {
            session.cancel();
        }
        context.loop.runUntil(EventLoop::kForever,
                              [&] { return session.outcome() != UpdateOutcome::Running; });
    }
    progress.end();
    interrupts.done();
    if (session.outcome() == UpdateOutcome::Ok) {
        char took[96];
        std::snprintf(took, sizeof took, "%.3f s (all data acknowledged after %.3f s)",
                      session.transferSeconds(), allAcknowledged.value_or(0.0));
        context.out << "Update complete: " << session.image()->length << " bytes to "
                    << FormatIpv4(module) << " in " << took
                    << (settings.restart ? ", module restarting" : "") << ".\n";
        return kExitOk;
    }
    const UpdateRunResult result = session.result();
    context.err << (result.reason == UpdateEndReason::Cancelled ? "Update cancelled.\n"
                                                                : "Update failed.\n");
    if (const std::string untold = UntoldReason(result); !untold.empty()) {
        context.err << untold << '\n';
    }
    return ExitCodeAfter(interrupts, kExitFailed);
}

// A prompt for one module of a batch: its messages go out with its address
// before them.
class ModulePrompt : public Prompt {
  public:
    ModulePrompt(Prompt& inner, std::string address)
        : m_inner(inner), m_address(std::move(address)) {}
    void message(const std::string& text, const std::string& caption, PromptIcon icon) override {
        m_inner.message(m_address + ": " + text, caption, icon);
    }
    bool askYesNo(const std::string& text, const std::string& caption, bool defaultYes) override {
        return m_inner.askYesNo(m_address + ": " + text, caption, defaultYes);
    }

  private:
    Prompt& m_inner;
    std::string m_address;
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
    int shownQuarter = -1;
    bool started = false;
    bool finished = false;
};

// What the report says of a module whose run has ended.
void ReportEnded(Job& job) {
    ModuleResult& result = job.result;
    const UpdateRunResult ended = job.session.result();
    result.ok = ended.reason == UpdateEndReason::Ok;
    result.seconds = job.session.transferSeconds();
    result.bytes = job.session.acknowledgedBytes();
    result.message = result.ok                                    ? "update complete"
                     : ended.reason == UpdateEndReason::Cancelled ? "cancelled"
                                                                  : ended.message;
}

int UpdateMany(const std::vector<Target>& targets, const UpdateOptions& options,
               CliContext& context) {
    // Progress on a terminal; the report is what scripts read.
    const ProgressStream stream = ProgressOf(context);
    const bool terminal = stream.terminal;
    std::ostream& progress = stream.out;
    FerroxUpdateSocket port(context.prompt, context.loop, kCaption, context.updateEndpoints);
    std::vector<std::unique_ptr<Job>> jobs;
    for (const Target& target : targets) {
        if (target.missing.empty()) {
            jobs.push_back(std::make_unique<Job>(target, options, context, port));
        }
    }
    // The file is read once and every run sends the same bytes, so memory
    // does not grow with the modules. A file that does not load is left to
    // each run, which says so and records it for its module.
    if (!jobs.empty()) {
        if (auto prepared = PrepareUpdate(jobs.front()->session.settings(), NativePath)) {
            const auto image = std::make_shared<const UpdateImage>(std::move(prepared->image));
            for (const auto& job : jobs) {
                job->session.useImage(image);
            }
        }
    }
    if (!port.isListening()) {
        // Nothing could answer: the runs would only wait for their
        // time-outs. Each is recorded as the failure it is.
        std::vector<ModuleResult> results;
        std::size_t next = 0;
        for (const Target& target : targets) {
            ModuleResult result;
            result.target = target;
            result.message = target.missing;
            if (target.missing.empty()) {
                Job& job = *jobs[next++];
                job.session.start();
                job.session.cancel();
                result.message = "the update port could not be bound";
            }
            results.push_back(std::move(result));
        }
        PrintReport(context.out, results, options.json);
        return kExitFailed;
    }
    bool interrupted = false;
    std::size_t next = 0;
    std::size_t running = 0;
    const auto finish = [&](Job& job) {
        job.finished = true;
        --running;
        ReportEnded(job);
        const ModuleResult& result = job.result;
        if (terminal) {
            progress << FormatIpv4(result.target.address) << ": "
                     << (result.ok ? "done" : "FAILED: " + result.message) << std::endl;
        }
    };
    InterruptWatch interrupts(context.loop, [&](int) {
        interrupted = true;
        for (const auto& job : jobs) {
            if (job->started && !job->finished) {
                job->session.cancel();
            }
        }
    });
    const auto start = [&](Job& job) {
        ++running;
        job.started = true;
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
        // Once stopped, no module is begun.
        while (!interrupted && next < jobs.size() &&
               running < static_cast<std::size_t>(options.jobs)) {
            start(*jobs[next++]);
        }
        return (interrupted || next == jobs.size()) && running == 0;
    };
    // A failed module never stops the others: a slot that frees starts the
    // next at once.
    context.loop.runUntil(EventLoop::kForever, fill);
    interrupts.done();

    std::vector<ModuleResult> results;
    std::size_t job = 0;
    for (const Target& target : targets) {
        if (!target.missing.empty()) {
            ModuleResult result;
            result.target = target;
            result.message = target.missing;
            results.push_back(std::move(result));
            continue;
        }
        ModuleResult result = jobs[job]->result;
        if (!jobs[job]->started) {
            result.message = "not begun: the update was stopped";
        }
        ++job;
        results.push_back(std::move(result));
    }
    PrintReport(context.out, results, options.json);
    return ExitCodeAfter(interrupts, ExitCodeOf(results));
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
        entry.ok = loaded && target.missing.empty();
        entry.bytes = entry.ok ? image->length : 0;
        entry.message =
            !target.missing.empty() ? target.missing
            : loaded ? std::string("would update") + (options.noRestart ? "" : " and restart")
                     : "the image file cannot be loaded";
        plan.push_back(std::move(entry));
    }
    PrintReport(context.out, plan, options.json, ReportKind::UpdatePlan);
    return ExitCodeOf(plan);
}

}  // namespace

int RunUpdate(const UpdateOptions& options, CliContext& context) {
    auto named = ParseTargets(options.targets, context.err);
    if (!named) {
        return kExitUsage;
    }
    TargetRequest request{std::move(*named), options.all, options.namePrefix, options.waitSeconds};
    // In a batch a module that does not answer is one failure among the
    // others; alone it is the whole command's.
    request.keepMissing = options.targets.size() > 1 || options.all || options.json;
    const auto targets = ResolveTargets(request, context);
    if (!targets) {
        return kExitFailed;
    }
    if (options.dryRun) {
        return ShowPlan(*targets, options, context);
    }
    const bool batch = targets->size() > 1 || options.all || options.json;
    if (!batch && targets->front().missing.empty()) {
        return UpdateOne(targets->front(), options, context);
    }
    return UpdateMany(*targets, options, context);
}

namespace {

// What the update command line holds before it is an UpdateOptions: the
// targets and the file arrive as one list, and the password file is read
// only once the command line holds together.
struct UpdateCommandLine {
    UpdateOptions options;
    std::vector<std::string> arguments;
    std::string passwordFile;
};

int RunUpdateCommandLine(UpdateCommandLine& line, CliContext& context) {
    UpdateOptions& options = line.options;
    if (!options.password) {
        // Off the command line, where every local user could read it.
        if (!line.passwordFile.empty()) {
            auto first = FirstLineOf(line.passwordFile);
            if (!first) {
                context.err << "lanscope-cli: cannot read the password file " << line.passwordFile
                            << '\n';
                return kExitUsage;
            }
            options.password = std::move(*first);
        } else if (const char* fromEnvironment = std::getenv("LANSCOPE_PASSWORD")) {
            options.password = std::string(fromEnvironment);
        }
    }
    // The file comes last; the modules before it.
    options.file = line.arguments.back();
    options.targets.assign(line.arguments.begin(), line.arguments.end() - 1);
    if (options.targets.empty() != options.all) {
        context.err << (options.all ? "With --all, name only the S-record file.\n"
                                    : "Name a module (or --all) and the S-record file.\n");
        return kExitUsage;
    }
    return RunUpdate(options, context);
}

}  // namespace

void AddUpdateCommand(CLI::App& app, CliCommands& commands) {
    auto line = std::make_shared<UpdateCommandLine>();
    UpdateOptions& update = line->options;
    auto* command = app.add_subcommand(
        "update",
        "Load the image of an S-record file into modules over the network: one, several at "
        "once, or every module that answers");
    command
        ->add_option("TARGET... FILE", line->arguments,
                     "Module addresses or hardware addresses (looked up by one discovery), "
                     "then the S-record file (*_APP.s19)")
        ->required()
        ->type_name("");
    command->add_flag("--all", update.all, "Update every module that answers a discovery");
    command
        ->add_option("--name-prefix", update.namePrefix,
                     "With --all: only modules whose name starts so (any case)")
        ->type_name("PREFIX");
    command->add_option("--jobs", update.jobs, "How many modules are updated at once (default 4)")
        ->type_name("N")
        ->check(CLI::Range(1, 64).description(""));
    AddSecondsOption(*command, "--wait", update.waitSeconds,
                     "Seconds the discovery for hardware addresses and --all waits");
    command->add_flag("--json", update.json, "Print the closing report as JSON");
    command->add_flag("--dry-run", update.dryRun,
                      "Show what would be done; send nothing but the discovery");
    command->add_flag("--no-restart", update.noRestart,
                      "Do not ask the module to restart when complete");
    auto* user = command->add_option("--user", update.user, "User name, if the module asks")
                     ->type_name("USER");
    auto* password = command
                         ->add_option("--password", update.password,
                                      "Password, if the module asks (other users can see it: "
                                      "prefer --password-file or LANSCOPE_PASSWORD)")
                         ->type_name("PASSWORD")
                         ->needs(user);
    command
        ->add_option("--password-file", line->passwordFile,
                     "Read the password from the first line of this file")
        ->type_name("FILE")
        ->needs(user)
        ->excludes(password);

    commands.push_back(
        {command, [line](CliContext& context) { return RunUpdateCommandLine(*line, context); }});
}

}  // namespace lanscope::cli

#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/Commands.h"
#include "history/History.h"
#include "platform/NativePath.h"
#include "update/ImageFile.h"
#include "update/SRecordLoader.h"

namespace lanscope::cli {

namespace {

constexpr const char* kCaption = "lanscope-cli";

std::string Hex(std::uint64_t value, int digits = 8) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

int RunConvert(const ConvertOptions& options, CliContext& context) {
    // Recorded as the update window's Save to file is: an image file written
    // is a firmware someone may load into a module later.
    HistoryEvent event;
    event.action = HistoryAction::Save;
    event.save = HistorySave{options.input, options.output, 0, 0, 0};
    auto image = LoadSRecordImage(NativePath(options.input), LoadMessages::Detailed);
    if (!image) {
        ShowLoadFailure(image.error(), context.prompt, kCaption);
        event.result = HistoryResult::Failed;
        if (!image.error().messages.empty()) {
            event.message = image.error().messages.back();
        }
        RecordHistory(context.history, std::move(event));
        return kExitFailed;
    }
    event.save->base = image->base;
    event.save->length = image->length;
    event.save->checksum = image->checksum;
    if (auto saved = SaveImageFile(NativePath(options.output), *image, options.description);
        !saved) {
        context.prompt.message(saved.error().text, kCaption, PromptIcon::Exclamation);
        event.result = HistoryResult::Failed;
        event.message = saved.error().text;
        RecordHistory(context.history, std::move(event));
        return kExitFailed;
    }
    event.result = HistoryResult::Ok;
    RecordHistory(context.history, std::move(event));
    context.out << "Wrote " << options.output << ": " << image->length << " bytes at "
                << Hex(image->base) << ", checksum " << Hex(image->checksum) << '\n';
    return kExitOk;
}

int RunInfo(const InfoOptions& options, CliContext& context) {
    auto image = LoadSRecordImage(NativePath(options.input), LoadMessages::Detailed);
    if (!image) {
        ShowLoadFailure(image.error(), context.prompt, kCaption);
        return kExitFailed;
    }
    const auto& counts = image->recordCounts;
    if (options.json) {
        nlohmann::json records;
        for (std::size_t type = 0; type < counts.size(); ++type) {
            records["S" + std::to_string(type)] = counts[type];
        }
        const nlohmann::json info = {
            {"base", image->base},         {"length", image->length},
            {"end", image->end()},         {"checksum", Hex(image->checksum)},
            {"platform", image->platform}, {"records", records},
        };
        context.out << info.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        return kExitOk;
    }
    context.out << "base      " << Hex(image->base) << '\n'
                << "length    " << image->length << " bytes\n"
                << "end       " << Hex(image->end()) << '\n'
                << "checksum  " << Hex(image->checksum) << '\n'
                << "platform  " << image->platform << '\n'
                << "records  ";
    for (std::size_t type = 0; type < counts.size(); ++type) {
        if (counts[type] != 0) {
            context.out << " S" << type << ": " << counts[type];
        }
    }
    context.out << '\n';
    return kExitOk;
}

void AddImageCommands(CLI::App& app, CliCommands& commands) {
    auto convert = std::make_shared<ConvertOptions>();
    auto* convertCommand = app.add_subcommand(
        "convert", "Turn an S-record file into an image file (100-byte header + image)");
    convertCommand->add_option("IN", convert->input, "S-record file")->required()->type_name("");
    convertCommand->add_option("OUT", convert->output, "Image file to write")
        ->required()
        ->type_name("");
    convertCommand
        ->add_option("--description", convert->description,
                     "Module description for the header, e.g. \"Pump (PC42) 1.05\"")
        ->type_name("TEXT");
    commands.push_back(
        {convertCommand, [convert](CliContext& context) { return RunConvert(*convert, context); }});

    auto info = std::make_shared<InfoOptions>();
    auto* infoCommand = app.add_subcommand("info",
                                           "Show an S-record file's base, length, end, checksum, "
                                           "platform and record counts");
    infoCommand->add_option("IN", info->input, "S-record file")->required()->type_name("");
    infoCommand->add_flag("--json", info->json, "Print as JSON");
    commands.push_back(
        {infoCommand, [info](CliContext& context) { return RunInfo(*info, context); }});
}

}  // namespace lanscope::cli

#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/Commands.h"
#include "common/Text.h"
#include "platform/NativePath.h"
#include "presets/Messages.h"
#include "presets/PresetFile.h"

namespace lanscope::cli {

int RunPresetCheck(const PresetCheckOptions& options, CliContext& context) {
    const auto text = ReadPresetText(NativePath(options.file));
    if (!text) {
        context.err << "lanscope-cli: " << messages::kPresetFileAccessError << '\n';
        return kExitFailed;
    }
    // Every line the window would ask about is listed; reading goes on as
    // after a Yes.
    std::vector<std::pair<std::size_t, std::string>> questions;
    const auto fields = ReadPresets(*text, [&](std::size_t line, std::string_view content) {
        questions.emplace_back(line, EightBitToUtf8(content));
        return true;
    });
    if (options.json) {
        auto out = nlohmann::json::object();
        out["fields"] = nlohmann::json::array();
        for (const tagField& field : fields) {
            out["fields"].push_back({{"name", EightBitToUtf8(field.strName)},
                                     {"value", EightBitToUtf8(field.strValue)}});
        }
        out["questions"] = nlohmann::json::array();
        for (const auto& [line, content] : questions) {
            out["questions"].push_back(
                {{"line", line}, {"text", content}, {"question", messages::kPresetFormatQuestion}});
        }
        context.out << out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        return kExitOk;
    }
    // A preset file is anybody's text: what it holds is shown, never acted
    // on by the terminal.
    for (const tagField& field : fields) {
        context.out << EscapeControlCharacters(EightBitToUtf8(field.strName)) << " = "
                    << EscapeControlCharacters(EightBitToUtf8(field.strValue)) << '\n';
    }
    for (const auto& [line, content] : questions) {
        context.err << "line " << line << ": \"" << EscapeControlCharacters(content)
                    << "\" would ask \"" << messages::kPresetFormatQuestion << "\"\n";
    }
    context.out << fields.size() << (fields.size() == 1 ? " field" : " fields") << ", "
                << questions.size() << (questions.size() == 1 ? " question" : " questions") << '\n';
    return kExitOk;
}

void AddPresetCommands(CLI::App& app, CliCommands& commands) {
    auto options = std::make_shared<PresetCheckOptions>();
    auto* command = app.add_subcommand(
        "preset-check", "Show what a preset file would write into a module's web form");
    command->add_option("FILE", options->file, "Preset file (.prs)")->required()->type_name("");
    command->add_flag("--json", options->json, "Print as JSON");
    commands.push_back(
        {command, [options](CliContext& context) { return RunPresetCheck(*options, context); }});
}

}  // namespace lanscope::cli

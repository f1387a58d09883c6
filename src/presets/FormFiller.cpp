#include "presets/FormFiller.h"

#include "presets/Messages.h"

namespace lanscope {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// A decimal option index within `options`, or nothing.
std::optional<int> OptionIndex(const std::string& value, int options) {
    if (value.empty() || value.size() > 9) {
        return std::nullopt;
    }
    int index = 0;
    for (const char c : value) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        index = index * 10 + (c - '0');
    }
    return index < options ? std::optional<int>(index) : std::nullopt;
}

}  // namespace

std::string PresetsAddressFromLine(std::string_view line) {
    const std::size_t first = line.find('\t');
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t second = line.find('\t', first + 1);
    if (second == std::string_view::npos) {
        return {};
    }
    return std::string(line.substr(first + 1, second - first - 1));
}

PresetsRunState& ProgramPresetsState() {
    static PresetsRunState state;
    return state;
}

FormFiller::FormFiller(std::string ipAddress, PresetsRunState& state)
    : m_ipAddress(std::move(ipAddress)), m_state(state) {}

std::string FormFiller::indexUrl() const {
    return "http://" + m_ipAddress + "/index.htm";
}

std::string FormFiller::framesUrl() const {
    return "http://" + m_ipAddress + "/configframes.htm";
}

FormFiller::Navigation FormFiller::beforeNavigate(std::string_view url, bool serverRedirect) {
    using Action = Navigation::Action;
    const std::string address = Lower(url);
    Navigation next;
    if (Contains(address, "loginerror.htm")) {
        if (++m_state.loginErrors > kMaxLoginErrors) {
            return {Action::Fail, {}, messages::kAuthenticationIssues};
        }
        next = {Action::Redirect, indexUrl(), nullptr};
    } else if (Contains(address, "blank")) {
        return {};
    } else if (Contains(address, "res://")) {
        return loadFailed();
    } else if (Contains(address, "config")) {
        return {};
    } else if (serverRedirect) {
        // The server's (or the page's own) forwarding of a request already
        // judged: let it arrive.
        return {};
    } else {
        next = {Action::Redirect, framesUrl(), nullptr};
    }
    if (++m_redirects > kMaxRedirects) {
        return loadFailed();
    }
    return next;
}

FormFiller::Navigation FormFiller::loadFailed() const {
    return {Navigation::Action::Fail, {}, messages::kNotAccessible};
}

FormFiller::Document FormFiller::documentComplete(std::string_view url) {
    const std::string address = Lower(url);
    if (!Contains(address, "config.htm")) {
        if (Contains(address, "index.htm")) {
            return {Document::Action::Fail, messages::kAuthenticationFailed};
        }
        return {};
    }
    return {Document::Action::InspectForm, nullptr};
}

FormFiller::FormStep FormFiller::formInspected(const std::vector<tagField>& fields,
                                               const FormReport& report) {
    FormStep step;
    if (!report.documentFound) {
        step.action = FormStep::Action::Ignore;
        return step;
    }
    if (!report.formFound) {
        step.message = messages::kFormNotFound;
        return step;
    }
    if (report.elementCount == 0) {
        step.message = messages::kNotAdministrator;
        return step;
    }
    if (m_state.formFilled) {
        step.action = FormStep::Action::AlreadyFilled;
        return step;
    }
    // Set before anything is written: a completion that arrives while the
    // summary is on screen finds the form filled.
    m_state.formFilled = true;
    step.action = FormStep::Action::Fill;
    m_redirects = 0;  // the form is reached: the browser is where it should be
    std::string missing;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const tagField& field = fields[i];
        const ElementInfo element = i < report.elements.size() ? report.elements[i] : ElementInfo{};
        if (element.exists && element.type == "text") {
            step.writes.push_back({field.strName, Write::Kind::Value, field.strValue});
            continue;
        }
        if (element.exists && element.type == "select-one") {
            // An index the select does not have would pick its first option
            // silently; it is reported instead.
            if (const auto index = OptionIndex(field.strValue, element.options)) {
                step.writes.push_back(
                    {field.strName, Write::Kind::SelectedIndex, std::to_string(*index)});
                continue;
            }
        }
        missing += "\t" + field.strName + "\n";
    }
    step.summary = messages::kPresetsLoaded;
    if (!missing.empty()) {
        step.summary += messages::kMissingFieldsIntro + missing;
    }
    return step;
}

}  // namespace lanscope

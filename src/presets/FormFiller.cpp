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

// The host of an address in lower case: what stands between "://" and the
// path, without a user name and without a port; nothing without "://". A
// backslash ends the host as a slash does: browsers read it so.
std::string HostOf(std::string_view url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos) {
        return {};
    }
    std::string_view authority = url.substr(scheme + 3);
    authority = authority.substr(0, authority.find_first_of("/?#\\"));
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        authority = authority.substr(at + 1);
    }
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        return close == std::string_view::npos ? std::string()
                                               : Lower(authority.substr(0, close + 1));
    }
    return Lower(authority.substr(0, authority.find(':')));
}

// Chromium's switch to run without the sandbox, as it reads its switches:
// one or two dashes, with or without a value.
bool IsNoSandboxSwitch(std::string_view argument) {
    if (argument.starts_with("--")) {
        argument.remove_prefix(2);
    } else if (argument.starts_with("-")) {
        argument.remove_prefix(1);
    } else {
        return false;
    }
    return argument == "no-sandbox" || argument.starts_with("no-sandbox=");
}

std::vector<std::string> SplitAtSpaces(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (!word.empty()) {
                words.push_back(std::move(word));
                word.clear();
            }
        } else {
            word.push_back(c);
        }
    }
    if (!word.empty()) {
        words.push_back(std::move(word));
    }
    return words;
}

const char* MessageFor(FormFiller::Reached reached) {
    using Reached = FormFiller::Reached;
    switch (reached) {
        case Reached::NoBrowser:
            return messages::kNoBrowserObject;
        case Reached::NoDocument:
            return messages::kNoDocumentObject;
        case Reached::NoForms:
            return messages::kNoFormsObject;
        case Reached::NoForm:
            return messages::kFormNotFound;
        case Reached::Replaced:
        case Reached::Form:
            break;
    }
    return nullptr;
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

bool BrowserEngineRefuses(const BrowserEngineStart& start) {
    if (!start.superuser || start.sandboxDisabled) {
        return false;
    }
    std::vector<std::string> flags;
    if (start.chromiumFlags) {
        flags = SplitAtSpaces(*start.chromiumFlags);
    } else {
        bool after = false;
        for (std::size_t i = 1; i < start.arguments.size(); ++i) {
            if (after) {
                flags.push_back(start.arguments[i]);
            } else {
                after = Lower(start.arguments[i]) == "--webengineargs";
            }
        }
    }
    for (const std::string& flag : flags) {
        if (flag == "--") {
            break;  // what follows is no switch
        }
        if (IsNoSandboxSwitch(flag)) {
            return false;
        }
    }
    return true;
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

FormFiller::Navigation FormFiller::beforeNavigate(std::string_view url, Cause cause) {
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
    } else if (cause == Cause::Redirect) {
        // The server's (or the page's own) forwarding of a request already
        // judged: let it arrive.
        return {};
    } else {
        next = {Action::Redirect, framesUrl(), nullptr};
    }
    if (cause != Cause::User && ++m_redirects > kMaxRedirects) {
        return loadFailed();
    }
    return next;
}

bool FormFiller::isModuleAddress(std::string_view url) const {
    const std::string module = HostOf(indexUrl());
    return !module.empty() && HostOf(url) == module;
}

std::optional<FormFiller::Reached> FormFiller::ReachedFromWord(std::string_view word) {
    static constexpr std::pair<std::string_view, Reached> kWords[] = {
        {"replaced", Reached::Replaced},      {"no-browser", Reached::NoBrowser},
        {"no-document", Reached::NoDocument}, {"no-forms", Reached::NoForms},
        {"no-form", Reached::NoForm},         {"form", Reached::Form},
    };
    for (const auto& [text, reached] : kWords) {
        if (word == text) {
            return reached;
        }
    }
    return std::nullopt;
}

FormFiller::Reached FormFiller::Unanswered(bool navigatedSince) {
    return navigatedSince ? Reached::Replaced : Reached::NoBrowser;
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
    if (report.reached == Reached::Replaced) {
        step.action = FormStep::Action::Ignore;
        return step;
    }
    if (report.reached != Reached::Form) {
        step.message = MessageFor(report.reached);
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

FormFiller::Written FormFiller::formWritten(Reached reached) {
    if (reached == Reached::Form) {
        return {};
    }
    if (reached == Reached::Replaced) {
        m_state.formFilled = false;
        return {Written::Action::Retry, nullptr};
    }
    return {Written::Action::Fail, MessageFor(reached)};
}

}  // namespace lanscope

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "presets/PresetFile.h"

namespace lanscope {

// What the program remembers across form-filling windows: login-error pages
// seen in this run of the program (never reset), and whether the current
// window has filled its form (reset by every window).
struct PresetsRunState {
    int loginErrors = 0;
    bool formFilled = false;
};
// The program's one state; tests make their own.
PresetsRunState& ProgramPresetsState();

// The module address the presets window takes from a list line: the text
// between the first and the second tab (empty without two tabs).
std::string PresetsAddressFromLine(std::string_view line);

// The rules by which a form-filling window steers its browser to a module's
// configuration form and fills it. The window's browser adapter reports
// navigations, completed documents and what it found in the form, and does
// what the rules say; no rule depends on the browser.
class FormFiller {
  public:
    static constexpr int kMaxLoginErrors = 5;
    // Redirects before the configuration form is filled, and again after it,
    // before giving up: a frame that matches no rule would otherwise send the
    // browser round forever, whatever completes meanwhile.
    static constexpr int kMaxRedirects = 20;

    FormFiller(std::string ipAddress, PresetsRunState& state);

    // "http://" + address + "/index.htm", the first page.
    std::string indexUrl() const;
    std::string framesUrl() const;

    struct Navigation {
        enum class Action { Proceed, Redirect, Fail } action = Action::Proceed;
        std::string url;                // Redirect: where to
        const char* message = nullptr;  // Fail: what to show before closing
    };
    // Before a page or frame loads. A redirect (by the server or the page) to
    // an address no rule names is let through: it forwards a request already
    // judged; the login-error, "res://" and limit rules still apply to it.
    Navigation beforeNavigate(std::string_view url, bool serverRedirect = false);
    // The top-level page could not be loaded (the module cannot be reached).
    Navigation loadFailed() const;

    struct Document {
        enum class Action { Ignore, Fail, InspectForm } action = Action::Ignore;
        const char* message = nullptr;
    };
    // A page or frame finished loading.
    Document documentComplete(std::string_view url);

    // What the adapter found in a completed config page for one preset field:
    // whether the form has an element of that name, the first one's type, and
    // (for a select) how many options it has.
    struct ElementInfo {
        bool exists = false;
        std::string type;
        int options = 0;
    };
    struct FormReport {
        // False when the page was replaced before it could be looked at; the
        // report is then ignored.
        bool documentFound = true;
        bool formFound = false;
        int elementCount = 0;
        std::vector<ElementInfo> elements;  // one per field, in field order
    };
    struct Write {
        std::string name;
        enum class Kind { Value, SelectedIndex } kind = Kind::Value;
        std::string value;  // Value: the text; SelectedIndex: the decimal index
    };
    struct FormStep {
        enum class Action { Fail, Ignore, AlreadyFilled, Fill } action = Action::Fail;
        const char* message = nullptr;  // Fail
        std::vector<Write> writes;      // Fill, in field order
        std::string summary;            // Fill: what to tell the user
    };
    // Decides on a completed config page: fail (no form, no elements), leave
    // a form filled once alone, or fill it. Only elements of type "text" and
    // "select-one" are written; a select takes a decimal option index within
    // its options. Everything else is listed in the summary as not found.
    FormStep formInspected(const std::vector<tagField>& fields, const FormReport& report);

  private:
    std::string m_ipAddress;
    PresetsRunState& m_state;
    int m_redirects = 0;
};

}  // namespace lanscope

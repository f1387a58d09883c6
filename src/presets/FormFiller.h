#pragma once

#include <chrono>
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
// The program's one state, process-wide on purpose: the login errors count
// for the whole run of the program, whichever window saw them. Windows take
// it as a parameter, so tests hand in their own.
PresetsRunState& ProgramPresetsState();

// What decides whether the browser engine can start in this process. As the
// superuser its renderer sandbox cannot run, and the engine then ends the
// whole program on the spot, unless it has been told to do without the
// sandbox: QTWEBENGINE_DISABLE_SANDBOX set (to anything), or --no-sandbox
// among its flags, which come from QTWEBENGINE_CHROMIUM_FLAGS when that is
// set and from the command line after --webEngineArgs otherwise.
struct BrowserEngineStart {
    bool superuser = false;
    bool sandboxDisabled = false;              // QTWEBENGINE_DISABLE_SANDBOX is set
    std::optional<std::string> chromiumFlags;  // QTWEBENGINE_CHROMIUM_FLAGS, when set
    std::vector<std::string> arguments;        // the program's command line
};
// True when starting the engine would end the program.
bool BrowserEngineRefuses(const BrowserEngineStart& start);

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
    // A window that never shows cannot be closed by anyone: a quiet run that
    // has not filled the form by then gives up.
    static constexpr std::chrono::seconds kQuietDeadline{30};

    FormFiller(std::string ipAddress, PresetsRunState& state);

    // "http://" + address + "/index.htm", the first page.
    std::string indexUrl() const;
    std::string framesUrl() const;

    struct Navigation {
        enum class Action { Proceed, Redirect, Fail } action = Action::Proceed;
        std::string url;                // Redirect: where to
        const char* message = nullptr;  // Fail: what to show before closing
    };
    // Who started a navigation: the window or the pages on their own (frames,
    // scripts), a redirect by the server or by a page while it loads, or the
    // person at the window (a link, a form, back, forward, reload).
    enum class Cause { Page, Redirect, User };
    // Before a page or frame loads. A redirect to an address no rule names is
    // let through: it forwards a request already judged; the login-error,
    // "res://" and limit rules still apply to it. What the user does is
    // steered by the same rules but never counts towards the limit: it is no
    // loop of the pages.
    Navigation beforeNavigate(std::string_view url, Cause cause = Cause::Page);
    // The top-level page could not be loaded (the module cannot be reached),
    // the page's renderer has gone, or a quiet run has run out of time.
    Navigation loadFailed() const;

    // Whether `url` is on the module itself (any scheme, any port): the only
    // host that is given the user name and password typed for the module.
    // A frame of another host, or a page the module sends the browser to,
    // gets a cancelled login instead.
    bool isModuleAddress(std::string_view url) const;

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
    // How far a look into a completed page got: the page was replaced
    // before it could be looked at (a later completion counts instead), or
    // its window, its document, the document's forms or the form
    // "frmConfig" could not be had, or the form was found.
    enum class Reached { Replaced, NoBrowser, NoDocument, NoForms, NoForm, Form };
    // The word the page scripts give for each; nothing for any other word.
    static std::optional<Reached> ReachedFromWord(std::string_view word);
    // A look that gave no usable answer at all (the script failed or its
    // result was not understood): a page that has navigated since is taken
    // as replaced, any other as a browser object that could not be had.
    static Reached Unanswered(bool navigatedSince);

    struct FormReport {
        Reached reached = Reached::Form;
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

    struct Written {
        enum class Action { Done, Retry, Fail } action = Action::Done;
        const char* message = nullptr;  // Fail
    };
    // After the values were written into the form found by formInspected:
    // done; or the page was replaced meanwhile, so the next completed form
    // gets them (the form counts as not filled again); or the form could
    // not be had again, which ends the window as the look would have.
    Written formWritten(Reached reached);

  private:
    std::string m_ipAddress;
    PresetsRunState& m_state;
    int m_redirects = 0;
};

}  // namespace lanscope

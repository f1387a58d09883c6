#include <gtest/gtest.h>

#include "presets/FormFiller.h"

namespace lanscope {
namespace {

using Nav = FormFiller::Navigation::Action;
using Doc = FormFiller::Document::Action;
using Step = FormFiller::FormStep::Action;
using Cause = FormFiller::Cause;
using Reached = FormFiller::Reached;

FormFiller::FormReport FoundForm(int elementCount) {
    return {Reached::Form, elementCount, {}};
}

TEST(FormFiller, NavigationRulesInTheirOrder) {
    PresetsRunState state;
    FormFiller filler("192.0.2.11", state);
    const struct {
        const char* url;
        Nav action;
        std::string target;
    } cases[] = {
        {"http://192.0.2.11/index.htm", Nav::Redirect, "http://192.0.2.11/configframes.htm"},
        {"http://192.0.2.11/configframes.htm", Nav::Proceed, ""},
        {"http://192.0.2.11/Config.HTM", Nav::Proceed, ""},
        {"about:blank", Nav::Proceed, ""},
        {"http://192.0.2.11/LoginError.htm", Nav::Redirect, "http://192.0.2.11/index.htm"},
        {"http://192.0.2.11/blank-config-loginerror.htm", Nav::Redirect,
         "http://192.0.2.11/index.htm"},  // the login-error rule comes first
        {"http://192.0.2.11/status.htm", Nav::Redirect, "http://192.0.2.11/configframes.htm"},
    };
    for (const auto& c : cases) {
        const auto next = filler.beforeNavigate(c.url);
        EXPECT_EQ(next.action, c.action) << c.url;
        EXPECT_EQ(next.url, c.target) << c.url;
    }
    EXPECT_EQ(filler.beforeNavigate("res://ieframe.dll/dnserror.htm").message,
              std::string("Unable to display the page. Please ensure accessibility\nvia the web "
                          "interface. Exiting.\n\n"));
    EXPECT_EQ(filler.beforeNavigate("http://192.0.2.11/status.htm", Cause::Redirect).action,
              Nav::Proceed);
    EXPECT_EQ(filler.beforeNavigate("http://192.0.2.11/loginerror.htm", Cause::Redirect).action,
              Nav::Redirect);
    // What the user does is steered alike.
    EXPECT_EQ(filler.beforeNavigate("http://192.0.2.11/status.htm", Cause::User).url,
              "http://192.0.2.11/configframes.htm");
}

TEST(FormFiller, TheSixthLoginErrorOfTheProgramRunFailsAlsoInALaterWindow) {
    PresetsRunState state;
    {
        FormFiller filler("m", state);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(filler.beforeNavigate("http://m/loginerror.htm").action, Nav::Redirect);
            filler.documentComplete("http://m/loginerror.htm");
        }
        const auto sixth = filler.beforeNavigate("http://m/loginerror.htm");
        EXPECT_EQ(sixth.action, Nav::Fail);
        EXPECT_EQ(std::string(sixth.message),
                  "Unable to display the page. Authentication issues\nare preventing it from "
                  "being displayed. Please try again. Exiting.\n\n");
    }
    FormFiller next("m", state);
    EXPECT_EQ(next.beforeNavigate("http://m/loginerror.htm").action, Nav::Fail);
}

TEST(FormFiller, RedirectsEndAfterTwentyUntilTheFormIsReached) {
    PresetsRunState state;
    FormFiller filler("m", state);
    for (int i = 0; i < FormFiller::kMaxRedirects; ++i) {
        ASSERT_EQ(filler.beforeNavigate("http://m/other.htm").action, Nav::Redirect) << i;
        filler.documentComplete("http://m/configframes.htm");  // frame pages do not count
    }
    EXPECT_EQ(filler.beforeNavigate("http://m/other.htm").action, Nav::Fail);
    filler.formInspected({}, FoundForm(1));
    EXPECT_EQ(filler.beforeNavigate("http://m/other.htm").action, Nav::Redirect);
}

TEST(FormFiller, TheUsersOwnNavigationsNeverReachTheRedirectLimit) {
    PresetsRunState state;
    FormFiller filler("m", state);
    filler.formInspected({}, FoundForm(1));
    for (int i = 0; i < 3 * FormFiller::kMaxRedirects; ++i) {
        ASSERT_EQ(filler.beforeNavigate("http://m/status.htm", Cause::User).action, Nav::Redirect)
            << i;
    }
    // The pages' own still do.
    for (int i = 0; i < FormFiller::kMaxRedirects; ++i) {
        ASSERT_EQ(filler.beforeNavigate("http://m/status.htm").action, Nav::Redirect) << i;
    }
    EXPECT_EQ(filler.beforeNavigate("http://m/status.htm").action, Nav::Fail);
}

TEST(FormFiller, OnlyTheModuleItselfIsGivenTheCredentials) {
    PresetsRunState state;
    const struct {
        const char* module;
        const char* url;
        bool given;
    } cases[] = {
        {"192.0.2.11", "http://192.0.2.11/config.htm", true},
        {"192.0.2.11", "http://192.0.2.11:8080/config.htm", true},  // any port
        {"192.0.2.11", "https://192.0.2.11/", true},
        {"192.0.2.11", "http://192.0.2.11", true},
        {"192.0.2.11", "http://admin@192.0.2.11/config.htm", true},
        {"Module.Local", "http://module.local/config.htm", true},
        {"192.0.2.11:8080", "http://192.0.2.11/config.htm", true},
        {"192.0.2.11", "http://192.0.2.12/config.htm", false},
        {"192.0.2.11", "http://192.0.2.111/config.htm", false},
        {"192.0.2.11", "http://192.0.2.1/config.htm", false},
        {"192.0.2.11", "http://192.0.2.11.example.com/config.htm", false},
        {"192.0.2.11", "http://192.0.2.11@example.com/config.htm", false},
        {"192.0.2.11", "http://example.com/192.0.2.11/config.htm", false},
        {"192.0.2.11", "http://example.com/?host=192.0.2.11", false},
        {"192.0.2.11", "http://example.com\\@192.0.2.11/", false},
        {"192.0.2.11", "about:blank", false},
        {"192.0.2.11", "", false},
        {"", "http:///config.htm", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormFiller(c.module, state).isModuleAddress(c.url), c.given)
            << c.module << " " << c.url;
    }
}

TEST(FormFiller, BrowserEngineRefusesTheSuperuserUnlessToldToRunWithoutSandbox) {
    using Flags = std::optional<std::string>;
    using Args = std::vector<std::string>;
    const struct {
        bool superuser;
        bool disabled;
        Flags flags;
        Args arguments;
        bool refuses;
    } cases[] = {
        {false, false, {}, {"lanscope"}, false},
        {true, false, {}, {"lanscope"}, true},
        {true, true, {}, {"lanscope"}, false},
        {true, false, "--disable-gpu --no-sandbox", {"lanscope"}, false},
        {true, false, "-no-sandbox", {"lanscope"}, false},
        {true, false, "--no-sandbox=1", {"lanscope"}, false},
        {true, false, "--disable-gpu", {"lanscope"}, true},
        {true, false, "--no-sandboxes", {"lanscope"}, true},
        {true, false, "-- --no-sandbox", {"lanscope"}, true},
        {true, false, "", {"lanscope", "--webEngineArgs", "--no-sandbox"}, true},  // flags win
        {true, false, {}, {"lanscope", "--webEngineArgs", "--no-sandbox"}, false},
        {true, false, {}, {"lanscope", "--WEBENGINEARGS", "--no-sandbox"}, false},
        {true, false, {}, {"lanscope", "--no-sandbox"}, true},         // not the engine's
        {true, false, {}, {"--webEngineArgs", "--no-sandbox"}, true},  // the program's name
        {true, false, {}, {}, true},
    };
    for (const auto& c : cases) {
        const BrowserEngineStart start{c.superuser, c.disabled, c.flags, c.arguments};
        EXPECT_EQ(BrowserEngineRefuses(start), c.refuses)
            << c.superuser << c.disabled << " " << c.flags.value_or("(unset)") << " "
            << (c.arguments.size() > 2 ? c.arguments[1] : "");
    }
}

TEST(FormFiller, CompletedDocuments) {
    PresetsRunState state;
    FormFiller filler("m", state);
    EXPECT_EQ(filler.documentComplete("http://m/configframes.htm").action, Doc::Ignore);
    EXPECT_EQ(filler.documentComplete("about:blank").action, Doc::Ignore);
    EXPECT_EQ(filler.documentComplete("http://m/CONFIG.htm?x=1").action, Doc::InspectForm);
    const auto index = filler.documentComplete("http://m/index.htm");
    EXPECT_EQ(index.action, Doc::Fail);
    EXPECT_EQ(std::string(index.message), "Your authentication failed. Exiting.\n\n");
}

TEST(FormFiller, FillsTextAndSelectsOnceAndListsTheRest) {
    PresetsRunState state;
    FormFiller filler("m", state);
    const std::vector<tagField> fields = {
        {"ip", "10.0.0.1"}, {"mode", "2"}, {"speed", "7"},   {"mode", "x"},
        {"pw", "secret"},   {"dhcp", "1"}, {"nothing", "v"}, {"ip", "10.0.0.2"},
    };
    FormFiller::FormReport report = FoundForm(9);
    report.elements = {{true, "text", 0},       {true, "select-one", 3}, {true, "select-one", 3},
                       {true, "select-one", 3}, {true, "password", 0},   {true, "checkbox", 0},
                       {false, "", 0},          {true, "text", 0}};
    const auto step = filler.formInspected(fields, report);
    ASSERT_EQ(step.action, Step::Fill);
    ASSERT_EQ(step.writes.size(), 3u);
    EXPECT_EQ(step.writes[0].value, "10.0.0.1");
    EXPECT_EQ(step.writes[1].kind, FormFiller::Write::Kind::SelectedIndex);
    EXPECT_EQ(step.writes[1].value, "2");
    EXPECT_EQ(step.writes[2].value, "10.0.0.2");  // the later value last
    EXPECT_EQ(step.summary,
              "Your presets have been loaded. However, you must verify the values and press "
              "'Submit' before they will take affect.\n\nUnable to find the following "
              "fields:\n\n\tspeed\n\tmode\n\tpw\n\tdhcp\n\tnothing\n");
    EXPECT_TRUE(state.formFilled);
    // Submit brings config.htm back: no second fill, but its faults still count.
    EXPECT_EQ(filler.formInspected(fields, report).action, Step::AlreadyFilled);
    report.elementCount = 0;
    EXPECT_EQ(std::string(filler.formInspected(fields, report).message),
              "You have not logged in as administrator. Exiting.\n\n");
    report.reached = Reached::NoForm;
    EXPECT_EQ(std::string(filler.formInspected(fields, report).message),
              "Unable to find the form. Exiting.\n\n");
    report.reached = Reached::Replaced;  // the page was replaced meanwhile
    EXPECT_EQ(filler.formInspected(fields, report).action, Step::Ignore);
}

// What a look into the page could not get, from the script's answer (or its
// failure) to the message that ends the window.
TEST(FormFiller, ALookThatFailsEndsWithWhatItCouldNotGet) {
    const struct {
        const char* word;  // nullptr: no usable answer
        bool navigatedSince;
        Step step;
        const char* message;
    } cases[] = {
        {"no-browser", false, Step::Fail, "Unable to get the browser object. Exiting.\n\n"},
        {"no-document", false, Step::Fail, "Unable to get the document object. Exiting.\n\n"},
        {"no-forms", false, Step::Fail, "Unable to get the forms object. Exiting.\n\n"},
        {"no-form", false, Step::Fail, "Unable to find the form. Exiting.\n\n"},
        {"replaced", false, Step::Ignore, nullptr},
        {nullptr, false, Step::Fail, "Unable to get the browser object. Exiting.\n\n"},
        {"forms ", false, Step::Fail, "Unable to get the browser object. Exiting.\n\n"},
        {nullptr, true, Step::Ignore, nullptr},  // overtaken by a newer page
        {"form", false, Step::Fill, nullptr},
    };
    for (const auto& c : cases) {
        PresetsRunState state;
        FormFiller filler("m", state);
        const auto reached = c.word ? FormFiller::ReachedFromWord(c.word) : std::nullopt;
        FormFiller::FormReport report = FoundForm(1);
        report.reached = reached.value_or(FormFiller::Unanswered(c.navigatedSince));
        const auto step = filler.formInspected({}, report);
        const std::string name = c.word ? c.word : "(none)";
        EXPECT_EQ(step.action, c.step) << name;
        EXPECT_EQ(step.message ? std::string(step.message) : "", c.message ? c.message : "")
            << name;
        EXPECT_EQ(state.formFilled, c.step == Step::Fill) << name;
    }
}

TEST(FormFiller, AFormReplacedWhileItIsWrittenIsFilledAtItsNextCompletion) {
    PresetsRunState state;
    FormFiller filler("m", state);
    ASSERT_EQ(filler.formInspected({}, FoundForm(1)).action, Step::Fill);
    EXPECT_EQ(filler.formWritten(Reached::Form).action, FormFiller::Written::Action::Done);
    EXPECT_TRUE(state.formFilled);

    ASSERT_EQ(filler.formWritten(Reached::Replaced).action, FormFiller::Written::Action::Retry);
    EXPECT_FALSE(state.formFilled);
    EXPECT_EQ(filler.formInspected({}, FoundForm(1)).action, Step::Fill);

    const auto gone = filler.formWritten(Reached::NoForms);
    EXPECT_EQ(gone.action, FormFiller::Written::Action::Fail);
    EXPECT_EQ(std::string(gone.message), "Unable to get the forms object. Exiting.\n\n");
}

TEST(FormFiller, NoFieldsStillFillsWithTheBareSummary) {
    PresetsRunState state;
    FormFiller filler("m", state);
    const auto step = filler.formInspected({}, FoundForm(3));
    EXPECT_EQ(step.action, Step::Fill);
    EXPECT_TRUE(step.writes.empty());
    EXPECT_EQ(step.summary,
              "Your presets have been loaded. However, you must verify the values and press "
              "'Submit' before they will take affect.");
}

}  // namespace
}  // namespace lanscope

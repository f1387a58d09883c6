#include <gtest/gtest.h>

#include "presets/FormFiller.h"

namespace lanscope {
namespace {

using Nav = FormFiller::Navigation::Action;
using Doc = FormFiller::Document::Action;
using Step = FormFiller::FormStep::Action;

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
    EXPECT_EQ(filler.beforeNavigate("http://192.0.2.11/status.htm", true).action, Nav::Proceed);
    EXPECT_EQ(filler.beforeNavigate("http://192.0.2.11/loginerror.htm", true).action,
              Nav::Redirect);
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
    filler.formInspected({}, {true, true, 1, {}});
    EXPECT_EQ(filler.beforeNavigate("http://m/other.htm").action, Nav::Redirect);
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
    FormFiller::FormReport report;
    report.formFound = true;
    report.documentFound = true;
    report.elementCount = 9;
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
    report.formFound = false;
    EXPECT_EQ(std::string(filler.formInspected(fields, report).message),
              "Unable to find the form. Exiting.\n\n");
    report.documentFound = false;  // the page was replaced meanwhile
    EXPECT_EQ(filler.formInspected(fields, report).action, Step::Ignore);
}

TEST(FormFiller, NoFieldsStillFillsWithTheBareSummary) {
    PresetsRunState state;
    FormFiller filler("m", state);
    const auto step = filler.formInspected({}, {true, true, 3, {}});
    EXPECT_EQ(step.action, Step::Fill);
    EXPECT_TRUE(step.writes.empty());
    EXPECT_EQ(step.summary,
              "Your presets have been loaded. However, you must verify the values and press "
              "'Submit' before they will take affect.");
}

}  // namespace
}  // namespace lanscope

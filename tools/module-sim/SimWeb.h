#pragma once

#include <map>
#include <string>
#include <vector>

namespace lanscope::sim {

// The module's web pages: an index, a frame page holding the configuration
// page and an empty frame, the configuration form "frmConfig", and the page a
// failed login ends on, behind HTTP basic authentication when accounts are
// set. Pure: a request in, a response out; the HTTP server is elsewhere.
struct WebOptions {
    std::string admin;  // "user:password" of the administrator; empty: no login
    std::string user;   // "user:password" of a user who sees an empty form
    // Faults: "login-error" (every page sends the browser to the login-error
    // page), "no-form", "renamed-form", "no-rule-frame" (a frame whose address
    // the filler has no rule for).
    std::string fault;
};

struct WebRequest {
    std::string method = "GET";
    std::string path;
    std::string authorization;  // the Authorization header, if any
    std::string body;
};

struct WebResponse {
    int status = 200;
    std::map<std::string, std::string> headers;
    std::string body;
};

class SimWeb {
  public:
    explicit SimWeb(WebOptions options) : m_options(std::move(options)) {}

    WebResponse handle(const WebRequest& request);

    // The bodies of the form submissions, in order.
    const std::vector<std::string>& posts() const { return m_posts; }

  private:
    enum class Role { None, User, Admin };
    Role roleOf(const std::string& authorization) const;
    std::string configPage(Role role) const;

    WebOptions m_options;
    std::vector<std::string> m_posts;
};

// Decodes base64 (as in a basic authorization header); nothing on bad input.
std::string DecodeBase64(const std::string& text);

}  // namespace lanscope::sim

#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <string>

namespace lanscope::sim {

// The module's web pages: an index, a frame page holding the configuration
// page and an empty frame, the configuration form "frmConfig", and the page a
// failed login ends on, behind HTTP basic authentication. Pure: a request
// in, a response out; the HTTP server is elsewhere.
struct WebOptions {
    // "user:password" of the administrator; without one nobody is, unless the
    // pages are open.
    std::string admin;
    std::string user;   // "user:password" of a user who sees an empty form
    bool open = false;  // no login at all: every visitor is the administrator
    // What the frame page's second frame shows instead of an empty page (a
    // page of another host, say).
    std::string frameUrl;
    // Faults: "login-error" (every page sends the browser to the login-error
    // page), "no-form", "renamed-form", "no-rule-frame" (a frame whose address
    // the filler has no rule for), "quiet-login" (a failed login stays on its
    // answer instead of moving to the login-error page), "shadowed-names"
    // (page elements named like the document's and the form's own
    // properties), "stopped-load" (the configuration page keeps its load
    // event from every other listener), "endless-load" (the configuration page
    // holds an image that never arrives, so it never finishes loading).
    std::set<std::string> faults;
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
    // Send the headers, then nothing for as long as the client waits.
    bool endless = false;
};

class SimWeb {
  public:
    explicit SimWeb(WebOptions options) : m_options(std::move(options)) {}

    WebResponse handle(const WebRequest& request) const;

  private:
    enum class Role { None, User, Admin };
    Role roleOf(const std::string& authorization) const;
    std::string configPage(Role role) const;
    bool has(const char* fault) const { return m_options.faults.count(fault) != 0; }

    WebOptions m_options;
};

// Whether the server may read a request's body before it is answered: 0 if
// it may, else the status that refuses it. A body of a declared length up to
// maxBody is taken; one without a length (read to the connection's end) or
// sent in chunks (of any number) is refused before a byte of it is read, as
// is a longer one, so no client makes the server hold more than maxBody.
// contentLength and transferEncoding are null when the header is missing.
int RefuseBody(const std::string& method, const std::string* contentLength,
               const std::string* transferEncoding, std::size_t maxBody);

// Text from the network for a log line: control bytes, bytes outside ASCII
// and the backslash as \xNN, so no request writes a line of its own.
std::string LogText(const std::string& text);

// Decodes base64 (as in a basic authorization header); nothing on bad input.
std::string DecodeBase64(const std::string& text);

}  // namespace lanscope::sim

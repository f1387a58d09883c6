#include "SimWeb.h"

namespace lanscope::sim {

namespace {

const char* const kPageEnd = "</body></html>\n";

std::string Page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title +
           "</title></head><body>" + body + kPageEnd;
}

// What a browser shows after a failed or missing login: the module sends it
// on to its login-error page.
std::string ToLoginError() {
    return Page("Login",
                "<script>location.replace('/loginerror.htm');</script>"
                "<p>Login required.</p>");
}

// Text for a double-quoted attribute.
std::string AttributeText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '<':
                out += "&lt;";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

// What "stopped-load" puts first into the configuration page: a listener
// that hears the load event before anyone else and lets nobody else hear it.
const char* const kStopLoad =
    "<script>window.addEventListener('load', function (event) {"
    " event.stopImmediatePropagation(); }, true);</script>";

}  // namespace

int RefuseBody(const std::string& method, const std::string* contentLength,
               const std::string* transferEncoding, std::size_t maxBody) {
    // The methods whose body the server reads; any other request's body is
    // never read.
    static const std::set<std::string> kWithBody = {"POST", "PUT", "PATCH", "DELETE", "PRI"};
    if (kWithBody.count(method) == 0) {
        return 0;
    }
    if (transferEncoding != nullptr || contentLength == nullptr) {
        return 411;  // Length Required
    }
    if (contentLength->empty() || contentLength->size() > 19 ||
        contentLength->find_first_not_of("0123456789") != std::string::npos) {
        return 400;
    }
    return std::stoull(*contentLength) > maxBody ? 413 : 0;
}

std::string LogText(const std::string& text) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f || c == '\\') {
            out += "\\x";
            out.push_back(kDigits[byte >> 4]);
            out.push_back(kDigits[byte & 0xF]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string DecodeBase64(const std::string& text) {
    static const std::string kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (const char c : text) {
        if (c == '=') {
            break;
        }
        const auto value = kAlphabet.find(c);
        if (value == std::string::npos) {
            return {};
        }
        bits = (bits << 6) | static_cast<unsigned>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return out;
}

SimWeb::Role SimWeb::roleOf(const std::string& authorization) const {
    if (m_options.open) {
        return Role::Admin;  // no login at all
    }
    const std::string prefix = "Basic ";
    if (authorization.compare(0, prefix.size(), prefix) != 0) {
        return Role::None;
    }
    const std::string credentials = DecodeBase64(authorization.substr(prefix.size()));
    if (!m_options.admin.empty() && credentials == m_options.admin) {
        return Role::Admin;
    }
    if (!m_options.user.empty() && credentials == m_options.user) {
        return Role::User;
    }
    return Role::None;
}

std::string SimWeb::configPage(Role role) const {
    if (has("no-form")) {
        return Page("Configuration", "<p>Nothing to configure.</p>");
    }
    const std::string name = has("renamed-form") ? "frmOther" : "frmConfig";
    std::string form;
    if (has("stopped-load")) {
        form += kStopLoad;
    }
    if (has("shadowed-names")) {
        // Named elements stand in for the document's own properties.
        form +=
            "<img name=\"forms\" alt=\"\"><img name=\"readyState\" alt=\"\">"
            "<img name=\"addEventListener\" alt=\"\"><img id=\"addEventListener\" alt=\"\">";
    }
    if (has("endless-load")) {
        form += "<img src=\"endless.png\" alt=\"\">";
    }
    form += "<form name=\"" + name + "\" method=\"post\" action=\"config.htm\">";
    if (has("shadowed-names")) {
        // ... and in the form, for the form's.
        form +=
            "<input type=\"hidden\" name=\"elements\" value=\"e\">"
            "<input type=\"hidden\" name=\"namedItem\" value=\"n\">"
            "<input type=\"hidden\" name=\"length\" value=\"l\">";
    }
    if (role == Role::Admin) {
        form +=
            "<p>IP <input type=\"text\" name=\"ip\" value=\"192.0.2.11\"></p>"
            "<p>Host <input name=\"hostname\" value=\"module\"></p>"
            "<p>Speed <select name=\"speed\"><option>Auto</option><option>10M</option>"
            "<option>100M</option></select></p>"
            "<p>Password <input type=\"password\" name=\"password\" value=\"\"></p>"
            "<p>DHCP <input type=\"checkbox\" name=\"dhcp\" value=\"on\"></p>"
            "<input type=\"hidden\" name=\"token\" value=\"t\">"
            "<p>Notes <textarea name=\"notes\"></textarea></p>"
            "<p>Label <input type=\"text\" name=\"label\" value=\"first\">"
            "<input type=\"text\" name=\"label\" value=\"second\"></p>"
            "<p><input type=\"submit\" name=\"submit\" value=\"Submit\"></p>";
    }
    form += "</form>";
    return Page("Configuration", form);
}

WebResponse SimWeb::handle(const WebRequest& request) const {
    WebResponse response;
    response.headers["Content-Type"] = "text/html; charset=utf-8";
    std::string path = request.path.substr(0, request.path.find('?'));
    if (path == "/" || path.empty()) {
        path = "/index.htm";
    }
    if (path == "/loginerror.htm") {
        response.body = Page("Login error", "<p>The user name or password is wrong.</p>");
        return response;
    }
    if (has("login-error")) {
        response.body = ToLoginError();
        return response;
    }
    const Role role = roleOf(request.authorization);
    if (role == Role::None) {
        response.status = 401;
        response.headers["WWW-Authenticate"] = "Basic realm=\"LAN module\"";
        response.body =
            has("quiet-login") ? Page("Login", "<p>Login required.</p>") : ToLoginError();
        return response;
    }
    if (path == "/index.htm") {
        response.body = Page("LAN module", "<p><a href=\"configframes.htm\">Configuration</a></p>");
    } else if (path == "/configframes.htm") {
        std::string second = has("no-rule-frame") ? "status.htm" : "about:blank";
        if (!m_options.frameUrl.empty()) {
            second = AttributeText(m_options.frameUrl);
        }
        response.body =
            "<!DOCTYPE html><html><head><title>Configuration</title></head>"
            "<frameset rows=\"70%,30%\"><frame name=\"main\" src=\"config.htm\">"
            "<frame name=\"side\" src=\"" +
            second + "\"></frameset></html>\n";
    } else if (path == "/config.htm") {
        response.body = configPage(role);
    } else if (path == "/status.htm") {
        response.body = Page("Status", "<p>Running.</p>");
    } else if (path == "/endless.png" && has("endless-load")) {
        response.headers["Content-Type"] = "image/png";
        response.endless = true;
    } else {
        response.status = 404;
        response.body = Page("Not found", "<p>No such page.</p>");
    }
    return response;
}

}  // namespace lanscope::sim

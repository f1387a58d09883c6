#include "SimHttp.h"

#include <httplib.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <mutex>
#include <thread>

namespace lanscope::sim {

bool ServePages(const HttpSettings& settings) {
    // The web pages run on threads of the HTTP server; one at a time.
    static SimWeb pages(settings.web);
    static std::mutex pagesLock;
    static httplib::Server server;
    const auto serve = [settings](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard<std::mutex> hold(pagesLock);
        WebRequest in;
        in.method = request.method;
        in.path = request.path;
        in.authorization = request.get_header_value("Authorization");
        in.body = request.body;
        const WebResponse out = pages.handle(in);
        response.status = out.status;
        for (const auto& [name, value] : out.headers) {
            if (name != "Content-Type") {
                response.set_header(name, value);
            }
        }
        const auto type = out.headers.find("Content-Type");
        if (out.endless) {
            // Holds one of the server's threads: given up after a minute, so
            // a page that is never closed does not keep it for good.
            const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
            response.set_chunked_content_provider(
                type->second, [until](std::size_t, httplib::DataSink& sink) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                    return std::chrono::steady_clock::now() < until && sink.is_writable();
                });
        } else {
            response.set_content(out.body, type->second);
        }
        if (request.method == "POST" && !settings.postLog.empty()) {
            std::ofstream(settings.postLog, std::ios::app) << request.body << '\n';
        }
        if (settings.verbose) {
            std::cerr << "lanscope-module-sim: http " << LogText(request.method) << ' '
                      << LogText(request.path)
                      << (in.authorization.empty() ? "" : " (with authorization)") << " -> "
                      << out.status << std::endl;
        }
    };
    // Every path, line breaks included ("." stops at them), reaches the pages
    // and the log.
    server.Get(R"([\s\S]*)", serve);
    server.Post(R"([\s\S]*)", serve);
    // A module's forms are small; a longer body is refused (413), not kept,
    // and so is one of no declared length (411), before any of it is read.
    constexpr std::size_t kMaxBody = 64 * 1024;
    server.set_payload_max_length(kMaxBody);
    server.set_pre_routing_handler(
        [settings](const httplib::Request& request, httplib::Response& response) {
            const auto header = [&request](const char* name) -> const std::string* {
                const auto found = request.headers.find(name);
                return found == request.headers.end() ? nullptr : &found->second;
            };
            const int refused = RefuseBody(request.method, header("Content-Length"),
                                           header("Transfer-Encoding"), kMaxBody);
            if (refused == 0) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            response.status = refused;
            // The body is left unread: nothing after it on this connection is a
            // request.
            response.set_header("Connection", "close");
            if (settings.verbose) {
                std::cerr << "lanscope-module-sim: http " << LogText(request.method) << ' '
                          << LogText(request.path) << " -> " << refused << std::endl;
            }
            return httplib::Server::HandlerResponse::Handled;
        });
    if (!server.bind_to_port(settings.bind, settings.port)) {
        std::cerr << "lanscope-module-sim: cannot serve on " << settings.bind << " TCP port "
                  << settings.port << '\n';
        return false;
    }
    std::thread([] { server.listen_after_bind(); }).detach();
    return true;
}

}  // namespace lanscope::sim

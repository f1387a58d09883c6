// The floor for a firmware update: the same number of request / reply round
// trips of the same sizes over the same link, with nothing else done.
//   bench_ping_pong server PORT REPLY-SIZE [spin]
//   bench_ping_pong client ADDRESS PORT COUNT REQUEST-SIZE [spin]
// "spin" waits for each datagram as the update tool and the simulator do
// between chunks, so the floor pays no wake-up either when ours do not.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: bench_ping_pong server PORT REPLY-SIZE [spin]\n"
                 "       bench_ping_pong client ADDRESS PORT COUNT REQUEST-SIZE [spin]\n");
    return 2;
}

// One datagram. Spinning polls for up to 300 us, as the update tool and the
// simulator do, before it sleeps in recv like the plain floor.
ssize_t Receive(int fd, char* buffer, std::size_t size, sockaddr_in* peer, bool spin) {
    socklen_t length = sizeof *peer;
    if (spin) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(300);
        do {
            length = sizeof *peer;
            const ssize_t got = recvfrom(fd, buffer, size, MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr*>(peer), &length);
            if (got >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                return got;
            }
        } while (std::chrono::steady_clock::now() < until);
        length = sizeof *peer;
    }
    return recvfrom(fd, buffer, size, 0, reinterpret_cast<sockaddr*>(peer), &length);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        return Usage();
    }
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    const bool spin = std::strcmp(argv[argc - 1], "spin") == 0;
    if (std::strcmp(argv[1], "server") == 0) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[2])));
        if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            std::perror("bind");
            return 1;
        }
        std::vector<char> reply(static_cast<std::size_t>(std::atoi(argv[3])), 0);
        char buffer[2048];
        for (;;) {
            sockaddr_in peer{};
            if (Receive(fd, buffer, sizeof buffer, &peer, spin) > 0) {
                sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&peer),
                       sizeof peer);
            }
        }
    }
    if (std::strcmp(argv[1], "client") != 0 || argc < 6) {
        return Usage();
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[3])));
    inet_pton(AF_INET, argv[2], &server.sin_addr);
    const int count = std::atoi(argv[4]);
    std::vector<char> request(static_cast<std::size_t>(std::atoi(argv[5])), 'x');
    char buffer[2048];
    timeval timeout{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&server),
               sizeof server);
        sockaddr_in peer{};
        if (Receive(fd, buffer, sizeof buffer, &peer, spin) <= 0) {
            std::fprintf(stderr, "no reply to round trip %d\n", i);
            return 1;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.6f\n", seconds);
    return 0;
}

// How long a window program takes from its start to its first window on the
// screen: starts the program, waits for the X server to map a top-level
// window, prints the milliseconds and ends the program.
//   bench_first_window PROGRAM [ARG...]
// The anchor: bench_first_window bench_first_window --bare, a plain Qt
// dialog with a label and a button.
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

int BareDialog(int argc, char** argv) {
    QApplication app(argc, argv);
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("A plain dialog")));
    layout->addWidget(new QPushButton(QStringLiteral("Close")));
    return dialog.exec();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--bare") == 0) {
        return BareDialog(argc, argv);
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_first_window PROGRAM [ARG...]\n");
        return 2;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "bench_first_window: no X display\n");
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[1], argv + 1);
        std::perror("bench_first_window: exec");
        _exit(127);
    }
    int result = 1;
    while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
        const bool mapped =
            (event->response_type & 0x7F) == XCB_MAP_NOTIFY &&
            reinterpret_cast<xcb_map_notify_event_t*>(event)->override_redirect == 0;
        std::free(event);
        if (mapped) {
            const std::chrono::duration<double, std::milli> took =
                std::chrono::steady_clock::now() - start;
            std::printf("%.1f\n", took.count());
            result = 0;
            break;
        }
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    xcb_disconnect(connection);
    return result;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Cold start to window shown: starts a program again and again and times each start up to the moment the X
// server maps a top-level window with the given title. Usage: time_to_window RUNS TITLE PROGRAM [ARGS...]
#include <xcb/xcb.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Connection {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    ~Connection() { xcb_disconnect(c); }
};

std::string title(xcb_connection_t* c, xcb_window_t window)
{
    const auto cookie = xcb_get_property(c, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c, cookie, nullptr), &std::free);
    if (!reply)
        return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                       static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

// Milliseconds from fork to the map of the window titled `want`; negative when the program ended first.
double timeOneStart(char** argv, const std::string& want)
{
    Connection x;
    if (xcb_connection_has_error(x.c)) {
        std::fprintf(stderr, "cannot connect to the X server\n");
        std::exit(2);
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x.c)).data;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x.c, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x.c);

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[0], argv);
        _exit(127);
    }
    double ms = -1;
    const int fd = xcb_get_file_descriptor(x.c);
    while (ms < 0) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(x.c)) {
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            const xcb_window_t window = mapped ? reinterpret_cast<xcb_map_notify_event_t*>(event)->window : 0;
            std::free(event);
            if (mapped && ms < 0 && title(x.c, window) == want)
                ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        }
        if (ms >= 0)
            break;
        if (waitpid(child, nullptr, WNOHANG) == child)
            return -1;
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(30))
            break;
        pollfd wait{fd, POLLIN, 0};
        poll(&wait, 1, 50);
    }
    // Measured: no need to wait for an orderly end.
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return ms;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: time_to_window RUNS TITLE PROGRAM [ARGS...]\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double ms = timeOneStart(argv + 3, argv[2]);
        if (ms < 0) {
            std::fprintf(stderr, "the program ended without showing its window\n");
            return 1;
        }
        times.push_back(ms);
        usleep(200000);
    }
    std::sort(times.begin(), times.end());
    std::printf("start to window shown over %d runs: min %.1f ms, median %.1f ms, max %.1f ms\n", runs, times.front(),
                times[times.size() / 2], times.back());
}

// Start-up cost of the real program, measured from outside as a user sees
// it: time from starting the process to the splash's first paint on the
// screen, resident memory once the control surface is shown, and the shared
// libraries the dynamic loader has to load and relocate before main().
//
// The bench starts its own virtual X server (Xvfb picks a free display),
// then for each run starts vantor2 on it, watches the root window for the
// program's top-level window to be mapped, and samples one pixel of the
// window until it turns white (the splash's background), then until it
// turns dark again (the surface replaced the splash). Usage:
//   bench_app_startup [runs]      (default 5; Google Benchmark flags that
//                                  scripts/bench passes on are ignored)

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kGiveUp = 30s;

double millisSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

pid_t spawn(const std::vector<std::string>& argv, int stdoutFd = -1) {
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    posix_spawn_file_actions_adddup2(&actions, stdoutFd >= 0 ? stdoutFd : devNull, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, devNull, STDERR_FILENO);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(devNull);
    return pid;
}

void stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 500; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// A private Xvfb; its display name, or nothing.
struct VirtualDisplay {
    pid_t pid = -1;
    std::string name;

    bool start() {
        int fds[2];
        if (pipe(fds) != 0) return false;
        pid = spawn({"/usr/bin/Xvfb", "-displayfd", "1", "-screen", "0", "1280x1000x24", "-nolisten", "tcp"}, fds[1]);
        close(fds[1]);
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (pid <= 0 || number.empty()) return false;
        name = ":" + number;
        return true;
    }
    ~VirtualDisplay() { stop(pid); }
};

// How many shared libraries `ldd` lists for the program; -1 if it cannot run.
int linkedLibraries(const std::string& program) {
    std::FILE* pipe = popen(("ldd '" + program + "' 2>/dev/null").c_str(), "r");
    if (!pipe) return -1;
    int lines = 0;
    for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) lines += c == '\n';
    return pclose(pipe) == 0 ? lines : -1;
}

// One "Name:   123 kB" field of /proc/<pid>/status, in KiB.
long statusKiB(pid_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    }
    return -1;
}

std::optional<unsigned long> pixelAt(Display* display, Window window, int x, int y) {
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return std::nullopt;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return pixel & 0xffffffUL;
}

bool isWhite(unsigned long pixel) { return pixel == 0xffffffUL; }
bool isDark(unsigned long pixel) {
    return ((pixel >> 16) & 0xff) < 0x80 && ((pixel >> 8) & 0xff) < 0x80 && (pixel & 0xff) < 0x80;
}

// Ignores errors from windows that vanish while being looked at.
int quietErrors(Display*, XErrorEvent*) { return 0; }

struct Run {
    double firstPaintMs = -1;
    double surfaceMs = -1;
    long residentKiB = -1;
    // Shared memory among it: with a JACK server running, every JACK client
    // maps and touches the server's ~100 MiB engine segment in /dev/shm,
    // which is the server's memory rather than the program's.
    long sharedKiB = -1;
};

std::optional<Run> measure(Display* display, const std::string& program) {
    Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, True);

    Run run;
    const auto start = Clock::now();
    const pid_t pid = spawn({program});
    if (pid <= 0) return std::nullopt;

    Window window = 0;
    while (!window && Clock::now() - start < kGiveUp) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && event.xmap.event == root && !event.xmap.override_redirect) {
                window = event.xmap.window;
            }
        }
        if (!window) std::this_thread::sleep_for(200us);
    }
    if (!window) {
        stop(pid);
        return std::nullopt;
    }
    // Below the menu bar, off the centred title: splash background.
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    const int x = 12;
    const int y = attributes.height / 3;

    while (Clock::now() - start < kGiveUp) {
        const auto pixel = pixelAt(display, window, x, y);
        if (pixel && isWhite(*pixel)) {
            run.firstPaintMs = millisSince(start);
            break;
        }
        std::this_thread::sleep_for(200us);
    }
    while (run.firstPaintMs >= 0 && Clock::now() - start < kGiveUp) {
        const auto pixel = pixelAt(display, window, x, y);
        if (pixel && isDark(*pixel)) {
            run.surfaceMs = millisSince(start);
            break;
        }
        std::this_thread::sleep_for(1ms);
    }
    // Let the surface settle (first paints, lazy allocations) before reading.
    std::this_thread::sleep_for(1s);
    run.residentKiB = statusKiB(pid, "VmRSS");
    run.sharedKiB = statusKiB(pid, "RssShmem");
    stop(pid);
    XSelectInput(display, root, NoEventMask);
    return run;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-') runs = std::max(1, std::atoi(argv[i]));
    }
    VirtualDisplay xvfb;
    if (!xvfb.start()) {
        std::fprintf(stderr, "bench_app_startup: could not start Xvfb\n");
        return 1;
    }
    setenv("DISPLAY", xvfb.name.c_str(), 1);
    XSetErrorHandler(quietErrors);
    Display* display = XOpenDisplay(xvfb.name.c_str());
    if (!display) {
        std::fprintf(stderr, "bench_app_startup: cannot open %s\n", xvfb.name.c_str());
        return 1;
    }

    std::vector<Run> results;
    for (int i = 0; i < runs; ++i) {
        const auto run = measure(display, VANTOR_PROGRAM);
        if (!run || run->firstPaintMs < 0) {
            std::fprintf(stderr, "bench_app_startup: run %d saw no splash\n", i + 1);
            XCloseDisplay(display);
            return 1;
        }
        std::printf("run %d: first paint %.1f ms, surface %.1f ms, resident %.1f MiB (shared memory %.1f MiB)\n",
                    i + 1, run->firstPaintMs, run->surfaceMs, static_cast<double>(run->residentKiB) / 1024.0,
                    static_cast<double>(run->sharedKiB) / 1024.0);
        results.push_back(*run);
    }
    XCloseDisplay(display);

    auto median = [&](auto field) {
        std::vector<double> values;
        for (const Run& run : results) values.push_back(static_cast<double>(field(run)));
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    const double paint = median([](const Run& run) { return run.firstPaintMs; });
    const double resident = median([](const Run& run) { return run.residentKiB; }) / 1024.0;
    const double own = median([](const Run& run) { return run.residentKiB - run.sharedKiB; }) / 1024.0;
    std::printf("median of %d: start to splash's first paint %.1f ms (target <= 60); with the surface shown "
                "resident %.1f MiB, without shared memory %.1f MiB (target <= 50)\n",
                runs, paint, resident, own);
    std::printf("vantor2 links %d shared libraries (target <= 90)\n", linkedLibraries(VANTOR_PROGRAM));
    return 0;
}

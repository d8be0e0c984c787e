// Start-up and quitting of the real program, measured from outside as a user
// sees them: time from starting the process to the splash's first paint on
// the screen, resident memory once the control surface is shown, the shared
// libraries the dynamic loader has to load and relocate before main(), and
// time from a quit (closing the window, SIGTERM, SIGINT) to the end of the
// process.
//
// The bench starts its own virtual X server (Xvfb picks a free display),
// then for each run starts vantor2 on it, watches the root window for the
// program's top-level window to be mapped, and samples one pixel of the
// window until it turns white (the splash's background), then until it
// turns dark again (the surface replaced the splash). Quitting is timed
// with a private JACK server and vantor2-monitor running, so the program's
// JACK client is connected and must leave the graph; and, since this machine
// may have no camera, also on vantor2-standin-camera, the same program with
// a stand-in camera whose pictures the hand detector reads. Usage:
//   bench_app_startup [runs]      (default 5; Google Benchmark flags that
//                                  scripts/bench passes on are ignored)

#include "JackTestBed.h"

#include "platform/jack/JackHandles.h"

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
#include <poll.h>
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

// The program's top-level window once it is mapped, or 0.
Window awaitWindow(Display* display, Clock::time_point start) {
    const Window root = DefaultRootWindow(display);
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
    return window;
}

enum class Quit { CloseWindow, Terminate, Interrupt };
constexpr const char* kQuitNames[] = {"closing the window", "SIGTERM", "SIGINT"};

// Quits the program the way a user would and times until the process has
// ended; -1 if it did not end within kGiveUp (it is killed then).
double timeQuit(Display* display, Window window, pid_t pid, Quit how) {
    const auto start = Clock::now();
    if (how == Quit::CloseWindow) {
        // What a window manager's close button sends.
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XFlush(display);
    } else {
        kill(pid, how == Quit::Terminate ? SIGTERM : SIGINT);
    }
    while (Clock::now() - start < kGiveUp) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return millisSince(start);
        std::this_thread::sleep_for(200us);
    }
    stop(pid);
    return -1;
}

// Whether a JACK client of the program still has its output port.
bool programPortExists() {
    jack_status_t status{};
    const vantor::platform::JackClientHandle probe(jack_client_open("bench-probe", JackNoStartServer, &status));
    if (!probe) return false;
    const vantor::platform::JackNameList ports(
        jack_get_ports(probe.get(), "^MidiClient[^:]*:OutPort$", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput));
    return ports && ports.get()[0] != nullptr;
}

// Waits for `line` on `fd`; false on time-out or end of output.
bool awaitLine(int fd, const std::string& line) {
    const auto start = Clock::now();
    std::string buffered;
    while (Clock::now() - start < kGiveUp) {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, 100) <= 0) continue;
        char chunk[256];
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got <= 0) return false;
        buffered.append(chunk, static_cast<std::size_t>(got));
        if (buffered.find(line + "\n") != std::string::npos) return true;
    }
    return false;
}

struct QuitRun {
    double ms = -1;
    bool graphClean = false;
};

// Starts `program`, waits until it is ready (`readyLine` on its standard
// output, or else its JACK port), quits it and times the end.
std::optional<QuitRun> measureQuit(Display* display, const std::vector<std::string>& command,
                                   const std::string& readyLine, Quit how) {
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, True);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    const auto start = Clock::now();
    const pid_t pid = spawn(command, fds[1]);
    close(fds[1]);
    const Window window = pid > 0 ? awaitWindow(display, start) : 0;
    bool ready = window != 0;
    if (ready && !readyLine.empty()) ready = awaitLine(fds[0], readyLine);
    while (ready && readyLine.empty() && !programPortExists()) {
        ready = Clock::now() - start < kGiveUp;
        std::this_thread::sleep_for(10ms);
    }
    XSelectInput(display, root, NoEventMask);
    QuitRun run;
    if (ready) {
        run.ms = timeQuit(display, window, pid, how);
        run.graphClean = !programPortExists();
    } else {
        stop(pid);
    }
    // Open until the end: a line written while quitting must not meet a
    // closed pipe (SIGPIPE would end the program early).
    close(fds[0]);
    if (!ready) return std::nullopt;
    return run;
}

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

    const Window window = awaitWindow(display, start);
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
    std::fflush(stdout);

    // Quitting, with a JACK server and the stand-in synthesizer running.
    vantor::platform::silenceJackLibrary();
    vantor::e2e::JackServer server;
    if (!server.waitUntilReady()) {
        std::fprintf(stderr, "bench_app_startup: jackd did not start\n");
        XCloseDisplay(display);
        return 1;
    }
    vantor::e2e::ChildProcess monitor({VANTOR_MONITOR}, vantor::e2e::ChildProcess::Output::Pipe);
    const auto listening = monitor.readLine(std::chrono::duration_cast<std::chrono::milliseconds>(kGiveUp));
    if (!listening || listening->rfind("listening:", 0) != 0) {
        std::fprintf(stderr, "bench_app_startup: vantor2-monitor did not start\n");
        XCloseDisplay(display);
        return 1;
    }
    struct Subject {
        const char* name;
        std::vector<std::string> command;
        const char* readyLine;
    };
    const Subject subjects[] = {
        {"vantor2, surface up (no camera on this machine)", {VANTOR_PROGRAM}, ""},
        {"stand-in camera running", {VANTOR_STANDIN_CAMERA_PROGRAM}, "camera running"},
        {"stand-in camera, hand models still loading", {VANTOR_STANDIN_CAMERA_PROGRAM, "1"}, "camera running"}};
    int status = 0;
    for (const Subject& subject : subjects) {
        for (const Quit how : {Quit::CloseWindow, Quit::Terminate, Quit::Interrupt}) {
            std::vector<double> times;
            for (int i = 0; i < runs; ++i) {
                const auto run = measureQuit(display, subject.command, subject.readyLine, how);
                if (!run || run->ms < 0) {
                    std::fprintf(stderr, "bench_app_startup: %s did not %s\n", subject.name,
                                 run ? "end" : "get ready");
                    status = 1;
                    continue;
                }
                if (!run->graphClean) {
                    std::fprintf(stderr, "bench_app_startup: %s left its JACK port behind\n", subject.name);
                    status = 1;
                }
                times.push_back(run->ms);
            }
            if (times.empty()) continue;
            std::sort(times.begin(), times.end());
            std::string all;
            for (const double ms : times) all += " " + std::to_string(static_cast<int>(ms + 0.5));
            std::printf("quit by %s, %s: median of %zu %.1f ms (target <= 300; ms:%s)\n", kQuitNames[static_cast<int>(how)],
                        subject.name, times.size(), times[times.size() / 2], all.c_str());
            std::fflush(stdout);
        }
    }
    XCloseDisplay(display);
    return status;
}

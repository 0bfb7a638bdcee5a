// Interruptions: signal handlers on POSIX systems, a console control handler
// on Windows; either removes the watched temporaries and ends the run.
#include "g_f/interruptions.h"

#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace orvalt {

namespace {

// The temporaries an interruption must remove. Filled and emptied with the
// interruptions held back (or, on Windows, read by the handler thread only
// through the `active` flags), so a handler never sees half a path.
constexpr int max_watched = 4;
constexpr std::size_t watched_path_capacity = 16384;
struct Watched {
    std::atomic<int> active{0};
    char path[watched_path_capacity];
};
Watched watched[max_watched];

constexpr char interrupted_line[] = "\n **ERROR in orvalt: Run interrupted\n";

void remove_watched() {
    for (auto& w : watched) {
        if (w.active.load() == 0) continue;
#ifdef _WIN32
        DeleteFileA(w.path);
#else
        ::unlink(w.path);
#endif
    }
}

#ifdef _WIN32

// Set by an interruption before it removes the temporaries.
std::atomic<int> interrupted{0};
// Set while a temporary is being made: an interruption waits for it to
// exist (and be removed), so that it never appears after the removal.
std::atomic<int> creating{0};
// The exit status of an interruption that waits for a writer to let its
// temporary go; 0 when there is none.
std::atomic<UINT> pending_status{0};

[[noreturn]] void end_interrupted(UINT status) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), interrupted_line, sizeof interrupted_line - 1,
              &written, nullptr);
    // At once, like a signal: nothing more may run, flush or write.
    TerminateProcess(GetCurrentProcess(), status);
    ExitProcess(status);
}

// Runs on a thread of its own while the program's thread runs on: it never
// holds that thread still, as a thread held inside the heap or a stream
// would keep their locks from this one for good. A temporary that a writer
// holds open (the Genie library opens files without sharing their deletion)
// cannot be removed now: the program's thread then ends the run at its next
// check instead.
BOOL WINAPI on_console_event(DWORD event) {
    // Ctrl-C as SIGINT (2), Ctrl-Break as SIGBREAK (21), the console going
    // away as a hang-up (1).
    const UINT status = event == CTRL_C_EVENT ? 130 : event == CTRL_BREAK_EVENT ? 149 : 129;
    interrupted.store(1);
    while (creating.load() != 0) Sleep(1);
    bool all_gone = true;
    for (auto& w : watched) {
        if (w.active.load() == 0) continue;
        if (DeleteFileA(w.path) == 0 && GetLastError() != ERROR_FILE_NOT_FOUND) all_gone = false;
    }
    if (all_gone) end_interrupted(status);
    pending_status.store(status);
    Sleep(INFINITE);
    return TRUE;
}

#else

extern "C" void on_signal(int signal_number) {
    remove_watched();
    [[maybe_unused]] const ssize_t n =
        ::write(STDOUT_FILENO, interrupted_line, sizeof interrupted_line - 1);
    ::_exit(128 + signal_number);
}

constexpr int handled_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// Holds the handled signals back for its lifetime.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t set;
        sigemptyset(&set);
        for (int s : handled_signals) sigaddset(&set, s);
        sigprocmask(SIG_BLOCK, &set, &old_);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

private:
    sigset_t old_;
};

#endif

}  // namespace

void watch_temporary(const std::string& path) {
    if (path.size() >= watched_path_capacity) return;
#ifndef _WIN32
    const SignalsHeld held;
#endif
    for (auto& w : watched) {
        if (w.active.load() != 0) continue;
        std::memcpy(w.path, path.c_str(), path.size() + 1);
        w.active.store(1);
        return;
    }
}

void unwatch_temporary(const std::string& path) {
#ifndef _WIN32
    const SignalsHeld held;
#endif
    for (auto& w : watched)
        if (w.active.load() != 0 && path == w.path) w.active.store(0);
}

void creating_temporary() {
#ifdef _WIN32
    for (;;) {
        creating.store(1);
        // An interruption at work removing the temporaries ends the run, or
        // leaves that to this thread (pending_status); until then nothing new.
        if (interrupted.load() == 0 || pending_status.load() != 0) return;
        creating.store(0);
        Sleep(1);
    }
#endif
}

void temporary_created() {
#ifdef _WIN32
    creating.store(0);
#endif
}

void end_if_interrupted() {
#ifdef _WIN32
    const UINT status = pending_status.load();
    if (status == 0) return;
    remove_watched();
    end_interrupted(status);
#endif
}

bool interruption_waiting() {
#ifdef _WIN32
    return pending_status.load() != 0;
#else
    return false;
#endif
}

void handle_interruptions() {
#ifdef _WIN32
    // Once per process: a second handler would act on every event twice.
    static const bool installed = SetConsoleCtrlHandler(on_console_event, TRUE) != 0;
    (void)installed;
#else
    for (int s : handled_signals) {
        struct sigaction old {};
        sigaction(s, nullptr, &old);
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        if (old.sa_handler == SIG_IGN) continue;
        struct sigaction sa {};
        sa.sa_handler = on_signal;
        sigfillset(&sa.sa_mask);
        sigaction(s, &sa, nullptr);
    }
#endif
}

}  // namespace orvalt

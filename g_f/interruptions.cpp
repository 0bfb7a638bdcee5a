// Interruptions: signal handlers on POSIX systems, a console control handler
// on Windows; either removes the watched temporaries and ends the run.
#include "g_f/interruptions.h"

#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#include <winternl.h>

#include <cwchar>
#include <string>
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
// The dialogue's line goes with its transcript; the command line's with its errors.
std::atomic<int> line_to_errors{0};

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

// The exit status of an interruption that waits for a writer to let its
// temporary go; 0 when there is none.
std::atomic<UINT> pending_status{0};
// The thread that runs the program, held still while an interruption acts,
// so that it cannot make a temporary again after its removal (the Genie
// library reopens its file by name).
HANDLE main_thread = nullptr;

// The watched temporaries' names in the system's own form, made when they
// are watched: the handler deletes them with the one system call that needs
// nothing else. The Win32 calls convert names on the heap, whose lock the
// program's thread, held still, may hold for good.
struct SystemName {
    wchar_t text[watched_path_capacity];
    USHORT bytes = 0;
};
SystemName system_names[max_watched];
using DeleteByName = LONG(NTAPI*)(POBJECT_ATTRIBUTES);
DeleteByName delete_by_name = nullptr;

void prepare_system_name(SystemName& name, const std::string& path) {
    name.bytes = 0;
    const int n = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
    if (n <= 0) return;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), n);
    const DWORD m = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (m == 0) return;
    std::wstring full(m, L'\0');
    full.resize(GetFullPathNameW(wide.c_str(), m, full.data(), nullptr));
    const std::wstring system = full.starts_with(L"\\\\?\\") ? L"\\??\\" + full.substr(4)
                                : full.starts_with(L"\\\\")  ? L"\\??\\UNC\\" + full.substr(2)
                                                             : L"\\??\\" + full;
    if (system.size() >= watched_path_capacity || system.size() * 2 > 0xFFFE) return;
    std::wmemcpy(name.text, system.c_str(), system.size() + 1);
    name.bytes = static_cast<USHORT>(system.size() * 2);
}

// True when the temporary is gone (or was never made).
bool delete_prepared(SystemName& name) {
    if (delete_by_name == nullptr || name.bytes == 0) return false;
    UNICODE_STRING text{name.bytes, name.bytes, name.text};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    const LONG status = delete_by_name(&attributes);
    constexpr LONG name_not_found = static_cast<LONG>(0xC0000034), path_not_found = static_cast<LONG>(0xC000003A);
    return status >= 0 || status == name_not_found || status == path_not_found;
}

[[noreturn]] void end_interrupted(UINT status) {
    DWORD written = 0;
    WriteFile(GetStdHandle(line_to_errors.load() != 0 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE),
              interrupted_line, sizeof interrupted_line - 1,
              &written, nullptr);
    // At once, like a signal: nothing more may run, flush or write.
    TerminateProcess(GetCurrentProcess(), status);
    ExitProcess(status);
}

// Runs on a thread of its own, with the program's thread held still; it
// takes no lock that thread may hold (no heap, no stream). A temporary that
// a writer holds open (the Genie library opens files without sharing their
// deletion) cannot be removed now: the program's thread then ends the run at
// its next check instead.
BOOL WINAPI on_console_event(DWORD event) {
    // Ctrl-C as SIGINT (2), Ctrl-Break as SIGBREAK (21), the console going
    // away as a hang-up (1).
    const UINT status = event == CTRL_C_EVENT ? 130 : event == CTRL_BREAK_EVENT ? 149 : 129;
    if (main_thread != nullptr) SuspendThread(main_thread);
    bool all_gone = true;
    for (int k = 0; k < max_watched; ++k)
        if (watched[k].active.load() != 0 && !delete_prepared(system_names[k])) all_gone = false;
    if (all_gone) end_interrupted(status);
    pending_status.store(status);
    if (main_thread != nullptr) ResumeThread(main_thread);
    Sleep(INFINITE);
    return TRUE;
}

#else

extern "C" void on_signal(int signal_number) {
    remove_watched();
    [[maybe_unused]] const ssize_t n =
        ::write(line_to_errors.load() != 0 ? STDERR_FILENO : STDOUT_FILENO, interrupted_line,
                sizeof interrupted_line - 1);
    ::_exit(128 + signal_number);
}

constexpr int handled_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT};

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
    for (int k = 0; k < max_watched; ++k) {
        Watched& w = watched[k];
        if (w.active.load() != 0) continue;
        std::memcpy(w.path, path.c_str(), path.size() + 1);
#ifdef _WIN32
        prepare_system_name(system_names[k], path);
#endif
        w.active.store(1);
        return;
    }
}

void unwatch_temporary(const std::string& path) {
#ifndef _WIN32
    const SignalsHeld held;
#endif
    // One watch each: a name watched twice (a temporary trying the name that
    // another of this process holds, and failing) stays watched once.
    for (auto& w : watched) {
        if (w.active.load() != 0 && path == w.path) {
            w.active.store(0);
            return;
        }
    }
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

void handle_interruptions(bool line_to_standard_error) {
    line_to_errors.store(line_to_standard_error ? 1 : 0);
#ifdef _WIN32
    // Once per process: a second handler would act on every event twice.
    if (main_thread != nullptr) return;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &main_thread, 0,
                    FALSE, DUPLICATE_SAME_ACCESS);
    if (const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll"); ntdll != nullptr)
        delete_by_name = reinterpret_cast<DeleteByName>(
            reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "NtDeleteFile")));
    SetConsoleCtrlHandler(on_console_event, TRUE);
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
    // A write beyond the file size limit (ulimit -f) then fails with EFBIG
    // and is reported like any failed write, instead of ending the run.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, nullptr);
#endif
}

}  // namespace orvalt

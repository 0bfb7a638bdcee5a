// Platform-specific pieces: the header's frame characters, file-system
// queries, the creation and replacement of output files, and what an
// interruption does.
#include "g_f/platform.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define ORVALT_WIDE_ROOTS 1
#endif

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
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

int errno_of_last_error() {
    switch (GetLastError()) {
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION: return EACCES;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME: return ENOENT;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        default: return EIO;
    }
}

// The exit status of an interruption that waits for a writer to let its
// temporary go; 0 when there is none.
std::atomic<UINT> pending_status{0};
// The thread that runs the program, held still while an interruption acts.
HANDLE main_thread = nullptr;

[[noreturn]] void end_interrupted(UINT status) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), interrupted_line, sizeof interrupted_line - 1,
              &written, nullptr);
    // At once, like a signal: nothing more may run, flush or write.
    TerminateProcess(GetCurrentProcess(), status);
    ExitProcess(status);
}

// Runs on a thread of its own, with the program's thread held still so that
// it cannot make a temporary again after its removal. A temporary that a
// writer holds open (the Genie library opens files without sharing their
// deletion) cannot be removed now: the program's thread then ends the run at
// its next check instead.
BOOL WINAPI on_console_event(DWORD event) {
    // Ctrl-C as SIGINT (2), Ctrl-Break as SIGBREAK (21), the console going
    // away as a hang-up (1).
    const UINT status = event == CTRL_C_EVENT ? 130 : event == CTRL_BREAK_EVENT ? 149 : 129;
    if (main_thread != nullptr) SuspendThread(main_thread);
    bool all_gone = true;
    for (auto& w : watched) {
        if (w.active.load() == 0) continue;
        if (DeleteFileA(w.path) == 0 && GetLastError() != ERROR_FILE_NOT_FOUND) all_gone = false;
    }
    if (all_gone) end_interrupted(status);
    pending_status.store(status);
    if (main_thread != nullptr) ResumeThread(main_thread);
    Sleep(INFINITE);
    return TRUE;
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

bool file_identity(std::string_view name, BY_HANDLE_FILE_INFORMATION& info) {
    const Handle h(CreateFileA(std::string(name).c_str(), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h.get() != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h.get(), &info) != 0;
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

const std::array<std::string, 6>& box_frame_chars() {
#ifdef _WIN32
    // The Windows console shows code page 437, where these single bytes are the frame.
    static const std::array<std::string, 6> chars{"\xDA", "\xBF", "\xC0", "\xD9", "\xC4", "\xB3"};
#else
    static const std::array<std::string, 6> chars{"\u250C", "\u2510", "\u2514",
                                                  "\u2518", "\u2500", "\u2502"};
#endif
    return chars;
}

std::string full_file_name(std::string_view name) {
    if (name.empty()) return std::string();
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(std::filesystem::path(name), ec);
    if (ec) return std::string(name);
    return p.lexically_normal().string();
}

FileKind file_kind(std::string_view name) {
    if (name.empty()) return FileKind::missing;
    std::error_code ec;
    const auto st = std::filesystem::status(std::filesystem::path(name), ec);
    if (ec || !std::filesystem::exists(st)) return FileKind::missing;
    return std::filesystem::is_regular_file(st) ? FileKind::regular : FileKind::other;
}

bool file_exists(std::string_view name) { return file_kind(name) == FileKind::regular; }

bool same_existing_file(std::string_view a, std::string_view b) {
    if (a.empty() || b.empty()) return false;
#ifdef _WIN32
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    return file_identity(a, ia) && file_identity(b, ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
#else
    struct stat sa {}, sb {};
    return ::stat(std::string(a).c_str(), &sa) == 0 && ::stat(std::string(b).c_str(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
#endif
}

bool same_spelling(std::string_view a, std::string_view b) {
#ifdef _WIN32
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
        const auto la = (ca >= 'A' && ca <= 'Z') ? ca + 32 : ca, lb = (cb >= 'A' && cb <= 'Z') ? cb + 32 : cb;
        if (la != lb) return false;
    }
    return true;
#else
    return a == b;
#endif
}

bool write_forbidden(const std::string& path, int& error) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0)
        return false;
    error = EACCES;
    return true;
#else
    if (::access(path.c_str(), W_OK) == 0 || errno == ENOENT) return false;
    error = errno;
    return true;
#endif
}

std::FILE* open_regular_for_reading(const std::string& path) {
#ifdef _WIN32
    if (!file_exists(path)) return nullptr;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f != nullptr && GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)))) !=
                            FILE_TYPE_DISK) {
        std::fclose(f);
        return nullptr;
    }
    return f;
#else
    // Opened without waiting (a FIFO would block until a writer came), then
    // looked at, then made an ordinary blocking descriptor again.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* f = ::fdopen(fd, "rb");
    if (f == nullptr) ::close(fd);
    return f;
#endif
}

bool seek_to(std::FILE* file, unsigned long long offset) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
    return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::FILE* create_exclusive(const std::string& path, bool text, int& error) {
#ifdef _WIN32
    // Shared for deletion, so that an interruption can remove it while it is open.
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = errno_of_last_error();
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | (text ? _O_TEXT : _O_BINARY));
    if (fd < 0) {
        CloseHandle(h);
        DeleteFileA(path.c_str());
        error = EIO;
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, text ? "w" : "wb");
    if (f == nullptr) {
        _close(fd);
        DeleteFileA(path.c_str());
        error = EIO;
    }
    return f;
#else
    (void)text;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    std::FILE* f = ::fdopen(fd, "wb");
    if (f == nullptr) {
        error = errno;
        ::close(fd);
        ::unlink(path.c_str());
    }
    return f;
#endif
}

void copy_permission_bits(const std::string& model, const std::string& path) {
#ifdef _WIN32
    (void)model;
    (void)path;
#else
    struct stat st {};
    if (::stat(model.c_str(), &st) == 0) ::chmod(path.c_str(), st.st_mode & 07777);
#endif
}

bool replace_file(const std::string& from, const std::string& to, int& error) {
#ifdef _WIN32
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    error = errno_of_last_error();
    return false;
#else
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    error = errno;
    return false;
#endif
}

bool remove_file(const std::string& path) { return std::remove(path.c_str()) == 0; }

unsigned long process_number() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(::getpid());
#endif
}

#ifdef ORVALT_WIDE_ROOTS
namespace {
// Four roots an instruction where the build itself may use only two.
__attribute__((target("avx"))) void copy_and_roots_avx(const double* in, double* copy,
                                                       double* roots, std::size_t n) {
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m256d v = _mm256_loadu_pd(in + i);
        _mm256_storeu_pd(copy + i, v);
        _mm256_storeu_pd(roots + i, _mm256_sqrt_pd(v));
    }
    for (; i < n; ++i) {
        const __m128d v = _mm_load_sd(in + i);
        _mm_store_sd(copy + i, v);
        _mm_store_sd(roots + i, _mm_sqrt_sd(_mm_setzero_pd(), v));
    }
}
}  // namespace
#endif

bool copy_and_roots_wide(const double* in, double* copy, double* roots, std::size_t n) {
#ifdef ORVALT_WIDE_ROOTS
    if (__builtin_cpu_supports("avx")) {
        copy_and_roots_avx(in, copy, roots, n);
        return true;
    }
#else
    (void)in;
    (void)copy;
    (void)roots;
    (void)n;
#endif
    return false;
}

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
    if (main_thread != nullptr) return;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &main_thread, 0,
                    FALSE, DUPLICATE_SAME_ACCESS);
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
#endif
}

}  // namespace orvalt

// File-system calls: std::filesystem where it serves every platform, the
// system's own calls where the platforms differ (Windows file identities,
// read-only bits and replacing moves; POSIX descriptors and permissions).
#include "g_f/file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <functional>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orvalt {

#ifdef _WIN32
namespace {

int errno_of_last_error() {
    switch (GetLastError()) {
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_ACCESS_DENIED: return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE: return EBUSY;
        case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME: return ENOENT;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        default: return EIO;
    }
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

}  // namespace
#endif

std::filesystem::path path_of(std::string_view name) {
#ifdef _WIN32
    try {
        return std::filesystem::path(
            std::u8string_view(reinterpret_cast<const char8_t*>(name.data()), name.size()));
    } catch (const std::exception&) {
        // Not UTF-8 (bytes piped in another code page): the library's own reading.
    }
#endif
    return std::filesystem::path(name);
}

std::string name_meant(std::string_view name) {
#ifdef _WIN32
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"' &&
        file_kind(name) == FileKind::missing)
        return std::string(name.substr(1, name.size() - 2));
#endif
    return std::string(name);
}

std::string full_file_name(std::string_view name) {
    if (name.empty()) return std::string();
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(path_of(name), ec);
    if (ec) return std::string(name);
    return p.lexically_normal().string();
}

std::filesystem::path write_target(const std::filesystem::path& name) {
    std::filesystem::path p = name;
    std::error_code ec;
    for (int hops = 0; hops < 40 && std::filesystem::is_symlink(p, ec); ++hops) {
        const std::filesystem::path link = std::filesystem::read_symlink(p, ec);
        if (ec) break;
        p = link.is_absolute() ? link : p.parent_path() / link;
    }
    return p;
}

FileKind file_kind(std::string_view name) {
    if (name.empty()) return FileKind::missing;
#ifdef _WIN32
    // A device name (NUL, COM1, con.write, C:\x\prn.txt) stands for the
    // device wherever it is written: its full name is in the device space.
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(std::string(name).c_str(), MAX_PATH, full, nullptr);
    if (length > 4 && length < MAX_PATH && std::string_view(full, 4) == "\\\\.\\")
        return FileKind::other;
    // What the name opens, as a file is opened: the library's status takes
    // a device for a file or for nothing.
    const Handle h(CreateFileA(std::string(name).c_str(), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (h.get() != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info{};
        if (GetFileType(h.get()) != FILE_TYPE_DISK ||
            (GetFileInformationByHandle(h.get(), &info) != 0 &&
             (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0))
            return FileKind::other;
        return FileKind::regular;
    }
    if (const DWORD e = GetLastError();
        e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME)
        return FileKind::missing;
#endif
    std::error_code ec;
    const auto st = std::filesystem::status(path_of(name), ec);
    if (ec || !std::filesystem::exists(st)) return FileKind::missing;
    return std::filesystem::is_regular_file(st) ? FileKind::regular : FileKind::other;
}

bool file_exists(std::string_view name) { return file_kind(name) == FileKind::regular; }

bool file_id(std::string_view name, FileId& id) {
    if (name.empty()) return false;
#ifdef _WIN32
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file_identity(name, info)) return false;
    id.volume = info.dwVolumeSerialNumber;
    id.index = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
#else
    struct stat st {};
    if (::stat(std::string(name).c_str(), &st) != 0) return false;
    id.volume = static_cast<unsigned long long>(st.st_dev);
    id.index = static_cast<unsigned long long>(st.st_ino);
#endif
    return true;
}

bool file_stamp(std::FILE* file, FileStamp& stamp) {
    if (file == nullptr) return false;
#ifdef _WIN32
    BY_HANDLE_FILE_INFORMATION info{};
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (h == INVALID_HANDLE_VALUE || GetFileInformationByHandle(h, &info) == 0) return false;
    stamp.id.volume = info.dwVolumeSerialNumber;
    stamp.id.index =
        (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp.size = (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp.modified = static_cast<long long>(
        (static_cast<unsigned long long>(info.ftLastWriteTime.dwHighDateTime) << 32) |
        info.ftLastWriteTime.dwLowDateTime);
#else
    struct stat st {};
    if (::fstat(::fileno(file), &st) != 0) return false;
    stamp.id.volume = static_cast<unsigned long long>(st.st_dev);
    stamp.id.index = static_cast<unsigned long long>(st.st_ino);
    stamp.size = static_cast<unsigned long long>(st.st_size);
    stamp.modified = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
#endif
    return true;
}

bool still_the_same(const std::string& path, const FileStamp& stamp) {
    const FilePtr f(open_regular_for_reading(path));
    FileStamp now;
    return f && file_stamp(f.get(), now) && now == stamp;
}

bool same_existing_file(std::string_view a, std::string_view b) {
    FileId ia, ib;
    return file_id(a, ia) && file_id(b, ib) && ia == ib;
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
    // Another process replacing the same file at this moment (two runs
    // ending at once) makes the move fail for a moment: it is tried again.
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD why = GetLastError();
        if (attempt >= 50 || (why != ERROR_ACCESS_DENIED && why != ERROR_SHARING_VIOLATION)) break;
        Sleep(20);
    }
    error = errno_of_last_error();
    // A file held open by another program is refused as "access denied";
    // opening it for deletion tells that case apart.
    if (error == EACCES) {
        const Handle h(CreateFileA(to.c_str(), DELETE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
        if (h.get() == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION)
            error = EBUSY;
    }
    return false;
#else
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    error = errno;
    return false;
#endif
}

bool remove_file(const std::string& path) { return std::remove(path.c_str()) == 0; }

std::string error_text(int error) {
#ifdef _WIN32
    // The C runtime's own words for these say nothing to a Windows user.
    if (error == EBUSY) return "The file is in use by another program";
    if (error == ENAMETOOLONG) return "The file name is longer than Windows allows (260 characters)";
#endif
    return std::strerror(error);
}

unsigned long process_number() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(::getpid());
#endif
}

bool process_exists(unsigned long number) {
#ifdef _WIN32
    const HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(number));
    if (h == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(h, &code) == 0 || code == STILL_ACTIVE;
    CloseHandle(h);
    return running;
#else
    if (number == 0 || number > 0x7fffffffUL) return true;
    return ::kill(static_cast<pid_t>(number), 0) == 0 || errno != ESRCH;
#endif
}

const std::string& machine_name() {
    static const std::string name = [] {
        char buf[256] = {};
#ifdef _WIN32
        DWORD n = sizeof buf;
        if (GetComputerNameA(buf, &n) == 0) buf[0] = '\0';
#else
        if (::gethostname(buf, sizeof buf - 1) != 0) buf[0] = '\0';
#endif
        std::string s(buf);
        for (char& c : s) {
            const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                              (c >= '0' && c <= '9') || c == '.' || c == '-';
            if (!kept) c = '_';
        }
        return s.empty() ? std::string("host") : s;
    }();
    return name;
}

int create_unnamed(const std::string& folder, int& error) {
#if defined(__linux__) && defined(O_TMPFILE)
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) error = errno;
    return fd;
#else
    (void)folder;
    error = ENOTSUP;
    return -1;
#endif
}

bool name_unnamed(int fd, const std::string& path, int& error) {
#ifdef __linux__
    const std::string from = reopening_name(fd);
    if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    error = errno;
#else
    (void)fd;
    (void)path;
    error = ENOTSUP;
#endif
    return false;
}

std::string reopening_name(int fd) {
#ifdef __linux__
    const std::string name = "/proc/self/fd/" + std::to_string(fd);
    return ::access(name.c_str(), F_OK) == 0 ? name : std::string();
#else
    (void)fd;
    return {};
#endif
}

void copy_permission_bits_to(const std::string& model, int fd) {
#ifdef _WIN32
    (void)model;
    (void)fd;
#else
    struct stat st {};
    if (::stat(model.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
#endif
}

int duplicate_descriptor(int fd) {
#ifdef _WIN32
    (void)fd;
    return -1;
#else
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
#endif
}

std::FILE* stream_of_descriptor(int fd) {
#ifdef _WIN32
    (void)fd;
    return nullptr;
#else
    return ::fdopen(fd, "wb");
#endif
}

void close_descriptor(int fd) {
#ifndef _WIN32
    if (fd >= 0) ::close(fd);
#else
    (void)fd;
#endif
}

namespace {

// The folder of a file to be written, as one full name (the folder of the
// file a link points to).
std::string folder_of(std::string_view file) {
    const std::filesystem::path target = write_target(path_of(file));
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(folder, ec);
    return (ec ? std::filesystem::absolute(folder, ec) : canonical).string();
}

}  // namespace

FolderLock::FolderLock(std::initializer_list<std::string_view> files) {
    std::vector<std::string> folders;
    for (const std::string_view f : files)
        if (!f.empty()) folders.push_back(folder_of(f));
    // One order for every process, so that two never wait on each other.
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end(),
                              [](const std::string& a, const std::string& b) {
                                  return same_spelling(a, b);
                              }),
                  folders.end());
    for (const std::string& folder : folders) {
#ifdef _WIN32
        // A folder cannot be locked as a file: a mutex named after it can.
        std::string lowered = folder;
        for (char& c : lowered)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        const std::string name =
            "Local\\orvalt-folder-" + std::to_string(std::hash<std::string>{}(lowered));
        const HANDLE m = CreateMutexA(nullptr, FALSE, name.c_str());
        if (m == nullptr) continue;
        const DWORD w = WaitForSingleObject(m, INFINITE);
        if (w != WAIT_OBJECT_0 && w != WAIT_ABANDONED) {
            CloseHandle(m);
            continue;
        }
        held_.push_back(reinterpret_cast<std::intptr_t>(m));
#else
        const int fd = ::open(folder.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
        if (fd < 0) continue;
        int r = 0;
        do {
            r = ::flock(fd, LOCK_EX);
        } while (r != 0 && errno == EINTR);
        if (r != 0) {
            ::close(fd);
            continue;
        }
        held_.push_back(fd);
#endif
    }
}

FolderLock::~FolderLock() {
    for (auto it = held_.rbegin(); it != held_.rend(); ++it) {
#ifdef _WIN32
        const auto m = reinterpret_cast<HANDLE>(*it);
        ReleaseMutex(m);
        CloseHandle(m);
#else
        const int fd = static_cast<int>(*it);
        ::flock(fd, LOCK_UN);
        ::close(fd);
#endif
    }
}

}  // namespace orvalt

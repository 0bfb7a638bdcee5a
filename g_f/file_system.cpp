// File-system calls: std::filesystem where it serves every platform, the
// system's own calls where the platforms differ (Windows file identities,
// read-only bits and replacing moves; POSIX descriptors and permissions).
#include "g_f/file_system.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <system_error>

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
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
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

}  // namespace orvalt

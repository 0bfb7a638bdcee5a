// Operations on files by name: the C library where it serves every
// platform, the system's own calls where the platforms differ (POSIX
// descriptors and permissions; Windows sharing modes, read-only bits and
// replacing moves).
#include "g_f/file_operations.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "g_f/file_system.h"
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

}  // namespace
#endif

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

bool read_file_start(const std::string& path, std::size_t limit, std::string& bytes) {
    const FilePtr f(open_regular_for_reading(path));
    if (!f) return false;
    bytes.resize(limit);
    const std::size_t n = std::fread(bytes.data(), 1, limit, f.get());
    const bool ok = std::ferror(f.get()) == 0;
    bytes.resize(n);
    return ok;
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

std::FILE* create_exclusive(const std::string& path, bool text, int& error, bool owner_only) {
#ifdef _WIN32
    (void)owner_only;
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
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          owner_only ? 0600 : 0666);
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
        const HANDLE h = CreateFileA(to.c_str(), DELETE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        else if (GetLastError() == ERROR_SHARING_VIOLATION) error = EBUSY;
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

}  // namespace orvalt

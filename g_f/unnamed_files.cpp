// Unnamed files and their descriptors: Linux calls, POSIX descriptors, and
// on Windows nothing (a file there has a name from the start).
#include "g_f/unnamed_files.h"

#include <cerrno>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orvalt {

int create_unnamed(const std::string& folder, int& error, bool owner_only) {
#if defined(__linux__) && defined(O_TMPFILE)
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC,
                          owner_only ? 0600 : 0666);
    if (fd < 0) error = errno;
    return fd;
#else
    (void)folder;
    (void)owner_only;
    error = ENOTSUP;
    return -1;
#endif
}

bool open_unnamed(const std::string& folder, bool owner_only, UnnamedFile& file, int& error) {
    const int fd = create_unnamed(folder, error, owner_only);
    if (fd < 0) return false;
    const int anchor = duplicate_descriptor(fd);
    std::string reopen = anchor >= 0 ? reopening_name(anchor) : std::string();
    std::FILE* stream = reopen.empty() ? nullptr : stream_of_descriptor(fd);
    if (stream == nullptr) {
        close_descriptor(anchor);
        close_descriptor(fd);
        error = ENOTSUP;
        return false;
    }
    file = {stream, anchor, std::move(reopen)};
    return true;
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

}  // namespace orvalt

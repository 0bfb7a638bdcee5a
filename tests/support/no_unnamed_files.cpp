// Preloaded into the program under test (LD_PRELOAD) to make every folder
// one without unnamed files, as on NFS or vfat: open() with O_TMPFILE fails
// as it does there; every other call goes on to the C library.
#include <dlfcn.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdarg>

namespace {

using Open = int (*)(const char*, int, ...);

int refuse_unnamed(const char* name, const char* path, int flags, va_list rest) {
    const mode_t mode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE
                            ? static_cast<mode_t>(va_arg(rest, unsigned int))
                            : 0;
    if ((flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    const auto next = reinterpret_cast<Open>(::dlsym(RTLD_NEXT, name));
    return next(path, flags, mode);
}

}  // namespace

extern "C" int open(const char* path, int flags, ...) {
    va_list rest;
    va_start(rest, flags);
    const int fd = refuse_unnamed("open", path, flags, rest);
    va_end(rest);
    return fd;
}

extern "C" int open64(const char* path, int flags, ...) {
    va_list rest;
    va_start(rest, flags);
    const int fd = refuse_unnamed("open64", path, flags, rest);
    va_end(rest);
    return fd;
}

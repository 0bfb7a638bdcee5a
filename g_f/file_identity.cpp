// File identities and stamps: the system's own calls, which differ between
// POSIX (stat) and Windows (the file information of a handle).
#include "g_f/file_identity.h"

#include "g_f/file_operations.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace orvalt {

namespace {

#ifdef _WIN32
bool information_of(std::string_view name, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE h = CreateFileA(std::string(name).c_str(), 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    return known;
}

FileId id_of(const BY_HANDLE_FILE_INFORMATION& info) {
    return {info.dwVolumeSerialNumber,
            (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}
#else
FileId id_of(const struct stat& st) {
    return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
}
#endif

}  // namespace

bool file_id(std::string_view name, FileId& id) {
    if (name.empty()) return false;
#ifdef _WIN32
    BY_HANDLE_FILE_INFORMATION info{};
    if (!information_of(name, info)) return false;
    id = id_of(info);
#else
    struct stat st {};
    if (::stat(std::string(name).c_str(), &st) != 0) return false;
    id = id_of(st);
#endif
    return true;
}

bool file_stamp(std::FILE* file, FileStamp& stamp) {
    if (file == nullptr) return false;
#ifdef _WIN32
    BY_HANDLE_FILE_INFORMATION info{};
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (h == INVALID_HANDLE_VALUE || GetFileInformationByHandle(h, &info) == 0) return false;
    stamp.id = id_of(info);
    stamp.size = (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp.modified = static_cast<long long>(
        (static_cast<unsigned long long>(info.ftLastWriteTime.dwHighDateTime) << 32) |
        info.ftLastWriteTime.dwLowDateTime);
#else
    struct stat st {};
    if (::fstat(::fileno(file), &st) != 0) return false;
    stamp.id = id_of(st);
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

}  // namespace orvalt

// Names on the file system: std::filesystem where it serves every platform,
// the system's own calls where Windows differs (names in UTF-8, device
// names, letter case).
#include "g_f/file_system.h"

#include <exception>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace orvalt {

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

std::string name_of(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.string();
#endif
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
    const HANDLE h = CreateFileA(std::string(name).c_str(), 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info{};
        const bool other = GetFileType(h) != FILE_TYPE_DISK ||
                           (GetFileInformationByHandle(h, &info) != 0 &&
                            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
        CloseHandle(h);
        return other ? FileKind::other : FileKind::regular;
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

}  // namespace orvalt

// The folder lock: flock on the folder (POSIX), a named mutex (Windows,
// where a folder cannot be locked as a file).
#include "g_f/folder_lock.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

#include "g_f/file_system.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace orvalt {

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

namespace {

std::vector<std::string> folders_of(std::initializer_list<std::string_view> files) {
    std::vector<std::string> folders;
    for (const std::string_view f : files)
        if (!f.empty()) folders.push_back(folder_of(f));
    return folders;
}

std::vector<std::string> folders_of(std::span<const std::string> files) {
    std::vector<std::string> folders;
    for (const std::string& f : files)
        if (!f.empty()) folders.push_back(folder_of(f));
    return folders;
}

}  // namespace

FolderLock::FolderLock(std::initializer_list<std::string_view> files) { hold(folders_of(files)); }

FolderLock::FolderLock(std::span<const std::string> files) { hold(folders_of(files)); }

void FolderLock::hold(std::vector<std::string> folders) {
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

// The lock that keeps the files one run puts in place together from
// being mixed with another run's.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvalt {

// Holds the folders of the named files against other processes doing the
// same, while it lives: the files put in place together under it come from
// one process. (An advisory lock: only processes that ask for it wait.)
class FolderLock {
public:
    explicit FolderLock(std::initializer_list<std::string_view> files);
    explicit FolderLock(std::span<const std::string> files);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    void hold(std::vector<std::string> folders);
    std::vector<std::intptr_t> held_;
};

}  // namespace orvalt

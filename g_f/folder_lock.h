// The lock that keeps the files one run puts in place together from
// being mixed with another run's.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace orvalt {

// Holds the folders of the named files against other processes doing the
// same, while it lives: the files put in place together under it come from
// one process. (An advisory lock: only processes that ask for it wait.)
class FolderLock {
public:
    explicit FolderLock(std::initializer_list<std::string_view> files);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    std::vector<std::intptr_t> held_;
};

}  // namespace orvalt

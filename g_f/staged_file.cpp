// StagedFile: a temporary beside the target, watched for interruptions,
// moved over the target once complete.
#include "g_f/staged_file.h"

#include <cerrno>
#include <filesystem>
#include <utility>

#include "g_f/file_system.h"
#include "g_f/interruptions.h"

namespace orvalt {

namespace {

std::string temporary_name_for(const std::filesystem::path& target, int attempt) {
    const std::filesystem::path folder = target.parent_path();
    const std::string leaf = ".orvalt-" + std::to_string(process_number()) + "-" +
                             std::to_string(attempt) + ".part";
    return (folder.empty() ? std::filesystem::path(leaf) : folder / leaf).string();
}

}  // namespace

StagedFile::StagedFile(StagedFile&& other) noexcept
    : target_(std::move(other.target_)),
      temporary_(std::exchange(other.temporary_, std::string())),
      stream_(std::exchange(other.stream_, nullptr)),
      failed_(other.failed_) {}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this != &other) {
        abandon();
        target_ = std::move(other.target_);
        temporary_ = std::exchange(other.temporary_, std::string());
        stream_ = std::exchange(other.stream_, nullptr);
        failed_ = other.failed_;
    }
    return *this;
}

bool StagedFile::create(std::string_view target, bool text, int& error) {
    abandon();
    failed_ = false;
    const std::filesystem::path path = write_target(path_of(target));
    const std::string target_name = path.string();
    switch (file_kind(target_name)) {
        case FileKind::other:
            error = EISDIR;
            return false;
        case FileKind::regular:
            // Replacing by a move would pass over the file's own protection.
            if (write_forbidden(target_name, error)) return false;
            break;
        case FileKind::missing: break;
    }
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string temporary = temporary_name_for(path, attempt);
        // Watched before it exists, so that no interruption can leave it.
        watch_temporary(temporary);
        int err = 0;
        stream_ = create_exclusive(temporary, text, err);
        if (stream_ != nullptr) {
            target_ = target_name;
            temporary_ = temporary;
            return true;
        }
        unwatch_temporary(temporary);
        if (err != EEXIST) {
            error = err;
            return false;
        }
    }
    error = EEXIST;
    return false;
}

bool StagedFile::close_stream() {
    if (stream_ != nullptr) {
        if (std::ferror(stream_) != 0) failed_ = true;
        if (std::fclose(stream_) != 0) failed_ = true;
        stream_ = nullptr;
    }
    return !failed_;
}

bool StagedFile::commit(int& error) {
    if (temporary_.empty()) {
        error = EIO;
        return false;
    }
    const int before = errno;
    const bool closed = close_stream();
    // Never put in place what an interruption has ended.
    end_if_interrupted();
    if (!closed) {
        error = errno != before && errno != 0 ? errno : EIO;
        abandon();
        return false;
    }
    if (file_exists(target_)) copy_permission_bits(target_, temporary_);
    if (!replace_file(temporary_, target_, error)) {
        abandon();
        return false;
    }
    unwatch_temporary(temporary_);
    temporary_.clear();
    return true;
}

void StagedFile::check_interruption() const { end_if_interrupted(); }

void StagedFile::abandon() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (temporary_.empty()) return;
    remove_file(temporary_);
    unwatch_temporary(temporary_);
    temporary_.clear();
}

}  // namespace orvalt

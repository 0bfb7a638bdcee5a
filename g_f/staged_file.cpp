// StagedFile: a temporary beside the target (without a name where the system
// allows), watched for interruptions, moved over the target once complete.
#include "g_f/staged_file.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <set>
#include <vector>
#include <system_error>
#include <utility>

#include "g_f/file_operations.h"
#include "g_f/file_system.h"
#include "g_f/folder_lock.h"
#include "g_f/interruptions.h"
#include "g_f/processes.h"
#include "g_f/unnamed_files.h"

namespace orvalt {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view prefix = ".orvalt-";
constexpr std::string_view suffix = ".part";

fs::path folder_of(const fs::path& target) {
    const fs::path folder = target.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// The number of this process's next temporary: every name is asked for
// once, so that a run holding a thousand temporaries at once (a file a scan)
// does not try the names of those it holds before each new one.
unsigned long next_temporary_number() {
    static std::atomic<unsigned long> next{0};
    return next.fetch_add(1, std::memory_order_relaxed);
}

// Names taken by something else (a leftover of an earlier process of the
// same number) are passed over; so many in a row mean something is wrong.
constexpr int most_taken_names = 1000;

// The process number of a temporary of this program made on this machine,
// or 0 when `leaf` is not one.
unsigned long owner_of(std::string_view leaf) {
    if (!leaf.starts_with(prefix) || !leaf.ends_with(suffix)) return 0;
    leaf.remove_prefix(prefix.size());
    leaf.remove_suffix(suffix.size());
    const std::string& host = machine_name();
    if (!leaf.starts_with(host) || leaf.size() <= host.size() || leaf[host.size()] != '-') return 0;
    leaf.remove_prefix(host.size() + 1);
    const std::size_t dash = leaf.find('-');
    if (dash == 0 || dash == std::string_view::npos) return 0;
    unsigned long pid = 0;
    for (std::size_t i = 0; i < leaf.size(); ++i) {
        const char c = leaf[i];
        if (i == dash) continue;
        if (c < '0' || c > '9') return 0;
        if (i < dash) {
            if (pid > 0xffffffffUL / 10) return 0;
            pid = pid * 10 + static_cast<unsigned long>(c - '0');
        }
    }
    return pid;
}

}  // namespace

std::string temporary_name_in(const fs::path& folder, unsigned long number) {
    const std::string leaf = std::string(prefix) + machine_name() + "-" +
                             std::to_string(process_number()) + "-" + std::to_string(number) +
                             std::string(suffix);
    return (folder.empty() ? fs::path(leaf) : folder / leaf).string();
}

void remove_stale_temporaries(const fs::path& folder) {
    static std::mutex lock;
    static std::set<std::string> done;
    std::error_code ec;
    const std::string key = fs::absolute(folder, ec).lexically_normal().string();
    {
        const std::lock_guard<std::mutex> held(lock);
        if (!done.insert(key).second) return;
    }
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string leaf = it->path().filename().string();
        const unsigned long pid = owner_of(leaf);
        if (pid == 0 || pid == process_number() || process_exists(pid)) continue;
        std::error_code type_error;
        if (!fs::is_regular_file(fs::symlink_status(it->path(), type_error))) continue;
        remove_file(it->path().string());
    }
}

void drop_temporary(std::FILE*& stream, int& anchor, std::string& named) {
    if (stream != nullptr) std::fclose(stream);
    stream = nullptr;
    close_descriptor(anchor);
    anchor = -1;
    if (!named.empty()) {
        remove_file(named);
        unwatch_temporary(named);
        named.clear();
    }
}

std::FILE* create_named_temporary(const fs::path& folder, bool text, bool owner_only,
                                  std::string& name, int& error) {
    for (int taken = 0; taken < most_taken_names; ++taken) {
        const std::string temporary = temporary_name_in(folder, next_temporary_number());
        // Watched before it exists, so that no interruption can leave it.
        watch_temporary(temporary);
        int err = 0;
        if (std::FILE* f = create_exclusive(temporary, text, err, owner_only); f != nullptr) {
            name = temporary;
            return f;
        }
        unwatch_temporary(temporary);
        if (err != EEXIST) {
            error = err;
            return nullptr;
        }
    }
    error = EEXIST;
    return nullptr;
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : target_(std::exchange(other.target_, std::string())),
      temporary_(std::exchange(other.temporary_, std::string())),
      named_(std::exchange(other.named_, std::string())),
      stream_(std::exchange(other.stream_, nullptr)),
      anchor_(std::exchange(other.anchor_, -1)),
      failed_(other.failed_),
      error_(other.error_),
      in_place_(other.in_place_) {}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this != &other) {
        abandon();
        target_ = std::exchange(other.target_, std::string());
        temporary_ = std::exchange(other.temporary_, std::string());
        named_ = std::exchange(other.named_, std::string());
        stream_ = std::exchange(other.stream_, nullptr);
        anchor_ = std::exchange(other.anchor_, -1);
        failed_ = other.failed_;
        error_ = other.error_;
        in_place_ = other.in_place_;
    }
    return *this;
}

bool StagedFile::create(std::string_view target, bool text, int& error) {
    abandon();
    failed_ = false;
    error_ = 0;
    in_place_ = false;
    const fs::path path = write_target(path_of(target));
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
    remove_stale_temporaries(folder_of(path));

    // A file without a name, where there is one: nothing to remove, ever.
    UnnamedFile unnamed;
    int unnamed_error = 0;
    if (open_unnamed(folder_of(path).string(), false, unnamed, unnamed_error)) {
        target_ = target_name;
        temporary_ = std::move(unnamed.reopening_name);
        stream_ = unnamed.stream;
        anchor_ = unnamed.anchor;
        return true;
    }
    if (unnamed_error != ENOTSUP && unnamed_error != EOPNOTSUPP && unnamed_error != EISDIR &&
        unnamed_error != EINVAL) {
        // The folder itself cannot take a file (missing, not writable).
        error = unnamed_error;
        return false;
    }
    std::string temporary;
    stream_ = create_named_temporary(path.parent_path(), text, false, temporary, error);
    if (stream_ == nullptr) return false;
    target_ = target_name;
    temporary_ = temporary;
    named_ = temporary;
    return true;
}

bool StagedFile::close_stream() {
    int ignored = 0;
    return close_stream(ignored);
}

bool StagedFile::close_stream(int& error) {
    if (stream_ != nullptr) {
        errno = 0;
        if (std::ferror(stream_) != 0 && !failed_) {
            failed_ = true;
            error_ = EIO;
        }
        errno = 0;
        if (std::fclose(stream_) != 0 && !failed_) {
            failed_ = true;
            error_ = errno != 0 ? errno : EIO;
        }
        stream_ = nullptr;
    }
    if (failed_) error = error_ != 0 ? error_ : EIO;
    return !failed_;
}

bool StagedFile::prepare(int& error) {
    if (!active()) {
        error = EIO;
        return false;
    }
    const bool closed = close_stream(error);
    // Never put in place what an interruption has ended.
    end_if_interrupted();
    if (!closed) {
        abandon();
        return false;
    }
    const bool replaces = file_exists(target_);
    if (anchor_ >= 0) {
        if (replaces) copy_permission_bits_to(target_, anchor_);
        // The name it needs for the move, held as briefly as can be.
        for (int taken = 0; named_.empty(); ++taken) {
            const std::string name =
                temporary_name_in(path_of(target_).parent_path(), next_temporary_number());
            watch_temporary(name);
            int err = 0;
            if (name_unnamed(anchor_, name, err)) {
                named_ = name;
                break;
            }
            unwatch_temporary(name);
            if (err != EEXIST || taken + 1 >= most_taken_names) {
                error = err;
                abandon();
                return false;
            }
        }
        close_descriptor(anchor_);
        anchor_ = -1;
    } else if (replaces) {
        copy_permission_bits(target_, named_);
    }
    return true;
}

bool StagedFile::move_into_place(int& error) {
    if (!replace_file(named_, target_, error)) {
        abandon();
        return false;
    }
    unwatch_temporary(named_);
    named_.clear();
    temporary_.clear();
    target_.clear();
    in_place_ = true;
    return true;
}

bool StagedFile::commit(int& error, StagedFile* before) {
    if (before == nullptr || !before->active()) return prepare(error) && move_into_place(error);
    int before_error = 0;
    const bool before_ready = before->prepare(before_error);
    const bool ready = prepare(error);
    const FolderLock held({before->target_, target_});
    const bool before_done = before_ready && before->move_into_place(before_error);
    (void)before_done;
    return ready && move_into_place(error);
}

bool StagedFile::commit_all(std::span<StagedFile* const> files, int& error) {
    bool ready = true;
    for (StagedFile* f : files)
        if (ready && !f->prepare(error)) ready = false;
    if (!ready) {
        for (StagedFile* f : files) f->abandon();
        return false;
    }
    std::vector<std::string> targets;
    for (const StagedFile* f : files) targets.push_back(f->target_);
    const FolderLock held(targets);
    for (StagedFile* f : files) {
        if (f->move_into_place(error)) continue;
        for (StagedFile* rest : files) rest->abandon();
        return false;
    }
    return true;
}

void StagedFile::check_interruption() const { end_if_interrupted(); }

void StagedFile::abandon() {
    drop_temporary(stream_, anchor_, named_);
    temporary_.clear();
    target_.clear();
}

}  // namespace orvalt

// ScratchFile: an unnamed file where the system has them, else one of this
// process's temporary names, in the system's temporary folder.
#include "g_f/scratch_file.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "g_f/file_operations.h"
#include "g_f/interruptions.h"
#include "g_f/staged_file.h"
#include "g_f/unnamed_files.h"

namespace orvalt {

bool ScratchFile::create(int& error) {
    abandon();
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    if (ec) {
        error = ec.value();
        return false;
    }
    int unnamed_error = 0;
    const int fd = create_unnamed(folder.string(), unnamed_error, true);
    if (fd >= 0) {
        const int anchor = duplicate_descriptor(fd);
        std::string reopen = anchor >= 0 ? reopening_name(anchor) : std::string();
        std::FILE* f = reopen.empty() ? nullptr : stream_of_descriptor(fd);
        if (f != nullptr) {
            reading_name_ = std::move(reopen);
            stream_ = f;
            anchor_ = anchor;
            return true;
        }
        close_descriptor(anchor);
        close_descriptor(fd);
    }
    // Copies left by runs killed outright go before this one adds its own.
    remove_stale_temporaries(folder);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string name = temporary_name_in(folder, attempt);
        // Watched before it exists, so that no interruption can leave it.
        watch_temporary(name);
        int err = 0;
        stream_ = create_exclusive(name, false, err, true);
        if (stream_ != nullptr) {
            reading_name_ = name;
            named_ = name;
            return true;
        }
        unwatch_temporary(name);
        if (err != EEXIST) {
            error = err;
            return false;
        }
    }
    error = EEXIST;
    return false;
}

bool ScratchFile::close_stream() {
    if (stream_ == nullptr) return active();
    const bool written = std::ferror(stream_) == 0;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    return written && closed;
}

void ScratchFile::abandon() {
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = nullptr;
    close_descriptor(anchor_);
    anchor_ = -1;
    if (!named_.empty()) {
        remove_file(named_);
        unwatch_temporary(named_);
        named_.clear();
    }
    reading_name_.clear();
}

}  // namespace orvalt

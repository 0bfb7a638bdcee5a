// ScratchFile: an unnamed file where the system has them, else one of this
// process's temporary names, in the system's temporary folder.
#include "g_f/scratch_file.h"

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
    UnnamedFile unnamed;
    if (open_unnamed(folder.string(), true, unnamed, error)) {
        reading_name_ = std::move(unnamed.reopening_name);
        stream_ = unnamed.stream;
        anchor_ = unnamed.anchor;
        return true;
    }
    // Copies left by runs killed outright go before this one adds its own.
    remove_stale_temporaries(folder);
    stream_ = create_named_temporary(folder, false, true, named_, error);
    if (stream_ == nullptr) return false;
    reading_name_ = named_;
    return true;
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

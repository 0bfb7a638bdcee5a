// ScratchFile: an unnamed file where the system has them, else one of this
// process's temporary names, in the system's temporary folder.
#include "g_f/scratch_file.h"

#include <filesystem>
#include <system_error>

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
    drop_temporary(stream_, anchor_, named_);
    reading_name_.clear();
}

}  // namespace orvalt

// Input file location, record census, new output files and path helpers.
#include "g_f/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <utility>

#include "g_f/console.h"
#include "g_f/platform.h"
#include "g_f/stop.h"
#include "g_f/text.h"

namespace orvalt {

namespace {

constexpr std::int32_t long_record = 200000;         // census warning threshold
constexpr std::size_t own_full_name_length = 4096;   // open_new_file's full-name field

std::int32_t clamped(std::size_t n) {
    return static_cast<std::int32_t>(
        std::min<std::size_t>(n, static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())));
}

}  // namespace

void check_file(Console& con, std::string& name, std::string& full_name, std::int32_t iopt,
                std::int32_t print, std::int32_t& status) {
    status = 0;
    if (iopt < 0 || iopt > 3) {
        status += 10;
        if (print != 0) say_integer(con, "Unexpected option in check_file: iopt = ", iopt);
    }
    for (;;) {
        const std::string path(trimmed(name));
        const std::string full = full_file_name(path);
        // A caller may pass one field as both name and full name; a full name
        // cut to that field would no longer name the file, so it is kept then.
        if (&full_name != &name || full.size() <= full_name.size()) set_field(full_name, full);

        if (file_exists(path)) {
            status += 1;
            if (print != 0) say_line(con, "File found : " + std::string(trimmed(full_name)));
            return;
        }
        status += 2;
        if (iopt == 3) {
            if (print != 0) say_line(con, "No pre-existing version of file exists");
            return;
        }
        const std::string failure = "Failure locating file " + path;
        if (iopt == 0) {
            if (print != 0) fail(con, failure);
            con.out.flush();
            throw Stop{1};
        }
        if (print != 0) say_line(con, failure);
        if (iopt != 1 || print == 0) return;

        con.out << " Give file name or return to stop > ";
        con.out.flush();
        const std::optional<std::string> line = read_console_line(con);
        if (!line) stop_on_end_of_input(con);
        if (line->empty()) throw Stop{1};
        // A name is taken as typed or refused, never cut.
        const std::string refusal = file_name_refusal(*line, name.size());
        if (!refusal.empty()) {
            say_line(con, refusal);
            continue;
        }
        set_field(name, *line);
        status -= 2;
    }
}

void stop_census_unopened(Console& con, const std::string& path) {
    fail(con, "**ERROR in inqfilerec: cannot open " + path);
}

void inqfilerec(Console& con, std::string_view name, std::int32_t /*unit*/, std::int32_t print,
                std::int32_t& nrec, std::int32_t& maxlen) {
    const std::string path(trimmed(name));
    LineReader reader;
    if (!reader.open(path)) stop_census_unopened(con, path);
    // A read error ends the census: the lines read so far are counted.
    // Only lengths: a line of any length costs no memory here.
    RecordCensus census;
    for (std::size_t length = 0; reader.next_length(length);) census.add_length(length);
    reader.close();
    report_record_census(con, census, print, nrec, maxlen);
}

void report_record_census(Console& con, const RecordCensus& census, std::int32_t print,
                          std::int32_t& nrec, std::int32_t& maxlen) {
    nrec = clamped(census.records);
    maxlen = clamped(census.longest);
    if (print != 0) {
        say_integer(con, "inqfilerec: Number of records in file = ", nrec);
        say_integer(con, "inqfilerec: Maximum record length = ", maxlen);
        if (maxlen >= long_record) say_warning(con, "**WARNING** Excessively long record(s) encountered");
    }
}

namespace {

// Where a write to `name` lands: the file at the end of a chain of links
// (which may not exist yet), else the name itself.
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

// The one spelling of a name that may not exist yet: links of the folders
// resolved, "." and ".." gone.
std::filesystem::path spelling(std::string_view name) {
    std::error_code ec;
    // Absolute first: of a relative name none of whose parts exists yet, the
    // canonical form would stay relative.
    const std::filesystem::path target =
        std::filesystem::absolute(write_target(std::filesystem::path(name)), ec);
    std::filesystem::path p = std::filesystem::weakly_canonical(target, ec);
    if (ec) p = target.lexically_normal();
    return p;
}

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
    const std::filesystem::path path = write_target(std::filesystem::path(target));
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

void OutputFile::write_line(std::string_view line) {
    std::FILE* f = staged_.stream();
    if (f == nullptr) {
        failed_ = true;
        return;
    }
    if (std::fwrite(line.data(), 1, line.size(), f) != line.size() || std::fputc('\n', f) == EOF)
        failed_ = true;
}

bool OutputFile::close() {
    if (!staged_.active()) return !failed_;
    if (failed_) {
        staged_.abandon();
        return false;
    }
    int error = 0;
    if (!staged_.commit(error)) failed_ = true;
    return !failed_;
}

OutputFile open_new_file(Console& con, std::string_view name, std::int32_t unit,
                         std::int32_t record_length, std::int32_t& error_number, std::int32_t il,
                         std::int32_t ia, std::int32_t iout) {
    error_number = 0;
    std::string name_field(name);
    std::string full_name(own_full_name_length, ' ');
    std::int32_t status = 0;
    check_file(con, name_field, full_name, 3, iout, status);

    // The record length and carriage control have no meaning for a stream
    // file: every record is a plain line.
    const std::string path(trimmed(name));
    OutputFile out;
    int iostat = 0;
    if (path.empty() || !out.staged_.create(path, true, iostat)) {
        if (iostat == 0) iostat = ENOENT;
        error_number = 1;
        say_error(con, "** Error in open_new_file **",
                  "could not write " + path + ": " + std::strerror(iostat));
        say_integer(con, "iostat (see page 7-2 of Fortran Users Guide) = ", iostat);
        say_line(con, "File = " + path);
        say_integer(con, "Unit number = ", unit);
        say_integer(con, "Record length = ", record_length);
        say_integer(con, "Error number = ", error_number);
        say_integer(con, "il = ", il);
        say_integer(con, "ia = ", ia);
        say_integer(con, "iout = ", iout);
        return out;
    }
    if (iout != 0) {
        check_file(con, name_field, full_name, 3, 0, status);
        say_line(con, "New file: " + std::string(trimmed(full_name)));
    }
    return out;
}

bool reaches_any(std::string_view name, std::initializer_list<std::string_view> files) {
    const std::string written = spelling(name).string();
    for (std::string_view other : files) {
        if (other.empty()) continue;
        if (same_existing_file(name, other) || same_spelling(spelling(other).string(), written))
            return true;
    }
    return false;
}

std::string output_name_refusal(std::string_view name,
                                std::initializer_list<std::string_view> read_files) {
    if (file_kind(name) == FileKind::other) return "The output file must be a regular file";
    if (reaches_any(name, read_files))
        return "The output file must not be the input file, orvalt.tmp or the weights file";
    return {};
}

bool read_file_start(const std::string& path, std::size_t limit, std::string& bytes) {
    const FilePtr f(open_regular_for_reading(path));
    if (!f) return false;
    bytes.resize(limit);
    const std::size_t n = std::fread(bytes.data(), 1, limit, f.get());
    const bool ok = std::ferror(f.get()) == 0;
    bytes.resize(n);
    return ok;
}

std::string& double_backslashes(std::string& result, std::string_view source, std::int32_t n) {
    if (n <= 0) return result;
    const auto count = static_cast<std::size_t>(n);
    // Never beyond either field, whatever n says.
    const std::size_t limit = std::min(count, result.size());
    const std::size_t last = std::min(count, source.size());
    std::size_t j = 0;
    for (std::size_t i = 0; i < last; ++i) {
        const char c = source[i];
        if (j < limit) result[j] = c;
        if (c == '\\') {
            ++j;
            if (j < limit) result[j] = '\\';
        }
        ++j;
    }
    return result;
}

}  // namespace orvalt

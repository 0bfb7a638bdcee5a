// Input file location, record census, new output files and path helpers.
#include "g_f/files.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <limits>

#include "g_f/console.h"
#include "g_f/platform.h"
#include "g_f/stop.h"
#include "g_f/text.h"

namespace orvalt {

namespace {

constexpr std::size_t typed_name_seen = 80;          // characters of a typed name that are kept
constexpr std::int32_t long_record = 200000;         // census warning threshold
constexpr std::size_t own_full_name_length = 200;    // open_new_file's full-name field

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
        if (print != 0) say_line(con, "Failure locating file " + path);
        if (iopt == 0) {
            con.out.flush();
            throw Stop{1};
        }
        if (iopt != 1 || print == 0) return;

        con.out << " Give file name or return to stop > ";
        con.out.flush();
        const std::optional<std::string> line = read_console_line(con);
        if (!line) stop_on_end_of_input(con);
        if (line->empty()) throw Stop{1};
        set_field(name, std::string_view(*line).substr(0, std::min(line->size(), typed_name_seen)));
        status -= 2;
    }
}

void stop_census_unopened(Console& con, const std::string& path) {
    say_line(con, "**ERROR in inqfilerec: cannot open " + path);
    con.out.flush();
    throw Stop{1};
}

void report_record_census(Console& con, const RecordCensus& census, std::int32_t print,
                          std::int32_t& nrec, std::int32_t& maxlen) {
    nrec = clamped(census.records);
    maxlen = clamped(census.longest);
    if (print != 0) {
        say_integer(con, "inqfilerec: Number of records in file = ", nrec);
        say_integer(con, "inqfilerec: Maximum record length = ", maxlen);
        if (maxlen >= long_record) say_line(con, "**WARNING** Excessively long record(s) encountered");
    }
}

void inqfilerec(Console& con, std::string_view name, std::int32_t /*unit*/, std::int32_t print,
                std::int32_t& nrec, std::int32_t& maxlen) {
    const std::string path(trimmed(name));
    LineReader reader;
    if (!reader.open(path)) stop_census_unopened(con, path);
    // A read error ends the census: the lines read so far are counted.
    RecordCensus census;
    for (std::string_view line; reader.next(line);) census.add(line);
    reader.close();
    report_record_census(con, census, print, nrec, maxlen);
}

void OutputFile::write_line(std::string_view line) {
    if (!file_) {
        failed_ = true;
        return;
    }
    if (std::fwrite(line.data(), 1, line.size(), file_.get()) != line.size() ||
        std::fputc('\n', file_.get()) == EOF)
        failed_ = true;
}

bool OutputFile::close() {
    if (file_) {
        if (std::ferror(file_.get()) != 0) failed_ = true;
        if (std::fclose(file_.release()) != 0) failed_ = true;
    }
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
    errno = 0;
    out.file_.reset(std::fopen(path.c_str(), "w"));
    if (!out.file_) {
        const int iostat = errno != 0 ? errno : EIO;
        error_number = 1;
        say_line(con, "** Error in open_new_file **");
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

void remove_cut_short_file(std::string_view name) {
    const std::filesystem::path path{std::string(trimmed(name))};
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) std::filesystem::remove(path, ec);
}

}  // namespace orvalt

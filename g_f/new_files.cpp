// open_new_file and the OutputFile it returns.
#include "g_f/new_files.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "g_f/console.h"
#include "g_f/file_system.h"
#include "g_f/input_files.h"
#include "g_f/text.h"

namespace orvalt {

namespace {

constexpr std::size_t own_full_name_length = 4096;  // open_new_file's full-name field

}  // namespace

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
    if (!staged_.commit(error_)) failed_ = true;
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
                  "could not write " + path + ": " + error_text(iostat));
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

}  // namespace orvalt

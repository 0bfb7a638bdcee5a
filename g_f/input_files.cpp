// Finding the input file and its record census.
#include "g_f/input_files.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "g_f/console.h"
#include "g_f/file_system.h"
#include "g_f/line_reader.h"
#include "g_f/name_safety.h"
#include "g_f/stop.h"
#include "g_f/text.h"

namespace orvalt {

namespace {

constexpr std::int32_t long_record = 200000;  // census warning threshold

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
        const std::string meant = name_meant(*line);
        const std::string refusal = file_name_refusal(meant, name.size());
        if (!refusal.empty()) {
            say_line(con, refusal);
            continue;
        }
        set_field(name, meant);
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

}  // namespace orvalt

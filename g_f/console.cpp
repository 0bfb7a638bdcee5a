// The console dialogue: questions with defaults and labelled messages.
#include "g_f/console.h"

#include <string>

#include "g_f/chars.h"
#include "g_f/file_system.h"
#include "g_f/name_safety.h"
#include "g_f/number_parsing.h"
#include "g_f/numbers.h"
#include "g_f/stop.h"
#include "g_f/text.h"

namespace orvalt {

namespace {

constexpr std::size_t string_buffer = 200;  // characters of a text answer that are seen
constexpr std::size_t integer_buffer = 80;  // characters of an integer answer that are seen

// A question leaves the line open for the answer, so it must reach the user now.
void put_question(Console& con, std::string_view prompt, std::string_view shown_default,
                  bool with_default) {
    con.out << " Give " << prompt;
    if (with_default) con.out << " (" << shown_default << ')';
    con.out << " > ";
    con.out.flush();
}

}  // namespace

std::optional<std::string> read_console_line(Console& con) {
    // Memory stays bounded whatever is typed: of a longer line only this much
    // and one character more are kept, which every answer's rules refuse or
    // never look at.
    constexpr std::size_t kept = std::size_t{1} << 20;
    const std::istream::sentry ok(con.in, true);
    if (!ok) return std::nullopt;
    std::streambuf* in = con.in.rdbuf();
    std::string line;
    bool any = false;
    for (;;) {
        const int c = in->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            con.in.setstate(any ? std::ios::eofbit : std::ios::eofbit | std::ios::failbit);
            if (!any) return std::nullopt;
            break;
        }
        any = true;
        if (c == '\n') break;
        if (line.size() <= kept) line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r' && line.size() <= kept) line.pop_back();
    return line;
}

void stop_on_end_of_input(Console& con) {
    con.out << '\n';
    fail(con, "**ERROR: End of input on the console");
}

void say_line(Console& con, std::string_view text) { con.out << ' ' << text << '\n'; }

namespace {

void say_kind(Console& con, MessageKind kind, std::string_view line, std::string_view summary) {
    say_line(con, line);
    if (con.report) con.report(kind, summary.empty() ? line : summary);
}

}  // namespace

void say_warning(Console& con, std::string_view line, std::string_view summary) {
    say_kind(con, MessageKind::warning, line, summary);
}

void say_error(Console& con, std::string_view line, std::string_view summary) {
    say_kind(con, MessageKind::error, line, summary);
}

void fail(Console& con, std::string_view line, std::string_view summary) {
    say_error(con, line, summary);
    con.out.flush();
    throw Stop{1};
}

void ask_string(Console& con, std::string& field, std::string_view prompt, int& n,
                int default_flag) {
    const bool with_default = default_flag == 1;
    if (with_default) {
        // Only blanks end the default here, not tabs or NULs.
        const std::size_t last = field.find_last_not_of(' ');
        n = last == std::string::npos
                ? 0
                : static_cast<int>(std::min<std::size_t>(last + 1, 0x7fffffff));
    }
    for (;;) {
        put_question(
            con, prompt,
            std::string_view(field).substr(0, with_default ? static_cast<std::size_t>(n) : 0),
            with_default);
        const std::optional<std::string> line = read_console_line(con);
        if (!line) stop_on_end_of_input(con);
        if (!line->empty()) {
            // The field gets what the 200-character buffer saw, cut or padded to its length.
            set_field(field,
                      std::string_view(*line).substr(0, std::min(line->size(), string_buffer)));
            n = static_cast<int>(std::min<std::size_t>(line->size(), 0x7fffffff));
            return;
        }
        if (with_default) return;
    }
}

void ask_file_name(Console& con, std::string& field, std::string_view prompt, int& n,
                   std::size_t max_length) {
    max_length = std::min(max_length, field.size());
    // Only blanks end the default.
    const std::size_t last = field.find_last_not_of(' ');
    const std::size_t shown = last == std::string::npos ? 0 : last + 1;
    for (;;) {
        put_question(con, prompt, std::string_view(field).substr(0, shown), true);
        const std::optional<std::string> line = read_console_line(con);
        if (!line) stop_on_end_of_input(con);
        if (line->empty()) {
            n = static_cast<int>(shown);
            return;
        }
        const std::string name = name_meant(*line);
        const std::string refusal = file_name_refusal(name, max_length);
        if (refusal.empty()) {
            set_field(field, name);
            n = static_cast<int>(name.size());
            return;
        }
        say_line(con, refusal);
    }
}

void ask_integer(Console& con, std::int32_t& value, std::string_view prompt, int default_flag) {
    const bool with_default = default_flag == 1;
    const std::string shown = format_integer(value);
    for (;;) {
        put_question(con, prompt, shown, with_default);
        const std::optional<std::string> line = read_console_line(con);
        if (!line) stop_on_end_of_input(con);
        const std::size_t count = line->size();
        if (count == 0) {
            if (with_default) return;
            continue;
        }
        const std::string_view seen =
            std::string_view(*line).substr(0, std::min(count, integer_buffer));
        if (seen[0] == 'f' || seen[0] == 'F') continue;
        if (is_blank_or_tab(seen[0]) && count == 1) continue;

        // Free layout: the first item, after leading blanks and tabs.
        std::size_t i = 0;
        while (i < seen.size() && is_blank_or_tab(seen[i])) ++i;
        if (i == seen.size()) continue;  // no item at all
        // A separator first means a null item: the value stays as it is.
        if (seen[i] == ',' || seen[i] == '/') return;
        std::int32_t read = 0;
        if (!read_first_integer(seen.substr(i), read)) continue;
        value = read;
        return;
    }
}

// A transcript that goes nowhere (the command line's) takes none of these
// lines, which a run of many scans says thousands of times: they are not
// formatted for it.
void say_integer(Console& con, std::string_view message, std::int32_t value) {
    if (!con.out) return;
    con.out << ' ' << message << format_integer(value) << '\n';
}

void say_real(Console& con, std::string_view message, double value) {
    if (!con.out) return;
    con.out << ' ' << message << format_real13(value) << '\n';
}

void say_two_reals(Console& con, std::string_view message1, double value1,
                   std::string_view message2, double value2) {
    if (!con.out) return;
    con.out << ' ' << message1 << format_real7(value1) << message2 << format_real7(value2) << '\n';
}

}  // namespace orvalt

// The rules of a request that the dialogue and the command line share.
#include "driver/request.h"

#include <algorithm>

#include "g_f/case_blind_compare.h"
#include "g_f/input_stream.h"
#include "g_f/numbers.h"
#include "g_f/text.h"

namespace orvalt {

bool branch_fixes_intensity(std::int32_t iscan) { return iscan == gudrun_answer; }

bool branch_fixes_units(std::int32_t iscan) {
    return iscan == gudrun_answer || iscan == separate_answer;
}

bool branch_fixes_output(std::int32_t iscan) { return iscan == separate_answer; }

bool branch_sums(std::int32_t iscan) { return iscan == sum_answer || iscan == gudrun_answer; }

ScanRange scans_taken(const Answers& a, std::int32_t nscans) {
    if (a.iscan > 0) return {a.iscan - 1, a.iscan};
    return {0, nscans};
}

std::string scan_choice_text(ChoiceText where, std::int32_t iscan, std::int32_t nincl,
                             std::int32_t nscans) {
    const std::string n = format_integer(nscans);
    const std::string scans = n + (nscans == 1 ? " scan" : " scans");
    switch (where) {
        case ChoiceText::summary:
            if (iscan > 0) return "scan " + format_integer(iscan);
            if (iscan == gudrun_answer)
                return "gudrunX data, sum of " + format_integer(nincl) + " of " + scans;
            if (iscan == separate_answer) return scans + " separately";
            return "sum of " + scans;
        case ChoiceText::file_header:
            if (iscan > 0) return "scan " + format_integer(iscan) + " of " + n;
            if (iscan == gudrun_answer) return "sum of " + format_integer(nincl) + " of " + scans;
            if (iscan == separate_answer) return scans + " separately";
            return "sum of " + scans;
        case ChoiceText::picture_title:
            if (iscan > 0) return "scan " + format_integer(iscan) + " of " + n;
            if (iscan == gudrun_answer)
                return "gudrunX: " + format_integer(nincl) + " of " + n + " scans summed";
            if (iscan == separate_answer) return "every scan (" + n + ")";
            return nscans == 1 ? "the one scan" : "sum of " + n + " scans";
    }
    return {};
}

bool add_input_extension(Console& con, std::string& name) {
    constexpr std::string_view extension = ".xrdml";
    if (name.size() <= extension.size()) return false;
    const auto ends_in_extension = [&](std::string_view n) {
        return n.size() >= extension.size() &&
               ovt_case_blind_compare(con, n.substr(n.size() - extension.size()), extension) == 0;
    };
    if (ends_in_extension(name)) return false;
    // A compressed measurement is named whole (run7.xrdml.gz).
    const std::string_view stem = without_compression_suffix(name);
    if (stem.size() < name.size() && ends_in_extension(stem)) return false;
    name += extension;
    return true;
}

void settle_output_answer(Request& request) {
    Answers& a = request.answers;
    if (request.format)
        a.ioutput = *request.format == OutputFormat::ascii ? ascii_output : genie_output;
    else if (a.iscan == gudrun_answer)
        a.ioutput = ascii_output;
}

OutputFormat output_format(const Request& request) {
    if (request.format && is_pattern_format(*request.format)) return *request.format;
    if (branch_fixes_output(request.answers.iscan)) return OutputFormat::genie;
    return request.answers.ioutput == ascii_output ? OutputFormat::ascii : OutputFormat::genie;
}

}  // namespace orvalt

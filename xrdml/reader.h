// The XRDML reader: the survey of a file (record census, scan census and
// scan parameters in one reading), the intensities, and the line helpers
// they share. Every reading opens the file by name, reads it line by line
// from its first line (or from a remembered scan line) and closes it.
// Nothing keeps the whole file in memory.
//
// Tables are 0-based in storage: scan s (1-based, as in the dialogue) lives in
// entry s - 1; spectrum point k (1-based) in entry k - 1.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "g_f/file_identity.h"
#include "g_f/input_files.h"

namespace orvalt {
struct Console;
class ScratchFile;
}

namespace orvalt::xrdml {

class ScanOffsets;

inline constexpr std::int32_t mn = 25000;        // most points in one spectrum
inline constexpr std::int32_t max_scans = 200;   // entries of every per-scan table
inline constexpr std::string_view two_theta_axis = "2Theta";  // as the files name it

// Status of the last reader step: ierr 0 is success; the message is a field of
// exactly message_width characters.
inline constexpr std::size_t message_width = 80;
struct ReaderStatus {
    std::int32_t ierr = 0;
    std::string message = std::string(message_width, ' ');
    void set(std::int32_t code, std::string_view text);  // text cut or padded to the width
};

struct ScanCensus {
    std::int32_t nscans = 0;
    double wavelength = 0.0;  // angstrom: K-alpha1 and K-alpha2 weighted by their ratio
    double kalpha1 = 0.0;     // angstrom, as the file gives them
    double kalpha2 = 0.0;
    double ratio = 0.0;       // K-alpha2 to K-alpha1
};

// Whether the wavelengths can be used: kAlpha1, kAlpha2 and their mean
// positive finite numbers, the ratio not negative.
bool wavelength_usable(const ScanCensus& census);

// The reader's statuses beyond those of one pass (ierr).
inline constexpr std::int32_t more_than_one_number = 20;  // in a one-value element
inline constexpr std::int32_t file_changed = 21;          // since the census read it
inline constexpr std::int32_t negative_count = 22;

struct ScanParameters {
    std::array<double, max_scans> start_position{};
    std::array<double, max_scans> end_position{};
    std::array<double, max_scans> counting_time{};
    // The axis whose positions a scan's start and end are, as the file spells
    // it ("" when its positions name no axis): x holds that axis's angles.
    std::array<std::string, max_scans> axis{};
};

// --- reports --------------------------------------------------------------------

// Nothing when ierr is 0; otherwise "ierr = " and the message, then Stop{1}.
// A console that reports (the command line's) is given `summary` instead of
// the message, when there is one.
void ERRCHECK(Console& con, const ReaderStatus& status, std::string_view summary = {});

// --- the passes -----------------------------------------------------------------

// The record census, the scan census and the scan parameters, from one
// reading of the file; nothing is printed. The record census (records) is
// what inqfilerec counts.
//
// The scan census: census.nscans and the mean wavelength. census_status
// starts as `status` and is left so on success; ierr 5 on a missing or
// unreadable wavelength or ratio, 20 on more than one number in one of them,
// 16 for more than max_scans scans (once the census is reported).
// census_report holds what the dialogue prints of the census: its warnings,
// and with verbose 1 its progress lines.
//
// The scan parameters: start, end and counting time of every scan, in file
// order, read up to the line where every kind has been met as often as the
// census counted scans (they count only where the census passed);
// parameter_status ierr 1, 4, 6, 15 or 20. A scan whose positions (those
// since the previous counting time) name several axes, one of them 2Theta,
// takes the 2Theta ones; the axis of each scan's positions goes into
// par.axis. Tables are never written past their max_scans entries.
//
// A file that cannot be read to its end (a read error, a corrupt or
// truncated archive) leaves census_status at ierr 19 with the reason. opened
// is false when the file cannot be opened (nothing else is then set).
//
// Of a compressed file, when `plain_copy` is given, the text read is also
// written to a new temporary (in the system's temporary folder), so that the
// later passes read that instead of decompressing the file again; plain_copy
// is left active only when it holds the whole text.
struct FileSurvey {
    bool opened = false;
    bool xrdml_root = false;  // a line held "<xrdMeasurement": an XRDML file
    bool stamped = false;     // the file's stamp is known...
    FileStamp stamp;          // ...as it was when the survey read it
    bool too_long = false;  // a line longer than LineReader::max_line ended the reading
    RecordCensus records;
    std::string census_report;
    std::vector<std::string> census_warnings;  // the lines of census_report that warn
    ReaderStatus census_status;
    ReaderStatus parameter_status;
};
// `each_line`, when given, is handed every line the passes look at (those
// inside comments passed over), so that another reading can ride along.
FileSurvey survey_file(std::string_view name, const ReaderStatus& status, ScanCensus& census,
                       ScanParameters& par, std::int32_t verbose,
                       ScratchFile* plain_copy = nullptr,
                       const std::function<void(std::string_view)>& each_line = {});

// Loads scan `scan` (1-based): y holds the counts, e their square roots,
// ny the number of points; a counts list with attenuation factors gives c*f
// and sqrt(c)*f. y and e hold at least mn entries; nothing is written past
// mn_points or their sizes. ierr 1, 9, 10, 14, 17 or 22 (a negative count).
// With `expected`, the file must still be what the survey found (the same
// file, size and modification time), before and after the reading:
// otherwise ierr 21 (file_changed).
void ORVALTDATA1(Console& con, std::string_view name, ReaderStatus& status, std::span<double> y,
                 std::span<double> e, std::int32_t mn_points, std::int32_t& ny, std::int32_t scan,
                 std::int32_t verbose, const FileStamp* expected = nullptr);
// The same, starting at the remembered line of the nearest scan before it
// while the file is unchanged, and remembering the lines it meets
// (xrdml/scan_offsets.h): for loading one scan after the other.
void ORVALTDATA1(Console& con, std::string_view name, ReaderStatus& status, std::span<double> y,
                 std::span<double> e, std::int32_t mn_points, std::int32_t& ny, std::int32_t scan,
                 std::int32_t verbose, ScanOffsets& offsets, const FileStamp* expected = nullptr);

// Sums the scans whose weight is exactly 1: y the summed counts (c*f with
// attenuation factors), e the square root of their summed variance (c*f*f),
// npts per included scan, ny the largest npts. Reads up to the line of scan
// nscans (and on to the end of its dataPoints for factors that follow its
// counts); scans past the weight or npts table are never included. ierr 1,
// 9, 10, 17, 21 or 22 (stopping at once), as for ORVALTDATA1.
void ORVALTDATATOT(Console& con, std::string_view name, ReaderStatus& status, std::span<double> y,
                   std::span<double> e, std::int32_t mn_points, std::span<std::int32_t> npts,
                   std::span<const std::int32_t> weight, std::int32_t& ny, std::int32_t nscans,
                   std::int32_t verbose, const FileStamp* expected = nullptr);

// Reverses entries 0..n-1 of a; the rest is untouched.
void REVERSEARRAY(std::span<double> a, std::int32_t n);

// --- line helpers of the passes --------------------------------------------------
// The passes read every line of files of many megabytes: these test and cut
// a line without building tables of its markers or fields.

// The text after the first "<" of a line; `found` is false when the line has none.
struct FirstElement {
    bool found = false;
    std::string_view text;
    // Whether the element name after the first "<" begins with keyword.
    bool matches(std::string_view keyword) const { return found && text.starts_with(keyword); }
};
FirstElement first_element(std::string_view line);

// The element text of a line: the text between the first ">" and the next
// "<" (blank when the line holds no ">"; the rest of the line when no "<"
// follows), and whether it ended at a "<" on the same line (false also when
// the line holds no ">").
struct ElementText {
    std::string_view text;
    bool closed = false;
};
ElementText element_text(std::string_view line);

// The number fields of a list separated by blanks, commas or tabs, each read
// in free form: the first out.size() fields are read and stored in out, the rest only
// counted. `count` is the number of fields, `first_bad` the 0-based index of
// the first read field that is not a number (-1 when all are).
struct FieldScan {
    std::int32_t count = 0;
    std::int32_t first_bad = -1;
    std::int32_t first_negative = -1;  // the first read field below zero
};
FieldScan read_number_fields(std::string_view text, std::span<double> out);

// The number, sum and largest of the counts of a list that holds nothing but
// counts of at most 8 digits and blanks, the usual list, found far faster
// than field by field. `plain` false for any other list (and on hosts where
// the trick does not pay): read_number_fields then tells.
struct CountTotals {
    bool plain = false;
    std::int32_t count = 0;
    std::uint64_t sum = 0, maximum = 0;
};
CountTotals total_counts(std::string_view text);

}  // namespace orvalt::xrdml

// The XRDML reader: the survey of a file (record census, scan census, scan
// parameters and each scan's facts in one reading), the intensities, the
// listed positions, and the line helpers they share. Every reading opens the
// file by name, reads it line by line from its first line (or from a
// remembered line) and closes it. Nothing keeps the whole file in memory:
// what grows with a file is one scan's lists and a few tables with an entry
// per scan.
//
// Tables are 0-based in storage: scan s (1-based, as in the dialogue) lives in
// entry s - 1; spectrum point k (1-based) in entry k - 1.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "g_f/file_identity.h"
#include "g_f/input_files.h"
#include "xrdml/lines.h"
#include "xrdml/facts.h"

namespace orvalt {
struct Console;
class ScratchFile;
}

namespace orvalt::xrdml {

class ScanOffsets;

// The dialogue's limits: most points in one spectrum, most scans in a file.
// The command line has none: `unlimited`.
inline constexpr std::int32_t mn = 25000;
inline constexpr std::int32_t max_scans = 200;

// Positions closer than this (degrees) are one: the grid of a sum, and a
// list of positions that is evenly spaced. The small slack lets positions
// that differ by exactly the tolerance in decimal pass although their binary
// difference is a hair above it.
inline constexpr double grid_tolerance = 0.0001;
inline bool off_grid(double a, double b) {
    return !(a - b <= grid_tolerance * (1.0 + 1e-9) && b - a <= grid_tolerance * (1.0 + 1e-9));
}

// Status of the last reader step: ierr 0 is success; the message is a field of
// exactly message_width characters. `note`, when not empty, is a line said
// after it (what else can be done).
inline constexpr std::size_t message_width = 80;
struct ReaderStatus {
    std::int32_t ierr = 0;
    std::string message = std::string(message_width, ' ');
    std::string note;
    void set(std::int32_t code, std::string_view text);  // text cut or padded to the width
};

struct ScanCensus {
    std::int32_t nscans = 0;
    double wavelength = 0.0;  // angstrom: K-alpha1 and K-alpha2 weighted by their ratio
    double kalpha1 = 0.0;     // angstrom, as the file gives them
    double kalpha2 = 0.0;
    double ratio = 0.0;       // K-alpha2 to K-alpha1
    BeamFacts beam;           // the intended line, a crystal monochromator
    bool root_closed = false;   // the file reaches the end of its xrdMeasurements element
    std::int32_t cut_scan = 0;  // the scan whose list the file ends in, unclosed; 0: none
};

// Whether the wavelengths can be used: kAlpha1, kAlpha2 and their mean
// positive finite numbers, the ratio not negative.
bool wavelength_usable(const ScanCensus& census);

// The reader's statuses beyond those of one pass (ierr).
inline constexpr std::int32_t more_than_one_number = 20;  // in a one-value element
inline constexpr std::int32_t file_changed = 21;          // since the census read it
inline constexpr std::int32_t negative_count = 22;
inline constexpr std::int32_t partial_scan = 23;          // fewer counts than positions, or cut

// A scan's positions given as a list (listPositions) on the axis it is read
// on; count 0 for a start and an end.
struct ListedPositions {
    std::int32_t count = 0;
    bool even = false;        // each within grid_tolerance of the even grid from first to last
    std::uint64_t line = 0;   // where the list's line begins in the text
};

struct ScanParameters {
    // Entry k of each table is the value of the k-th element of its kind, in
    // file order (a list of positions gives a start and an end).
    std::vector<double> start_position;
    std::vector<double> end_position;
    std::vector<double> counting_time;
    std::vector<ListedPositions> listed;  // as start_position: where that start came from a list
    // The axis whose positions a scan's start and end are, as the file spells
    // it ("" when its positions name no axis): x holds that axis's angles.
    std::vector<std::string> axis;
    // One entry per intensity list: what the file says of the scan besides.
    std::vector<ScanFacts> facts;
};

// --- reports --------------------------------------------------------------------

// Nothing when ierr is 0; otherwise "ierr = " and the message (and the note
// on a line of its own), then Stop{1}. A console that reports (the command
// line's) is given `summary` instead of the message, when there is one.
void ERRCHECK(Console& con, const ReaderStatus& status, std::string_view summary = {});

// --- the passes -----------------------------------------------------------------

// The record census, the scan census, the scan parameters and each scan's
// facts, from one reading of the file; nothing is printed. The record census
// (records) is what inqfilerec counts.
//
// The scan census: census.nscans, the wavelengths and the beam's facts.
// census_status starts as `status` and is left so on success; ierr 5 on a
// missing or unreadable wavelength or ratio, 20 on more than one number in
// one of them, 16 for more than options.scan_limit scans (once the census is
// reported). census_report holds what the dialogue prints of the census: its
// warnings, and with verbose 1 its progress lines.
//
// The scan parameters: start, end and counting time of every scan, in file
// order, read up to the line where every kind has been met as often as the
// census counted scans (they count only where the census passed);
// parameter_status ierr 1, 4, 6, 15 or 20, the message naming the scan and
// the element. A scan whose positions (those since the previous counting
// time) name several axes, one of them 2Theta, takes the 2Theta ones; the
// axis of each scan's positions goes into par.axis.
//
// A file that cannot be read to its end (a read error, a corrupt or
// truncated archive) leaves census_status at ierr 19 with the reason. opened
// is false when the file cannot be opened (nothing else is then set).
//
// Of a compressed file, when `plain_copy` is given, the text read is also
// written to a new temporary (in the system's temporary folder), so that the
// later passes read that instead of decompressing the file again; plain_copy
// is left active only when it holds the whole text. `each_line`, when given,
// is handed every line the passes look at (those inside comments passed
// over) with its first element, so that another reading can ride along.
struct SurveyOptions {
    std::int32_t verbose = 0;
    std::int32_t scan_limit = unlimited;
    ScratchFile* plain_copy = nullptr;
    std::function<void(std::string_view, const FirstElement&)> each_line;
    // How much of each scan's facts (par.facts) to keep; the beam's are always read.
    FactsKept facts = FactsKept::all;
};
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
FileSurvey survey_file(std::string_view name, const ReaderStatus& status, ScanCensus& census,
                       ScanParameters& par, const SurveyOptions& options);

// How a list is read: at most `points` numbers (ierr 9 beyond, the
// dialogue's mn), and whether a list the file ends in, unclosed, is taken up
// to its last whole number (its last field may be cut: it is dropped)
// rather than refused (ierr 23).
struct ReadLimits {
    ReadLimits(std::int32_t max_points = mn, bool take_partial = false)  // NOLINT: a count converts
        : points(max_points), partial(take_partial) {}
    std::int32_t points;
    bool partial;
    // False: the errors are made only where attenuation factors scale the
    // counts, for a caller that takes the square roots of the others itself.
    bool errors = true;
    // False: x is made only of listed positions, for a caller that spreads
    // the others from their start and spacing itself.
    bool even_x = true;
};

// Loads scan `scan` (1-based): y holds the counts, e their square roots,
// ny the number of points; a counts list with attenuation factors gives c*f
// and sqrt(c)*f. y and e grow to the points read; nothing is written past
// ny, nor when the list holds more than limits.points numbers. ierr 1, 9,
// 10, 14, 17, 22 (a negative count) or 23 (a list cut by the end of the
// file). With `expected`, the file must still be what the survey found (the
// same file, size and modification time), before and after the reading:
// otherwise ierr 21 (file_changed).
void ORVALTDATA1(Console& con, std::string_view name, ReaderStatus& status, std::vector<double>& y,
                 std::vector<double>& e, const ReadLimits& limits, std::int32_t& ny,
                 std::int32_t scan, std::int32_t verbose, const FileStamp* expected = nullptr);
// The same, starting at the remembered line of the nearest scan before it
// while the file is unchanged, and remembering the lines it meets
// (xrdml/scan_offsets.h): for loading one scan after the other.
void ORVALTDATA1(Console& con, std::string_view name, ReaderStatus& status, std::vector<double>& y,
                 std::vector<double>& e, const ReadLimits& limits, std::int32_t& ny,
                 std::int32_t scan, std::int32_t verbose, ScanOffsets& offsets,
                 const FileStamp* expected = nullptr);

// What ORVALTDATA1 does without a console: it reads the list and says
// nothing. `found` is the scan whose line was found (0: none, then nothing
// was read), `counted` whether its points were counted (ny set).
struct ListReach {
    std::int32_t found = 0;
    bool counted = false;
    bool attenuated = false;  // the counts were multiplied by attenuation factors
};
ListReach read_scan_counts(std::string_view name, ReaderStatus& status, std::vector<double>& y,
                           std::vector<double>& e, const ReadLimits& limits, std::int32_t& ny,
                           std::int32_t scan, ScanOffsets& offsets,
                           const FileStamp* expected = nullptr);

// Sums the scans whose weight is exactly 1: y the summed counts (c*f with
// attenuation factors), e the square root of their summed variance (c*f*f),
// npts per included scan, ny the largest npts. Reads up to the line of scan
// nscans (and on to the end of its dataPoints for factors that follow its
// counts); scans past the weight or npts table are never included. y and e
// grow to the longest list. ierr 1, 9, 10, 17, 21, 22 or 23 (stopping at
// once), as for ORVALTDATA1.
void ORVALTDATATOT(Console& con, std::string_view name, ReaderStatus& status,
                   std::vector<double>& y, std::vector<double>& e, const ReadLimits& limits,
                   std::span<std::int32_t> npts, std::span<const std::int32_t> weight,
                   std::int32_t& ny, std::int32_t nscans, std::int32_t verbose,
                   const FileStamp* expected = nullptr);

// Reverses entries 0..n-1 of a; the rest is untouched.
void REVERSEARRAY(std::span<double> a, std::int32_t n);

// --- listed positions ---------------------------------------------------------------

// Reads the listed positions of scans one after the other from a file the
// survey read (`name` the text it read, `expected` as it found it): the line
// at each list's offset, read on from the last one.
class PositionsReader {
public:
    PositionsReader(std::string_view name, const FileStamp* expected);
    ~PositionsReader();
    PositionsReader(const PositionsReader&) = delete;
    PositionsReader& operator=(const PositionsReader&) = delete;
    // The positions of scan `scan` (1-based) as its list holds them; false
    // with status set (ierr 4, 21, or 1 when the list is not where the
    // survey found it).
    bool read(const ListedPositions& where, std::int32_t scan, std::vector<double>& x,
              ReaderStatus& status);

private:
    struct Lines;
    std::string name_;
    std::unique_ptr<Lines> lines_;
    const FileStamp* expected_;
};

// x of scan s (0-based) for its ny points: its positions as listed, or
// spread evenly from its start to its end. A scan of fewer counts than
// listed positions is a partial scan: taken as far as it goes with
// `partial`, otherwise ierr 23; more counts than positions are ierr 4. x
// grows to ny.
bool scan_x(const ScanParameters& par, std::int32_t s, std::int32_t ny, bool partial,
            PositionsReader& lists, std::vector<double>& x, ReaderStatus& status);

// The spacing of a scan of n points from start to end; 0 for fewer than 2.
inline double spacing(double start, double end, std::int32_t n) {
    return n >= 2 ? (end - start) / (n - 1) : 0.0;
}
// The spacing of scan s (0-based) of n counts: of its list where it has one.
double scan_spacing(const ScanParameters& par, std::int32_t s, std::int32_t n);
// Whether scan s lists its positions, and whether they are not evenly
// spaced (a sum then takes its positions point by point).
bool listed(const ScanParameters& par, std::int32_t s);
bool listed_unevenly(const ScanParameters& par, std::int32_t s);

}  // namespace orvalt::xrdml

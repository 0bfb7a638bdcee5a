// The line-by-line work of the scan census, the scan parameters pass and the
// sum of scans, apart from the reading: survey_file feeds the first two from
// one reading of the file (the tests' separate passes,
// tests/support/xrdml_passes.h, each from a reading of its own); the sum is
// fed by ORVALTDATATOT's own reading, or by the survey's where the scans it
// takes are known before the file is read.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "xrdml/attenuation.h"
#include "xrdml/reader.h"

namespace orvalt::xrdml {

// The message of ierr 21.
inline constexpr std::string_view changed_message = "XRDML file changed while it was being read";

// The message of ierr 20, followed by the element's name.
inline constexpr std::string_view one_number_message = "More than one number where one is expected: ";

// What the dialogue says after refusing a file over one of its limits.
inline constexpr std::string_view no_limit_note =
    "the command line takes any number (orvalt --help)";

class CensusPass {
public:
    // More than scan_limit scans fail the census (ierr 16).
    explicit CensusPass(ScanCensus& census, std::int32_t scan_limit = unlimited);
    // Takes one line outside comments, its first element found already
    // (first_element). False when a wavelength could not be read (status
    // set): the census is over.
    bool take(Console& con, std::string_view line, const FirstElement& first,
              ReaderStatus& status, std::int32_t verbose);
    // After the last line: the checks, the wavelength and the closing lines.
    void finish(Console& con, ReaderStatus& status, std::int32_t verbose);
    std::int32_t scans() const { return census_.nscans; }

private:
    struct WavelengthElement {
        std::string_view keyword;
        std::string_view name;     // in messages
        std::string_view label;    // progress line
        std::string_view warning;  // more than one occurrence
        double value = 0.0;
        std::int32_t count = 0;
    };
    ScanCensus& census_;
    std::int32_t scan_limit_;
    std::array<WavelengthElement, 3> elements_;
};

class ParameterPass {
public:
    // Starts the tables afresh.
    explicit ParameterPass(ScanParameters& par);
    // Takes one line outside comments, which begins at `offset` in the text,
    // its first element found already. False when an element could not be
    // read (status set): the pass is over.
    bool take(std::string_view line, const FirstElement& first, std::uint64_t offset,
              ReaderStatus& status);
    // How often each of start position, end position and counting time has
    // been met, and the least of them.
    std::array<std::int32_t, 3> counts() const;
    std::int32_t least_count() const;

    // The tables as they stand at this line, should the pass stop here:
    // what a later line may still change of them is kept.
    struct Stop {
        std::array<std::int32_t, 3> counts{};
        std::array<std::int32_t, 2> settled{};  // start and end entries no later line changes
        std::vector<double> start_tail, end_tail;
        std::vector<ListedPositions> listed_tail;
        std::string odd_scan;  // why the first scan that broke the pattern did, or ""
    };
    Stop stop_here() const;
    // The tables cut back to what they held at `stop`, and ierr 15 unless
    // every kind had been met nscans times there.
    void stop_at(const Stop& stop, std::int32_t nscans, ReaderStatus& status);
    // ierr 1 for a file that ended before every kind was met nscans times,
    // naming the first scan that lacks one.
    void report_missing(std::int32_t nscans, ReaderStatus& status) const;

private:
    struct Element {
        std::string_view keyword;
        std::string_view name;  // in messages
        std::vector<double>* table;
        std::int32_t ierr;
        std::string_view message;
        std::int32_t count = 0;
    };
    struct Position {
        std::size_t element;  // 0 start, 1 end
        double value;
        std::string axis;
        ListedPositions listed;
    };
    void store(std::size_t element, double value, const ListedPositions& listed = {});
    bool take_list(std::string_view line, std::uint64_t offset, ReaderStatus& status);
    std::string settle_scan_positions();
    void note_scan_end();
    void note_list();
    std::int32_t scan_read() const { return elements_[2].count + 1; }

    ScanParameters& par_;
    std::array<Element, 3> elements_;
    // The positions of a scan are those met since the previous counting time.
    std::vector<Position> positions_;
    std::array<std::int32_t, 2> settled_{};  // start and end counts at the last counting time
    std::string axis_;  // of the positions block the line stands in
    Values list_;       // the numbers of a list of positions
    std::string odd_scan_;  // the first scan of other than one start and one end position
    std::int32_t lists_ = 0;             // intensity lists met
    std::int32_t missing_scan_ = 0;      // the first scan found to lack an element...
    std::size_t missing_element_ = 0;    // ...and which
};

// The included scans summed point by point, from the lines of a file in
// order (those inside comments passed over): y the summed counts (c*f with
// attenuation factors), e their summed variance until finish() makes it the
// error. A counts list whose factors may still follow is added when they
// come, or when its dataPoints, the next list or the end of the file shows
// none will.
class SumPass {
public:
    // `included(n)` tells whether scan n (counted from 1) is summed.
    SumPass(std::vector<double>& y, std::vector<double>& e, const ReadLimits& limits,
            std::function<bool(std::int32_t)> included);

    enum class Step {
        more,       // the line is taken
        failed,     // status is set: the sum is over
        open_list,  // an included list does not close on its line: take_open_list reads it
        done,       // the file ends in the list just read: nothing follows
    };
    Step take(std::string_view line, const FirstElement& first, ReaderStatus& status);
    // The list of the line take() found open: its text up to the end of the
    // file (`cut` true; the file ends in it) or the verdict on it (status set).
    Step take_open_list(std::string_view list, ReaderStatus& status);
    // At the end of the file: a counts list still awaiting factors has none.
    Step end(ReaderStatus& status);
    // The errors made of the variance, once every line is taken.
    void finish();

    std::int32_t lists() const { return lists_; }  // intensity lists met
    bool awaiting() const { return pending_; }      // a counts list awaits its factors
    std::int32_t ny() const { return ny_; }         // points of the longest included list
    // Points of each list met (0 for a list not included), in file order.
    const std::vector<std::int32_t>& points() const { return points_; }

private:
    Step read_list_text(std::string_view list, bool cut, ReaderStatus& status);
    bool add(const FieldScan& scanned, std::int32_t scan, bool attenuated, ReaderStatus& status);

    std::vector<double>& y_;
    std::vector<double>& e_;
    ReadLimits limits_;
    std::function<bool(std::int32_t)> included_;
    AttenuationFactors factors_;
    Values values_, f_;
    std::size_t summed_ = 0;      // points reached by the lists added
    bool with_variance_ = false;  // e holds the summed variance: a list had factors
    FieldScan waiting_;           // an included counts list that awaits factors after it...
    std::int32_t waiting_scan_ = 0;
    bool pending_ = false;        // ...while this is true
    bool counts_ = false;         // the list being read is a counts list
    std::int32_t lists_ = 0;
    std::int32_t ny_ = 0;
    std::vector<std::int32_t> points_;
};

}  // namespace orvalt::xrdml

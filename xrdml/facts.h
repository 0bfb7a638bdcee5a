// What a file tells of each scan beyond its lists, and of the beam: the
// positions of every axis a scan names, its counting time, its non-ambient
// conditions (a temperature) and its start and end times; the intended
// line and a crystal monochromator in the incident beam. Read from the
// structure the instruments write: a scan's facts are those inside its
// scan element, its positions those since the intensity list before it.
//
// Every text is kept to its first max_text characters and a scan to its
// first max_kept axes and conditions, so a file cannot make these tables
// grow with the length of its lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xrdml/lines.h"

namespace orvalt::xrdml {

inline constexpr std::string_view two_theta_axis = "2Theta";  // as the files name it

inline constexpr std::size_t max_text = 64;
inline constexpr std::size_t max_kept = 16;

struct AxisPositions {
    std::string axis, unit;         // as the file names them
    double start = 0.0, end = 0.0;  // equal for an axis that stands still; of a list its ends
    bool moves = false;
    std::int32_t listed = 0;        // positions of a listPositions element (0: none)
};

// A non-ambient condition of a scan (nonAmbientPoints): its values' first,
// last and mean; count 0 when none could be read.
struct NonAmbient {
    std::string type, unit;  // "Temperature", "K"
    double first = 0.0, last = 0.0, mean = 0.0;
    std::int32_t count = 0;
};

// The temperature in kelvin of a condition of type Temperature given in K
// or degrees Celsius, when it has a value.
std::optional<double> kelvin(const NonAmbient& c);

struct ScanFacts {
    std::vector<AxisPositions> positions;  // every axis the scan names, in file order
    bool has_counting_time = false;
    double counting_time = 0.0;            // seconds
    std::vector<NonAmbient> conditions;
    std::string start_time, end_time;      // as the file writes them, "" when it does not
    // The axis x holds: the only moving axis, or 2Theta when several move
    // together ("" when none, or several others, move).
    std::string axis;
    const AxisPositions* read_axis() const;  // the positions of `axis`, if any
};

// The file's facts on its wavelength beyond the numbers.
struct BeamFacts {
    std::string intended;       // usedWavelength's intended attribute ("K-Alpha 1")
    std::string monochromator;  // the name of a crystal monochromator in the incident beam
};


// Takes every line outside comments, in file order, with its first element
// (first_element), and keeps the facts of each scan (one per intensity
// list) and of the beam.
// How much of the facts a reading keeps: a run that writes no scan's
// conditions or times need not build a table of them for every scan, and
// only a listing of the scans shows their axes.
enum class FactsKept {
    beam,        // the beam's facts, and the lists counted
    conditions,  // and each scan's counting time, conditions and times
    all,         // and each scan's axes with their positions
};

class FactsPass {
public:
    explicit FactsPass(FactsKept kept = FactsKept::all) : kept_(kept) {}
    void take(std::string_view line, const FirstElement& first);
    std::vector<ScanFacts> scans;  // one per list, unless only the beam's are kept
    BeamFacts beam;
    std::int32_t lists() const { return lists_; }

private:
    void take_scan(std::string_view line, const FirstElement& first);
    void take_beam(std::string_view line, const FirstElement& first);
    void open_monochromator(std::string_view tag);
    void open_positions(std::string_view tag);
    void take_positions(std::string_view line, const FirstElement& first);
    void take_position(std::size_t kind, std::string_view text);
    void take_condition(std::string_view line);
    void close_list();

    FactsKept kept_ = FactsKept::all;
    std::int32_t lists_ = 0;        // intensity lists met
    ScanFacts pending_;             // the scan whose list is yet to come
    bool in_scan_ = false;          // inside a scan element
    bool list_met_ = false;         // ...whose list has been met (scans.back())
    AxisPositions* block_ = nullptr;  // the positions block being read
    bool in_condition_ = false;     // inside nonAmbientPoints
    NonAmbient condition_;
    bool incident_ = false;         // inside incidentBeamPath
    bool in_monochromator_ = false;
    std::string monochromator_name_, crystal_;
};

}  // namespace orvalt::xrdml

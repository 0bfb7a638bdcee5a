// The run state: everything a conversion keeps for its whole life, made of
// the parts below; every step gets only the parts it reads or fills.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "g_f/new_files.h"
#include "g_f/scratch_file.h"
#include "xrdml/reader.h"

namespace orvalt {

// File name fields: a name is taken whole or refused, never cut.
inline constexpr std::size_t name_field_length = 4096;
// Genie file names longer than this are cut by the output stage; a run from
// the command line refuses them instead of writing under another name.
inline constexpr std::size_t genie_name_limit = 80;

// The files of a run. The input name is a field, as typed; the others are
// plain names, empty until known.
struct RunFiles {
    std::string input_name = std::string(name_field_length, ' ');
    std::string full_name;     // the input's full name, as the file check gives it
    std::string tmp_name;      // full name of the remembered-answers file
    std::string weights_name;  // the weights file of this run, once named
    std::string output_name;   // the data or Genie file, once named
    // Whether each was put in place (a separate-scans file partly written too).
    bool weights_written = false;
    bool output_written = false;
    // The files of the scans each in a file of its own (--separate into
    // .xye), once put in place, in scan order.
    std::vector<std::string> scan_files_written;
    // The picture, drawn last, could not be written, though every other file was.
    bool picture_failed = false;
    // A compressed input's text, written out by the census's reading of it,
    // for the later passes to read instead of decompressing it again; gone
    // with the run (inactive when the input is not compressed, or there was
    // no room for it).
    ScratchFile plain_copy;
};

// The name the reading passes open: the input, or the copy of its text.
std::string_view read_name(const RunFiles& files);

// What the census and parameter passes found in the input file.
struct ScanTables {
    xrdml::ScanCensus census;
    xrdml::ScanParameters par;
    // The input as the census read it: every later reading must find it so.
    bool stamped = false;
    FileStamp stamp;
    const FileStamp* expected() const { return stamped ? &stamp : nullptr; }
};

// The axis scan s (0-based) moves, as the file names it; a scan whose
// positions name no axis is taken for 2-theta ("2Theta").
std::string_view scan_axis(const ScanTables& scans, std::int32_t s);

// The scans a sum takes: weight 1 = included; one entry per scan.
struct Weights {
    std::vector<std::int32_t> weight;
    std::int32_t nincl = 0;
};

// The spectrum a branch builds and the output stage writes; it grows with
// the longest scan it is given.
struct Spectrum {
    std::vector<double> x = std::vector<double>(xrdml::mn);
    std::vector<double> y = std::vector<double>(xrdml::mn);
    std::vector<double> e = std::vector<double>(xrdml::mn);
    std::int32_t ny = 0;
};

class SumInCensus;  // driver/scan_loading.h

// What a conversion works on; the answers are the request's (driver/request.h).
struct RunState {
    RunFiles files;
    ScanTables scans;
    Weights weights;
    Spectrum spectrum;
    // The gudrunX weights file, written and waiting to be put in place with
    // the data file (or alone, when no data file comes).
    OutputFile weights_file;
    // The sum the command line asks for, made in the census's own reading.
    std::shared_ptr<SumInCensus> sum_in_census;
};

}  // namespace orvalt

// The run driver: one pass of questions and answers from the header to the
// last line. It owns the run state, made of the parts below; every step gets
// only the parts it reads or fills.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "g_f/staged_file.h"
#include "xrdml/reader.h"

namespace orvalt {

struct Console;

// File name fields: a name is taken whole or refused, never cut.
inline constexpr std::size_t name_field_length = 4096;
// Genie file names longer than this are cut by the output stage; a run from
// the command line refuses them instead of writing under another name.
inline constexpr std::size_t genie_name_limit = 80;

// The menu answers, the ones "orvalt.tmp" remembers.
struct Answers {
    std::int32_t iscan = 0;
    std::int32_t icps = 1;
    std::int32_t iunits = 1;
    std::int32_t ioutput = 2;
};

// The files of a run. The input name is a field, as typed; the others are
// plain names, empty until known.
struct RunFiles {
    std::string input_name = std::string(name_field_length, ' ');
    std::string full_name;     // the input's full name, as the file check gives it
    std::string tmp_name;      // full name of the remembered-answers file
    std::string weights_name;  // the weights file of this run, once written
    std::string output_name;   // the data or Genie file, once named
    // A compressed input's text, written out by the census's reading of it,
    // for the later passes to read instead of decompressing it again; gone
    // with the run (inactive when the input is not compressed, or there was
    // no room for it).
    StagedFile plain_copy;
};

// What the census and parameter passes found in the input file.
struct ScanTables {
    xrdml::ScanCensus census;
    xrdml::ScanParameters par;
};

// The scans a sum takes: weight 1 = included.
struct Weights {
    std::array<std::int32_t, xrdml::max_scans> weight{};
    std::int32_t nincl = 0;
};
// Every one of nscans scans included.
Weights all_included(std::int32_t nscans);
// Takes scan number `scan` (counted from 1) out; a scan already out stays
// out. Excluding the last included scan stops the run.
void exclude(Console& con, Weights& weights, std::int32_t scan);

// The spectrum a branch builds and the output stage writes.
struct Spectrum {
    std::vector<double> x = std::vector<double>(xrdml::mn);
    std::vector<double> y = std::vector<double>(xrdml::mn);
    std::vector<double> e = std::vector<double>(xrdml::mn);
    std::int32_t ny = 0;
};

// What a conversion works on; the answers are the request's (driver/request.h).
struct RunState {
    RunFiles files;
    ScanTables scans;
    Weights weights;
    Spectrum spectrum;
};

// Runs the program on the console; returns the exit status of a normal end
// (1 when an output file could not be written). Every other end throws Stop.
int run_orvalt(Console& con);

}  // namespace orvalt

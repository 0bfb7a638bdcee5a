// The run driver: one pass of questions and answers from the header to the
// last line. It owns the run state; every other routine gets parts of it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "xrdml/reader.h"

namespace orvalt {

struct Console;

// File name fields: a name is taken whole or refused, never cut.
inline constexpr std::size_t name_field_length = 4096;
// Genie file names longer than this are cut by the output stage; a run from
// the command line refuses them instead of writing under another name.
inline constexpr std::size_t genie_name_limit = 80;

struct RunState {
    std::string input_name = std::string(name_field_length, ' ');
    std::int32_t name_length = 0;
    std::string full_name = std::string(name_field_length, ' ');
    std::string output_name = std::string(name_field_length, ' ');
    std::string tmp_name;      // full name of the remembered-answers file
    std::string weights_name;  // the weights file of this run, once written
    xrdml::ReaderStatus status;

    std::int32_t iscan = 0;
    std::int32_t icps = 1;
    std::int32_t iunits = 1;
    std::int32_t ioutput = 2;
    std::int32_t verbose = 1;

    std::int32_t nrec = 0;
    std::int32_t maxlen = 0;
    xrdml::ScanCensus census;
    xrdml::ScanParameters par;

    std::array<std::int32_t, xrdml::max_scans> weight{};
    std::array<std::int32_t, xrdml::max_scans> npts{};
    std::array<double, xrdml::max_scans> step{};
    std::int32_t nincl = 0;

    std::vector<double> x = std::vector<double>(xrdml::mn);
    std::vector<double> y = std::vector<double>(xrdml::mn);
    std::vector<double> e = std::vector<double>(xrdml::mn);
    std::vector<double> tsum = std::vector<double>(xrdml::mn);
    std::int32_t ny = 0;

    // Becomes 1 when an output file could not be created or written.
    int exit_status = 0;
};

// Runs the program on the console; returns the exit status of a normal end.
// Every other end throws Stop.
int run_orvalt(Console& con);

}  // namespace orvalt

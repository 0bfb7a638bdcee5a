// The Genie file writer: one spectrum with its header values handed, field by
// field, to the Genie library as one entry of a file.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace orvalt {

struct Console;

// The shared header values; texts are fields of their declared lengths.
struct G2IntGenDp {
    std::string filefield = std::string(80, '\0');
    std::string xlabel = std::string(40, ' ');
    std::string ylabel = std::string(40, ' ');
    std::string user_name = std::string(20, ' ');
    std::string inst_name = std::string(8, '\0');
    std::string title = std::string(80, ' ');
    std::string time = std::string(20, ' ');
    std::string history = std::string(200, ' ');
    std::array<double, 30> ut{};
    double delta = 0, fi = 0, l1 = 0, l2 = 0, efixed = 0, twotheta = 0, run_duration = 0;
    std::int32_t nut = 0, emode = 0, ispec_no = 0, irun_no = 0;
};

// The driver's value block: labels "x" and "y", user "user", title "title",
// time "now", history "none", ut all 0, delta 0, fi 0, l1 10, l2 1, efixed 1,
// twotheta 90, run_duration 123, nut 30, emode 0, ispec_no 1, irun_no 12345;
// filefield and inst_name all NUL bytes.
void g2intinit(G2IntGenDp& h);

void activate_genie_session();
void deactivate_genie_session();
// The library keeps the file it added an entry to open for the next entry;
// this lets it go, so that the file can be moved or removed. False when
// closing it failed (the library has said why).
bool close_genie_file();
// The system's error number of the library's last failed write (0: none).
int genie_write_error();

// Writes one entry in double precision; inew 1 creates the file anew,
// anything else appends. The writer prints nothing of its own (the library
// reports its failures): `con` and `iprint` are taken and left unused, as
// ierr is the caller's and is not touched. False when the library refused a
// call: the entry is then not in the file as given.
bool write_g2int_ng(Console& con, std::string_view g2file, std::string_view filefield,
                    std::string_view xlabel, std::string_view ylabel, std::string_view user_name,
                    std::string_view inst_name, std::string_view title, std::string_view time,
                    std::string_view history, std::span<const double> x, std::span<const double> y,
                    std::span<const double> e, std::span<const double> ut, double delta, double fi,
                    double l1, double l2, double efixed, double twotheta, double run_duration,
                    std::int32_t ntc, std::int32_t nx, std::int32_t nut, std::int32_t emode,
                    std::int32_t ispec_no, std::int32_t irun_no, std::int32_t inew,
                    std::int32_t iprint, std::int32_t& ierr);

}  // namespace orvalt

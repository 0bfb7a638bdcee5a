// The Genie file writer: one spectrum with its header values handed, field by
// field, to the Genie library as one entry of a file.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace orvalt {

struct Console;

// The shared header values in one precision (double or single, as the
// writer used); texts are fields of their declared lengths.
template <class Real>
struct G2IntGenOf {
    std::string filefield = std::string(80, '\0');
    std::string xlabel = std::string(40, ' ');
    std::string ylabel = std::string(40, ' ');
    std::string user_name = std::string(20, ' ');
    std::string inst_name = std::string(8, '\0');
    std::string title = std::string(80, ' ');
    std::string time = std::string(20, ' ');
    std::string history = std::string(200, ' ');
    std::array<Real, 30> ut{};
    Real delta = 0, fi = 0, l1 = 0, l2 = 0, efixed = 0, twotheta = 0, run_duration = 0;
    std::int32_t nut = 0, emode = 0, ispec_no = 0, irun_no = 0;
};

using G2IntGenDp = G2IntGenOf<double>;  // double-precision set
using G2IntGen = G2IntGenOf<float>;     // single-precision set, for the single-precision writer

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

// Writes one entry, in double or single precision as the values come; inew
// 1 creates the file anew, anything else appends. iprint 1 prints the
// diagnostics. ierr is the caller's and is not touched. The precision is
// taken from the single values, so the arrays may be handed over as vectors.
// False when the library refused a call (it has printed why): the entry is
// then not in the file as given.
template <class Real>
bool write_g2int_ng(Console& con, std::string_view g2file, std::string_view filefield,
                    std::string_view xlabel, std::string_view ylabel, std::string_view user_name,
                    std::string_view inst_name, std::string_view title, std::string_view time,
                    std::string_view history, std::span<const std::type_identity_t<Real>> x,
                    std::span<const std::type_identity_t<Real>> y,
                    std::span<const std::type_identity_t<Real>> e,
                    std::span<const std::type_identity_t<Real>> ut, Real delta, Real fi, Real l1,
                    Real l2, Real efixed, Real twotheta, Real run_duration, std::int32_t ntc,
                    std::int32_t nx, std::int32_t nut, std::int32_t emode, std::int32_t ispec_no,
                    std::int32_t irun_no, std::int32_t inew, std::int32_t iprint,
                    std::int32_t& ierr);

// Both precisions are built once, in genie_writer.cpp.
extern template decltype(write_g2int_ng<double>) write_g2int_ng<double>;
extern template decltype(write_g2int_ng<float>) write_g2int_ng<float>;

}  // namespace orvalt

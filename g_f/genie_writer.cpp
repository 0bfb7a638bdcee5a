// The Genie file writer: every header value and array goes to the Genie
// library as one named field of the workspace h_block, which is then put as
// one entry of the file. The library prints its own failures; the writer
// only tells its caller whether there were any.
#include "g_f/genie_writer.h"

#include <algorithm>
#include <array>
#include <string>

#include "g_f/numbers.h"
#include "g_f/text.h"
#include "genie/genie.h"

namespace orvalt {

namespace {

// Declared lengths of the text arguments.
// Long enough for any name a run accepts (and the temporary beside it).
constexpr std::size_t g2file_length = 8192;
constexpr std::size_t filefield_length = 80;
constexpr std::size_t label_length = 40;
constexpr std::size_t user_name_length = 20;
constexpr std::size_t inst_name_length = 8;
constexpr std::size_t title_length = 80;
constexpr std::size_t time_length = 20;
constexpr std::size_t history_length = 200;
constexpr std::size_t number_text_length = 10;

std::int32_t length_of(std::string_view s) { return static_cast<std::int32_t>(s.size()); }

// A spectrum or header number as a 10-character text: the integer in the
// width digit_count gives it, at the left, the rest blanks. A text longer
// than the field loses its padding blank first; a number that still does not
// fit is written as asterisks rather than cut into another number.
std::string number_text(std::int32_t value) {
    std::string s = format_integer(value);
    if (s.size() > number_text_length) s.erase(0, s.find_first_not_of(' '));
    if (s.size() > number_text_length) return std::string(number_text_length, '*');
    return field(s, number_text_length);
}

// A text at its declared length N: cut to it, or padded with blanks. Made
// in place, as an entry is written thousands of times in a run.
template <std::size_t N>
class FixedText {
public:
    explicit FixedText(std::string_view text) {
        const std::size_t n = std::min(text.size(), N);
        std::copy_n(text.begin(), n, chars_.begin());
        std::fill(chars_.begin() + static_cast<std::ptrdiff_t>(n), chars_.end(), ' ');
    }
    std::string_view view() const { return {chars_.data(), N}; }

private:
    std::array<char, N> chars_;
};

// The Genie library takes every argument by reference and every text as a
// pointer with its length; these keep the calls below readable.
void transfer_text(std::string_view name, std::string_view buffer) {
    const std::int32_t rank = 1;
    const std::int32_t extent = length_of(buffer);
    GF_TRANSFER(name.data(), length_of(name), "<--", 3, "string", 6, buffer.data(), rank, extent);
}

void transfer_int(std::string_view name, const std::int32_t& value) {
    const std::int32_t rank = 0;
    const std::int32_t extent = 0;
    GF_TRANSFER(name.data(), length_of(name), "<--", 3, "int32", 5, &value, rank, extent);
}

void transfer_real(std::string_view name, const double& value) {
    const std::int32_t rank = 0;
    const std::int32_t extent = 0;
    GF_TRANSFER(name.data(), length_of(name), "<--", 3, "float64", 7, &value, rank, extent);
}

// An array goes with n elements; n is kept within the array the caller
// handed over, so a count larger than the array never reads past its end.
void transfer_array(std::string_view name, std::span<const double> values, std::int32_t n) {
    const std::int32_t rank = 1;
    const auto extent = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(n, 0, static_cast<std::int64_t>(values.size())));
    GF_TRANSFER(name.data(), length_of(name), "<--", 3, "float64[]", 9, values.data(), rank,
                extent);
}

}  // namespace

bool write_g2int_ng(Console& /*con*/, std::string_view g2file_arg, std::string_view filefield_arg,
                    std::string_view xlabel_arg, std::string_view ylabel_arg,
                    std::string_view user_name_arg, std::string_view inst_name_arg,
                    std::string_view title_arg, std::string_view time_arg,
                    std::string_view history_arg, std::span<const double> x,
                    std::span<const double> y, std::span<const double> e,
                    std::span<const double> ut, double delta, double fi, double l1, double l2,
                    double efixed, double twotheta, double run_duration, std::int32_t ntc,
                    std::int32_t nx, std::int32_t nut, std::int32_t emode, std::int32_t ispec_no,
                    std::int32_t irun_no, std::int32_t inew, std::int32_t /*iprint*/,
                    std::int32_t& /*ierr: the caller's, untouched*/) {
    // Every text at its declared length, whatever length it came with. The
    // file's name is only cut: the library takes a name without the blanks
    // that would pad it.
    const std::string_view g2file = g2file_arg.substr(0, g2file_length);
    const FixedText<filefield_length> filefield(filefield_arg);
    const FixedText<label_length> xlabel(xlabel_arg);
    const FixedText<label_length> ylabel(ylabel_arg);
    const FixedText<user_name_length> user_name(user_name_arg);
    const FixedText<inst_name_length> inst_name(inst_name_arg);
    const FixedText<title_length> title(title_arg);
    const FixedText<time_length> time(time_arg);
    const FixedText<history_length> history(history_arg);

    const std::string spec_no = number_text(ispec_no);
    const std::string run_no = number_text(irun_no);

    const int failures_before = genie_failure_count();
    GF_ASSIGN_HANDLE("h_block", 7, "fields()", 8);
    transfer_text("h_block.file", filefield.view());
    transfer_int("h_block.ntc", ntc);
    transfer_array("h_block.x", x, nx);
    transfer_array("h_block.y", y, ntc);
    transfer_array("h_block.e", e, ntc);
    transfer_text("h_block.xlabel", xlabel.view());
    transfer_text("h_block.ylabel", ylabel.view());
    transfer_text("h_block.spec_no", spec_no);
    transfer_real("h_block.delta", delta);
    transfer_text("h_block.user_name", user_name.view());
    transfer_int("h_block.nut", nut);
    transfer_array("h_block.ut", ut, nut);
    transfer_text("h_block.run_no", run_no);
    transfer_int("h_block.emode", emode);
    transfer_real("h_block.fi", fi);
    transfer_real("h_block.l1", l1);
    transfer_real("h_block.l2", l2);
    transfer_real("h_block.efixed", efixed);
    transfer_real("h_block.twotheta", twotheta);
    transfer_real("h_block.run_duration", run_duration);
    transfer_text("h_block.inst_name", inst_name.view());
    transfer_text("h_block.title", title.view());
    transfer_text("h_block.time", time.view());
    transfer_text("h_block.history", history.view());

    GF_SELECT_DESTINATION(g2file.data(), length_of(g2file), "G2", 2);
    const char* mode = inew == 1 ? "new" : "   ";
    const std::int32_t index = 0;
    GF_PUT("h_block", 7, "data", 4, index, mode, 3, "Data points", 11);
    GF_RELEASE_HANDLE("h_block", 7);
    return genie_failure_count() == failures_before;
}

void g2intinit(G2IntGenDp& h) {
    h.filefield.assign(filefield_length, '\0');
    h.inst_name.assign(inst_name_length, '\0');
    h.xlabel = field("x", label_length);
    h.ylabel = field("y", label_length);
    h.user_name = field("user", user_name_length);
    h.title = field("title", title_length);
    h.time = field("now", time_length);
    h.history = field("none", history_length);
    h.ut.fill(0.0);
    h.delta = 0;
    h.fi = 0;
    h.l1 = 10;
    h.l2 = 1;
    h.efixed = 1;
    h.twotheta = 90;
    h.run_duration = 123;
    h.nut = 30;
    h.emode = 0;
    h.ispec_no = 1;
    h.irun_no = 12345;
}

void activate_genie_session() {
    std::int32_t option1 = 0;
    std::int32_t option2 = 0;
    GF_ACTIVATE_SESSION("GENIE", 5, option1, option2);
}

void deactivate_genie_session() { GF_DEACTIVATE_SESSION(); }

bool close_genie_file() {
    const int failures_before = genie_failure_count();
    genie_close_file();
    return genie_failure_count() == failures_before;
}

int genie_write_error() { return genie_last_error(); }

}  // namespace orvalt

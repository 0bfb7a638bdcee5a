// Titles and axis labels of the run's pictures, and the scans of a file read
// one after the other for them.
#include "driver/pictures.h"

#include <cstring>
#include <filesystem>
#include <sstream>

#include "g_f/console.h"
#include "g_f/file_operations.h"
#include "g_f/file_system.h"
#include "g_f/name_safety.h"
#include "g_f/staged_file.h"
#include "g_f/numbers.h"
#include "xrdml/scan_offsets.h"

namespace orvalt {

std::string picture_x_label(std::int32_t iunits, std::string_view axis) {
    if (iunits == 2) return "Q (1/angstrom)";
    if (iunits == 3) return "d-spacing (angstrom)";
    if (axis.empty() || axis == xrdml::two_theta_axis) return "2-theta (degrees)";
    return std::string(axis) + " (degrees)";
}

std::string picture_y_label(std::int32_t icps) {
    return icps == 1 ? "counts per second" : "counts";
}

std::string picture_choice(const Answers& answers, const Weights& weights, std::int32_t nscans) {
    const std::string n = format_integer(nscans);
    if (answers.iscan > 0) return "scan " + format_integer(answers.iscan) + " of " + n;
    if (answers.iscan == -2)
        return "gudrunX: " + format_integer(weights.nincl) + " of " + n + " scans summed";
    if (answers.iscan == -3) return "every scan (" + n + ")";
    return nscans == 1 ? "the one scan" : "sum of " + n + " scans";
}

plot::Figure new_picture(std::string_view input_name, std::string_view choice,
                         const Answers& answers, double wavelength, bool log_y) {
    plot::Figure fig;
    const std::string file = path_of(input_name).filename().string();
    fig.title = file + ": " + std::string(choice) + ", " + picture_y_label(answers.icps);
    if (wavelength > 0.0)
        fig.subtitle = "wavelength " + format_significant(wavelength, 7) + " angstrom";
    fig.y_label = picture_y_label(answers.icps);
    fig.log_y = log_y;
    return fig;
}

bool add_file_scans(std::string_view input_name, const ScanTables& scans, const Weights* weights,
                    std::int32_t icps, plot::Figure& figure, xrdml::ReaderStatus& status) {
    // The reader's progress lines are not part of a picture.
    std::istringstream no_input;
    std::ostringstream unused;
    Console quiet{no_input, unused};
    std::vector<double> y(xrdml::mn), e(xrdml::mn);
    xrdml::ScanOffsets offsets;
    const auto& par = scans.par;
    for (std::int32_t s = 0; s < scans.census.nscans; ++s) {
        std::int32_t ny = 0;
        xrdml::ORVALTDATA1(quiet, input_name, status, y, e, xrdml::mn, ny, s + 1, 0, offsets);
        if (status.ierr != 0) return false;
        const double start = par.start_position[s], end = par.end_position[s];
        const double step = ny > 1 ? (end - start) / (ny - 1) : 0.0;
        const double t = par.counting_time[s];
        const double scale = icps == 1 && t > 0.0 ? 1.0 / t : 1.0;
        for (std::int32_t k = 0; k < ny; ++k) {
            y[k] *= scale;
            e[k] *= scale;
        }
        const bool excluded = weights != nullptr && weights->weight[s] == 0;
        const auto n = static_cast<std::size_t>(ny);
        figure.add(s + 1, excluded ? plot::Style::excluded : plot::Style::scan,
                   plot::EvenX{start, step}, std::span<const double>(y).first(n),
                   std::span<const double>(e).first(n));
    }
    return true;
}

std::string picture_name_problem(std::string_view picture, std::string_view input,
                                 std::initializer_list<std::string_view> outputs) {
    const std::string start = "will not write the picture " + std::string(picture) + ": ";
    if (reaches_any(picture, {input})) return start + "it is the input file";
    if (reaches_any(picture, {"orvalt.tmp"}))
        return start + "orvalt.tmp holds the dialogue's remembered answers";
    for (const std::string_view o : outputs)
        if (!o.empty() && reaches_any(picture, {o})) return start + "it is an output of this run";
    if (!output_name_refusal(picture, {}).empty()) return start + "it is not a regular file";
    StagedFile trial;
    int error = 0;
    if (!trial.create(picture, false, error))
        return "cannot write the picture " + std::string(picture) + ": " + error_text(error);
    return {};
}

bool write_picture(Console& con, const std::string& name, const plot::Figure& figure) {
    int error = 0;
    if (plot::write_svg(name, figure, error)) return true;
    say_error(con, "**ERROR in orvalt: Could not write " + name + ": " + error_text(error));
    return false;
}

std::string default_picture_name(std::string_view output_name) {
    std::filesystem::path p{std::string(output_name)};
    p.replace_extension(".svg");
    return p.string();
}

}  // namespace orvalt

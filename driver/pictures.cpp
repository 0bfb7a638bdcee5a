// Titles and axes of the run's pictures, and the scans drawn in them.
#include "driver/pictures.h"

#include <filesystem>
#include <span>
#include <sstream>

#include "driver/scan_loading.h"
#include "g_f/console.h"
#include "g_f/file_operations.h"
#include "g_f/file_system.h"
#include "g_f/name_safety.h"
#include "g_f/numbers.h"
#include "g_f/staged_file.h"

namespace orvalt {

namespace {

std::string_view intensity_label(std::int32_t icps) {
    return icps == 1 ? "counts per second" : "counts";
}

}  // namespace

std::string picture_x_label(const XAxis& x) {
    switch (x.quantity) {
        case XQuantity::two_theta: return "2θ (°)";
        case XQuantity::q: return "Q (Å⁻¹)";
        case XQuantity::d_spacing: return "d (Å)";
        case XQuantity::angle: break;
    }
    return x.axis + " (°)";
}

plot::Figure new_picture(std::string_view input_name, std::string_view choice, std::int32_t icps,
                         double wavelength, const XAxis& x, bool log_y) {
    plot::Figure fig;
    fig.title_name = name_of(path_of(input_name).filename());
    fig.title = std::string(choice) + ", " + std::string(intensity_label(icps));
    if (wavelength > 0.0) fig.subtitle = "λ = " + format_significant(wavelength, 7) + " Å";
    fig.x_label = picture_x_label(x);
    fig.y_label = intensity_label(icps);
    fig.log_y = log_y;
    return fig;
}

void draw_scan(plot::Figure& figure, std::int32_t scan, plot::Style style,
               const ScanTables& scans, const Spectrum& spectrum) {
    const auto n = static_cast<std::size_t>(spectrum.ny);
    const std::span<const double> y = std::span<const double>(spectrum.y).first(n),
                                  e = std::span<const double>(spectrum.e).first(n);
    if (xrdml::listed(scans.par, scan - 1)) {
        figure.add(scan, style, std::span<const double>(spectrum.x).first(n), y, e);
        return;
    }
    const auto s = static_cast<std::size_t>(scan - 1);
    const double start = scans.par.start_position[s];
    const double step = xrdml::scan_spacing(scans.par, scan - 1, spectrum.ny);
    figure.add(scan, style, plot::EvenX{start, step}, y, e);
}

bool draw_file_scans(const RunFiles& files, const ScanTables& scans, const Weights* weights,
                     std::int32_t icps, const xrdml::ReadLimits& limits, plot::Figure& figure,
                     xrdml::ReaderStatus& status) {
    // The reader's progress lines are not part of a picture.
    std::istringstream no_input;
    std::ostringstream unused;
    Console quiet{no_input, unused};
    Spectrum spectrum;
    return read_each_scan(quiet, files, scans, limits, spectrum, status, [&](std::int32_t s) {
        const double t = scans.par.counting_time[static_cast<std::size_t>(s)];
        if (icps == 1 && t > 0.0) to_counts_per_second(spectrum, t);
        const bool excluded = weights != nullptr && weights->weight[s] == 0;
        draw_scan(figure, s + 1, excluded ? plot::Style::excluded : plot::Style::scan, scans,
                  spectrum);
        return true;
    });
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
    // Through the program's own names on every platform: a UTF-8 name is
    // not the narrow text of the Windows library.
    std::filesystem::path p = path_of(output_name);
    p.replace_extension(".svg");
    return name_of(p);
}

}  // namespace orvalt

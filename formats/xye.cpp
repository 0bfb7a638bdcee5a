// The x-y-error file: "#" comment lines on the input, the scans, the
// wavelengths and the units, then the ASCII data file's lines.
#include <string>

#include "formats/xye.h"
#include "formats/pattern.h"
#include "g_f/numbers.h"
#include "g_f/text.h"

namespace orvalt {

namespace {

std::string wavelength_text(double v) { return format_significant(v, 10); }

// The wavelength line: the file's wavelengths and their mean, or the one
// used instead of the mean.
std::string wavelength_line(const Wavelengths& w) {
    switch (w.used) {
        case WavelengthSource::kalpha1:
            return "# Wavelength (angstrom): K-alpha1 " + wavelength_text(w.kalpha1) + " alone\n";
        case WavelengthSource::given:
            return "# Wavelength (angstrom): " + wavelength_text(w.value) + ", as given\n";
        case WavelengthSource::mean: break;
    }
    return "# Wavelength (angstrom): K-alpha1 " + wavelength_text(w.kalpha1) + ", K-alpha2 " +
           wavelength_text(w.kalpha2) + ", ratio K-alpha2/K-alpha1 " + wavelength_text(w.ratio) +
           ", mean " + wavelength_text(w.mean) + "\n";
}

// What the file says of the pattern's conditions and times.
std::string condition_lines(const Conditions& c) {
    std::string t;
    for (const std::string& said : c.said) t += "# " + said + "\n";
    if (!c.started.empty() || !c.ended.empty())
        t += "# Time: " + (c.started.empty() ? "?" : c.started) + " to " +
             (c.ended.empty() ? "?" : c.ended) + "\n";
    return t;
}

}  // namespace

BlockText xye_block(const PatternDescription& d, const Pattern& p, std::size_t index,
                    bool several) {
    BlockText b;
    std::string& t = b.text;
    if (index == 0) {
        t += "# ORVALT xye file: x, y, e (the standard uncertainty of y)\n";
        t += "# Input file: " + one_line(d.input_name) + "\n";
        t += "# Scans: " + d.scan_choice + "\n";
        t += wavelength_line(d.wavelengths);
        t += "# x: " + one_line(x_label(d.x)) + " (" + std::string(x_unit(d.x)) + ")\n";
        t += "# y: " + std::string(intensity_unit(d)) + "\n";
    } else {
        t += "\n";  // blocks apart, as plotting programs separate data sets
    }
    if (several) t += "# " + block_scan_text(d, p, several) + "\n";
    t += condition_lines(p.conditions);
    // The lines of the ASCII data file, byte for byte.
    const std::size_t n = p.x.size();
    const std::size_t start = t.size();
    t.resize(start + n * (data_line_length + 1));
    char* out = t.data() + start;
    for (std::size_t k = 0; k < n; ++k) {
        out = format_data_line_to(out, p.x[k], p.y[k], p.e[k]);
        *out++ = '\n';
    }
    return b;
}

}  // namespace orvalt

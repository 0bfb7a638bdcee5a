// Synthetic XRDML measurements shaped like the instruments write them: tabs,
// one element per line, a Cu tube wavelength block, and per scan the 2Theta
// start and end positions, a common Omega position, the counting time in
// seconds and the intensity list in counts on one line.
//
// The pattern is a sloping background with Lorentzian peaks and Gaussian-like
// counting noise, drawn from a seeded generator of our own with plain
// arithmetic only, so a seed always gives the same file.
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace orvalt::bench {

struct SyntheticXrdml {
    int scans = 200;
    int points = 25000;
    double start = 10.0;   // 2Theta of the first point, degrees
    double end = 100.0;    // 2Theta of the last point, degrees
    double omega = 5.0;    // the common Omega position, degrees
    std::vector<double> times = {1.0};  // counting time of scan k: times[k % size]
    std::uint64_t seed = 1;
    bool crlf = false;
    std::string list_element = "intensities";
};

// The one layout of a scan in every synthetic measurement (benchmarks, unit
// and end-to-end tests): each value goes in as the text that is to stand in
// the file.
struct ScanText {
    std::string attributes;  // of the scan element
    std::string start, end;  // 2Theta positions
    std::string omega;       // the common Omega position
    std::string time;        // counting time in seconds
    std::string counts;      // the intensity list
    std::string list_element = "intensities";
};

// The scan's lines without line ends, the scan element behind `indent` tabs
// and one element per line below it.
inline std::vector<std::string> xrdml_scan_lines(const ScanText& s, int indent) {
    const auto at = [indent](int depth, const std::string& text) {
        return std::string(static_cast<std::size_t>(indent + depth), '\t') + text;
    };
    return {
        at(0, "<scan " + s.attributes + ">"),
        at(1, "<dataPoints>"),
        at(2, "<positions axis=\"2Theta\" unit=\"deg\">"),
        at(3, "<startPosition>" + s.start + "</startPosition>"),
        at(3, "<endPosition>" + s.end + "</endPosition>"),
        at(2, "</positions>"),
        at(2, "<positions axis=\"Omega\" unit=\"deg\">"),
        at(3, "<commonPosition>" + s.omega + "</commonPosition>"),
        at(2, "</positions>"),
        at(2, "<commonCountingTime unit=\"seconds\">" + s.time + "</commonCountingTime>"),
        at(2, "<" + s.list_element + " unit=\"counts\">" + s.counts + "</" + s.list_element + ">"),
        at(1, "</dataPoints>"),
        at(0, "</scan>"),
    };
}

namespace detail {

// v with the given number of decimals, as the instruments write positions.
inline std::string fixed_text(double v, int decimals) {
    char tmp[64];
    const auto r = std::to_chars(tmp, tmp + sizeof tmp, v, std::chars_format::fixed, decimals);
    return std::string(tmp, r.ptr);
}

inline void append_integer(std::string& out, long long v) {
    char tmp[32];
    const auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
    out.append(tmp, r.ptr);
}

// splitmix64: small, fast, and the same on every platform.
struct Random {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // Sum of twelve uniforms: mean 0, variance 1, no transcendental functions.
    double normal() {
        double s = -6.0;
        for (int i = 0; i < 12; ++i) s += uniform();
        return s;
    }
};

struct Peak {
    double centre, width, height;  // degrees, degrees, counts per second
};

class Writer {
public:
    explicit Writer(const std::string& path) : f_(std::fopen(path.c_str(), "wb")) {
        if (f_) buf_.reserve(1 << 20);
    }
    ~Writer() { close(); }
    bool ok() const { return f_ != nullptr && !failed_; }
    void put(std::string_view s) {
        buf_.append(s);
        if (buf_.size() >= (1u << 20)) flush();
    }
    void integer(long long v) {
        append_integer(buf_, v);
        if (buf_.size() >= (1u << 20)) flush();
    }
    bool close() {
        if (!f_) return false;
        flush();
        if (std::fclose(f_) != 0) failed_ = true;
        f_ = nullptr;
        return !failed_;
    }

private:
    void flush() {
        if (f_ && !buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size())
            failed_ = true;
        buf_.clear();
    }
    std::FILE* f_;
    std::string buf_;
    bool failed_ = false;
};

}  // namespace detail

// Writes the file; false when it cannot be created or written.
inline bool write_synthetic_xrdml(const SyntheticXrdml& o, const std::string& path) {
    detail::Writer w(path);
    if (!w.ok()) return false;
    const std::string_view eol = o.crlf ? "\r\n" : "\n";
    auto line = [&](int indent, std::string_view text) {
        for (int i = 0; i < indent; ++i) w.put("\t");
        w.put(text);
        w.put(eol);
    };
    detail::Random rng{o.seed};
    const double lo = std::min(o.start, o.end), hi = std::max(o.start, o.end);
    std::vector<detail::Peak> peaks(12);
    for (auto& p : peaks) {
        p.centre = lo + (hi - lo) * (0.05 + 0.9 * rng.uniform());
        p.width = 0.03 + 0.25 * rng.uniform();
        p.height = 1500.0 + 18000.0 * rng.uniform() * rng.uniform();
    }

    line(0, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    line(0, "<xrdMeasurements xmlns=\"http://www.xrdml.com/XRDMeasurement/1.5\" "
            "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" status=\"Completed\">");
    line(1, "<comment>");
    w.put("\t\t<entry>Synthetic measurement, seed ");
    w.integer(static_cast<long long>(o.seed));
    w.put("</entry>");
    w.put(eol);
    line(1, "</comment>");
    line(1, "<sample type=\"To be analyzed\">");
    line(2, "<id>synthetic</id>");
    line(2, "<name>synthetic</name>");
    line(1, "</sample>");
    line(1, "<xrdMeasurement measurementType=\"Repeated scan\" status=\"Completed\" "
            "sampleMode=\"Reflection\">");
    line(2, "<usedWavelength intended=\"K-Alpha 1\">");
    line(3, "<kAlpha1 unit=\"Angstrom\">1.5405980</kAlpha1>");
    line(3, "<kAlpha2 unit=\"Angstrom\">1.5444260</kAlpha2>");
    line(3, "<kBeta unit=\"Angstrom\">1.3922500</kBeta>");
    line(3, "<ratioKAlpha2KAlpha1>0.5000</ratioKAlpha2KAlpha1>");
    line(2, "</usedWavelength>");
    line(2, "<incidentBeamPath>");
    line(3, "<radius unit=\"mm\">240.00</radius>");
    line(3, "<xRayTube id=\"1\" name=\"Cu LFF\">");
    line(4, "<tension unit=\"kV\">45</tension>");
    line(4, "<current unit=\"mA\">40</current>");
    line(4, "<anodeMaterial>Cu</anodeMaterial>");
    line(3, "</xRayTube>");
    line(2, "</incidentBeamPath>");

    for (int s = 0; s < o.scans; ++s) {
        const double time = o.times[static_cast<std::size_t>(s) % o.times.size()];
        ScanText scan;
        scan.attributes = "appendNumber=\"" + std::to_string(s) +
                          "\" mode=\"Continuous\" scanAxis=\"2Theta\" status=\"Completed\"";
        scan.start = detail::fixed_text(o.start, 4);
        scan.end = detail::fixed_text(o.end, 4);
        scan.omega = detail::fixed_text(o.omega, 4);
        scan.time = detail::fixed_text(time, 3);
        scan.list_element = o.list_element;
        for (int i = 0; i < o.points; ++i) {
            const double x =
                o.points > 1 ? o.start + (o.end - o.start) * i / (o.points - 1) : o.start;
            const double t = (x - lo) / (hi - lo > 0 ? hi - lo : 1.0);
            double rate = 2000.0 + 1000.0 * (1.0 - t);
            for (const auto& p : peaks) {
                const double u = (x - p.centre) / p.width;
                rate += p.height / (1.0 + u * u);
            }
            const double mean = rate * time;
            const double c = std::floor(mean + std::sqrt(mean) * rng.normal() + 0.5);
            if (i) scan.counts += ' ';
            detail::append_integer(scan.counts, c > 0 ? static_cast<long long>(c) : 0);
        }
        for (const std::string& l : xrdml_scan_lines(scan, 2)) line(0, l);
    }
    line(1, "</xrdMeasurement>");
    line(0, "</xrdMeasurements>");
    return w.close();
}

}  // namespace orvalt::bench

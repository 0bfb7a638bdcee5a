// The Python module `orvalt`: XRDML measurements as numpy arrays, and the
// command line's conversions as calls. The work is the program's own
// (python/calls.h); here it meets Python: arrays, objects, exceptions,
// warnings, the GIL and Ctrl-C.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <sys/mman.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "orvalt_version.h"
#include "python/calls.h"

namespace py = pybind11;

namespace orvalt::python {

namespace {

// A vector's numbers as a numpy array that keeps them: nothing is copied,
// and the memory goes with the array.
template <class T>
py::array_t<T> array_of(std::vector<T>&& v) {
    auto* kept = new std::vector<T>(std::move(v));
    py::capsule owner(kept, [](void* p) { delete static_cast<std::vector<T>*>(p); });
    return py::array_t<T>(static_cast<py::ssize_t>(kept->size()), kept->data(), owner);
}

// The counts of a reading, kept in blocks of 32 MiB (or one the size of a
// longer scan) that the system may back with huge pages: a reading of many
// megabytes costs the kernel a few faults, not one a page. Each array keeps
// its block; the block goes with the last array in it.
class CountBlocks {
public:
    py::array_t<double> copy(std::span<const double> v) {
        const std::size_t bytes = std::max<std::size_t>(v.size() * sizeof(double), 1);
        if (!block_ || used_ + bytes > block_->bytes) {
            block_ = std::make_shared<Block>(std::max(bytes, std::size_t{32} << 20));
            used_ = 0;
        }
        auto* at = reinterpret_cast<double*>(block_->memory + used_);
        std::memcpy(at, v.data(), v.size() * sizeof(double));
        used_ += (bytes + 63) / 64 * 64;
        auto* keep = new std::shared_ptr<Block>(block_);
        py::capsule owner(keep, [](void* p) { delete static_cast<std::shared_ptr<Block>*>(p); });
        return py::array_t<double>(static_cast<py::ssize_t>(v.size()), at, owner);
    }

private:
    struct Block {
        static constexpr std::size_t huge = std::size_t{2} << 20;
        explicit Block(std::size_t n) : bytes((n + huge - 1) / huge * huge) {
            memory = static_cast<char*>(std::aligned_alloc(huge, bytes));
            if (memory == nullptr) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
            madvise(memory, bytes, MADV_HUGEPAGE);
#endif
        }
        ~Block() { std::free(memory); }
        Block(const Block&) = delete;
        Block& operator=(const Block&) = delete;
        std::size_t bytes;
        char* memory = nullptr;
    };
    std::shared_ptr<Block> block_;
    std::size_t used_ = 0;
};

// A scan. x (where it is not listed), the errors (where no attenuation
// factors made them), counts per second and the positions of the axes that
// moved with it are made from the counts on first use, then kept: a reading
// makes the counts alone, at the cost of the reading itself.
struct PyScan {
    std::int32_t number = 0;
    std::string axis;
    py::array_t<double> counts;
    double counting_time = 0.0;
    py::object temperature = py::none(), time = py::none(), end_time = py::none();
    bool partial = false;

    bool listed = false;
    double start = 0.0, step = 0.0;
    bool attenuated = false;
    std::vector<OtherAxis> others;
    std::optional<py::array_t<double>> x_, errors_, per_second_;
    std::optional<py::dict> positions_;

    std::size_t points() const { return static_cast<std::size_t>(counts.size()); }

    // The array `kept` holds, its n numbers made by point(i) on first use.
    template <class Point>
    const py::array_t<double>& made(std::optional<py::array_t<double>>& kept, Point point) {
        if (!kept) {
            std::vector<double> v(points());
            for (std::size_t i = 0; i < v.size(); ++i) v[i] = point(i);
            kept = array_of(std::move(v));
        }
        return *kept;
    }
    const py::array_t<double>& x() {
        // As the command line fills x.
        return made(x_, [this](std::size_t i) { return start + static_cast<std::int32_t>(i) * step; });
    }
    const py::array_t<double>& errors() {
        const double* c = counts.data();
        return made(errors_, [c](std::size_t i) { return std::sqrt(c[i]); });
    }
    const py::array_t<double>& counts_per_second() {
        const double* c = counts.data();
        return made(per_second_, [this, c](std::size_t i) { return c[i] / counting_time; });
    }
    const py::dict& positions() {
        if (!positions_) {
            py::dict d;
            const std::size_t n = points();
            for (const OtherAxis& a : others) {
                if (!a.moves) {
                    d[py::str(a.name)] = a.start;
                    continue;
                }
                // An axis that moved with the scan, spread evenly over its points.
                std::vector<double> along(n);
                for (std::size_t k = 0; k < n; ++k)
                    along[k] = n > 1 ? a.start + (a.end - a.start) * static_cast<double>(k) /
                                                     static_cast<double>(n - 1)
                                     : a.start;
                d[py::str(a.name)] = array_of(std::move(along));
            }
            positions_ = std::move(d);
        }
        return *positions_;
    }
};

struct PyMeasurement {
    std::string path;
    double kalpha1 = 0.0, kalpha2 = 0.0, ratio = 0.0, wavelength = 0.0;
    py::object intended = py::none(), monochromator = py::none();
    py::list scans;
};

struct PySpectrum {
    py::array_t<double> x, y, e;
    py::object weights = py::none();
    std::string x_label, y_label, description;
};

py::object text_or_none(const std::string& text) {
    return text.empty() ? py::object(py::none()) : py::object(py::str(text));
}

// A time as the file writes it (ISO 8601) as a datetime; kept as text when
// Python cannot read it.
py::object time_of(const std::string& text) {
    if (text.empty()) return py::none();
    try {
        return py::module_::import("datetime").attr("datetime").attr("fromisoformat")(text);
    } catch (const py::error_already_set&) {
        return py::str(text);
    }
}

PyScan scan_object(ScanData&& d, CountBlocks& blocks) {
    PyScan s;
    s.number = d.number;
    s.axis = d.axis;
    s.counts = blocks.copy(d.counts);
    s.listed = d.listed;
    if (d.listed) s.x_ = array_of(std::move(d.x));
    s.start = d.start;
    s.step = d.step;
    s.attenuated = d.attenuated;
    if (d.attenuated) s.errors_ = array_of(std::move(d.errors));
    s.others = std::move(d.others);
    s.counting_time = d.counting_time;
    if (d.temperature) s.temperature = py::float_(*d.temperature);
    s.time = time_of(d.start_time);
    s.end_time = time_of(d.end_time);
    s.partial = d.partial;
    return s;
}

// Warnings of the program as Python warnings (UserWarning).
void warn_in_python(const std::string& text) {
    const py::gil_scoped_acquire gil;
    PyErr_WarnEx(PyExc_UserWarning, text.c_str(), 1);
}

// Options of the command line from keyword arguments: a flag for True, an
// option with its value otherwise; None and False leave it out.
void add_option(std::vector<std::string>& options, const std::string& name, const py::handle value) {
    if (value.is_none()) return;
    if (py::isinstance<py::bool_>(value)) {
        if (value.cast<bool>()) options.push_back(name);
        return;
    }
    options.push_back(name);
    if (py::isinstance<py::str>(value)) {
        options.push_back(value.cast<std::string>());
    } else if (py::isinstance<py::int_>(value) || py::isinstance<py::float_>(value)) {
        options.push_back(py::str(value).cast<std::string>());
    } else {  // a list of scans
        std::string list;
        for (const py::handle item : value) list += (list.empty() ? "" : ",") + py::str(item).cast<std::string>();
        options.push_back(list);
    }
}

std::string path_text(const py::object& path) {
    return py::module_::import("os").attr("fspath")(path).cast<std::string>();
}

PySpectrum spectrum_of(const py::object& path, const std::vector<std::string>& options) {
    const std::string p = path_text(path);
    SpectrumData d;
    {
        const py::gil_scoped_release free;
        d = compute(p, options, warn_in_python);
    }
    if (PyErr_Occurred() != nullptr) throw py::error_already_set();
    PySpectrum s;
    s.x = array_of(std::move(d.x));
    s.y = array_of(std::move(d.y));
    s.e = array_of(std::move(d.e));
    if (!d.weights.empty()) s.weights = array_of(std::move(d.weights));
    s.x_label = d.x_label;
    s.y_label = d.y_label;
    s.description = d.description;
    return s;
}

std::vector<std::string> intensity_and_axis(bool counts, const std::string& units,
                                            const py::object& wavelength, bool partial) {
    std::vector<std::string> options;
    if (counts) options.push_back("--counts");
    options.push_back("--units");
    options.push_back(units);
    add_option(options, "--wavelength", wavelength);
    if (partial) options.push_back("--partial");
    return options;
}

}  // namespace

PYBIND11_MODULE(orvalt, m) {
    // Built for Debian's python3, whose numpy another Python of the same
    // version finds there too.
    try {
        py::module_::import("numpy");
    } catch (const py::error_already_set&) {
        py::module_::import("sys").attr("path").attr("append")("/usr/lib/python3/dist-packages");
        py::module_::import("numpy");
    }

    m.doc() =
        "XRDML powder-diffraction measurements as numpy arrays, and the conversions of the\n"
        "orvalt command line as calls.\n\n"
        "    m = orvalt.read('run7.xrdml')\n"
        "    for s in m.scans:\n"
        "        print(s.number, s.temperature, s.x[0], s.counts.max())\n"
        "    q = orvalt.sum('run7.xrdml', units='q')\n"
        "    orvalt.convert('run7.xrdml', format='cif')\n\n"
        "Every file reads as the command line reads it (also .xrdml.gz and .xrdml.bz2),\n"
        "with no limit of scans or points; what the command line refuses raises orvalt.Error.";
    m.attr("__version__") = ORVALT_VERSION;

    static py::exception<Failure> error(m, "Error");
    error.doc() =
        "A file or a call the program refuses. args[0] is the message the command line\n"
        "gives; .code the reader's status (ierr), 0 for a refusal of the program's own, 2\n"
        "for options refused, 1 for a conversion that did not go through.";
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const Failure& f) {
            py::object e = py::reinterpret_borrow<py::object>(error.ptr())(py::str(f.what()));
            e.attr("code") = f.code;
            PyErr_SetObject(error.ptr(), e.ptr());
        }
    });

    py::class_<PyScan>(m, "Scan", "One scan of a measurement.")
        .def_readonly("number", &PyScan::number, "Its number in the file, from 1.")
        .def_readonly("axis", &PyScan::axis, "The axis it moves, as the file names it (2Theta, Phi ...).")
        .def_property_readonly("x", &PyScan::x,
                               "The positions of that axis, as listed or spread from its start to its end.")
        .def_readonly("counts", &PyScan::counts,
                      "The counts, times the attenuation factors where the file has them.")
        .def_property_readonly("counts_per_second", &PyScan::counts_per_second,
                               "The counts divided by the counting time.")
        .def_property_readonly("errors", &PyScan::errors,
                               "The errors of the counts (their square roots, times the factors).")
        .def_readonly("counting_time", &PyScan::counting_time, "Seconds per point.")
        .def_property_readonly("positions", &PyScan::positions,
                               "The other axes: a number where the axis stood, an array where it moved "
                               "with the scan.")
        .def_readonly("temperature", &PyScan::temperature, "Kelvin, or None where the file gives none.")
        .def_readonly("time", &PyScan::time, "When the scan began (a datetime), or None.")
        .def_readonly("end_time", &PyScan::end_time, "When it ended (a datetime), or None.")
        .def_readonly("partial", &PyScan::partial,
                      "True for a partial last scan taken with read(..., partial=True).")
        .def("__repr__", [](const PyScan& s) {
            return "<orvalt.Scan " + std::to_string(s.number) + ": " + s.axis + ", " +
                   std::to_string(s.points()) + " points>";
        });

    py::class_<PyMeasurement>(m, "Measurement", "A measurement: its wavelengths and its scans.")
        .def_readonly("path", &PyMeasurement::path)
        .def_readonly("kalpha1", &PyMeasurement::kalpha1, "Angstrom, as the file gives it.")
        .def_readonly("kalpha2", &PyMeasurement::kalpha2, "Angstrom, as the file gives it.")
        .def_readonly("ratio", &PyMeasurement::ratio, "The intensity ratio K-alpha2 / K-alpha1.")
        .def_readonly("wavelength", &PyMeasurement::wavelength,
                      "The mean of K-alpha1 and K-alpha2 weighted by their ratio (angstrom).")
        .def_readonly("intended", &PyMeasurement::intended, "The line the file says it intends, or None.")
        .def_readonly("monochromator", &PyMeasurement::monochromator,
                      "The crystal monochromator the file names in the incident beam, or None.")
        .def_readonly("scans", &PyMeasurement::scans, "The scans, a list of Scan.")
        .def("__repr__", [](const PyMeasurement& s) {
            return "<orvalt.Measurement " + s.path + ": " + std::to_string(py::len(s.scans)) +
                   " scans>";
        });

    py::class_<PySpectrum>(m, "Spectrum", "A spectrum as the command line converts it.")
        .def_readonly("x", &PySpectrum::x)
        .def_readonly("y", &PySpectrum::y)
        .def_readonly("e", &PySpectrum::e, "The standard uncertainty of y.")
        .def_readonly("weights", &PySpectrum::weights,
                      "gudrunX data: every scan's weight, 1 summed, 0 excluded; else None.")
        .def_readonly("x_label", &PySpectrum::x_label)
        .def_readonly("y_label", &PySpectrum::y_label)
        .def_readonly("description", &PySpectrum::description)
        .def("__repr__", [](const PySpectrum& s) {
            return "<orvalt.Spectrum " + s.description + ": " + std::to_string(s.x.size()) +
                   " points, " + s.x_label + ", " + s.y_label + ">";
        });

    m.def(
        "read",
        [](const py::object& path, bool partial) {
            PyMeasurement out;
            out.path = path_text(path);
            MeasurementData facts;
            CountBlocks blocks;
            bool whole = false;
            {
                const py::gil_scoped_release free;
                whole = read_measurement(
                    out.path, partial, facts,
                    [&out, &blocks](ScanData&& d) {
                        const py::gil_scoped_acquire gil;
                        out.scans.append(scan_object(std::move(d), blocks));
                        return PyErr_CheckSignals() == 0;
                    },
                    warn_in_python);
            }
            // Ctrl-C, or a warning the caller made an error.
            if (!whole || PyErr_Occurred() != nullptr) throw py::error_already_set();
            out.kalpha1 = facts.kalpha1;
            out.kalpha2 = facts.kalpha2;
            out.ratio = facts.ratio;
            out.wavelength = facts.wavelength;
            out.intended = text_or_none(facts.intended);
            out.monochromator = text_or_none(facts.monochromator);
            return out;
        },
        py::arg("path"), py::arg("partial") = false,
        "read(path, partial=False) -> Measurement\n\n"
        "Reads every scan of the XRDML file (.xrdml, .xrdml.gz or .xrdml.bz2) at path.\n"
        "A file the command line refuses raises orvalt.Error with its message. A\n"
        "measurement cut short keeps its complete scans; partial=True also takes a\n"
        "partial last scan, as --partial does. Ctrl-C interrupts the reading, which goes\n"
        "on without the GIL: threads read files at once.");

    m.def(
        "scan",
        [](const py::object& path, std::int32_t number, bool counts, const std::string& units,
           const py::object& wavelength, bool partial) {
            std::vector<std::string> options{"--scan", std::to_string(number)};
            const auto more = intensity_and_axis(counts, units, wavelength, partial);
            options.insert(options.end(), more.begin(), more.end());
            return spectrum_of(path, options);
        },
        py::arg("path"), py::arg("number"), py::kw_only(), py::arg("counts") = false,
        py::arg("units") = "2theta", py::arg("wavelength") = py::none(), py::arg("partial") = false,
        "scan(path, number, *, counts=False, units='2theta', wavelength=None, partial=False) -> Spectrum\n\n"
        "Scan `number` (from 1) as the command line's --scan converts it: counts per second\n"
        "(or counts) against units '2theta', 'q' or 'd'; wavelength 'mean', 'kalpha1' or a\n"
        "number of angstrom makes Q and d (the file's mean when None).");

    m.def(
        "sum",
        [](const py::object& path, bool counts, const std::string& units,
           const py::object& wavelength, bool partial) {
            auto options = intensity_and_axis(counts, units, wavelength, partial);
            options.insert(options.begin(), "--sum");
            return spectrum_of(path, options);
        },
        py::arg("path"), py::kw_only(), py::arg("counts") = false, py::arg("units") = "2theta",
        py::arg("wavelength") = py::none(), py::arg("partial") = false,
        "sum(path, *, counts=False, units='2theta', wavelength=None, partial=False) -> Spectrum\n\n"
        "All scans summed on their common grid, as the command line's --sum makes them.");

    m.def(
        "gudrun",
        [](const py::object& path, const std::vector<std::int32_t>& exclude,
           const py::object& wavelength, bool partial) {
            std::vector<std::string> options{"--gudrun"};
            if (!exclude.empty()) add_option(options, "--exclude", py::cast(exclude));
            add_option(options, "--wavelength", wavelength);
            if (partial) options.push_back("--partial");
            return spectrum_of(path, options);
        },
        py::arg("path"), py::arg("exclude") = std::vector<std::int32_t>(), py::kw_only(),
        py::arg("wavelength") = py::none(), py::arg("partial") = false,
        "gudrun(path, exclude=(), *, wavelength=None, partial=False) -> Spectrum\n\n"
        "The gudrunX data: the scans not excluded (numbers from 1) summed in counts per\n"
        "second against 2-theta; .weights holds every scan's weight. No file is written.");

    m.def(
        "convert",
        [](const py::object& path, const py::kwargs& options) {
            std::vector<std::string> arguments{"orvalt"};
            for (const auto& [key, value] : options) {
                std::string name = "--" + key.cast<std::string>();
                for (char& c : name)
                    if (c == '_') c = '-';
                add_option(arguments, name, value);
            }
            arguments.push_back("--");
            arguments.push_back(path_text(path));
            std::string printed;
            {
                const py::gil_scoped_release free;
                printed = command_line(arguments, warn_in_python);
            }
            if (PyErr_Occurred() != nullptr) throw py::error_already_set();
            return printed;
        },
        py::arg("path"),
        "convert(path, **options) -> str\n\n"
        "Converts the file as the command line does with the same options, written as\n"
        "keywords: convert(p, scan=2, units='q', format='ascii'), convert(p, gudrun=True,\n"
        "exclude=[2, 5]), convert(p, separate=True, format='cif', output_dir='out'),\n"
        "convert(p, plot=True). The same files, byte for byte, each written whole or not\n"
        "at all. Returns the line the command line prints; a file not converted raises\n"
        "orvalt.Error with the command line's message.");
}

}  // namespace orvalt::python

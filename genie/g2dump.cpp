// g2dump FILE: prints every entry and field of a Genie file as text.
// Texts are shown in double quotes with C escapes (\\, \", \0, \xNN), so
// trailing blanks and NUL bytes can be seen; reals with the fewest digits that
// read back to the same value.
#include <charconv>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include "genie/g2file.h"

namespace {

std::string escaped(const std::string& s) {
    std::string out = "\"";
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += ch;
        } else if (c == 0) {
            out += "\\0";
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned>(c));
            out += buf;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

template <class T>
std::string number(T v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

template <class T>
void print_values(const std::vector<T>& values, std::int32_t rank) {
    if (rank == 0 && values.size() == 1) {
        std::cout << ") = " << number(values[0]) << '\n';
        return;
    }
    std::cout << ", " << values.size() << (values.size() == 1 ? " value):\n" : " values):\n");
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::cout << (i % 5 == 0 ? "    " : " ") << number(values[i]);
        if (i % 5 == 4 || i + 1 == values.size()) std::cout << '\n';
    }
}

void print_field(const orvalt::genie::Field& f) {
    std::cout << "  " << f.name << " (" << f.type;
    if (!orvalt::genie::element_size(f.type)) {
        std::cout << ", rank " << f.rank << ", extent " << f.extent << ", " << f.bytes.size()
                  << " bytes of an unknown type)\n";
        return;
    }
    if (f.type.starts_with("string")) {
        std::cout << ", " << f.bytes.size() << " characters) = " << escaped(f.text()) << '\n';
        return;
    }
    if (f.type.starts_with("int32")) print_values(f.int32s(), f.rank);
    else if (f.type.starts_with("float32")) print_values(f.float32s(), f.rank);
    else print_values(f.float64s(), f.rank);
}

int dump(const std::string& path) {
    orvalt::genie::File file;
    std::string error;
    if (!orvalt::genie::read_file(path, file, error)) {
        std::cerr << "g2dump: " << path << ": " << error << '\n';
        return 1;
    }
    std::cout << "Genie file " << path << ": version " << file.version << ", "
              << file.entries.size() << (file.entries.size() == 1 ? " entry" : " entries") << '\n';
    for (std::size_t k = 0; k < file.entries.size(); ++k) {
        const auto& e = file.entries[k];
        std::cout << "entry " << k + 1 << ": workspace " << escaped(e.workspace) << ", kind "
                  << escaped(e.kind) << ", index " << e.index << ", " << escaped(e.description)
                  << ", " << e.fields.size() << (e.fields.size() == 1 ? " field" : " fields")
                  << '\n';
        for (const auto& f : e.fields) print_field(f);
    }
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "g2dump: could not write the listing\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: g2dump FILE\n"
                     "Prints every entry and field of a Genie file as text.\n";
        return 1;
    }
    try {
        return dump(argv[1]);
    } catch (const std::exception& ex) {
        std::cerr << "g2dump: " << argv[1] << ": " << ex.what() << '\n';
        return 1;
    }
}

// The --help layout of ORVALT's programs, on top of CLI11's: our own usage
// line, each option with the name of its value only (the rules between
// options are checked, and explained when broken, rather than listed), and no
// separate list of the file arguments, which the usage line names.
#pragma once

#include <CLI/CLI.hpp>

#include <initializer_list>
#include <string>
#include <vector>

namespace orvalt {

// An option value that must be one of `words`.
inline CLI::Validator one_of(std::vector<std::string> words) {
    std::string listed;
    for (const auto& w : words) listed += (listed.empty() ? "" : ", ") + w;
    return CLI::Validator(
        [words = std::move(words), listed](std::string& item) {
            for (const auto& w : words)
                if (item == w) return std::string();
            return "'" + item + "' is not one of " + listed;
        },
        "");
}

class HelpFormat : public CLI::Formatter {
public:
    HelpFormat(std::string usage, std::string description)
        : usage_(std::move(usage)), description_(std::move(description)) {}

    std::string make_description(const CLI::App*) const override { return {}; }
    std::string make_usage(const CLI::App*, std::string) const override {
        return usage_ + "\n" + description_ + "\n";
    }
    std::string make_positionals(const CLI::App*) const override { return {}; }
    std::string make_option_opts(const CLI::Option* opt) const override {
        return opt->get_type_size() != 0 && !opt->get_type_name().empty()
                   ? " " + opt->get_type_name()
                   : std::string();
    }

private:
    std::string usage_;
    std::string description_;
};

}  // namespace orvalt

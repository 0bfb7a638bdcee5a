// The --help layout of ORVALT's programs, on top of CLI11's: our own usage
// line, each option with the name of its value only (the rules between
// options are checked, and explained when broken, rather than listed), and no
// separate list of the file arguments, which the usage line names.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace orvalt {

// An option value that must be one of `words`.
CLI::Validator one_of(std::vector<std::string> words);

class HelpFormat : public CLI::Formatter {
public:
    HelpFormat(std::string usage, std::string description);

    std::string make_description(const CLI::App*) const override;
    std::string make_usage(const CLI::App*, std::string) const override;
    std::string make_positionals(const CLI::App*) const override;
    std::string make_option_opts(const CLI::Option* opt) const override;

private:
    std::string usage_;
    std::string description_;
};

}  // namespace orvalt

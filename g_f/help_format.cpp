// The --help layout both programs share.
#include "g_f/help_format.h"

#include <utility>
#include <vector>

namespace orvalt {

CLI::Validator one_of(std::vector<std::string> words) {
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

HelpFormat::HelpFormat(std::string usage, std::string description)
    : usage_(std::move(usage)), description_(std::move(description)) {}

std::string HelpFormat::make_description(const CLI::App*) const { return {}; }

std::string HelpFormat::make_usage(const CLI::App*, std::string) const {
    return usage_ + "\n" + description_ + "\n";
}

std::string HelpFormat::make_positionals(const CLI::App*) const { return {}; }

std::string HelpFormat::make_option_opts(const CLI::Option* opt) const {
    return opt->get_type_size() != 0 && !opt->get_type_name().empty()
               ? " " + opt->get_type_name()
               : std::string();
}

}  // namespace orvalt

#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace tessarix::cli {

// CLI11's help, except that --help-all prints the program's help followed by one section per
// command, down to the collection actions: a line "USAGE:" and the command's description, then
// its arguments and options one a line. help2man turns every section into a subsection of the
// man page, so a new option reaches the page by itself.
class HelpFormatter : public CLI::Formatter {
 public:
  std::string make_help(const CLI::App* app, std::string name,
                        CLI::AppFormatMode mode) const override;
};

}  // namespace tessarix::cli

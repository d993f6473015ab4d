#include "cli/help_formatter.h"

namespace tessarix::cli {
namespace {

std::vector<const CLI::App*> Subcommands(const CLI::App& app) {
  return app.get_subcommands([](const CLI::App*) { return true; });
}

// The usage line without its "Usage:" label and line end.
std::string BareUsage(const CLI::Formatter& formatter, const CLI::App& command,
                      const std::string& name) {
  std::string usage = formatter.make_usage(&command, name);
  const size_t label = usage.find(": ");
  if (label != std::string::npos)
    usage.erase(0, label + 2);
  while (!usage.empty() && usage.back() == '\n')
    usage.pop_back();
  return usage;
}

void AppendCommand(const CLI::Formatter& formatter, const CLI::App& command,
                   const std::string& name, std::string& out) {
  out += "\n" + BareUsage(formatter, command, name) + ":\n";
  // The blank line keeps help2man from reading the options as the description's continuation.
  out += "  " + command.get_description() + "\n\n";
  for (const CLI::Option* option : command.get_options()) {
    if (option != command.get_help_ptr() && option != command.get_help_all_ptr())
      out += formatter.make_option(option, option->get_positional());
  }
  for (const CLI::App* sub : Subcommands(command))
    AppendCommand(formatter, *sub, name + " " + sub->get_name(), out);
}

}  // namespace

std::string HelpFormatter::make_help(const CLI::App* app, std::string name,
                                     CLI::AppFormatMode mode) const {
  if (mode != CLI::AppFormatMode::All)
    return CLI::Formatter::make_help(app, name, mode);
  std::string out = CLI::Formatter::make_help(app, name, CLI::AppFormatMode::Normal);
  for (const CLI::App* sub : Subcommands(*app))
    AppendCommand(*this, *sub, name + " " + sub->get_name(), out);
  return out;
}

}  // namespace tessarix::cli

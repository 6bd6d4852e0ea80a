// Reads the korvane command line with CLI11: one help layout for every subcommand, and
// every usage error told the same way, as one line on standard error and exit status 2.
#include <cstdio>
#include <memory>
#include <sstream>
#include <vector>

#include "cli/commands.h"

namespace korvane {
namespace {

constexpr size_t kHelpWidth = 80;
const char kSummary[] = "Finds out why an AVI video does not play on a Windows machine.";

// The names an option answers to, as help shows them: "-h, --help".
std::string OptionNames(const CLI::Option& option) {
  std::string names;
  for (const std::string& name : option.get_snames()) names += (names.empty() ? "-" : ", -") + name;
  for (const std::string& name : option.get_lnames()) {
    names += (names.empty() ? "--" : ", --") + name;
  }
  return names;
}

// The name the usage line gives an option: its first long name, else its short one.
std::string UsageName(const CLI::Option& option) {
  if (!option.get_lnames().empty()) return "--" + option.get_lnames().front();
  return "-" + option.get_snames().front();
}

// Options in no group are for the program's own use (the child modes of check --try):
// accepted, never shown.
bool Hidden(const CLI::Option& option) { return option.get_group().empty(); }

std::string WithType(const std::string& name, const CLI::Option& option) {
  const std::string type = option.get_type_name();
  return option.get_type_size() == 0 || type.empty() ? name : name + " " + type;
}

// text, its words wrapped so that no line passes kHelpWidth; the first line continues at
// column `column`, the others are indented to it.
std::string Wrap(const std::string& text, size_t column) {
  std::istringstream words(text);
  std::string out;
  std::string word;
  size_t at = column;
  while (words >> word) {
    if (at > column && at + 1 + word.size() > kHelpWidth) {
      out += "\n" + std::string(column, ' ');
      at = column;
    } else if (at > column) {
      out += ' ';
      ++at;
    }
    out += word;
    at += word.size();
  }
  return out;
}

// Help as every korvane command shows it: the usage line made from the options themselves,
// the description, one line per option, and the footer.
class HelpFormatter : public CLI::Formatter {
 public:
  std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode) const override {
    if (!app->get_subcommands({}).empty()) return TopLevelHelp(*app, name);
    return "usage: " + UsageLine(*app, name) + "\n\n" + app->get_description() + OptionLines(*app) +
           "\n" + app->get_footer();
  }

 private:
  // "korvane check [--machine DIR] [--json] FILE...", wrapped under the command's name.
  static std::string UsageLine(const CLI::App& app, const std::string& name) {
    std::vector<std::string> parts;
    for (const CLI::Option* option : app.get_options()) {
      if (option == app.get_help_ptr() || Hidden(*option)) continue;
      if (option->get_positional()) {
        const bool many = option->get_expected_max() > 1;
        const std::string text = option->get_name(true, false) + (many ? "..." : "");
        parts.push_back(option->get_required() ? text : "[" + text + "]");
      } else {
        parts.push_back("[" + WithType(UsageName(*option), *option) + "]");
      }
    }
    const size_t indent = std::string("usage: ").size() + name.size() + 1;
    std::string line = name;
    size_t at = indent - 1;
    for (const std::string& part : parts) {
      if (at + 1 + part.size() > kHelpWidth) {
        line += "\n" + std::string(indent - 1, ' ');
        at = indent - 1;
      }
      line += " " + part;
      at += 1 + part.size();
    }
    return line;
  }

  // One line or more per option, in the order declared, help last.
  static std::string OptionLines(const CLI::App& app) {
    std::vector<const CLI::Option*> options;
    for (const CLI::Option* option : app.get_options()) {
      if (!option->get_positional() && option != app.get_help_ptr() && !Hidden(*option)) {
        options.push_back(option);
      }
    }
    if (app.get_help_ptr() != nullptr) options.push_back(app.get_help_ptr());
    std::vector<std::pair<std::string, const CLI::Option*>> rows;
    size_t width = 0;
    for (const CLI::Option* option : options) {
      rows.emplace_back(WithType(OptionNames(*option), *option), option);
      width = std::max(width, rows.back().first.size());
    }
    std::string out;
    const size_t column = 2 + width + 2;
    for (const auto& row : rows) {
      out += "\n  " + row.first + std::string(width + 2 - row.first.size(), ' ') +
             Wrap(row.second->get_description(), column);
    }
    return out + "\n";
  }

  static std::string TopLevelHelp(const CLI::App& app, const std::string& name) {
    std::string flags;
    for (const CLI::Option* option : app.get_options()) {
      if (!option->get_lnames().empty())
        flags += (flags.empty() ? "--" : " | --") + option->get_lnames()[0];
    }
    std::string out = "usage: " + name + " COMMAND [ARGS...]\n       " + name + " " + flags +
                      "\n\n" + app.get_description() + "\n\ncommands:\n";
    for (const CLI::App* command : app.get_subcommands({})) {
      const std::string& commandName = command->get_name();
      const std::string& about = command->get_description();
      out += "  " + commandName +
             std::string(commandName.size() < 8 ? 9 - commandName.size() : 1, ' ') +
             about.substr(0, about.find('\n')) + "\n";
    }
    return out + "\n'" + name + " COMMAND --help' describes one command.\n";
  }
};

// A CLI11 parse error as one plain sentence. CLI11 names the option at the start of its
// message ("--machine: 1 required DIR missing"); the sentence says it our way.
std::string ParseProblem(const CLI::App& command, const CLI::ParseError& error) {
  const std::string what = error.what();
  const CLI::Option* named = nullptr;
  for (const CLI::Option* option : command.get_options()) {
    const std::string name = option->get_name();
    if (what.compare(0, name.size() + 1, name + ":") == 0) named = option;
  }
  if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
    for (const CLI::Option* option : command.get_options()) {
      if (option->get_positional() && option->get_required() && option->count() == 0) {
        return "no " + option->get_name(true, false) + " given";
      }
    }
    return what;
  }
  if (named == nullptr) return what;
  const std::string name = UsageName(*named);
  if (dynamic_cast<const CLI::ValidationError*>(&error) != nullptr) {
    const size_t start = named->get_name().size() + 2;       // after "NAME: "
    return what.size() > start ? what.substr(start) : what;  // the validator's own sentence
  }
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
    return named->count() > 1 ? name + " given twice" : name + " needs " + named->get_type_name();
  }
  return what;
}

// Arguments that no option or positional took, which CLI11 keeps when extras are allowed;
// it keeps the "--" that ends the options among them too, which is no extra.
std::vector<std::string> Extras(const CLI::App& app) {
  std::vector<std::string> extras;
  for (const std::string& arg : app.remaining()) {
    if (arg != "--") extras.push_back(arg);
  }
  return extras;
}

std::string ExtrasProblem(const std::vector<std::string>& extras, bool topLevel) {
  const std::string& first = extras.front();
  if (first.size() > 1 && first[0] == '-') return "unknown option " + first;
  return (topLevel ? "unknown command '" : "unexpected argument '") + first + "'";
}

std::string CommandName(const CLI::App& app) {
  const std::vector<CLI::App*> chosen = app.get_subcommands();
  return chosen.empty() ? app.get_name() : app.get_name() + " " + chosen.front()->get_name();
}

}  // namespace

CLI::Option* AddJsonFlag(CLI::App* app, bool* json) {
  return app->add_flag("--json", *json, "print one JSON document instead of lines");
}

bool WriteStandardOutput(const std::string& text, const std::string& command) {
  const bool written =
      std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
  if (!written) std::fprintf(stderr, "%s: writing standard output failed\n", command.c_str());
  return written;
}

const char* ProgramVersion() { return KORVANE_VERSION; }

CLI::Validator ViewValidator() {
  return CLI::Validator(
      [](std::string& value) {
        return value == "32" || value == "64" ? std::string()
                                              : "--view takes 32 or 64, not '" + value + "'";
      },
      std::string());
}

CLI::Validator PartitionValidator() {
  return CLI::Validator(
      [](std::string& value) {
        return !value.empty() && value.find_first_not_of("0123456789") == std::string::npos &&
                       value.size() < 6 && std::stoi(value) > 0
                   ? std::string()
                   : "--partition takes a partition number from 1 on, not '" + value + "'";
      },
      std::string());
}

int UsageError(const std::string& command, const std::string& message) {
  std::fprintf(stderr, "%s: %s (see '%s --help')\n", command.c_str(), message.c_str(),
               command.c_str());
  return kExitUsage;
}

CLI::Option* TakesValue(CLI::Option* option, const std::string& type) {
  const std::string name = UsageName(*option);
  option->type_name(type);
  return option->check(CLI::Validator(
      [name, type](std::string& value) {
        return value.empty() ? name + " needs " + type + ", not an empty name" : std::string();
      },
      std::string()));
}

int KorvaneMain(int argc, const char* const* argv) {
  CLI::App app(kSummary, "korvane");
  app.formatter(std::make_shared<HelpFormatter>());
  app.set_help_flag("-h,--help", "show this text");
  app.set_version_flag("--version", std::string("korvane ") + ProgramVersion(), "show the version");
  app.allow_extras();
  app.allow_windows_style_options(false);  // "/x" is a file on every system
  app.require_subcommand(0, 1);
  const std::vector<Command> commands = {AddDumpCommand(app), AddRunCommand(app),
                                         AddCheckCommand(app), AddCodecsCommand(app)};
  for (const Command& command : commands) command.app->allow_extras();

  if (argc < 2) {
    std::fputs(app.help().c_str(), stderr);
    return kExitUsage;
  }
  std::vector<std::string> args;
  for (int i = argc - 1; i > 0; --i) args.push_back(argv[i]);  // CLI11 takes them last first
  try {
    app.parse(std::move(args));
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), stdout);
    return kExitOk;
  } catch (const CLI::CallForVersion&) {
    std::printf("%s\n", app.version().c_str());
    return kExitOk;
  } catch (const CLI::ParseError& error) {
    const std::vector<CLI::App*> chosen = app.get_subcommands();
    return UsageError(CommandName(app),
                      ParseProblem(chosen.empty() ? app : *chosen.front(), error));
  }
  // What the top-level app kept is an argument after a command's "--" that the command had
  // no place for, or a command that is not one.
  const std::vector<std::string> topExtras = Extras(app);
  for (const Command& command : commands) {
    if (!command.app->parsed()) continue;
    std::vector<std::string> extras = Extras(*command.app);
    extras.insert(extras.end(), topExtras.begin(), topExtras.end());
    if (!extras.empty()) return UsageError(CommandName(app), ExtrasProblem(extras, false));
    return command.run();
  }
  return UsageError("korvane",
                    topExtras.empty() ? "no command given" : ExtrasProblem(topExtras, true));
}

}  // namespace korvane

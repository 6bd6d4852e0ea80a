// Entry point of the command line: picks a subcommand.
#include <cstdio>
#include <cstring>

#include "cli/commands.h"

namespace korvane {
namespace {

struct Subcommand {
  const char* name;
  const char* summary;
  int (*run)(int argc, char** argv);
};

const Subcommand kSubcommands[] = {
    {"dump", "show the head of AVI files: hex dump, RIFF checks, codec by FourCC", DumpCommand},
    {"run", "run the diagnostics once on a Windows machine and print the report", RunCommand},
    {"check", "tell which decoders AVI files need and whether the machine has them", CheckCommand},
};

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: korvane COMMAND [ARGS...]\n"
               "       korvane --help | --version\n\n"
               "Finds out why an AVI video does not play on a Windows machine.\n\n"
               "commands:\n");
  for (const Subcommand& c : kSubcommands) std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
  std::fprintf(out, "\n'korvane COMMAND --help' describes one command.\n");
}

}  // namespace

const char* ProgramVersion() { return KORVANE_VERSION; }

}  // namespace korvane

int main(int argc, char** argv) {
  using namespace korvane;
  if (argc < 2) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintUsage(stdout);
    return kExitOk;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("korvane %s\n", ProgramVersion());
    return kExitOk;
  }
  for (const Subcommand& c : kSubcommands) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 2, argv + 2);
  }
  std::fprintf(stderr, "korvane: unknown command '%s'\n\n", argv[1]);
  PrintUsage(stderr);
  return kExitUsage;
}

// The command line of the entries that work on a desk's folder: --help,
// --version, switches, options with a value, and at most one directory
// (the current one when none is given). A wrong argument is said on
// standard error with a hint to --help, status 2.
#pragma once

#include <cstdio>
#include <map>
#include <optional>
#include <string>

struct CommandLine {
  const char* program;  // "morvalis-display"
  const char* usage;    // the --help text
  std::map<std::string, bool*> switches;
  std::map<std::string, std::string*> values;
  std::string folder = ".";

  int error(const char* what, const std::string& subject) const {
    std::fprintf(stderr, "%s: %s%s\nTry '%s --help'.\n", program, what, subject.c_str(), program);
    return 2;
  }

  // Nothing to go on with, or the status to end with.
  std::optional<int> parse(int argc, char** argv) {
    const char* given = nullptr;
    for (int i = 1; i < argc; ++i) {
      const std::string arg = argv[i];
      if (arg == "--help") {
        std::fputs(usage, stdout);
        return 0;
      }
      if (arg == "--version") {
        std::printf("%s %s\n", program, MORVALIS_VERSION);
        return 0;
      }
      if (const auto s = switches.find(arg); s != switches.end()) {
        *s->second = true;
      } else if (const auto v = values.find(arg); v != values.end()) {
        if (i + 1 >= argc) return error("a value is needed after ", arg);
        *v->second = argv[++i];
      } else if (arg.size() > 1 && arg[0] == '-') {
        return error("unknown option ", arg);
      } else if (given) {
        return error("one directory at the most, not also ", arg);
      } else {
        given = argv[i];
      }
    }
    if (given) folder = given;
    return std::nullopt;
  }
};

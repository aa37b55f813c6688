// The start the stations share: their folder's morvalis.conf read, a
// password others may read refused, and a database required (a booth and
// the ticket machine work on the clinic's shared day only).
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "command_line.hpp"
#include "desk_config.hpp"
#include "file_system.hpp"

// The station's morvalis.conf, or the exit status with the reason said on
// standard error. `work`: what the station does, for the missing database.
inline std::optional<DeskConfig> stationConfig(const CommandLine& line, const char* work, int& status) {
  FileStamp stamp;
  if (!FileSystem::real().stamp(line.folder, stamp) || !stamp.folder) {
    status = line.error("not a directory: ", line.folder);
    return std::nullopt;
  }
  DeskConfig config = readDeskConfig(FileSystem::real(), line.folder + "/" + DeskConfig::kFileName);
  if (!config.refusal.empty()) {
    std::fprintf(stderr, "%s: %s\n", line.program, config.refusal.c_str());
    status = 1;
    return std::nullopt;
  }
  if (config.database.empty()) {
    std::fprintf(stderr,
                 "%s: no database in %s/morvalis.conf; %s on the clinic's shared day (a line: database = "
                 "postgresql://...)\n",
                 line.program, line.folder.c_str(), work);
    status = 2;
    return std::nullopt;
  }
  return config;
}

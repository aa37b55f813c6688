// morvalis-rapport: how long patients waited and how the rooms worked, from
// the days a desk kept (historik/ and today's journal). Only reads the
// desk's folder; writes only the CSV and SVG files it is asked for.
#include <cstdio>
#include <string>

#include "command_line.hpp"
#include "desk_config.hpp"
#include "figures.hpp"
#include "file_replacement.hpp"
#include "history.hpp"
#include "chart.hpp"
#include "output.hpp"
#include "shared_day.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: morvalis-rapport [--fra DATE] [--til DATE] [--csv FILE] [--svg FILE] [DIRECTORY]\n"
    "Reports the waiting times, the hours and the shifts of the days the morvalis desk\n"
    "kept in DIRECTORY (default: the current directory): historik/ and journal.txt.\n"
    "\n"
    "  --fra DATE   from this day on (2026-12-07)\n"
    "  --til DATE   up to and including this day\n"
    "  --csv FILE   also the tables for a spreadsheet (semicolons, decimal commas)\n"
    "  --svg FILE   also the days as a picture for a browser\n"
    "  --help       this text\n"
    "  --version    the version\n";


bool writeFile(const std::string& path, const std::string& content) {
  FileReplacement file(FileSystem::real(), FileReplacement::Turn::OwnFolder);
  if (file.begin(path, ".morvalis-rapport.tmp") && file.write(content) && file.commit()) return true;
  std::fprintf(stderr, "morvalis-rapport: %s\n", file.error().c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::string from, to, csv, svg;
  CommandLine line{"morvalis-rapport",
                   kUsage,
                   {},
                   {{"--fra", &from}, {"--til", &to}, {"--csv", &csv}, {"--svg", &svg}}};
  if (const auto status = line.parse(argc, argv)) return *status;
  for (const std::string* date : {&from, &to}) {
    if (!date->empty() && !isDateText(*date)) return line.error("not a date (2026-12-07): ", *date);
  }
  if (!from.empty() && !to.empty() && from > to) {
    return line.error("--fra is after --til: ", from + " > " + to);
  }
  const std::string& folder = line.folder;

  History history;
  std::vector<StationFigures> stations;
  std::string error;
  // The days in a database when the folder's morvalis.conf names one.
  const DeskConfig config = readDeskConfig(FileSystem::real(), folder + "/" + DeskConfig::kFileName);
  if (!config.database.empty()) {
    std::vector<StoredDay> days;
    if (!readSharedDays(config.database, from, to, days, error)) {
      std::fprintf(stderr, "morvalis-rapport: %s\n", error.c_str());
      return 1;
    }
    for (const StoredDay& day : days) {
      addJournal(history, "database " + day.day, day.text);
      for (const auto& [station, issued, called] : day.stations) {
        stations.push_back(StationFigures{day.day, station, issued, called});
      }
    }
    if (days.empty()) {
      std::printf("Ingen dage i databasen endnu.\n");
      return 0;
    }
  } else if (!readHistory(folder, history, error)) {
    if (error.rfind("not a directory", 0) == 0) return line.error("", error);
    // A history that cannot be read is never reported as no history.
    std::fprintf(stderr, "morvalis-rapport: %s\n", error.c_str());
    return 1;
  }
  if (config.database.empty() && history.files.empty() && history.problems.empty()) {
    std::printf("Ingen historik endnu i %s: hverken historik/ eller journal.txt.\n", folder.c_str());
    return 0;
  }
  const Figures figures = figuresOf(history, from, to);
  std::fputs(reportText(figures, history).c_str(), stdout);
  if (!stations.empty()) std::fputs(stationsText(stations).c_str(), stdout);
  bool written = true;
  if (!csv.empty()) written = writeFile(csv, reportCsv(figures)) && written;
  if (!svg.empty()) written = writeFile(svg, reportSvg(figures, history)) && written;
  return written ? 0 : 1;
}

#include "clinic_driver.hpp"

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// What a station's pane runs: the program, then its exit status shown
// and the pane kept, so a test sees how it ended.
std::string kept(const std::string& command) {
  return command + "; printf 'exit=%s' $?; sleep 600";
}

std::string program(const char* linux, const char* windows, ClinicDriver::Build build) {
  return build == ClinicDriver::Build::Linux ? std::string(linux) : ClinicDriver::underWine(windows);
}

}  // namespace

ClinicDriver::ClinicDriver(const std::string& name, bool tls)
    : dir_(name),
      server_(fs::temp_directory_path() / ("morvalis-pg-" + name + "-" + std::to_string(getpid())), tls) {
  if (server_.whyNot().empty()) uri_ = server_.uri();
}

fs::path ClinicDriver::folder(const std::string& name, const std::string& more) {
  const fs::path folder = dir_.path() / name;
  fs::create_directories(folder);
  WorkDirectory::write(folder / "morvalis.conf", "database = " + uri_ + "\n" + more);
  return folder;
}

std::string ClinicDriver::run(const std::string& name, const std::string& command) const {
  return runCommand("cd '" + (dir_.path() / name).string() + "' && { " + command + "; } 2>&1");
}

bool ClinicDriver::createSchema(const std::string& name, Build build, std::string* said) {
  const std::string words =
      run(name, program(MORVALIS_BINARY, MORVALIS_WINDOWS_EXE, build) + " --opret-database");
  if (said) *said = words;
  return words.find("schema version 1") != std::string::npos;
}

TmuxPane& ClinicDriver::start(const std::string& name, const std::string& command) {
  panes_.push_back(std::make_unique<TmuxPane>(80, 25, kept(command), (dir_.path() / name).string()));
  return *panes_.back();
}

TmuxPane& ClinicDriver::desk(const std::string& name, Build build) {
  return start(name, program(MORVALIS_BINARY, MORVALIS_WINDOWS_EXE, build));
}

TmuxPane& ClinicDriver::booth(const std::string& name, int room, Build build) {
  return start(name, program(MORVALIS_BOOTH_BINARY, MORVALIS_WINDOWS_BOOTH_EXE, build) + " " + std::to_string(room));
}

TmuxPane& ClinicDriver::automat(const std::string& name, Build build) {
  return start(name, program(MORVALIS_AUTOMAT_BINARY, MORVALIS_WINDOWS_AUTOMAT_EXE, build));
}

TmuxPane& ClinicDriver::display(const std::string& name, Build build) {
  return start(name, program(MORVALIS_DISPLAY_BINARY, MORVALIS_WINDOWS_DISPLAY_EXE, build) + " --quiet");
}

std::string ClinicDriver::dayText() const {
  return server_.sql("SELECT string_agg(line || E'\\r\\n', '' ORDER BY seq) FROM morvalis.changes") + "\n";
}

std::string ClinicDriver::underWine(const std::string& exe) {
  return std::string("WINEPREFIX=") + MORVALIS_WINEPREFIX + " XDG_RUNTIME_DIR=" + MORVALIS_WINE_RUNTIME +
         " WINEDEBUG=-all wine " + exe;
}

bool ClinicDriver::windowsBuilt() {
  return fs::exists(MORVALIS_WINDOWS_EXE) && fs::exists(MORVALIS_WINDOWS_BOOTH_EXE) &&
         fs::exists(MORVALIS_WINDOWS_AUTOMAT_EXE);
}

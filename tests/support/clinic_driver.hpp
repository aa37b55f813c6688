// ClinicDriver: a clinic's shared day for a test, made as a clinic makes
// it: the test's own PostgreSQL, a folder per station with a morvalis.conf
// naming the database (and whatever more that station needs), the schema
// made by the desk's --opret-database, and each station (desk, booth,
// ticket machine, display; Linux or Windows under Wine) started in a tmux
// pane of its own that lives as long as the driver. whyNot() says why the
// server could not start; a station's pane shows "exit=N" when its
// program ended.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "scratch_postgres.hpp"
#include "tmux_pane.hpp"
#include "work_directory.hpp"

class ClinicDriver {
 public:
  enum class Build { Linux, Windows };

  // `name`: the test's folder and the server's, unique in the run; `tls`:
  // the server speaks TLS too (see ScratchPostgres).
  explicit ClinicDriver(const std::string& name, bool tls = false);

  const std::string& whyNot() const { return server_.whyNot(); }
  ScratchPostgres& server() { return server_; }
  const std::filesystem::path& path() const { return dir_.path(); }

  // The URI folders made from now on name (a proxy in front of the server).
  void useDatabase(std::string uri) { uri_ = std::move(uri); }
  // Folder `name` with its morvalis.conf: the database line, then `more`.
  std::filesystem::path folder(const std::string& name, const std::string& more = "");
  // `command` run through sh in folder `name`: its output and error.
  std::string run(const std::string& name, const std::string& command) const;
  // The schema made from folder `name` by the desk's --opret-database;
  // false (the tool's words in `said`) when it was not.
  bool createSchema(const std::string& name, Build build = Build::Linux, std::string* said = nullptr);

  TmuxPane& desk(const std::string& name, Build build = Build::Linux);
  TmuxPane& booth(const std::string& name, int room, Build build = Build::Linux);
  TmuxPane& automat(const std::string& name, Build build = Build::Linux);
  TmuxPane& display(const std::string& name, Build build = Build::Linux);

  // The day's lines as the database keeps them, in order, one text.
  std::string dayText() const;

  // The command line of a Windows program under the build's Wine prefix.
  static std::string underWine(const std::string& exe);
  static bool windowsBuilt();

 private:
  TmuxPane& start(const std::string& name, const std::string& command);

  WorkDirectory dir_;
  ScratchPostgres server_;
  std::string uri_;
  std::vector<std::unique_ptr<TmuxPane>> panes_;
};

// TmuxPane: a real terminal for end-to-end tests. A detached tmux server of
// its own runs one command in a pane of a fixed size; keys go in with
// send-keys and the screen comes back, with its colours, through
// capture-pane into a VtModel.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "vt_model.hpp"

class TmuxPane {
 public:
  // `command` runs through sh in `directory`.
  TmuxPane(int columns, int rows, const std::string& command, const std::string& directory);
  ~TmuxPane();
  TmuxPane(const TmuxPane&) = delete;
  TmuxPane& operator=(const TmuxPane&) = delete;

  void sendKeys(const std::string& keys);    // tmux key names, space separated
  void sendBytes(const std::string& bytes);  // raw bytes, as a terminal sends them
  void resize(int columns, int rows);
  VtModel capture();
  // Polls the screen until `done` holds or `timeout` passes; returns the last capture.
  VtModel waitFor(const std::function<bool(const VtModel&)>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10));
  VtModel waitForText(const std::string& text);
  bool cursorVisible();
  // The pid of the pane's command (the shell).
  int panePid();
  void kill();

  int columns;
  int rows;

 private:
  std::string tmux(const std::string& arguments);
  std::string socket_;
};

std::string runCommand(const std::string& command);
bool screenContains(const VtModel& screen, const std::string& text);

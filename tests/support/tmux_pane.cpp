#include "tmux_pane.hpp"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <thread>

std::string runCommand(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run: " + command);
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

namespace {
std::string quote(const std::string& s) {
  std::string out = "'";
  for (const char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}
}  // namespace

TmuxPane::TmuxPane(int c, int r, const std::string& command, const std::string& directory)
    : columns(c), rows(r) {
  // The programs in the pane, tmux and GNU screen speak UTF-8 whatever the
  // caller's locale (an emptied environment has none).
  setenv("LANG", "C.UTF-8", 1);
  setenv("LC_ALL", "C.UTF-8", 1);
  static int counter = 0;
  // A socket path of its own, removed at the end: tmux -L would leave one
  // behind in /tmp/tmux-UID for every pane.
  socket_ = (std::filesystem::temp_directory_path() /
             ("morvalis-tmux-" + std::to_string(getpid()) + "-" + std::to_string(++counter)))
                .string();
  tmux("-f /dev/null new-session -d -x " + std::to_string(c) + " -y " + std::to_string(r) + " -c " +
       quote(directory) + " " + quote(command));
  tmux("set-option -g status off");
}

TmuxPane::~TmuxPane() {
  kill();
  std::filesystem::remove(socket_);
}

void TmuxPane::kill() {
  tmux("kill-server");
}

std::string TmuxPane::tmux(const std::string& arguments) {
  return runCommand("TERM=xterm-256color tmux -S " + quote(socket_) + " " + arguments + " 2>&1");
}

void TmuxPane::sendKeys(const std::string& keys) {
  tmux("send-keys -t 0 " + keys);
}

void TmuxPane::sendBytes(const std::string& bytes) {
  std::string hex;
  char digits[4];
  for (const char c : bytes) {
    std::snprintf(digits, sizeof digits, " %02x", static_cast<unsigned char>(c));
    hex += digits;
  }
  tmux("send-keys -t 0 -H" + hex);
}

void TmuxPane::resize(int c, int r) {
  tmux("resize-window -t 0 -x " + std::to_string(c) + " -y " + std::to_string(r));
  columns = c;
  rows = r;
}

VtModel TmuxPane::capture() {
  std::string text = tmux("capture-pane -p -e -t 0");
  // The last line's newline would scroll the model.
  if (!text.empty() && text.back() == '\n') text.pop_back();
  // Each captured line starts at the left edge: give the model its CR.
  std::string lines;
  for (const char ch : text) {
    if (ch == '\n') lines += '\r';
    lines += ch;
  }
  VtModel model(columns, rows);
  model.feed(lines);
  return model;
}

VtModel TmuxPane::waitFor(const std::function<bool(const VtModel&)>& done,
                          std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    VtModel screen = capture();
    if (done(screen) || std::chrono::steady_clock::now() > end) return screen;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

VtModel TmuxPane::waitForText(const std::string& text) {
  return waitFor([&](const VtModel& s) { return screenContains(s, text); });
}

bool TmuxPane::cursorVisible() {
  return tmux("display-message -p -t 0 '#{cursor_flag}'") == "1\n";
}

int TmuxPane::panePid() {
  return std::stoi(tmux("display-message -p -t 0 '#{pane_pid}'"));
}

bool screenContains(const VtModel& screen, const std::string& text) {
  return screen.screen.text().find(text) != std::string::npos;
}

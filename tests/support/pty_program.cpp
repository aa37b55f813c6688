#include "pty_program.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

PtyProgram::PtyProgram(const std::vector<std::string>& argv, const std::string& directory,
                       const std::vector<std::string>& environment) {
  winsize size{};
  size.ws_col = 80;
  size.ws_row = 25;
  pid_ = forkpty(&master_, nullptr, nullptr, &size);
  if (pid_ < 0) throw std::runtime_error("forkpty failed");
  if (pid_ == 0) {
    if (chdir(directory.c_str()) != 0) _exit(126);
    for (const std::string& setting : environment) putenv(const_cast<char*>(setting.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyProgram::~PtyProgram() {
  if (pid_ > 0) signal(SIGKILL);
  if (master_ >= 0) close(master_);
}

void PtyProgram::send(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else {
      pollfd p{master_, POLLOUT, 0};
      poll(&p, 1, 100);
    }
  }
}

void PtyProgram::read(int timeoutMs) {
  pollfd p{master_, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0) return;
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) return;
    const std::string_view bytes(buffer, static_cast<std::size_t>(n));
    bytesRead += bytes.size();
    screen.feed(bytes);
    seen_ += bytes;
    // The primary device attributes query, answered as xterm does, so the
    // program does not wait for the answer at every start.
    for (std::size_t at; (at = seen_.find("\x1b[c")) != std::string::npos;) {
      send("\x1b[?62;22c");
      seen_.erase(0, at + 3);
    }
    if (seen_.size() > 2) seen_.erase(0, seen_.size() - 2);
  }
}

bool PtyProgram::waitFor(const std::function<bool(const VtModel&)>& done,
                         std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done(screen)) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    read(static_cast<int>(std::min<long long>(left.count(), 50)));
  }
}

void PtyProgram::reap() {
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

void PtyProgram::signal(int number) {
  if (pid_ <= 0) return;
  kill(pid_, number);
  // Drains the terminal while the program ends, so its last writes never block it.
  for (int status = 0; waitpid(pid_, &status, WNOHANG) == 0;) read(5);
  pid_ = -1;
}

void PtyProgram::hangUp() {
  if (pid_ <= 0) return;
  close(master_);
  master_ = -1;
  reap();
}

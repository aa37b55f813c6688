// A server (or tool) a test starts itself: its output to a file, its home
// and runtime folder the output's folder, so it leaves nothing in /tmp or
// the user's home; ended with SIGTERM, and waited for, when the object goes.
// A test run as root may start it as another user (a server that refuses
// root).
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>

class TestServer {
 public:
  TestServer() = default;
  TestServer(const std::vector<std::string>& argv, const std::filesystem::path& output,
             const std::string& user = "") {
    pid_ = ::fork();
    if (pid_ != 0) return;
    if (!user.empty() && ::getuid() == 0) {
      const passwd* who = ::getpwnam(user.c_str());
      if (!who || ::setgroups(0, nullptr) != 0 || ::setgid(who->pw_gid) != 0 || ::setuid(who->pw_uid) != 0) {
        ::_exit(126);
      }
    }
    ::setenv("HOME", output.parent_path().c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", output.parent_path().c_str(), 1);
    const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ~TestServer() { stop(); }
  TestServer(const TestServer&) = delete;
  TestServer& operator=(TestServer&& other) noexcept {
    stop();
    pid_ = other.pid_;
    other.pid_ = -1;
    return *this;
  }

  void stop(int signal = SIGTERM) {
    if (pid_ <= 0) return;
    ::kill(pid_, signal);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  // Waits up to `ms` for `path` (a socket, a file with bytes) to be there;
  // false when it is not, or the server ended first.
  // The exit status once it ended by itself (within `ms`); -1 otherwise.
  int wait(int ms) {
    for (int waited = 0; waited < ms && pid_ > 0; waited += 5) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
  }
  bool waitFor(const std::filesystem::path& path, int ms) {
    for (int waited = 0; waited < ms; waited += 2) {
      std::error_code none;
      if (std::filesystem::exists(path, none) &&
          (std::filesystem::is_socket(path, none) || std::filesystem::file_size(path, none) > 0)) {
        return true;
      }
      int status = 0;
      if (pid_ <= 0 || ::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }

 private:
  pid_t pid_ = -1;
};

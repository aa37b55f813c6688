#include "fake_printer.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

FakePrinter::FakePrinter() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at);
  ::listen(listener_, 8);
  socklen_t size = sizeof at;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &size);
  port_ = ntohs(at.sin_port);
  thread_ = std::thread([this] { serve(); });
}

FakePrinter::~FakePrinter() {
  if (listener_ >= 0) goAway();
}

std::string FakePrinter::address() const {
  return "127.0.0.1:" + std::to_string(port_);
}

void FakePrinter::goAway() {
  ending_ = true;
  thread_.join();
  ::close(listener_);
  listener_ = -1;
}

std::vector<std::string> FakePrinter::received() {
  std::lock_guard<std::mutex> lock(mutex_);
  return jobs_;
}

bool FakePrinter::waitForJobs(std::size_t count, int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (jobs_.size() >= count) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

void FakePrinter::serve() {
  while (!ending_) {
    pollfd waiting{listener_, POLLIN, 0};
    if (::poll(&waiting, 1, 20) <= 0) continue;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    const Mode mode = mode_;
    if (mode == Mode::HangsUp) {
      ::close(connection);
      continue;
    }
    if (mode == Mode::Slow) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (mode == Mode::Deaf) {
      for (int i = 0; i < 150 && !ending_ && mode_ == Mode::Deaf; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
    std::string job;
    std::size_t answered = 0;  // the paper questions answered so far
    for (;;) {
      pollfd in{connection, POLLIN, 0};
      if (::poll(&in, 1, mode == Mode::Silent ? 3000 : 1000) <= 0) break;
      char buffer[4096];
      const ssize_t n = ::read(connection, buffer, sizeof buffer);
      if (n <= 0) break;
      job.append(buffer, static_cast<std::size_t>(n));
      // Each paper question: answered at once, unless the printer is silent.
      for (std::size_t at = job.find("\x10\x04\x04", answered); at != std::string::npos;
           at = job.find("\x10\x04\x04", answered)) {
        answered = at + 3;
        const char answer = mode == Mode::NoPaper ? 0x72 : 0x12;
        if (mode != Mode::Silent) (void)::send(connection, &answer, 1, MSG_NOSIGNAL);
      }
    }
    ::close(connection);
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(job);
  }
}

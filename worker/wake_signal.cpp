#include "wake_signal.hpp"

#ifdef _WIN32
#include <windows.h>

WakeSignal::WakeSignal() : event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

WakeSignal::~WakeSignal() {
  if (event_) CloseHandle(event_);
}

void WakeSignal::signal() {
  if (event_) SetEvent(event_);
}

void WakeSignal::drain() {}

std::intptr_t WakeSignal::handle() const {
  return event_ ? reinterpret_cast<std::intptr_t>(event_) : -1;
}

#else
#include <fcntl.h>
#include <unistd.h>

WakeSignal::WakeSignal() {
  if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) fds_[0] = fds_[1] = -1;
}

WakeSignal::~WakeSignal() {
  for (const int fd : fds_) {
    if (fd >= 0) ::close(fd);
  }
}

void WakeSignal::signal() {
  // A full pipe already wakes the wait: the byte that did not fit is not missed.
  const char byte = 1;
  if (fds_[1] >= 0) (void)!::write(fds_[1], &byte, 1);
}

void WakeSignal::drain() {
  char bytes[64];
  while (fds_[0] >= 0 && ::read(fds_[0], bytes, sizeof bytes) > 0) {
  }
}

std::intptr_t WakeSignal::handle() const {
  return fds_[0];
}
#endif

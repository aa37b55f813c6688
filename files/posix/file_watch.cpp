#include "file_watch.hpp"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {
constexpr std::uint32_t kEvents = IN_CREATE | IN_MODIFY | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE |
                                  IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;
}

FileWatch::FileWatch(const std::string& folder) : folder_(folder) {
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  drain();
}

FileWatch::~FileWatch() {
  if (fd_ >= 0) close(fd_);
}

std::intptr_t FileWatch::handle() const {
  return fd_;
}

bool FileWatch::wait(int ms) const {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, ms) > 0;
}

void FileWatch::drain() {
  if (fd_ < 0) return;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n <= 0) break;
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->mask & IN_IGNORED) watch_ = -1;  // the folder went away
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  if (watch_ < 0) watch_ = inotify_add_watch(fd_, folder_.c_str(), kEvents);
}

// FileWatch: wakes the wait for a key when something changes in a folder
// (inotify on Linux, a change notification on Windows), so a reader of a
// file there sees a change at once. Where there is no such thing (inotify
// refused, a folder the system cannot watch) it does nothing, and the
// caller's polling is all there is. Changes made by other computers on a
// network share are not seen by inotify either: poll too.
#pragma once

#include <cstdint>
#include <string>

class FileWatch {
 public:
  explicit FileWatch(const std::string& folder);
  ~FileWatch();
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;

  // What the wait for keys also waits on (see Console::wakeOn); -1: none.
  std::intptr_t handle() const;
  // Takes the news (so the next wait waits again) and watches the folder
  // anew when it had gone away.
  void drain();
  // Waits at most `ms` for news; true when some came (drain() them).
  bool wait(int ms) const;

 private:
  std::string folder_;
#ifdef _WIN32
  void* notification_ = nullptr;
#else
  int fd_ = -1;
  int watch_ = -1;
#endif
};

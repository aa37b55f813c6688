// FileLock: holds a lock file (flock on POSIX, LockFileEx on Windows) for
// as long as the object lives, so that one copy of the program at a time
// works in a folder. The lock holds across every name of the folder (other
// drive letters, UNC paths, other computers on a share where the share
// supports locks), and the system releases it when the process ends, also
// when it is killed.
#pragma once

#include <string>

#include "file_system.hpp"

class FileLock {
 public:
  enum class State { Held, Busy, Failed };

  FileLock(const std::string& path, FileSystem& files = FileSystem::real());
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Held: ours; Busy: another process holds it; Failed: no lock could be
  // made (a read-only folder), with the reason in error().
  State state() const { return state_; }
  const std::string& error() const { return error_; }

 private:
  FileSystem& files_;
  FileSystem::Handle handle_ = FileSystem::kNoFile;
  State state_ = State::Failed;
  std::string error_;
};

#include "file_lock.hpp"

FileLock::FileLock(const std::string& path, FileSystem& files) : files_(files) {
  handle_ = files_.tryLock(path);
  if (handle_ != FileSystem::kNoFile) {
    state_ = State::Held;
  } else {
    state_ = files_.wasBusy() ? State::Busy : State::Failed;
    error_ = "cannot lock " + path + ": " + files_.reason();
  }
}

FileLock::~FileLock() {
  if (handle_ != FileSystem::kNoFile) files_.close(handle_);
}

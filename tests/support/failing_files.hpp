// A file system that fails a chosen call, as a full or broken disk would,
// on either platform: once after `after` calls of that kind succeeded, or
// from then on until mend().
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <errno.h>
#endif

#include "file_system.hpp"

class FailingFiles : public FileSystem {
 public:
  enum class Call { Create, Read, Write, Sync, Close, Replace, Append, Remove };
  static constexpr int kUntilMended = -1;

  FailingFiles(Call call, int after = 0, int times = 1)
      : call_(call), after_(after), times_(times) {}
  void mend() { times_ = 0; }

  Handle createNew(const std::string& path, Handle like) override {
    return fails(Call::Create) ? kNoFile : FileSystem::createNew(path, like);
  }
  Handle openAppend(const std::string& path) override {
    return fails(Call::Append) ? kNoFile : FileSystem::openAppend(path);
  }
  long long read(Handle f, char* b, std::size_t n) override {
    return fails(Call::Read) ? -1 : FileSystem::read(f, b, n);
  }
  long long write(Handle f, const char* b, std::size_t n) override {
    return fails(Call::Write) ? -1 : FileSystem::write(f, b, n);
  }
  bool flushToDisk(Handle f) override { return !fails(Call::Sync) && FileSystem::flushToDisk(f); }
  bool flushDataToDisk(Handle f) override {
    return !fails(Call::Sync) && FileSystem::flushDataToDisk(f);
  }
  bool close(Handle f) override {
    // The handle is gone even when close reports an error; the data may not be.
    const bool closed = FileSystem::close(f);
    return !fails(Call::Close) && closed;
  }
  bool replace(const std::string& from, const std::string& to) override {
    return !fails(Call::Replace) && FileSystem::replace(from, to);
  }
  bool remove(const std::string& path) override {
    return !fails(Call::Remove) && FileSystem::remove(path);
  }

 private:
  bool fails(Call call) {
    if (call != call_ || times_ == 0 || after_-- > 0) return false;
    if (times_ > 0) --times_;
#ifdef _WIN32
    SetLastError(ERROR_DISK_FULL);
#else
    errno = ENOSPC;
#endif
    return true;
  }
  Call call_;
  int after_;
  int times_;
};

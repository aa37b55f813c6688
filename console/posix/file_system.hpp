// FileSystem: the POSIX file calls the program makes, behind one seam so
// tests can make any of them fail on purpose. Each has the meaning and the
// result of the POSIX call of the same name (-1 with errno on failure).
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual int open(const char* path, int flags, mode_t mode);
  virtual ssize_t read(int fd, void* buffer, size_t size);
  virtual ssize_t write(int fd, const void* buffer, size_t size);
  virtual int fsync(int fd);
  virtual int close(int fd);
  virtual int rename(const char* from, const char* to);
  virtual int unlink(const char* path);
  virtual int fstat(int fd, struct stat* info);
  virtual int lstat(const char* path, struct stat* info);
  virtual int fchmod(int fd, mode_t mode);
  virtual int flock(int fd, int operation);
  // The absolute path with every symbolic link resolved; empty on failure.
  virtual std::string realpath(const char* path);

  static FileSystem& real();
};

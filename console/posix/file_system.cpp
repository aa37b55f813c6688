#include "file_system.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

int FileSystem::open(const char* path, int flags, mode_t mode) {
  return ::open(path, flags, mode);
}
ssize_t FileSystem::read(int fd, void* buffer, size_t size) {
  return ::read(fd, buffer, size);
}
ssize_t FileSystem::write(int fd, const void* buffer, size_t size) {
  return ::write(fd, buffer, size);
}
int FileSystem::fsync(int fd) {
  return ::fsync(fd);
}
int FileSystem::close(int fd) {
  return ::close(fd);
}
int FileSystem::rename(const char* from, const char* to) {
  return ::rename(from, to);
}
int FileSystem::unlink(const char* path) {
  return ::unlink(path);
}
int FileSystem::fstat(int fd, struct stat* info) {
  return ::fstat(fd, info);
}
int FileSystem::lstat(const char* path, struct stat* info) {
  return ::lstat(path, info);
}
int FileSystem::fchmod(int fd, mode_t mode) {
  return ::fchmod(fd, mode);
}
int FileSystem::flock(int fd, int operation) {
  return ::flock(fd, operation);
}

std::string FileSystem::realpath(const char* path) {
  char resolved[PATH_MAX];
  return ::realpath(path, resolved) ? std::string(resolved) : std::string();
}

FileSystem& FileSystem::real() {
  static FileSystem files;
  return files;
}

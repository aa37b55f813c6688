// The file calls on POSIX.
#include "file_system.hpp"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

bool endOfWaitsAsked();  // file_system.cpp

namespace {

int toFd(FileSystem::Handle h) {
  return static_cast<int>(h);
}

// Regular files only: a FIFO or device named data.txt would block or
// misbehave, and a folder is no file at all.
FileSystem::Handle regularOrNothing(int fd) {
  if (fd < 0) return FileSystem::kNoFile;
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return FileSystem::kNoFile;
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return FileSystem::kNoFile;
  }
  return fd;
}

bool terminationPending() {
  sigset_t pending;
  if (sigpending(&pending) != 0) return false;
  return sigismember(&pending, SIGTERM) == 1 || sigismember(&pending, SIGINT) == 1 ||
         sigismember(&pending, SIGHUP) == 1;
}

}  // namespace

std::string FileSystem::contentPath(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0) return errno == ENOENT ? path : std::string();
  if (!S_ISLNK(link.st_mode)) return path;
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

FileSystem::Handle FileSystem::openRead(const std::string& path) {
  // O_NONBLOCK: opening a FIFO for reading would wait for a writer.
  return regularOrNothing(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
}

FileSystem::Handle FileSystem::createNew(const std::string& path, Handle like) {
  mode_t mode = 0;
  struct stat info {};
  if (like != kNoFile) {
    if (::fstat(toFd(like), &info) != 0) return kNoFile;
    mode = info.st_mode & 07777;
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return kNoFile;
  if (like != kNoFile && ::fchmod(fd, mode) != 0) {
    const int saved = errno;
    ::close(fd);
    ::unlink(path.c_str());
    errno = saved;
    return kNoFile;
  }
  return fd;
}

FileSystem::Handle FileSystem::openAppend(const std::string& path) {
  return regularOrNothing(::open(
      path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666));
}

long long FileSystem::read(Handle file, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(toFd(file), buffer, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

long long FileSystem::write(Handle file, const char* bytes, std::size_t size) {
  for (;;) {
    const ssize_t n = ::write(toFd(file), bytes, size);
    if (n > 0) return n;
    if (n == 0) {
      errno = EIO;
      return -1;
    }
    if (errno != EINTR) return -1;
  }
}

bool FileSystem::flushToDisk(Handle file) {
  return ::fsync(toFd(file)) == 0;
}

bool FileSystem::flushDataToDisk(Handle file) {
  return ::fdatasync(toFd(file)) == 0;
}

bool FileSystem::close(Handle file) {
  return ::close(toFd(file)) == 0;
}

bool FileSystem::replace(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool FileSystem::flushFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return ok;
}

bool FileSystem::remove(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

FileSystem::Handle FileSystem::lockFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return kNoFile;
  // The terminating signals are blocked while the program is busy, and a
  // blocking flock would not see them: ask again and again, and look for
  // them in between.
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
    int saved = errno;
    if (saved == EWOULDBLOCK || saved == EINTR) {
      if (!terminationPending() && !endOfWaitsAsked()) {
        const timespec pause{0, 20'000'000};
        nanosleep(&pause, nullptr);
        continue;
      }
      saved = EINTR;
    }
    ::close(fd);
    errno = saved;
    return kNoFile;
  }
}

FileSystem::Handle FileSystem::tryLock(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0666);
  // A lock file that exists in a folder this user cannot write still locks.
  if (fd < 0 && (errno == EACCES || errno == EROFS)) {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
  }
  if (fd < 0) return kNoFile;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return kNoFile;
  }
  return fd;
}

namespace {

FileStamp stampFrom(const struct stat& info) {
  return FileStamp{
      static_cast<long long>(info.st_size),
      static_cast<long long>(info.st_mtim.tv_sec) * 1'000'000'000LL + info.st_mtim.tv_nsec,
      static_cast<long long>(info.st_ino), S_ISDIR(info.st_mode)};
}

}  // namespace

bool FileSystem::stamp(const std::string& path, FileStamp& stamp) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  stamp = stampFrom(info);
  return true;
}

bool FileSystem::stampOf(Handle file, FileStamp& stamp) {
  struct stat info {};
  if (::fstat(toFd(file), &info) != 0) return false;
  stamp = stampFrom(info);
  return true;
}

bool FileSystem::makeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  struct stat info {};
  const int saved = errno;
  if (saved == EEXIST && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return true;
  errno = saved == EEXIST ? ENOTDIR : saved;
  return false;
}

bool FileSystem::sameFile(const std::string& path, Handle file) {
  struct stat named {};
  struct stat open {};
  return ::stat(path.c_str(), &named) == 0 && ::fstat(toFd(file), &open) == 0 &&
         named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

std::string FileSystem::reason() const {
  return std::strerror(errno);
}

bool FileSystem::wasMissing() const {
  return errno == ENOENT;
}

bool FileSystem::wasBusy() const {
  return errno == EWOULDBLOCK;
}

FileFault FileSystem::fault() const {
  switch (errno) {
    case 0:
      return FileFault::None;
    case ENOSPC:
    case EDQUOT:
      return FileFault::DiskFull;
    case EROFS:
      return FileFault::ReadOnly;
    case EACCES:
    case EPERM:
      return FileFault::NoAccess;
    case EISDIR:
    case EINVAL:
    case ELOOP:
      return FileFault::NotAFile;
    case ENOENT:
    case ENOTDIR:
      return FileFault::Missing;
    case EINTR:
      return FileFault::Interrupted;
    default:
      return FileFault::Other;
  }
}

FileSystem& FileSystem::real() {
  static FileSystem files;
  return files;
}

#include "file_replacement.hpp"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cstring>

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

std::string directoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool FileReplacement::fail(const std::string& what) {
  error_ = what + ": " + std::strerror(errno);
  failed_ = true;
  return false;
}

bool FileReplacement::begin(const std::string& path, const std::string& scratchName) {
  target_ = path;
  struct stat link {};
  if (files_.lstat(path.c_str(), &link) == 0) {
    if (S_ISLNK(link.st_mode)) {
      target_ = files_.realpath(path.c_str());
      if (target_.empty()) return fail("cannot follow the link " + path);
    }
  } else if (errno != ENOENT) {
    return fail("cannot look at " + path);
  }
  const std::string directory = directoryOf(target_);
  scratchPath_ = directory + "/" + scratchName;

  directory_ = files_.open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (directory_ < 0) return fail("cannot open the directory " + directory);
  // Waits while another copy of the program replaces a file here.
  while (files_.flock(directory_, LOCK_EX) != 0) {
    if (errno != EINTR) return fail("cannot lock the directory " + directory);
  }

  mode_t mode = 0666;
  bool keepMode = false;
  old_ = files_.open(target_.c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (old_ >= 0) {
    struct stat info {};
    if (files_.fstat(old_, &info) != 0) return fail("cannot look at " + target_);
    if (!S_ISREG(info.st_mode)) {
      errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
      return fail(target_ + " is not a regular file");
    }
    mode = info.st_mode & 07777;
    keepMode = true;
  } else if (errno != ENOENT) {
    return fail("cannot read " + target_);
  }

  // Whatever an earlier run left under the scratch name never reaches the file.
  if (files_.unlink(scratchPath_.c_str()) != 0 && errno != ENOENT) {
    return fail("cannot remove the old " + scratchPath_);
  }
  scratch_ =
      files_.open(scratchPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (scratch_ < 0) return fail("cannot create " + scratchPath_);
  createdScratch_ = true;
  if (keepMode && files_.fchmod(scratch_, mode) != 0) {
    return fail("cannot set the permissions of " + scratchPath_);
  }
  buffer_.reserve(kBufferSize);
  return true;
}

ssize_t FileReplacement::readOld(char* buffer, std::size_t size) {
  if (failed_) return -1;
  if (old_ < 0) return 0;
  for (;;) {
    const ssize_t n = files_.read(old_, buffer, size);
    if (n >= 0) return n;
    if (errno != EINTR) {
      fail("cannot read " + target_);
      return -1;
    }
  }
}

bool FileReplacement::flush() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = files_.write(scratch_, buffer_.data() + done, buffer_.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      if (n == 0) errno = EIO;
      return fail("cannot write " + scratchPath_);
    }
  }
  buffer_.clear();
  return true;
}

bool FileReplacement::write(std::string_view bytes) {
  if (failed_ || scratch_ < 0) return false;
  while (!bytes.empty()) {
    const std::size_t room = kBufferSize - buffer_.size();
    const std::size_t take = std::min(room, bytes.size());
    buffer_.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    if (buffer_.size() == kBufferSize && !flush()) return false;
  }
  return true;
}

bool FileReplacement::commit() {
  if (failed_ || scratch_ < 0) return false;
  if (!flush()) return false;
  if (files_.fsync(scratch_) != 0) return fail("cannot flush " + scratchPath_ + " to disk");
  const int scratch = scratch_;
  scratch_ = -1;
  // A failed close may have lost data: it is a failure, never retried.
  if (files_.close(scratch) != 0) return fail("cannot close " + scratchPath_);
  if (files_.rename(scratchPath_.c_str(), target_.c_str()) != 0) {
    return fail("cannot rename " + scratchPath_ + " to " + target_);
  }
  committed_ = true;
  // The new name is in place; make it survive a power cut too. The file
  // already holds the new content, so a failure here cannot be undone: it
  // is reported in error() but the replacement stands.
  if (files_.fsync(directory_) != 0) {
    error_ = std::string("cannot flush the directory to disk: ") + std::strerror(errno);
  }
  return true;
}

void FileReplacement::abandon() {
  if (scratch_ >= 0) {
    files_.close(scratch_);
    scratch_ = -1;
  }
  if (createdScratch_ && !committed_) files_.unlink(scratchPath_.c_str());
}

FileReplacement::~FileReplacement() {
  abandon();
  if (old_ >= 0) files_.close(old_);
  if (directory_ >= 0) files_.close(directory_);  // releases the lock
}

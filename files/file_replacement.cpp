#include "file_replacement.hpp"

#include <algorithm>

namespace {
constexpr std::size_t kBufferSize = 1 << 16;
}

bool FileReplacement::fail(const std::string& what) {
  fault_ = files_.fault();
  error_ = what + ": " + files_.reason();
  failed_ = true;
  return false;
}

bool FileReplacement::begin(const std::string& path, const std::string& scratchName) {
  target_ = files_.contentPath(path);
  if (target_.empty()) return fail("cannot find " + path);
  const std::string folder = folderOf(target_);
  scratchPath_ = besideOf(target_, scratchName);

  if (turn_ == Turn::WaitForTurn) {
    lock_ = files_.lockFolder(folder);
    if (lock_ == FileSystem::kNoFile) return fail("cannot lock the folder " + folder);
  }

  old_ = files_.openRead(target_);
  if (old_ == FileSystem::kNoFile && !files_.wasMissing()) return fail("cannot read " + target_);
  // Whatever an earlier run left under the scratch name never reaches the file.
  if (!files_.remove(scratchPath_) && !files_.wasMissing()) {
    return fail("cannot remove the old " + scratchPath_);
  }
  scratch_ = files_.createNew(scratchPath_, old_);
  if (scratch_ == FileSystem::kNoFile) return fail("cannot create " + scratchPath_);
  createdScratch_ = true;
  buffer_.reserve(kBufferSize);
  return true;
}

long long FileReplacement::readOld(char* buffer, std::size_t size) {
  if (failed_) return -1;
  if (old_ == FileSystem::kNoFile) return 0;
  const long long n = files_.read(old_, buffer, size);
  if (n < 0) fail("cannot read " + target_);
  return n;
}

bool FileReplacement::flush() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const long long n = files_.write(scratch_, buffer_.data() + done, buffer_.size() - done);
    if (n <= 0) return fail("cannot write " + scratchPath_);
    done += static_cast<std::size_t>(n);
  }
  buffer_.clear();
  return true;
}

bool FileReplacement::write(std::string_view bytes) {
  if (failed_ || scratch_ == FileSystem::kNoFile) return false;
  while (!bytes.empty()) {
    const std::size_t take = std::min(kBufferSize - buffer_.size(), bytes.size());
    buffer_.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    if (buffer_.size() == kBufferSize && !flush()) return false;
  }
  return true;
}

bool FileReplacement::commit() {
  if (failed_ || scratch_ == FileSystem::kNoFile) return false;
  if (!flush()) return false;
  if (!files_.flushToDisk(scratch_)) return fail("cannot flush " + scratchPath_ + " to disk");
  const auto scratch = scratch_;
  scratch_ = FileSystem::kNoFile;
  // A failed close may have lost data: it is a failure, never retried.
  if (!files_.close(scratch)) return fail("cannot close " + scratchPath_);
  if (old_ != FileSystem::kNoFile) {
    files_.close(old_);  // read to its end; nothing depends on this close
    old_ = FileSystem::kNoFile;
  }
  if (!files_.replace(scratchPath_, target_)) {
    return fail("cannot put " + scratchPath_ + " in place of " + target_);
  }
  committed_ = true;
  // The new name is in place; make it survive a power cut too. The file
  // already holds the new content, so a failure here cannot be undone: it
  // is reported in error() but the replacement stands.
  if (!files_.flushFolder(folderOf(target_))) {
    error_ = "cannot flush the folder to disk: " + files_.reason();
  }
  return true;
}

void FileReplacement::abandon() {
  if (scratch_ != FileSystem::kNoFile) {
    files_.close(scratch_);
    scratch_ = FileSystem::kNoFile;
  }
  if (createdScratch_ && !committed_) files_.remove(scratchPath_);
}

FileReplacement::~FileReplacement() {
  abandon();
  if (old_ != FileSystem::kNoFile) files_.close(old_);
  if (lock_ != FileSystem::kNoFile) files_.close(lock_);  // ends the turn
}

#include "file_replacement.hpp"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Mutex names may not hold a backslash, and Windows paths ignore case.
std::string lockNameOf(const std::string& folder) {
  std::string name = "morvalis-shift-log:";
  for (const char c : folder) {
    name += c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return name;
}

std::string reasonOf(DWORD code) {
  char text[256] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, text, sizeof text, nullptr);
  std::string reason(text, n);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
  return reason.empty() ? "error " + std::to_string(code) : reason;
}

}  // namespace

bool FileReplacement::fail(const std::string& what) {
  error_ = what + ": " + reasonOf(GetLastError());
  failed_ = true;
  return false;
}

bool FileReplacement::begin(const std::string& path, const std::string& scratchName) {
  target_ = files_.fullPath(path.c_str());
  if (target_.empty()) return fail("cannot find the full path of " + path);
  const std::string folder = folderOf(target_);
  scratchPath_ = folder + "\\" + scratchName;

  lock_ = CreateMutexA(nullptr, FALSE, lockNameOf(folder).c_str());
  if (!lock_) return fail("cannot make the lock of " + folder);
  // Waits while another copy of the program replaces a file here; a copy
  // that died holding the lock leaves it abandoned, which is ours then.
  const DWORD waited = WaitForSingleObject(lock_, INFINITE);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    CloseHandle(lock_);
    lock_ = nullptr;
    return fail("cannot lock " + folder);
  }

  old_ = files_.createFile(target_.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
  if (old_ == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_NOT_FOUND) {
    return fail("cannot read " + target_);
  }
  // Whatever an earlier run left under the scratch name never reaches the file.
  if (!files_.deleteFile(scratchPath_.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
    return fail("cannot remove the old " + scratchPath_);
  }
  scratch_ = files_.createFile(scratchPath_.c_str(), GENERIC_WRITE, 0, CREATE_NEW);
  if (scratch_ == INVALID_HANDLE_VALUE) return fail("cannot create " + scratchPath_);
  createdScratch_ = true;
  buffer_.reserve(kBufferSize);
  return true;
}

long long FileReplacement::readOld(char* buffer, std::size_t size) {
  if (failed_) return -1;
  if (old_ == INVALID_HANDLE_VALUE) return 0;
  DWORD read = 0;
  if (!files_.readFile(old_, buffer, static_cast<DWORD>(std::min<std::size_t>(size, 1 << 30)),
                       &read)) {
    fail("cannot read " + target_);
    return -1;
  }
  return read;
}

bool FileReplacement::flush() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    DWORD written = 0;
    const auto size = static_cast<DWORD>(buffer_.size() - done);
    if (!files_.writeFile(scratch_, buffer_.data() + done, size, &written)) {
      return fail("cannot write " + scratchPath_);
    }
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return fail("cannot write " + scratchPath_);
    }
    done += written;
  }
  buffer_.clear();
  return true;
}

bool FileReplacement::write(std::string_view bytes) {
  if (failed_ || scratch_ == INVALID_HANDLE_VALUE) return false;
  while (!bytes.empty()) {
    const std::size_t take = std::min(kBufferSize - buffer_.size(), bytes.size());
    buffer_.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    if (buffer_.size() == kBufferSize && !flush()) return false;
  }
  return true;
}

bool FileReplacement::commit() {
  if (failed_ || scratch_ == INVALID_HANDLE_VALUE) return false;
  if (!flush()) return false;
  if (!files_.flushFileBuffers(scratch_)) return fail("cannot flush " + scratchPath_ + " to disk");
  const HANDLE scratch = scratch_;
  scratch_ = INVALID_HANDLE_VALUE;
  // A failed close may have lost data: it is a failure, never retried.
  if (!files_.closeHandle(scratch)) return fail("cannot close " + scratchPath_);
  if (old_ != INVALID_HANDLE_VALUE) {
    files_.closeHandle(old_);  // read to its end; nothing depends on this close
    old_ = INVALID_HANDLE_VALUE;
  }
  if (!files_.moveFileEx(scratchPath_.c_str(), target_.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return fail("cannot put " + scratchPath_ + " in place of " + target_);
  }
  committed_ = true;
  return true;
}

void FileReplacement::abandon() {
  if (scratch_ != INVALID_HANDLE_VALUE) {
    files_.closeHandle(scratch_);
    scratch_ = INVALID_HANDLE_VALUE;
  }
  if (createdScratch_ && !committed_) files_.deleteFile(scratchPath_.c_str());
}

FileReplacement::~FileReplacement() {
  abandon();
  if (old_ != INVALID_HANDLE_VALUE) files_.closeHandle(old_);
  if (lock_) {
    ReleaseMutex(lock_);
    CloseHandle(lock_);
  }
}

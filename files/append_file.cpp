#include "append_file.hpp"

bool AppendFile::fail(const std::string& what) {
  error_ = what + " " + path_ + ": " + files_.reason();
  return false;
}

bool AppendFile::open(const std::string& path) {
  close();
  path_ = path;
  file_ = files_.openAppend(path);
  return file_ != FileSystem::kNoFile || fail("cannot open");
}

bool AppendFile::append(std::string_view bytes) {
  if (file_ == FileSystem::kNoFile) {
    error_ = "not open: " + path_;
    return false;
  }
  while (!bytes.empty()) {
    const long long n = files_.write(file_, bytes.data(), bytes.size());
    if (n <= 0) return fail("cannot write");
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return files_.flushDataToDisk(file_) || fail("cannot flush to disk");
}

void AppendFile::close() {
  if (file_ == FileSystem::kNoFile) return;
  files_.close(file_);
  file_ = FileSystem::kNoFile;
}

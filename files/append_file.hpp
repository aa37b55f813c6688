// AppendFile: a file that grows by whole records, each on disk before
// append() returns (written, then flushed with fdatasync on POSIX and
// FlushFileBuffers on Windows).
//
// open() opens the file for appending, creating it when missing; it must be
// a regular file. A failed append() may have left part of its bytes in the
// file: the caller knows the file is no longer whole and rewrites it (see
// FileReplacement). Readers may read the file, and it may be replaced,
// while it is open here; close() it before replacing it from this process.
#pragma once

#include <string>
#include <string_view>

#include "file_system.hpp"

class AppendFile {
 public:
  explicit AppendFile(FileSystem& files = FileSystem::real()) : files_(files) {}
  ~AppendFile() { close(); }
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  bool open(const std::string& path);
  bool append(std::string_view bytes);
  void close();
  bool isOpen() const { return file_ != FileSystem::kNoFile; }
  // Whether the file's name still points at the file open here (not
  // removed, renamed or replaced since open()).
  bool stillNamed() const { return isOpen() && files_.sameFile(path_, file_); }

  // Why the last call failed, in words.
  const std::string& error() const { return error_; }

 private:
  bool fail(const std::string& what);

  FileSystem& files_;
  FileSystem::Handle file_ = FileSystem::kNoFile;
  std::string path_;
  std::string error_;
};

// FileReplacement: gives a file a new content so that at every instant the
// file is either all of its old content or all of its new one (Windows).
//
// begin() waits for a named mutex of the file's folder, so that two copies
// of the program in one folder take turns (held until the object ends; the
// system releases it if a copy dies), opens the old file for reading (a
// missing one reads as empty) and creates the scratch file, fresh, in the
// same folder. The new content goes to the scratch file with WriteFile;
// commit() writes out what is buffered, flushes the file to disk
// (FlushFileBuffers), closes it and puts it in place of the file in one
// step (MoveFileExA, replacing, written through). Every call is checked:
// any failure makes the operation fail, and then (or when the object ends
// uncommitted) the scratch file is removed and the old file is left exactly
// as it was.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "file_system.hpp"

class FileReplacement {
 public:
  explicit FileReplacement(FileSystem& files = FileSystem::real()) : files_(files) {}
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // `path` and `scratchName` are relative to the working directory; the
  // scratch file is `scratchName` in the folder of the file itself.
  bool begin(const std::string& path, const std::string& scratchName);
  // The next bytes of the old content: > 0 bytes read, 0 at its end, -1 on
  // a read error (which makes commit() impossible).
  long long readOld(char* buffer, std::size_t size);
  bool write(std::string_view bytes);
  bool commit();

  // Why the last call failed, for messages and tests.
  const std::string& error() const { return error_; }

 private:
  bool fail(const std::string& what);
  bool flush();
  void abandon();

  FileSystem& files_;
  HANDLE lock_ = nullptr;
  HANDLE old_ = INVALID_HANDLE_VALUE;
  HANDLE scratch_ = INVALID_HANDLE_VALUE;
  std::string target_;
  std::string scratchPath_;
  std::string buffer_;
  bool createdScratch_ = false;
  bool failed_ = false;
  bool committed_ = false;
  std::string error_;
};

// FileReplacement: gives a file a new content so that at every instant the
// file is either all of its old content or all of its new one.
//
// begin() locks the file's directory against other copies of the program
// (flock, held until the object ends), opens the old file for reading (a
// missing one reads as empty) and creates the scratch file, fresh, in the
// same directory. The new content goes to the scratch file with write();
// commit() flushes it, fsyncs and closes it, renames it over the file in one
// step and fsyncs the directory. Every call is checked: any failure makes
// the operation fail, and then (or when the object ends uncommitted) the
// scratch file is removed and the old file is left exactly as it was.
//
// The new file keeps the old one's permission bits; a new one gets 0666
// less the umask. A file that is a symbolic link stays the link: its target
// gets the new content (the scratch file is made beside the target). A link
// to nothing, or a file that is not a regular file, is a failure.
#pragma once

#include <sys/types.h>

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
  // scratch file is `scratchName` in the directory of the file itself.
  bool begin(const std::string& path, const std::string& scratchName);
  // The next bytes of the old content: > 0 bytes read, 0 at its end, -1 on
  // a read error (which makes commit() impossible).
  ssize_t readOld(char* buffer, std::size_t size);
  bool write(std::string_view bytes);
  bool commit();

  // Why the last call failed, for messages and tests.
  const std::string& error() const { return error_; }

 private:
  bool fail(const std::string& what);
  bool flush();
  void abandon();

  FileSystem& files_;
  int directory_ = -1;
  int old_ = -1;
  int scratch_ = -1;
  std::string target_;
  std::string scratchPath_;
  std::string buffer_;
  bool createdScratch_ = false;
  bool failed_ = false;
  bool committed_ = false;
  std::string error_;
};

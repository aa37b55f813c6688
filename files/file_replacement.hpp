// FileReplacement: gives a file a new content so that at every instant the
// file is either all of its old content or all of its new one.
//
// begin() waits for the turn to replace files in the file's folder against
// other copies of the program (held until the object ends; see Turn), opens the old
// file for reading (a missing one reads as empty; one that is not a regular
// file is a failure) and creates the scratch file, fresh, in the same
// folder. The new content goes to the scratch file with write(); commit()
// writes out what is buffered, flushes the file to disk, closes it, puts it
// in place of the file in one step and flushes the folder. Every call is
// checked: any failure makes the operation fail, and then (or when the
// object ends uncommitted) the scratch file is removed and the old file is
// left exactly as it was.
//
// POSIX: the new file keeps the old one's permission bits (a new one gets
// 0666 less the umask), and a file that is a symbolic link stays the link:
// its target gets the new content (the scratch file is made beside the
// target). A link to nothing is a failure.
#pragma once

#include <string>
#include <string_view>

#include "file_system.hpp"

class FileReplacement {
 public:
  // WaitForTurn: other copies of the program take turns at the folder.
  // OwnFolder: the caller already keeps every other copy out of the folder
  // for good (the desk's morvalis.lock); taking the turn too would make it
  // wait for itself when it replaces one file while it holds the turn for
  // another.
  enum class Turn { WaitForTurn, OwnFolder };

  explicit FileReplacement(FileSystem& files = FileSystem::real(),
                           Turn turn = Turn::WaitForTurn)
      : files_(files), turn_(turn) {}
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // `path` is relative to the working directory or absolute; the scratch
  // file is `scratchName` in the folder of the file itself.
  bool begin(const std::string& path, const std::string& scratchName);
  // The next bytes of the old content: > 0 bytes read, 0 at its end, -1 on
  // a read error (which makes commit() impossible).
  long long readOld(char* buffer, std::size_t size);
  bool write(std::string_view bytes);
  bool commit();

  // Why the last call failed, for messages and tests. After a commit that
  // succeeded it may still say that the folder could not be flushed.
  const std::string& error() const { return error_; }
  // The kind of the failure that made the operation fail (None: it did not).
  FileFault fault() const { return fault_; }

 private:
  bool fail(const std::string& what);
  bool flush();
  void abandon();

  FileSystem& files_;
  Turn turn_;
  FileSystem::Handle lock_ = FileSystem::kNoFile;
  FileSystem::Handle old_ = FileSystem::kNoFile;
  FileSystem::Handle scratch_ = FileSystem::kNoFile;
  std::string target_;
  std::string scratchPath_;
  std::string buffer_;
  bool createdScratch_ = false;
  bool failed_ = false;
  bool committed_ = false;
  std::string error_;
  FileFault fault_ = FileFault::None;
};

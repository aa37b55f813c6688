// FileSystem: the few file calls the durable files (file_replacement,
// append_file, file_lock) are built from, one set per platform
// (posix/file_system.cpp: open, fsync, rename, flock; win32/file_system.cpp:
// CreateFileW, FlushFileBuffers, MoveFileExW, LockFileEx), behind one seam
// so tests can make any of them fail on purpose on either platform.
//
// Paths are relative to the working directory or absolute. A call that
// fails returns kNoFile, -1 or false and leaves its reason in the thread's
// error (errno, GetLastError), which reason(), wasMissing() and wasBusy()
// read; so they must be asked right after the failed call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Why a file call failed, in kinds a user can act on.
enum class FileFault { None, DiskFull, ReadOnly, NoAccess, NotAFile, Missing, Interrupted, Other };

// What tells one version of a file from the next without opening it.
struct FileStamp {
  long long size = -1;
  long long modified = 0;  // in the platform's units
  long long identity = 0;  // the file itself (inode, creation): a replacement differs
  bool folder = false;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

class FileSystem {
 public:
  using Handle = std::intptr_t;
  static constexpr Handle kNoFile = -1;

  virtual ~FileSystem() = default;

  // The path the content of `path` lives at: a symbolic link's target on
  // POSIX, the full path on Windows; `path` itself when it does not exist.
  // Empty when it cannot be found (a link to nothing).
  virtual std::string contentPath(const std::string& path);
  // An existing regular file for reading, shared with writers, readers and
  // its replacement. Never waits: a FIFO or a device is refused, as is a
  // folder.
  virtual Handle openRead(const std::string& path);
  // A file that must not exist yet, for writing, with the permission bits
  // of the open file `like` (kNoFile: the platform's default for new files).
  virtual Handle createNew(const std::string& path, Handle like);
  // A regular file for appending at its end, created when missing, shared
  // with readers and with its replacement.
  virtual Handle openAppend(const std::string& path);
  // Bytes read (0 at the end) or -1.
  virtual long long read(Handle file, char* buffer, std::size_t size);
  // Bytes written (at least 1) or -1.
  virtual long long write(Handle file, const char* bytes, std::size_t size);
  // The file's content and everything needed to read it back is on disk.
  virtual bool flushToDisk(Handle file);
  // The same for content appended to a file (fdatasync on POSIX).
  virtual bool flushDataToDisk(Handle file);
  // A failed close may have lost written data.
  virtual bool close(Handle file);
  // `from` takes the place of `to` in one step (both in one folder).
  virtual bool replace(const std::string& from, const std::string& to);
  // The folder's entries (a rename, a removal) are on disk.
  virtual bool flushFolder(const std::string& folder);
  virtual bool remove(const std::string& path);
  // The folder exists afterwards (made when missing; true when it was there).
  virtual bool makeFolder(const std::string& path);
  // Waits for this program's turn to replace files in `folder`, against
  // every other copy; the turn lasts until the handle is closed. A wait
  // ends unfinished (Interrupted) when a terminating signal (SIGTERM,
  // SIGINT, SIGHUP) comes, so the program can end.
  virtual Handle lockFolder(const std::string& folder);
  // Takes the lock file `path` (made when missing) unless another process
  // holds it; then kNoFile with wasBusy(). Held until the handle is closed.
  virtual Handle tryLock(const std::string& path);
  // The stamp of a file or folder, without opening it (so it never stands
  // in the way of a writer); false when it does not exist or cannot be
  // looked at.
  virtual bool stamp(const std::string& path, FileStamp& stamp);
  // The stamp of an open file. Asked of a file opened a moment before, it
  // is fresh also on a network share whose client caches what stat()
  // answers (sshfs for 20 s, NFS and SMB for seconds): the open goes to
  // the server.
  virtual bool stampOf(Handle file, FileStamp& stamp);

  // The names of the files in `folder`, in no order; empty when it cannot
  // be read.
  virtual std::vector<std::string> namesIn(const std::string& folder);

  // Why the latest failed call of this thread failed, in words.
  virtual std::string reason() const;
  // Whether it failed because the file or its folder does not exist.
  virtual bool wasMissing() const;
  // Whether it failed because another process holds the lock.
  virtual bool wasBusy() const;
  // Its kind.
  virtual FileFault fault() const;
  // Whether `path` still names the file open as `file` (the same device and
  // inode; on Windows the same volume and file index). False when the name
  // is gone or names another file, or the question cannot be answered.
  virtual bool sameFile(const std::string& path, Handle file);

  static FileSystem& real();
  // Waits of the file calls (the folder's turn) end, Interrupted, once
  // `asked` says the program is asked to end. On POSIX a pending SIGTERM,
  // SIGINT or SIGHUP ends them as well; on Windows the console says it.
  static void endWaitsWhen(bool (*asked)());
};

// The folder part of a path ("." when it has none).
std::string folderOf(const std::string& path);
// `name` in the folder of `path`.
std::string besideOf(const std::string& path, const std::string& name);

// The whole content of a regular file. Missing: the file does not exist.
enum class ReadOutcome { Read, Missing, Failed };
ReadOutcome readWholeFile(FileSystem& files, const std::string& path, std::string& content,
                          std::string& error);

// ShiftLog: the file "data.txt" in the working directory, one line per
// finished shift, newest first:
//   name, " ", start, " ", end, " ", samples, " ", "voksne " or "boern ", CR LF
// (start and end are ClockValues with two decimals; the name is the bytes as
// typed). A missing file is an empty log.
//
// add() puts a line at the top by building the whole new log in "temp.txt"
// and putting it in place of "data.txt" in one atomic step. Old lines are
// copied byte for byte, except that a CR is dropped and every LF is written
// as CR LF. `beforeCommit`, when given, runs once the whole new log is
// built and before it takes the old one's place, with the size of the old
// log in bytes; when it says no, the log is left as it was. On any failure
// (and that no) it returns false and "data.txt" is exactly
// as it was, with no "temp.txt" left behind.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "file_system.hpp"

class rum;

class ShiftLog {
 public:
  static constexpr const char* kFileName = "data.txt";
  static constexpr const char* kScratchName = "temp.txt";

  explicit ShiftLog(FileSystem& files = FileSystem::real()) : files_(files) {}

  bool add(const std::string& line,
           const std::function<bool(long long oldSize)>& beforeCommit = {});
  const std::string& lastError() const { return error_; }
  FileFault lastFault() const { return fault_; }
  // Why the last add() failed, in the panel's one line of Danish (at most
  // 41 cells).
  std::string faultLine() const;

  // The line of a finished shift that ended at `end` (a ClockValue).
  static std::string lineOf(const rum& shift, double end);
  // Whether `line` is one of the lines the log `log` gained on top since
  // it was `oldSize` bytes long: the top one, or one below lines another
  // desk sharing the log put on top since.
  static bool addedSince(std::string_view log, long long oldSize, std::string_view line);
  // Appends old log content to `out` with its line ends made CR LF.
  static void appendCopied(std::string& out, std::string_view old);

 private:
  FileSystem& files_;
  std::string error_;
  FileFault fault_ = FileFault::None;
};

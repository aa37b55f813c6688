#include "shift_log.hpp"

#include "clock_value.hpp"
#include "file_replacement.hpp"
#include "rum.hpp"

std::string ShiftLog::lineOf(const rum& shift, double end) {
  return shift.getName() + " " + fixed2(shift.getStartTime()) + " " + fixed2(end) + " " +
         std::to_string(shift.getSamples()) + " " +
         (shift.getCategory() == 1 ? "voksne " : "boern ") + "\r\n";
}

void ShiftLog::appendCopied(std::string& out, std::string_view old) {
  // Runs without line-end bytes go over whole; logs are mostly such runs.
  const char* p = old.data();
  const char* const end = p + old.size();
  while (p < end) {
    const char* run = p;
    while (p < end && *p != '\r' && *p != '\n') ++p;
    out.append(run, p);
    if (p == end) break;
    if (*p == '\n') out += "\r\n";
    ++p;
  }
}

bool ShiftLog::addedSince(std::string_view log, long long oldSize, std::string_view line) {
  if (oldSize < 0 || log.size() < static_cast<std::size_t>(oldSize) + line.size()) return false;
  const std::size_t gained = log.size() - static_cast<std::size_t>(oldSize);
  for (std::size_t at = 0; at < gained;) {
    if (log.compare(at, line.size(), line) == 0) return true;
    const auto end = log.find('\n', at);
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  return false;
}

bool ShiftLog::add(const std::string& line,
                   const std::function<bool(long long oldSize)>& beforeCommit) {
  FileReplacement file(files_);
  bool ok = file.begin(kFileName, kScratchName) && file.write(line);
  char buffer[1 << 16];
  std::string copied;
  long long oldSize = 0;
  while (ok) {
    const auto n = file.readOld(buffer, sizeof buffer);
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    oldSize += n;
    copied.clear();
    appendCopied(copied, std::string_view(buffer, static_cast<std::size_t>(n)));
    ok = file.write(copied);
  }
  const bool agreed = !ok || !beforeCommit || beforeCommit(oldSize);
  ok = ok && agreed && file.commit();
  error_ = agreed ? file.error() : "not kept: the day's store did not take the departure";
  fault_ = ok ? FileFault::None : file.fault();
  return ok;
}

std::string ShiftLog::faultLine() const {
  switch (fault_) {
    case FileFault::DiskFull:
      return "data.txt kan ikke skrives: disken er fuld";
    case FileFault::ReadOnly:
      return "data.txt kan ikke skrives: skrivebeskyttet";
    case FileFault::NoAccess:
      return "data.txt kan ikke skrives: ingen adgang";
    case FileFault::NotAFile:
      return "data.txt er ikke en almindelig fil";
    case FileFault::Missing:
      return "data.txt kan ikke skrives: mappen mangler";
    case FileFault::Interrupted:
      return "data.txt blev ikke skrevet: afbrudt";
    default:
      return "data.txt kan ikke skrives: ukendt fejl";
  }
}

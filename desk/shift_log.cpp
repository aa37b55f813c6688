#include "shift_log.hpp"

#include <algorithm>

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
  while (!old.empty()) {
    const std::size_t end = std::min(old.find_first_of("\r\n"), old.size());
    out.append(old.substr(0, end));
    if (end == old.size()) break;
    if (old[end] == '\n') out += "\r\n";
    old.remove_prefix(end + 1);
  }
}

bool ShiftLog::add(const std::string& line) {
  FileReplacement file(files_);
  bool ok = file.begin(kFileName, kScratchName) && file.write(line);
  char buffer[1 << 16];
  std::string copied;
  while (ok) {
    const ssize_t n = file.readOld(buffer, sizeof buffer);
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    copied.clear();
    appendCopied(copied, std::string_view(buffer, static_cast<std::size_t>(n)));
    ok = file.write(copied);
  }
  ok = ok && file.commit();
  error_ = file.error();
  return ok;
}

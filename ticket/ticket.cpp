#include "ticket.hpp"

#include <algorithm>
#include <cstdio>

namespace {

constexpr char kEsc = 0x1B, kGs = 0x1D;

std::string printable(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b != 0x7F) out += c;
  }
  return out;
}

std::string command(std::initializer_list<int> bytes) {
  std::string out;
  for (const int b : bytes) out += static_cast<char>(b);
  return out;
}

// The clinic's line in lines of at most kTicketColumns, broken at a blank
// (a word longer than a line is cut), so the printer never breaks a word.
std::string wrapped(const std::string& text) {
  std::string out, line;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    std::string word = text.substr(at, end - at);
    at = end + 1;
    while (word.size() > kTicketColumns) {
      if (!line.empty()) out += line + '\n';
      line.clear();
      out += word.substr(0, kTicketColumns) + '\n';
      word.erase(0, kTicketColumns);
    }
    if (word.empty()) continue;
    if (!line.empty() && line.size() + 1 + word.size() > kTicketColumns) {
      out += line + '\n';
      line.clear();
    }
    line += line.empty() ? word : ' ' + word;
  }
  if (!line.empty()) out += line + '\n';
  return out;
}

}  // namespace

std::string ticketBytes(const Ticket& t) {
  // Appended piece by piece (no "text" + string, which GCC 12 warns of
  // wrongly at -O3).
  std::string out = command({kEsc, '@'});  // initialise
  out += command({kEsc, 't', 5});          // code page 865
  out += command({kEsc, 'a', 1});          // centred
  if (!t.clinic.empty()) {
    out += command({kEsc, 'E', 1});
    out += wrapped(printable(t.clinic));
    out += command({kEsc, 'E', 0});
  }
  out += '\n';
  out += command({kGs, '!', 0x77});  // 8 x 8, the largest
  out += std::to_string(t.number);
  out += '\n';
  out += command({kGs, '!', 0x11});
  out += t.category == 1 ? "Voksen" : "Barn";
  out += '\n';
  out += command({kGs, '!', 0x00});
  out += '\n';
  out += printable(t.when);
  out += "\nForan dig: ";
  out += std::to_string(t.ahead);
  out += '\n';
  if (t.expectedMinutes) {
    out += "Forventet ventetid: ca. ";
    out += std::to_string(*t.expectedMinutes);
    out += " min\n";
  }
  out += command({kGs, 'V', 66, 3});  // feed three lines and cut
  return out;
}

std::string ticketTime(int year, int month, int day, int secondOfDay) {
  char when[48];
  std::snprintf(when, sizeof when, "%02d-%02d-%04d kl. %02d:%02d", day, month, year, secondOfDay / 3600,
                secondOfDay / 60 % 60);
  return when;
}

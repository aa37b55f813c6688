#include "ticket.hpp"

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

}  // namespace

std::string ticketBytes(const Ticket& t) {
  std::string out = command({kEsc, '@'});   // initialise
  out += command({kEsc, 't', 5});           // code page 865
  out += command({kEsc, 'a', 1});           // centred
  if (!t.clinic.empty()) out += command({kEsc, 'E', 1}) + printable(t.clinic) + "\n" + command({kEsc, 'E', 0});
  out += "\n" + command({kGs, '!', 0x77}) + std::to_string(t.number) + "\n";
  out += command({kGs, '!', 0x11}) + (t.category == 1 ? "Voksen" : "Barn") + "\n";
  out += command({kGs, '!', 0x00}) + "\n" + printable(t.when) + "\n";
  out += "Foran dig: " + std::to_string(t.ahead) + "\n";
  if (t.expectedMinutes) {
    out += "Forventet ventetid: ca. " + std::to_string(*t.expectedMinutes) + " min\n";
  }
  out += command({kGs, 'V', 66, 3});  // feed three lines and cut
  return out;
}

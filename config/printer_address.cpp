#include "printer_address.hpp"

bool networkAddress(const std::string& address, std::string& host, std::string& port) {
  const auto colon = address.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == address.size()) return false;
  for (std::size_t i = colon + 1; i < address.size(); ++i) {
    if (address[i] < '0' || address[i] > '9') return false;
  }
  host = address.substr(0, colon);
  port = address.substr(colon + 1);
  return true;
}

namespace {

// A host name or address the way people type one: letters, digits, dots,
// dashes, and the colons of an IPv6 address.
bool looksLikeHost(const std::string& text) {
  if (text.empty()) return false;
  bool dot = false;
  for (const char c : text) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                    c == '.' || c == '-' || c == ':';
    if (!ok) return false;
    dot = dot || c == '.' || c == ':';
  }
  return dot;
}

}  // namespace

std::string printerAddressProblem(const std::string& address) {
  if (address.empty()) return "printer er tom";
  std::string host, port;
  if (networkAddress(address, host, port)) {
    if (port.size() > 5 || std::stoi(port) < 1 || std::stoi(port) > 65535) return "printer har en forkert port";
    return "";
  }
  if (address.rfind("cups:", 0) == 0) return address.size() > 5 ? "" : "printer mangler koeens navn";
  if (address.back() == ':') return "printer mangler port (fx :9100)";
#ifdef _WIN32
  // Anything else is an installed printer's name, or a COM port; a bare
  // address is a network printer without its port.
  const bool bareAddress = looksLikeHost(address) && address.find(' ') == std::string::npos &&
                           address.find_first_not_of("0123456789.:") == std::string::npos;
  return bareAddress ? "printer mangler port (fx :9100)" : "";
#else
  if (address[0] == '/') return "";
  if (looksLikeHost(address)) return "printer mangler port (fx :9100)";
  return "printer forstaas ikke (HOST:PORT, /dev/..., cups:KOE)";
#endif
}

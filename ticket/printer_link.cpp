#include "printer_link.hpp"

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

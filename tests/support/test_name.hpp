// A readable, stable GoogleTest name from a case's description: its words
// joined in CamelCase, everything but letters and digits dropped
// ("disk full at the first write" -> "DiskFullAtTheFirstWrite").
#pragma once

#include <cctype>
#include <string>

inline std::string testNameOf(const std::string& description) {
  std::string name;
  bool upper = true;
  for (const char c : description) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
      upper = false;
    } else {
      upper = true;
    }
  }
  return name;
}

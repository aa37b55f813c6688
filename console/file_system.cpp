#include "file_system.hpp"

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string besideOf(const std::string& path, const std::string& name) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? name : path.substr(0, slash + 1) + name;
}

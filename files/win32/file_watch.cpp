// No folder watch on Windows: the display's polling sees every change
// (and works the same on network shares).
#include "file_watch.hpp"

FileWatch::FileWatch(const std::string& folder) : folder_(folder) {}
FileWatch::~FileWatch() = default;
std::intptr_t FileWatch::handle() const {
  return -1;
}
void FileWatch::drain() {}

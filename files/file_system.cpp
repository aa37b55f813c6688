#include "file_system.hpp"

#include <filesystem>

namespace {
bool (*g_endAsked)() = nullptr;
}

void FileSystem::endWaitsWhen(bool (*asked)()) {
  g_endAsked = asked;
}

// For the platforms' waits.
bool endOfWaitsAsked() {
  return g_endAsked && g_endAsked();
}

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string besideOf(const std::string& path, const std::string& name) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? name : path.substr(0, slash + 1) + name;
}

ReadOutcome readWholeFile(FileSystem& files, const std::string& path, std::string& content,
                          std::string& error) {
  content.clear();
  const auto file = files.openRead(path);
  if (file == FileSystem::kNoFile) {
    if (files.wasMissing()) return ReadOutcome::Missing;
    error = "cannot read " + path + ": " + files.reason();
    return ReadOutcome::Failed;
  }
  // Room for it all at once: a long journal grown piece by piece costs
  // more in moving memory than in reading.
  FileStamp size;
  if (files.stampOf(file, size) && size.size > 0) content.reserve(static_cast<std::size_t>(size.size) + 1);
  char buffer[1 << 16];
  for (;;) {
    const long long n = files.read(file, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      error = "cannot read " + path + ": " + files.reason();
      files.close(file);
      return ReadOutcome::Failed;
    }
    content.append(buffer, static_cast<std::size_t>(n));
  }
  files.close(file);
  return ReadOutcome::Read;
}

std::vector<std::string> FileSystem::namesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code failed;
  for (std::filesystem::directory_iterator it(std::filesystem::path(folder), failed), end;
       !failed && it != end; it.increment(failed)) {
    if (it->is_regular_file(failed)) names.push_back(it->path().filename().string());
  }
  return names;
}

#include "file_system.hpp"

HANDLE FileSystem::createFile(const char* path, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

BOOL FileSystem::readFile(HANDLE file, void* buffer, DWORD size, DWORD* read) {
  return ReadFile(file, buffer, size, read, nullptr);
}

BOOL FileSystem::writeFile(HANDLE file, const void* buffer, DWORD size, DWORD* written) {
  return WriteFile(file, buffer, size, written, nullptr);
}

BOOL FileSystem::flushFileBuffers(HANDLE file) {
  return FlushFileBuffers(file);
}

BOOL FileSystem::closeHandle(HANDLE handle) {
  return CloseHandle(handle);
}

BOOL FileSystem::moveFileEx(const char* from, const char* to, DWORD flags) {
  return MoveFileExA(from, to, flags);
}

BOOL FileSystem::deleteFile(const char* path) {
  return DeleteFileA(path);
}

std::string FileSystem::fullPath(const char* path) {
  char buffer[MAX_PATH];
  const DWORD n = GetFullPathNameA(path, sizeof buffer, buffer, nullptr);
  if (n == 0 || n >= sizeof buffer) return {};
  return std::string(buffer, n);
}

FileSystem& FileSystem::real() {
  static FileSystem files;
  return files;
}

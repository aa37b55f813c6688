// FileSystem: the Windows file calls the shift log makes, behind one seam
// so tests can make any of them fail on purpose. Each has the meaning and
// the result of the Win32 call of the same name (failure: the call's failure
// value, with the reason in GetLastError()).
#pragma once

#include <windows.h>

#include <string>

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual HANDLE createFile(const char* path, DWORD access, DWORD share, DWORD disposition);
  virtual BOOL readFile(HANDLE file, void* buffer, DWORD size, DWORD* read);
  virtual BOOL writeFile(HANDLE file, const void* buffer, DWORD size, DWORD* written);
  virtual BOOL flushFileBuffers(HANDLE file);
  virtual BOOL closeHandle(HANDLE handle);
  virtual BOOL moveFileEx(const char* from, const char* to, DWORD flags);
  virtual BOOL deleteFile(const char* path);
  // The full path of `path` (GetFullPathNameA); empty on failure.
  virtual std::string fullPath(const char* path);

  static FileSystem& real();
};

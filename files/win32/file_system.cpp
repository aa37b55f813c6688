// The file calls on Windows.
#include "file_system.hpp"

#include <windows.h>

#include <algorithm>
#include <vector>

bool endOfWaitsAsked();  // file_system.cpp

namespace {

HANDLE toHandle(FileSystem::Handle h) {
  return reinterpret_cast<HANDLE>(h);
}
FileSystem::Handle fromHandle(HANDLE h) {
  return h == INVALID_HANDLE_VALUE ? FileSystem::kNoFile : reinterpret_cast<FileSystem::Handle>(h);
}

// Readers and writers of the journal and the log never stand in each
// other's way, and a file open here can still be replaced or removed.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The lock file that stands for the folder; its byte 0 is the lock of the
// one desk of the folder (tryLock), byte 1 the turn to replace files.
constexpr const char* kFolderLockName = "morvalis.lock";

// The path as the wide file calls take it at any length: where its full
// form would pass MAX_PATH (less room for a scratch name), the long form
// (\\?\\ or \\?\\UNC\\), which those calls take up to 32,767 characters.
std::wstring longPath(const std::string& path) {
  const int size = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(std::max(size, 1)), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), size);
  wide.resize(wide.size() - 1);
  if (wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  const DWORD fullSize = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (fullSize == 0 || fullSize + 16 < MAX_PATH) return wide;
  std::wstring full(fullSize, L'\0');
  const DWORD n = GetFullPathNameW(wide.c_str(), fullSize, full.data(), nullptr);
  if (n == 0 || n >= fullSize) return wide;
  full.resize(n);
  return full.rfind(L"\\\\", 0) == 0 ? L"\\\\?\\UNC\\" + full.substr(2) : L"\\\\?\\" + full;
}

HANDLE openLockFile(const std::string& path) {
  return CreateFileW(longPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

FileSystem::Handle lockByte(HANDLE file, DWORD byte, DWORD flags) {
  if (file == INVALID_HANDLE_VALUE) return FileSystem::kNoFile;
  OVERLAPPED at{};
  at.Offset = byte;
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | flags, 0, 1, 0, &at)) {
    const DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return FileSystem::kNoFile;
  }
  return fromHandle(file);  // closing the handle releases the lock
}

}  // namespace

std::string FileSystem::contentPath(const std::string& path) {
  // Through the wide call and back: no MAX_PATH limit.
  const std::wstring wide = longPath(path);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return {};
  std::wstring full(size, L'\0');
  const DWORD n = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (n == 0 || n >= size) return {};
  full.resize(n);
  if (full.rfind(L"\\\\?\\", 0) == 0) full.erase(0, 4);  // longPath adds it again
  const int bytes = WideCharToMultiByte(CP_ACP, 0, full.c_str(), static_cast<int>(full.size()),
                                        nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(std::max(bytes, 0)), '\0');
  WideCharToMultiByte(CP_ACP, 0, full.c_str(), static_cast<int>(full.size()), out.data(), bytes,
                      nullptr, nullptr);
  return out;
}

FileSystem::Handle FileSystem::openRead(const std::string& path) {
  return fromHandle(CreateFileW(longPath(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileSystem::Handle FileSystem::createNew(const std::string& path, Handle) {
  return fromHandle(CreateFileW(longPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileSystem::Handle FileSystem::openAppend(const std::string& path) {
  return fromHandle(CreateFileW(longPath(path).c_str(), FILE_APPEND_DATA, kShareAll, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

long long FileSystem::read(Handle file, char* buffer, std::size_t size) {
  DWORD read = 0;
  const auto n = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
  if (!ReadFile(toHandle(file), buffer, n, &read, nullptr)) return -1;
  return read;
}

long long FileSystem::write(Handle file, const char* bytes, std::size_t size) {
  DWORD written = 0;
  const auto n = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
  if (!WriteFile(toHandle(file), bytes, n, &written, nullptr)) return -1;
  if (written == 0) {
    SetLastError(ERROR_WRITE_FAULT);
    return -1;
  }
  return written;
}

bool FileSystem::flushToDisk(Handle file) {
  return FlushFileBuffers(toHandle(file));
}

bool FileSystem::flushDataToDisk(Handle file) {
  return FlushFileBuffers(toHandle(file));
}

bool FileSystem::close(Handle file) {
  return CloseHandle(toHandle(file));
}

bool FileSystem::replace(const std::string& from, const std::string& to) {
  // A read-only file is replaced as on Linux, and the new one is read-only
  // again (MoveFileEx refuses to replace it otherwise).
  const std::wstring target = longPath(to);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  const bool readOnly =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly) SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  // A reader that has the file open for a moment (the display, a virus
  // scanner, the search indexer) can make Windows refuse the replacement
  // for as long: try again a few times over some tens of milliseconds.
  bool moved = false;
  for (int attempt = 0; attempt < 6; ++attempt) {
    moved = MoveFileExW(longPath(from).c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    const DWORD error = GetLastError();
    if (moved || (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED)) break;
    Sleep(10);
  }
  if (readOnly) {
    const DWORD error = GetLastError();
    SetFileAttributesW(target.c_str(), attributes);
    SetLastError(error);
  }
  return moved;
}

bool FileSystem::flushFolder(const std::string&) {
  return true;  // MOVEFILE_WRITE_THROUGH already waited for the folder
}

bool FileSystem::remove(const std::string& path) {
  return DeleteFileW(longPath(path).c_str());
}

FileSystem::Handle FileSystem::lockFolder(const std::string& folder) {
  // Asked again and again rather than waited for in one call, so that a
  // request to end (Ctrl+C, the window closed) ends the wait too.
  for (;;) {
    const Handle held =
        lockByte(openLockFile(folder + "\\" + kFolderLockName), 1, LOCKFILE_FAIL_IMMEDIATELY);
    if (held != kNoFile || GetLastError() != ERROR_LOCK_VIOLATION) return held;
    if (endOfWaitsAsked()) {
      SetLastError(ERROR_OPERATION_ABORTED);
      return kNoFile;
    }
    Sleep(20);
  }
}

FileSystem::Handle FileSystem::tryLock(const std::string& path) {
  return lockByte(openLockFile(path), 0, LOCKFILE_FAIL_IMMEDIATELY);
}

namespace {

// Both kinds of the system's file information have these fields alike.
template <typename Info>
FileStamp stampFrom(const Info& info) {
  const auto wide = [](DWORD high, DWORD low) {
    return static_cast<long long>((static_cast<unsigned long long>(high) << 32) | low);
  };
  // The creation time stands in for the file itself, since a replacement
  // is a file made anew (the file index needs a handle).
  return FileStamp{wide(info.nFileSizeHigh, info.nFileSizeLow),
                   wide(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime),
                   wide(info.ftCreationTime.dwHighDateTime, info.ftCreationTime.dwLowDateTime),
                   (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
}

}  // namespace

bool FileSystem::stamp(const std::string& path, FileStamp& stamp) {
  WIN32_FILE_ATTRIBUTE_DATA info{};
  if (!GetFileAttributesExW(longPath(path).c_str(), GetFileExInfoStandard, &info)) return false;
  stamp = stampFrom(info);
  return true;
}

bool FileSystem::stampOf(Handle file, FileStamp& stamp) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(toHandle(file), &info)) return false;
  stamp = stampFrom(info);
  return true;
}

bool FileSystem::makeFolder(const std::string& path) {
  if (CreateDirectoryW(longPath(path).c_str(), nullptr)) return true;
  if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  const DWORD attributes = GetFileAttributesW(longPath(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  SetLastError(ERROR_DIRECTORY);
  return false;
}

bool FileSystem::sameFile(const std::string& path, Handle file) {
  // A file removed while open keeps its name on Windows until the last
  // handle closes, and goes then with everything written to it.
  FILE_STANDARD_INFO standard{};
  if (GetFileInformationByHandleEx(toHandle(file), FileStandardInfo, &standard, sizeof standard) &&
      standard.DeletePending) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  // The file index needs a handle: one that asks for no access and shares
  // everything, so it stands in nobody's way.
  const HANDLE named = CreateFileW(longPath(path).c_str(), 0,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (named == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION a{}, b{};
  const bool same = GetFileInformationByHandle(named, &a) &&
                    GetFileInformationByHandle(toHandle(file), &b) &&
                    a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                    a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
  const DWORD error = GetLastError();
  CloseHandle(named);
  SetLastError(error);
  return same;
}

std::string FileSystem::reason() const {
  const DWORD code = GetLastError();
  char text[256] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, text, sizeof text, nullptr);
  std::string reason(text, n);
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) {
    reason.pop_back();
  }
  SetLastError(code);
  return reason.empty() ? "error " + std::to_string(code) : reason;
}

bool FileSystem::wasMissing() const {
  const DWORD code = GetLastError();
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

bool FileSystem::wasBusy() const {
  return GetLastError() == ERROR_LOCK_VIOLATION;
}

FileFault FileSystem::fault() const {
  switch (GetLastError()) {
    case ERROR_SUCCESS:
      return FileFault::None;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FileFault::DiskFull;
    case ERROR_WRITE_PROTECT:
      return FileFault::ReadOnly;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FileFault::NoAccess;
    case ERROR_DIRECTORY:
    case ERROR_INVALID_NAME:
      return FileFault::NotAFile;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return FileFault::Missing;
    case ERROR_OPERATION_ABORTED:
      return FileFault::Interrupted;
    default:
      return FileFault::Other;
  }
}

FileSystem& FileSystem::real() {
  static FileSystem files;
  return files;
}

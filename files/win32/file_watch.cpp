// The folder's change notification: a file made, removed, renamed, or
// written to (its size or time), as the journal's appends and replacement
// do. Network shares answer it too where their server does; the display's
// polling covers those that do not.
#include "file_watch.hpp"

#include <windows.h>

namespace {
constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
}

FileWatch::FileWatch(const std::string& folder) : folder_(folder) {
  drain();
}

FileWatch::~FileWatch() {
  if (notification_) FindCloseChangeNotification(notification_);
}

std::intptr_t FileWatch::handle() const {
  return notification_ ? reinterpret_cast<std::intptr_t>(notification_) : -1;
}

void FileWatch::drain() {
  // Armed again for the next change; a folder gone away is watched anew.
  if (notification_ && FindNextChangeNotification(notification_)) return;
  if (notification_) FindCloseChangeNotification(notification_);
  const HANDLE made = FindFirstChangeNotificationA(folder_.c_str(), FALSE, kChanges);
  notification_ = made == INVALID_HANDLE_VALUE ? nullptr : made;
}

bool FileWatch::wait(int ms) const {
  if (!notification_) return false;
  return WaitForSingleObject(notification_, static_cast<DWORD>(ms)) == WAIT_OBJECT_0;
}

#include "console.hpp"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {
ConsoleDevice* g_device = nullptr;
}

void Console::attach(ConsoleDevice* device) {
  g_device = device;
}
ConsoleDevice* Console::device() {
  return g_device;
}

void Console::clear() {
  if (g_device) g_device->clear();
}

void Console::moveTo(int column, int row) {
  if (g_device) g_device->moveTo(column, row);
}

void Console::setTextColor(int color) {
  if (g_device) g_device->setTextColor(color);
}

void Console::setBackground(int color) {
  if (g_device) g_device->setBackground(color);
}

void Console::setCursorShape(CursorShape shape) {
  if (g_device) g_device->setCursorShape(shape);
}

void Console::print(const char* format, ...) {
  if (!g_device) return;
  char small[256];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  // The length comes from vsnprintf, not strlen: "%c" of 0 is a real byte.
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) {
    va_end(again);
    return;
  }
  if (static_cast<std::size_t>(n) < sizeof small) {
    g_device->write(std::string_view(small, static_cast<std::size_t>(n)));
  } else {
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, again);
    big.resize(static_cast<std::size_t>(n));
    g_device->write(big);
  }
  va_end(again);
}

int Console::readKey() {
  if (!g_device) throw ConsoleClosed{};
  return g_device->readKey();
}

std::optional<int> Console::readKeyWithin(int timeoutMs) {
  if (!g_device) throw ConsoleClosed{};
  return g_device->readKeyWithin(timeoutMs);
}

std::pair<int, int> Console::windowSize() {
  return g_device ? g_device->windowSize() : std::pair<int, int>{0, 0};
}

void Console::resizeScreen(int columns, int rows) {
  if (g_device) g_device->resize(columns, rows);
}

void Console::wakeOn(std::intptr_t handle) {
  if (g_device) g_device->wakeOn(handle);
}

Blocks Console::blocks() {
  return g_device ? g_device->blocks() : Blocks::Half;
}

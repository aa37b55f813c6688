// Virtual key table: the key codes of a console key event, as the Win32
// console delivers it (virtual-key code, character byte in the console's
// input code page, modifier state).
//
// A key press with a character byte gives that byte as a signed byte (0x91
// is -111). One without a character is looked up by its virtual-key code in
// the column the modifiers choose: either Alt, else either Ctrl, else Shift,
// else Normal. A plain entry gives its code; an extended entry gives 0 and
// then its second code (PC BIOS codes: F1 is 0, 59). Key releases, keys not
// in the table (Shift, Ctrl, Alt alone...) and empty entries give nothing.
// With Num Lock on, Delete without a character is the keypad's '.' key.
// The values below are the Win32 ones; this file does not need windows.h.
#pragma once

#include <cstdint>
#include <optional>

struct ConsoleKeyEvent {
  static constexpr std::uint32_t kRightAlt = 0x0001;
  static constexpr std::uint32_t kLeftAlt = 0x0002;
  static constexpr std::uint32_t kRightCtrl = 0x0004;
  static constexpr std::uint32_t kLeftCtrl = 0x0008;
  static constexpr std::uint32_t kShift = 0x0010;
  static constexpr std::uint32_t kNumLock = 0x0020;

  bool down = true;
  std::uint16_t virtualKey = 0;
  std::uint8_t character = 0;
  std::uint32_t modifiers = 0;
};

struct KeyCodes {
  int first;                   // the code readKey returns now
  std::optional<int> pending;  // an extended key's second code, for the next read
  friend bool operator==(const KeyCodes&, const KeyCodes&) = default;
};

std::optional<KeyCodes> keyCodesOf(const ConsoleKeyEvent& event);

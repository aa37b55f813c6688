#include "virtual_key_table.hpp"

#include <array>

namespace {

// One entry: nothing, a plain code, or an extended key's second code.
struct Entry {
  enum Kind : std::uint8_t { None, Plain, Extended } kind = None;
  std::uint8_t code = 0;
};
constexpr Entry none() {
  return {};
}
constexpr Entry plain(int code) {
  return {Entry::Plain, static_cast<std::uint8_t>(code)};
}
constexpr Entry ext(int code) {
  return {Entry::Extended, static_cast<std::uint8_t>(code)};
}

struct Row {
  std::uint16_t virtualKey;
  std::array<Entry, 4> columns;  // Normal, Shift, Ctrl, Alt
};

constexpr std::uint16_t kDecimal = 0x6E;
constexpr std::uint16_t kDelete = 0x2E;

// The 89 rows: the keys of a US keyboard with their PC BIOS codes.
constexpr Row kRows[] = {
    {0x08, {plain(8), plain(8), plain(127), ext(0x0E)}},      // Backspace
    {0x09, {plain(9), ext(0x0F), ext(0x94), ext(0xA5)}},      // Tab
    {0x0D, {plain(13), plain(13), plain(10), ext(0xA6)}},     // Enter
    {0x1B, {plain(27), plain(27), plain(27), ext(0x01)}},     // Esc
    {0x20, {plain(32), plain(32), ext(0x03), plain(32)}},     // Space
    {0x30, {plain('0'), plain(')'), none(), ext(0x81)}},      // digits
    {0x31, {plain('1'), plain('!'), none(), ext(0x78)}},      //
    {0x32, {plain('2'), plain('@'), ext(0x03), ext(0x79)}},   //
    {0x33, {plain('3'), plain('#'), none(), ext(0x7A)}},      //
    {0x34, {plain('4'), plain('$'), none(), ext(0x7B)}},      //
    {0x35, {plain('5'), plain('%'), none(), ext(0x7C)}},      //
    {0x36, {plain('6'), plain('^'), plain(30), ext(0x7D)}},   //
    {0x37, {plain('7'), plain('&'), none(), ext(0x7E)}},      //
    {0x38, {plain('8'), plain('*'), none(), ext(0x7F)}},      //
    {0x39, {plain('9'), plain('('), none(), ext(0x80)}},      //
    {0x21, {ext(0x49), ext(0x49), ext(0x84), ext(0x99)}},     // Page Up
    {0x22, {ext(0x51), ext(0x51), ext(0x76), ext(0xA1)}},     // Page Down
    {0x23, {ext(0x4F), ext(0x4F), ext(0x75), ext(0x9F)}},     // End
    {0x24, {ext(0x47), ext(0x47), ext(0x77), ext(0x97)}},     // Home
    {0x25, {ext(0x4B), ext(0x4B), ext(0x73), ext(0x9B)}},     // Left
    {0x26, {ext(0x48), ext(0x48), ext(0x8D), ext(0x98)}},     // Up
    {0x27, {ext(0x4D), ext(0x4D), ext(0x74), ext(0x9D)}},     // Right
    {0x28, {ext(0x50), ext(0x50), ext(0x91), ext(0xA0)}},     // Down
    {0x2D, {ext(0x52), ext(0x52), ext(0x92), ext(0xA2)}},     // Insert
    {kDelete, {ext(0x53), ext(0x53), ext(0x93), ext(0xA3)}},  // Delete
    {0x60, {plain('0'), plain('0'), ext(0x92), none()}},      // keypad digits
    {0x61, {plain('1'), plain('1'), ext(0x75), none()}},      //
    {0x62, {plain('2'), plain('2'), ext(0x91), none()}},      //
    {0x63, {plain('3'), plain('3'), ext(0x76), none()}},      //
    {0x64, {plain('4'), plain('4'), ext(0x73), none()}},      //
    {0x65, {plain('5'), plain('5'), ext(0x8F), none()}},      //
    {0x66, {plain('6'), plain('6'), ext(0x74), none()}},      //
    {0x67, {plain('7'), plain('7'), ext(0x77), none()}},      //
    {0x68, {plain('8'), plain('8'), ext(0x8D), none()}},      //
    {0x69, {plain('9'), plain('9'), ext(0x84), none()}},      //
    {0x6A, {plain('*'), plain('*'), ext(0x96), ext(0x37)}},   // keypad *
    {0x6B, {plain('+'), plain('+'), ext(0x90), ext(0x4E)}},   // keypad +
    {0x6D, {plain('-'), plain('-'), ext(0x8E), ext(0x4A)}},   // keypad -
    {kDecimal, {plain('.'), plain('.'), ext(0x93), none()}},  // keypad .
    {0x6F, {plain('/'), plain('/'), ext(0x95), ext(0xA4)}},   // keypad /
    {0x70, {ext(0x3B), ext(0x54), ext(0x5E), ext(0x68)}},     // F1
    {0x71, {ext(0x3C), ext(0x55), ext(0x5F), ext(0x69)}},     // F2
    {0x72, {ext(0x3D), ext(0x56), ext(0x60), ext(0x6A)}},     // F3
    {0x73, {ext(0x3E), ext(0x57), ext(0x61), ext(0x6B)}},     // F4
    {0x74, {ext(0x3F), ext(0x58), ext(0x62), ext(0x6C)}},     // F5
    {0x75, {ext(0x40), ext(0x59), ext(0x63), ext(0x6D)}},     // F6
    {0x76, {ext(0x41), ext(0x5A), ext(0x64), ext(0x6E)}},     // F7
    {0x77, {ext(0x42), ext(0x5B), ext(0x65), ext(0x6F)}},     // F8
    {0x78, {ext(0x43), ext(0x5C), ext(0x66), ext(0x70)}},     // F9
    {0x79, {ext(0x44), ext(0x5D), ext(0x67), ext(0x71)}},     // F10
    {0x7A, {ext(0x85), ext(0x87), ext(0x89), ext(0x8B)}},     // F11
    {0x7B, {ext(0x86), ext(0x88), ext(0x8A), ext(0x8C)}},     // F12
    {0xDC, {plain('\\'), plain('|'), plain(28), ext(0x2B)}},  // backslash
    {0xBF, {plain('/'), plain('?'), none(), ext(0x35)}},      // slash
    {0xBD, {plain('-'), plain('_'), plain(31), ext(0x82)}},   // minus
    {0xBB, {plain('='), plain('+'), none(), ext(0x83)}},      // equals
    {0xDB, {plain('['), plain('{'), plain(27), ext(0x1A)}},   // [
    {0xDD, {plain(']'), plain('}'), plain(29), ext(0x1B)}},   // ]
    {0xBA, {plain(';'), plain(':'), none(), ext(0x27)}},      // ;
    {0xDE, {plain('\''), plain('"'), none(), ext(0x28)}},     // '
    {0xBC, {plain(','), plain('<'), none(), ext(0x33)}},      // ,
    {0xBE, {plain('.'), plain('>'), none(), ext(0x34)}},      // .
    {0xC0, {plain('`'), plain('~'), none(), ext(0x29)}},      // grave accent
};

// The letters A..Z (virtual keys 0x41..0x5A), the 26 rows not written out:
// a letter without a character gives 0 alone, Shift its capital, Ctrl 1..26,
// Alt the extended code that is its scan code.
constexpr std::array<std::uint8_t, 26> kLetterScan = {
    0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
    0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C,
};

std::optional<Row> rowOf(std::uint16_t virtualKey) {
  if (virtualKey >= 'A' && virtualKey <= 'Z') {
    const int i = virtualKey - 'A';
    return Row{virtualKey, {plain(0), plain('A' + i), plain(1 + i), ext(kLetterScan[i])}};
  }
  for (const Row& row : kRows) {
    if (row.virtualKey == virtualKey) return row;
  }
  return std::nullopt;
}

int columnOf(std::uint32_t modifiers) {
  using E = ConsoleKeyEvent;
  if (modifiers & (E::kLeftAlt | E::kRightAlt)) return 3;
  if (modifiers & (E::kLeftCtrl | E::kRightCtrl)) return 2;
  if (modifiers & E::kShift) return 1;
  return 0;
}

}  // namespace

std::optional<KeyCodes> keyCodesOf(const ConsoleKeyEvent& event) {
  if (!event.down) return std::nullopt;
  if (event.character != 0) return KeyCodes{static_cast<signed char>(event.character), {}};
  std::uint16_t key = event.virtualKey;
  if (key == kDelete && (event.modifiers & ConsoleKeyEvent::kNumLock)) key = kDecimal;
  const auto row = rowOf(key);
  if (!row) return std::nullopt;
  const Entry entry = row->columns[static_cast<std::size_t>(columnOf(event.modifiers))];
  switch (entry.kind) {
    case Entry::Plain:
      return KeyCodes{entry.code, {}};
    case Entry::Extended:
      return KeyCodes{0, entry.code};
    default:
      return std::nullopt;
  }
}

// The Win32 console's key events as key codes: one table over the rows and
// columns that matter, and the rules around it.
#include <gtest/gtest.h>

#include "test_name.hpp"
#include "virtual_key_table.hpp"

namespace {

using E = ConsoleKeyEvent;

struct Case {
  const char* name;
  ConsoleKeyEvent event;
  std::optional<KeyCodes> codes;
};

KeyCodes ext(int second) {
  return KeyCodes{0, second};
}
KeyCodes plain(int code) {
  return KeyCodes{code, {}};
}

class VirtualKeyTable : public testing::TestWithParam<Case> {};

TEST_P(VirtualKeyTable, GivesTheKeyCodes) {
  EXPECT_EQ(keyCodesOf(GetParam().event), GetParam().codes);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, VirtualKeyTable,
    testing::Values(
        Case{"F1", {true, 0x70, 0, 0}, ext(59)}, Case{"F5", {true, 0x74, 0, 0}, ext(63)},
        Case{"Shift F1", {true, 0x70, 0, E::kShift}, ext(84)},
        Case{"Ctrl F1", {true, 0x70, 0, E::kRightCtrl}, ext(0x5E)},
        Case{"Alt wins over Ctrl and Shift",
             {true, 0x70, 0, E::kLeftAlt | E::kLeftCtrl | E::kShift},
             ext(0x68)},
        Case{"F12 Alt", {true, 0x7B, 0, E::kRightAlt}, ext(0x8C)},
        Case{"Ctrl Home", {true, 0x24, 0, E::kLeftCtrl}, ext(0x77)},
        Case{"Delete", {true, 0x2E, 0, 0}, ext(0x53)},
        Case{"Delete with Num Lock is the keypad point", {true, 0x2E, 0, E::kNumLock}, plain(46)},
        Case{"Ctrl Delete with Num Lock", {true, 0x2E, 0, E::kNumLock | E::kLeftCtrl}, ext(0x93)},
        Case{"Alt Delete with Num Lock has no entry",
             {true, 0x2E, 0, E::kNumLock | E::kLeftAlt},
             std::nullopt},
        Case{"Alt close bracket without a character", {true, 0xDD, 0, E::kLeftAlt}, ext(27)},
        Case{"Ctrl A", {true, 'A', 0, E::kLeftCtrl}, plain(1)},
        Case{"Ctrl Z", {true, 'Z', 0, E::kRightCtrl}, plain(26)},
        Case{"Alt A is its scan code", {true, 'A', 0, E::kLeftAlt}, ext(0x1E)},
        Case{"letter without character or modifier", {true, 'Q', 0, 0}, plain(0)},
        Case{"Alt 1", {true, '1', 0, E::kLeftAlt}, ext(0x78)},
        Case{"Ctrl 2 is Ctrl at", {true, '2', 0, E::kLeftCtrl}, ext(0x03)},
        Case{"Ctrl 1 has no entry", {true, '1', 0, E::kLeftCtrl}, std::nullopt},
        Case{"Backspace Ctrl", {true, 0x08, 0, E::kLeftCtrl}, plain(127)},
        Case{"Tab Shift", {true, 0x09, 0, E::kShift}, ext(0x0F)},
        Case{"Enter Ctrl", {true, 0x0D, 0, E::kLeftCtrl}, plain(10)},
        Case{"Esc Alt", {true, 0x1B, 0, E::kLeftAlt}, ext(0x01)},
        Case{"Space Ctrl", {true, 0x20, 0, E::kLeftCtrl}, ext(0x03)},
        Case{"keypad 7 Ctrl", {true, 0x67, 0, E::kLeftCtrl}, ext(0x77)},
        Case{"character byte wins", {true, 0x43, 3, E::kLeftCtrl}, plain(3)},
        Case{"character 0x91", {true, 0xDE, 0x91, 0}, plain(-111)},
        Case{"character 0xFF", {true, 0x20, 0xFF, 0}, plain(-1)},
        Case{"Shift alone", {true, 0x10, 0, E::kShift}, std::nullopt},
        Case{"Ctrl alone", {true, 0x11, 0, E::kLeftCtrl}, std::nullopt},
        Case{"Num Lock alone", {true, 0x90, 0, E::kNumLock}, std::nullopt},
        Case{"key release", {false, 0x70, 0, 0}, std::nullopt}),
    [](const testing::TestParamInfo<Case>& param) { return testNameOf(param.param.name); });

}  // namespace

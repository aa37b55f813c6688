// Key table: what a complete key sequence of a terminal means as the
// program's key codes.
//
// Every function appends the codes of at most one key to `out`: a character
// code, or 0 and an extended key's second code (PC BIOS codes: F1 is 0, 59;
// the column is chosen by the modifiers, Alt over Ctrl over Shift). A
// sequence that no terminal sends for a key appends nothing. `alt` is set
// when the sequence came after an extra ESC (rxvt's way of sending Alt).
//
// Modifier parameters are xterm's: 1 + (1 Shift, 2 Alt, 4 Ctrl, 8 Meta),
// so 1 to 16; any other value means the sequence is not a key.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace keys {

// ESC followed by the byte: Alt + that key (Alt+A is 0, 0x1E; Alt+Space is
// a plain 32; keys without an Alt entry give nothing).
void altKey(std::uint8_t byte, std::vector<int>& out);

// CSI `parameters` `final`: the parameter bytes (0x30-0x3F) and any
// intermediate bytes (0x20-0x2F) between "ESC [" and the final byte.
void csiKey(std::string_view parameters, char final, bool alt, std::vector<int>& out);

// SS3 `parameters` `final` ("ESC O", an optional modifier digit, a final).
void ss3Key(std::string_view parameters, char final, bool alt, std::vector<int>& out);

// The Linux console's F1..F5: "ESC [ [" and 'A'..'E'.
void linuxFunctionKey(char final, bool alt, std::vector<int>& out);

}  // namespace keys

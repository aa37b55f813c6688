// Code page 865 (the Nordic variant of 437), the desk's own bytes: the
// glyph of every byte, the way back from a typed Unicode character to its
// byte, and whole texts both ways (UTF-8 in files, terminals and reports).
//
// Bytes 0x00-0x1F and 0x7F map to their code page graphics (so a control
// byte in a name shows as a glyph, never acts as a terminal command); 0x00
// shows as a blank.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

char32_t glyphOf(std::uint8_t byte);
// The byte whose glyph is `character`, for characters a keyboard can type
// (printable ASCII and the upper half); empty when the code page lacks it.
std::optional<std::uint8_t> byteOf(char32_t character);
void appendUtf8(std::string& out, char32_t character);
// A name's code-page bytes as UTF-8.
std::string utf8Of(const std::string& bytes);
// UTF-8 (or single bytes that are not UTF-8) as code page 865 bytes;
// control characters dropped, characters the code page lacks as '?'.
std::string codePageText(std::string_view text);

// The key decoder on the byte sequences real terminals send.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "key_decoder.hpp"

namespace {

// One read is one string; '|' in a case separates reads, and a read of
// "<t>" stands for the wait running out with no byte.
std::vector<int> decode(const std::vector<std::string>& reads) {
  KeyDecoder decoder;
  std::vector<int> out;
  for (const auto& read : reads) {
    if (read == "<t>") {
      decoder.timeout(out);
      continue;
    }
    for (const char c : read) decoder.feed(static_cast<std::uint8_t>(c), out);
  }
  return out;
}

struct Case {
  const char* what;
  std::vector<std::string> reads;
  std::vector<int> codes;
};

class KeyDecoderTable : public testing::TestWithParam<Case> {};

TEST_P(KeyDecoderTable, Decodes) {
  const Case& c = GetParam();
  EXPECT_EQ(decode(c.reads), c.codes) << c.what;
}

const Case kCases[] = {
    // Plain keys.
    {"letters and digits", {"vb15"}, {'v', 'b', '1', '5'}},
    {"Enter is CR", {"\r"}, {13}},
    {"Ctrl+J / Ctrl+Enter is LF", {"\n"}, {10}},
    {"Backspace as DEL", {"\x7f"}, {8}},
    {"Backspace as BS", {"\b"}, {8}},
    {"Tab", {"\t"}, {9}},
    {"Ctrl+C is 3", {"\x03"}, {3}},
    {"Ctrl+Space is 0, 3", {std::string(1, '\0')}, {0, 3}},
    // ESC alone and as a prefix.
    {"lone ESC after the short wait", {"\x1b", "<t>"}, {27}},
    {"two lone ESC", {"\x1b", "<t>", "\x1b", "<t>"}, {27, 27}},
    {"ESC ESC then silence", {"\x1b\x1b", "<t>"}, {27, 27}},
    {"Alt+a is its scan code",
     {"\x1b"
      "a"},
     {0, 0x1E}},
    {"Alt+Z", {"\x1bZ"}, {0, 0x2C}},
    {"Alt+1",
     {"\x1b"
      "1"},
     {0, 0x78}},
    {"Alt+] is 0, 27", {"\x1b]"}, {0, 27}},
    {"Alt+Enter", {"\x1b\r"}, {0, 0xA6}},
    {"Alt+Backspace", {"\x1b\x7f"}, {0, 0x0E}},
    {"Alt+[ typed alone", {"\x1b[", "<t>"}, {0, 0x1A}},
    {"Alt with a symbol that has no entry", {"\x1b!"}, {}},
    // xterm family.
    {"F1 as SS3", {"\x1bOP"}, {0, 59}},
    {"F4 as SS3", {"\x1bOS"}, {0, 62}},
    {"F5 as CSI 15~", {"\x1b[15~"}, {0, 63}},
    {"F6", {"\x1b[17~"}, {0, 0x40}},
    {"F12", {"\x1b[24~"}, {0, 0x86}},
    {"Shift+F1 as CSI 1;2P", {"\x1b[1;2P"}, {0, 0x54}},
    {"Ctrl+F1", {"\x1b[1;5P"}, {0, 0x5E}},
    {"Alt+F1", {"\x1b[1;3P"}, {0, 0x68}},
    {"Ctrl+Shift+F2 takes the Ctrl column", {"\x1b[1;6Q"}, {0, 0x5F}},
    {"Shift+F5 as CSI 15;2~", {"\x1b[15;2~"}, {0, 0x58}},
    {"Alt+F5", {"\x1b[15;3~"}, {0, 0x6C}},
    {"Up", {"\x1b[A"}, {0, 0x48}},
    {"Ctrl+Right", {"\x1b[1;5C"}, {0, 0x74}},
    {"Home, End in SS3 form", {"\x1bOH\x1bOF"}, {0, 0x47, 0, 0x4F}},
    {"Delete", {"\x1b[3~"}, {0, 0x53}},
    {"Page Down", {"\x1b[6~"}, {0, 0x51}},
    {"Shift+Tab", {"\x1b[Z"}, {0, 0x0F}},
    // rxvt.
    {"rxvt F1", {"\x1b[11~"}, {0, 59}},
    {"rxvt F5", {"\x1b[15~"}, {0, 63}},
    {"rxvt Ctrl+F1", {"\x1b[11^"}, {0, 0x5E}},
    {"rxvt Shift+F1 is F11's code 23", {"\x1b[23~"}, {0, 0x85}},
    {"rxvt Shift+F3 (F13)", {"\x1b[25~"}, {0, 0x56}},
    {"rxvt Shift+F11", {"\x1b[23$"}, {0, 0x87}},
    {"rxvt Ctrl+Shift+F2", {"\x1b[12@"}, {0, 0x5F}},
    {"rxvt Shift+Up", {"\x1b[a"}, {0, 0x48}},
    {"rxvt Ctrl+Up", {"\x1bOa"}, {0, 0x8D}},
    {"rxvt Alt+F1 as ESC ESC", {"\x1b\x1b[11~"}, {0, 0x68}},
    // Linux console.
    {"Linux F1", {"\x1b[[A"}, {0, 59}},
    {"Linux F5", {"\x1b[[E"}, {0, 63}},
    {"Linux F6", {"\x1b[17~"}, {0, 0x40}},
    // Keypad left in application mode still gives digits.
    {"keypad 3 and Enter", {"\x1bOs\x1bOM"}, {'3', 13}},
    // Split reads.
    {"F1 split after ESC", {"\x1b", "OP"}, {0, 59}},
    {"F5 split inside", {"\x1b[1", "5~"}, {0, 63}},
    {"F1 split in three", {"\x1b", "[", "11~"}, {0, 59}},
    // Unknown and broken sequences leave nothing.
    {"unknown CSI final",
     {"\x1b[5z"
      "a"},
     {'a'}},
    {"private CSI (focus report)",
     {"\x1b[?1004;1$y"
      "b"},
     {'b'}},
    {"unknown CSI number",
     {"\x1b[99~"
      "c"},
     {'c'}},
    {"SS3 unknown", {"\x1bO!"}, {}},
    {"sequence cut by the long wait", {"\x1b[1;", "<t>", "x"}, {'x'}},
    {"ESC inside CSI starts afresh", {"\x1b[1\x1bOP"}, {0, 59}},
    {"endless sequence is dropped up to its end",
     {"\x1b[" + std::string(5000, '1') + "~" + "d"},
     {'d'}},
    {"mouse report",
     {"\x1b[<0;10;5M"
      "e"},
     {'e'}},
    // UTF-8 into code page 865.
    {"Danish letters", {"\xc3\xb8\xc3\x98\xc3\xa6\xc3\x85"}, {-101, -99, -111, -113}},
    {"currency sign", {"\xc2\xa4"}, {-81}},
    {"UTF-8 split across reads", {"\xc3", "\xa5"}, {-122}},
    {"three-byte character split", {"\xe2\x95", "\x90"}, {-51}},
    {"character the code page lacks (euro)",
     {"\xe2\x82\xac"
      "f"},
     {'f'}},
    {"four-byte character (emoji) dropped",
     {"\xf0\x9f\x98\x80"
      "g"},
     {'g'}},
    {"stray continuation byte dropped",
     {"\x80"
      "h"},
     {'h'}},
    {"truncated character then ASCII",
     {"\xc3"
      "i"},
     {'i'}},
    {"overlong encoding dropped",
     {"\xe0\x81\x81"
      "j"},
     {'j'}},
    {"Alt with a Danish letter has no entry",
     {"\x1b\xc3\xb8"
      "k"},
     {'k'}},
};

INSTANTIATE_TEST_SUITE_P(RealSequences, KeyDecoderTable, testing::ValuesIn(kCases));

TEST(KeyDecoder, AsksForTheRightWait) {
  KeyDecoder d;
  std::vector<int> out;
  EXPECT_EQ(d.wait(), KeyDecoder::Wait::Forever);
  d.feed(0x1b, out);
  EXPECT_EQ(d.wait(), KeyDecoder::Wait::Short);
  d.feed('[', out);
  EXPECT_EQ(d.wait(), KeyDecoder::Wait::Long);
  d.feed('1', out);
  d.feed('~', out);
  EXPECT_EQ(d.wait(), KeyDecoder::Wait::Forever);
  d.feed(0xc3, out);
  EXPECT_EQ(d.wait(), KeyDecoder::Wait::Long);
  EXPECT_LE(KeyDecoder::kShortWaitMs, 100);
  EXPECT_GE(KeyDecoder::kShortWaitMs, 50);
}

}  // namespace

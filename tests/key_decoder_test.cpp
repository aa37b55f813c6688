// The key decoder on the byte sequences real terminals send, and on the
// sequences of every other escape family, which must give nothing.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "key_decoder.hpp"
#include "test_name.hpp"

namespace {

const std::string kTimeout = "<t>";  // the wait ran out with no byte

std::vector<int> decode(const std::vector<std::string>& reads) {
  KeyDecoder decoder;
  std::vector<int> out;
  for (const auto& read : reads) {
    if (read == kTimeout) {
      decoder.timeout(out);
      continue;
    }
    for (const char c : read) decoder.feed(static_cast<std::uint8_t>(c), out);
  }
  return out;
}

// The codes of the keys in the measured table, by the table's key names.
const std::map<std::string, std::vector<int>> kKeyCodes = {
    {"F1", {0, 59}},
    {"F2", {0, 60}},
    {"F3", {0, 61}},
    {"F4", {0, 62}},
    {"F5", {0, 63}},
    {"F6", {0, 0x40}},
    {"F10", {0, 0x44}},
    {"F11", {0, 0x85}},
    {"Shift+F1", {0, 0x54}},
    {"Ctrl+F1", {0, 0x5E}},
    {"Alt+F1", {0, 0x68}},
    {"Ctrl+Shift+F1", {0, 0x5E}},
    {"Ctrl+F2", {0, 0x5F}},
    {"Shift+F3", {0, 0x56}},
    {"Ctrl+F3", {0, 0x60}},
    {"Ctrl+F4", {0, 0x61}},
    {"Shift+F5", {0, 0x58}},
    {"Ctrl+F5", {0, 0x62}},
    {"Shift+F6", {0, 0x59}},
    {"Up", {0, 0x48}},
    {"Shift+Up", {0, 0x48}},
    {"Ctrl+Up", {0, 0x8D}},
    {"Home", {0, 0x47}},
    {"End", {0, 0x4F}},
    {"Insert", {0, 0x52}},
    {"Delete", {0, 0x53}},
    {"Keypad Delete", {0, 0x53}},
    {"Shift+Delete", {0, 0x53}},
    {"Ctrl+Delete", {0, 0x93}},
    {"Escape", {27}},
    {"oslash", {-101}},
};

struct Measured {
  const char* terminal;
  const char* key;
  const char* bytes;
};

// One row per cell of the table measured in xterm 379, rxvt-unicode 9.30,
// st 0.9, VTE 0.70, kitty 0.26.5, alacritty 0.11 and mlterm 3.9.
const Measured kMeasured[] = {
    {"xterm", "F1", "\033OP"},
    {"xterm", "F3", "\033OR"},
    {"xterm", "F5", "\033[15~"},
    {"xterm", "Shift+F1", "\033[1;2P"},
    {"xterm", "Ctrl+F1", "\033[1;5P"},
    {"xterm", "Alt+F1", "\033[1;3P"},
    {"xterm", "Shift+F5", "\033[15;2~"},
    {"xterm", "F6", "\033[17~"},
    {"xterm", "F10", "\033[21~"},
    {"xterm", "F11", "\033[23~"},
    {"xterm", "Up", "\033[A"},
    {"xterm", "Shift+Up", "\033[1;2A"},
    {"xterm", "Home", "\033[H"},
    {"xterm", "End", "\033[F"},
    {"xterm", "Insert", "\033[2~"},
    {"xterm", "Delete", "\033[3~"},
    {"xterm", "Shift+Delete", "\033[3;2~"},
    {"xterm", "Escape", "\033"},
    {"xterm", "oslash", "\xc3\xb8"},
    {"rxvt", "F1", "\033[11~"},
    {"rxvt", "F3", "\033[13~"},
    {"rxvt", "F5", "\033[15~"},
    // rxvt's Shift+F1 sends F11's bytes; it can only read as F11.
    {"rxvt", "F11 as Shift+F1", "\033[23~"},
    {"rxvt", "Ctrl+F1", "\033[11^"},
    {"rxvt", "Alt+F1", "\033\033[11~"},
    {"rxvt", "Shift+F3", "\033[25~"},
    {"rxvt", "Shift+F5", "\033[28~"},
    {"rxvt", "Ctrl+F5", "\033[15^"},
    {"rxvt", "F6", "\033[17~"},
    {"rxvt", "F10", "\033[21~"},
    {"rxvt", "F11", "\033[23~"},
    {"rxvt", "Up", "\033[A"},
    {"rxvt", "Shift+Up", "\033[a"},
    {"rxvt", "Ctrl+Up", "\033Oa"},
    {"rxvt", "Home", "\033[7~"},
    {"rxvt", "End", "\033[8~"},
    {"rxvt", "Insert", "\033[2~"},
    {"rxvt", "Delete", "\033[3~"},
    {"rxvt", "Shift+Delete", "\033[3$"},
    {"rxvt", "oslash", "\xc3\xb8"},
    {"st", "F1", "\033OP"},
    {"st", "F3", "\033OR"},
    {"st", "Shift+F1", "\033[1;2P"},
    {"st", "Ctrl+F1", "\033[1;5P"},
    {"st", "Alt+F1", "\033[1;3P"},
    {"st", "Home", "\033[H"},
    {"st", "End", "\033[4~"},
    {"st", "Insert", "\033[4h"},
    {"st", "Delete", "\033[P"},
    {"st", "Keypad Delete", "\033[P"},
    {"st", "Shift+Delete", "\033[2K"},
    {"st", "Ctrl+Delete", "\033[M"},
    {"st", "oslash", "\xc3\xb8"},
    {"vte", "F1", "\033OP"},
    {"vte", "F2", "\033OQ"},
    {"vte", "F3", "\033OR"},
    {"vte", "F4", "\033OS"},
    {"vte", "F5", "\033[15~"},
    {"vte", "Shift+F1", "\033[1;2P"},
    {"vte", "Ctrl+F1", "\033[1;5P"},
    {"vte", "Alt+F1", "\033[1;3P"},
    {"vte", "Shift+F3", "\033[1;2R"},
    {"vte", "F6", "\033[17~"},
    {"vte", "F10", "\033[21~"},
    {"vte", "Up", "\033[A"},
    {"vte", "Shift+Up", "\033[1;2A"},
    {"vte", "Ctrl+Up", "\033[1;5A"},
    {"vte", "Home", "\033[H"},
    {"vte", "End", "\033[F"},
    {"vte", "Insert", "\033[2~"},
    {"vte", "Delete", "\033[3~"},
    {"vte", "oslash", "\xc3\xb8"},
    {"mlterm", "Shift+F1", "\033[1;2P"},
    {"mlterm", "Ctrl+F1", "\033[1;5P"},
    {"mlterm", "Ctrl+Shift+F1", "\033[1;6P"},
    {"mlterm", "Ctrl+F2", "\033[1;5Q"},
    {"mlterm", "Shift+F3", "\033[1;2R"},
    {"mlterm", "Ctrl+F3", "\033[1;5R"},
    {"mlterm", "Ctrl+F4", "\033[1;5S"},
    {"mlterm", "Shift+F5", "\033[15;2~"},
    {"mlterm", "Shift+F6", "\033[17;2~"},
};

// kitty 0.26.5 and alacritty 0.11 sent the same bytes for every key measured.
const Measured kKittyAlacritty[] = {
    {"", "F1", "\033OP"},         {"", "F2", "\033OQ"},          {"", "F3", "\033OR"},
    {"", "F4", "\033OS"},         {"", "F5", "\033[15~"},        {"", "Shift+F1", "\033[1;2P"},
    {"", "Ctrl+F1", "\033[1;5P"}, {"", "Alt+F1", "\033[1;3P"},   {"", "Shift+F3", "\033[1;2R"},
    {"", "F6", "\033[17~"},       {"", "F10", "\033[21~"},       {"", "F11", "\033[23~"},
    {"", "Up", "\033[A"},         {"", "Shift+Up", "\033[1;2A"}, {"", "Ctrl+Up", "\033[1;5A"},
    {"", "Home", "\033[H"},       {"", "End", "\033[F"},         {"", "Insert", "\033[2~"},
    {"", "Delete", "\033[3~"},    {"", "Escape", "\033"},        {"", "oslash", "\xc3\xb8"},
};

struct Case {
  std::string name;
  std::vector<std::string> reads;
  std::vector<int> codes;
};

std::vector<int> codesOf(const std::string& key) {
  const auto found = kKeyCodes.find(key.substr(0, key.find(" as ")));
  return found == kKeyCodes.end() ? std::vector<int>{-999} : found->second;
}

std::vector<Case> measuredCases() {
  std::vector<Case> cases;
  // Every key is followed by the wait running out, as at a real keyboard.
  for (const Measured& m : kMeasured) {
    cases.push_back({std::string(m.terminal) + " " + m.key, {m.bytes, kTimeout}, codesOf(m.key)});
  }
  for (const char* terminal : {"kitty", "alacritty"}) {
    for (const Measured& m : kKittyAlacritty) {
      cases.push_back({std::string(terminal) + " " + m.key, {m.bytes, kTimeout}, codesOf(m.key)});
    }
  }
  return cases;
}

// The decoder's own cases: other terminals, Alt, split reads, characters,
// and sequences of every family that no key sends.
const std::vector<Case> kOwnCases = {
    {"letters and digits", {"vb15"}, {'v', 'b', '1', '5'}},
    {"Enter CR, LF, Tab, Ctrl+C", {"\r\n\t\x03"}, {13, 10, 9, 3}},
    {"Backspace as DEL or BS", {"\x7f\b"}, {8, 8}},
    {"Ctrl+Space", {std::string(1, '\0')}, {0, 3}},
    {"two lone ESC", {"\033", kTimeout, "\033", kTimeout}, {27, 27}},
    {"ESC ESC then silence", {"\033\033", kTimeout}, {27, 27}},
    {"Alt+a", {"\033a"}, {0, 0x1E}},
    {"Alt+1", {"\0331"}, {0, 0x78}},
    {"Alt+Enter and Alt+Backspace", {"\033\r\033\x7f"}, {0, 0xA6, 0, 0x0E}},
    {"Alt+Space", {"\033 ", kTimeout}, {32}},
    {"Alt+close bracket alone", {"\033]", kTimeout}, {0, 27}},
    {"Alt+open bracket alone", {"\033[", kTimeout}, {0, 0x1A}},
    {"Alt+O alone", {"\033O", kTimeout}, {0, 0x18}},
    {"Alt+P alone", {"\033P", kTimeout}, {0, 0x19}},
    {"Alt with a symbol that has no entry", {"\033!"}, {}},
    {"Alt with a Danish letter has no entry", {"\033\xc3\xb8k"}, {'k'}},
    {"Ctrl+Right", {"\033[1;5C"}, {0, 0x74}},
    {"Home End in SS3 form", {"\033OH\033OF"}, {0, 0x47, 0, 0x4F}},
    {"Page Down", {"\033[6~"}, {0, 0x51}},
    {"F12 and Alt+F5", {"\033[24~\033[15;3~"}, {0, 0x86, 0, 0x6C}},
    {"Shift+Tab", {"\033[Z"}, {0, 0x0F}},
    {"rxvt Shift+F11", {"\033[23$"}, {0, 0x87}},
    {"rxvt Ctrl+Shift+F2", {"\033[12@"}, {0, 0x5F}},
    {"old xterm SS3 with modifier", {"\033O5P"}, {0, 0x5E}},
    {"Linux F1 and F5", {"\033[[A\033[[E"}, {0, 59, 0, 63}},
    {"keypad in application mode", {"\033Os\033OM"}, {'3', 13}},
    {"st Insert and Ctrl+Delete do not swallow what follows",
     {"\033[4h\033[Mab"},
     {0, 0x52, 0, 0x93, 'a', 'b'}},
    {"F1 split after ESC", {"\033", "OP"}, {0, 59}},
    {"F5 split inside", {"\033[1", "5~"}, {0, 63}},
    {"F1 split in three", {"\033", "[", "11~"}, {0, 59}},
    // Not keys: consumed whole, nothing.
    {"cursor position report", {"\033[24;1Ra"}, {'a'}},
    {"CSI 2 P is an editing command", {"\033[2Pa"}, {'a'}},
    {"SS3 with modifier 0", {"\033O0Qa"}, {'a'}},
    {"three parameters", {"\033[11;1;5~a"}, {'a'}},
    {"modifier 0 1 17 33", {"\033[1;0P\033[1;17P\033[15;33~\033[1;1H"}, {0, 0x47}},
    {"unknown CSI final and number", {"\033[5z\033[99~a"}, {'a'}},
    {"private CSI (mode report)", {"\033[?1004;1$yb"}, {'b'}},
    {"SGR mouse report", {"\033[<0;10;5Me"}, {'e'}},
    {"CSI with intermediate", {"\033[2 qa"}, {'a'}},
    {"OSC ended by BEL", {"\033]0;title\aa"}, {'a'}},
    {"OSC ended by ST", {"\033]11;rgb:0000/0000/0000\033\\a"}, {'a'}},
    {"DCS APC PM SOS", {"\033P1$r2 q\033\\\033_Gi=1\033\\\033^pm\033\\\033Xsos\033\\a"}, {'a'}},
    {"DCS keeps BEL inside", {"\033P\a1\033\\a"}, {'a'}},
    {"nF escapes", {"\033(B\033#8\033 F\033)0a"}, {'a'}},
    {"SS3 unknown", {"\033O!"}, {}},
    {"CAN cancels a sequence",
     {"\033[1;\x18"
      "a"},
     {'a'}},
    {"ESC inside CSI starts afresh", {"\033[1\033OP"}, {0, 59}},
    {"string cut by another escape", {"\033]0;t\033[A"}, {0, 0x48}},
    {"string cut by ESC ESC: one Escape at the most", {"\033]0;x\033\033", kTimeout}, {27}},
    {"sequence cut by the long wait", {"\033[1;", kTimeout, "x"}, {'x'}},
    {"string cut by the long wait", {"\033]0;ti", kTimeout, "x"}, {'x'}},
    {"endless CSI dropped up to its end", {"\033[" + std::string(5000, '1') + "~d"}, {'d'}},
    {"endless string abandoned after its limit",
     {"\033]" + std::string(KeyDecoder::kMaxControlString, 'x') + "d"},
     {'d'}},
    // UTF-8 into code page 865.
    {"Danish letters", {"\xc3\xb8\xc3\x98\xc3\xa6\xc3\x85"}, {-101, -99, -111, -113}},
    {"no-break space is byte 0xFF", {"\xc2\xa0"}, {-1}},
    {"UTF-8 split across reads", {"\xc3", "\xa5"}, {-122}},
    {"three-byte box character split", {"\xe2\x95", "\x90"}, {-51}},
    {"euro sign the code page lacks is a question mark", {"\xe2\x82\xac"}, {'?'}},
    {"emoji is a question mark", {"\xf0\x9f\x98\x80"}, {'?'}},
    {"C1 control gives nothing", {"\xc2\x9bh"}, {'h'}},
    {"stray continuation byte", {"\x80h"}, {'h'}},
    {"truncated character then ASCII", {"\xc3i"}, {'i'}},
    {"overlong encoding and surrogate", {"\xe0\x81\x81\xed\xa0\x80j"}, {'j'}},
};

class KeyDecoderTable : public testing::TestWithParam<Case> {};

TEST_P(KeyDecoderTable, GivesExactlyItsKey) {
  EXPECT_EQ(decode(GetParam().reads), GetParam().codes);
}

std::string caseName(const testing::TestParamInfo<Case>& info) {
  return testNameOf(info.param.name);
}

INSTANTIATE_TEST_SUITE_P(Terminals, KeyDecoderTable, testing::ValuesIn(measuredCases()), caseName);
INSTANTIATE_TEST_SUITE_P(Decoder, KeyDecoderTable, testing::ValuesIn(kOwnCases), caseName);

TEST(KeyDecoder, AsksForTheRightWait) {
  KeyDecoder d;
  std::vector<int> out;
  const auto after = [&](const std::string& bytes) {
    for (const char c : bytes) d.feed(static_cast<std::uint8_t>(c), out);
    return d.wait();
  };
  EXPECT_EQ(d.wait(), KeyDecoder::Wait::Forever);
  EXPECT_EQ(after("\033"), KeyDecoder::Wait::Short);
  EXPECT_EQ(after("["), KeyDecoder::Wait::Long);
  EXPECT_EQ(after("99~"), KeyDecoder::Wait::Forever);
  EXPECT_EQ(after("\033]"), KeyDecoder::Wait::Short) << "Alt+] or an OSC?";
  EXPECT_EQ(after("0"), KeyDecoder::Wait::Long);
  EXPECT_EQ(after("\a\xc3"), KeyDecoder::Wait::Long);
  EXPECT_TRUE(out.empty());
  EXPECT_LE(KeyDecoder::kShortWaitMs, 100);
  EXPECT_GE(KeyDecoder::kShortWaitMs, 50);
}

TEST(KeyDecoder, KeepsTerminalRepliesAndGivesNoKeysForThem) {
  EXPECT_EQ(decode({"\033P1$r2 q\033\\\033[>84;0;0c\033[?64;1c\033]11;x\a\033[24;1R"}),
            std::vector<int>{});
  KeyDecoder d;
  std::vector<int> out;
  // As xterm 379 answered the start-up queries, with a key typed between.
  const std::string da1 = "\033[?64;1;2;6;9;15;16;17;18;21;22;28c";
  for (const char c : "\033P1$r2 q\033\\v\033[>41;379;0c" + da1) {
    d.feed(static_cast<std::uint8_t>(c), out);
  }
  EXPECT_EQ(out, std::vector<int>{'v'});
  EXPECT_EQ(d.takeReplies(), (std::vector<std::string>{"\033P1$r2 q", "\033[>41;379;0c", da1}));
  EXPECT_TRUE(d.takeReplies().empty());
}

// Random streams of real keys mixed with sequences of every non-key family
// decode to exactly the keys put in, in order. The decoder sees bytes, not
// reads, so a split between reads is any byte boundary; the wait runs out
// only between whole sequences (and must after a key that ends in a prefix).
TEST(KeyDecoder, RandomStreamsOfKeysAndNonKeysGiveExactlyTheKeys) {
  struct Token {
    std::string bytes;
    std::vector<int> codes;
    bool needsTimeout = false;
  };
  std::vector<Token> keys;
  for (const Case& c : measuredCases()) keys.push_back({c.reads[0], c.codes, c.reads[0] == "\033"});
  for (const char* k : {"a", "Z", "5", "\r", "\t", "\x03", " ", "\x18"}) {
    keys.push_back({k, {k[0]}});
  }
  keys.push_back({"\033]", {0, 27}, true});
  keys.push_back({"\033[", {0, 0x1A}, true});
  keys.push_back({"\033v", {0, 0x2F}});
  keys.push_back({"\xe2\x82\xac", {'?'}});
  keys.push_back({"\xc2\xa0", {-1}});
  keys.push_back({"\033[4h", {0, 0x52}});

  std::mt19937 seeds(20261207);
  std::mt19937 rng;
  const auto pick = [&](const std::string& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
  };
  const auto some = [&](const std::string& from, int most) {
    std::string s;
    for (int n = std::uniform_int_distribution<int>(0, most)(rng); n > 0; --n) s += pick(from);
    return s;
  };
  const std::string digits = "0123456789;";
  const std::string printable = " !\"#0123456789:;<=>?@ABCXYZ[\\]^_`abcxyz{|}~";
  const std::string intermediates = " !\"#$%&'()*+,-./";
  const std::string finals = "@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~";
  const auto nonKey = [&]() -> std::string {
    switch (std::uniform_int_distribution<int>(0, 7)(rng)) {
      case 0:  // CSI with a private marker: replies and mouse reports
        return "\033[" + std::string(1, pick("<=>?")) + some(digits, 12) + some(intermediates, 1) +
               pick(finals);
      case 1:  // CSI with an intermediate
        return "\033[" + some(digits, 6) + pick(" !\"#%&'()*+,-./") + pick(finals);
      case 2:  // reports that look like letter keys: first parameter 2..99
        return "\033[" + std::to_string(std::uniform_int_distribution<int>(2, 99)(rng)) + ";" +
               some("0123456789", 2) + pick("ABCDFHPQRS");
      case 3:  // OSC ended by BEL or ST
        return "\033]" + some(printable, 40) + (rng() % 2 ? "\a" : "\033\\");
      case 4:  // DCS, SOS, PM, APC ended by ST (BEL is content there)
        return "\033" + std::string(1, pick("PX^_")) + some(printable + "\a", 40) + "\033\\";
      case 5:  // nF
        return "\033" + std::string(1, pick(intermediates)) + some(intermediates, 2) +
               pick("0123456789" + finals);
      case 6:  // modifiers outside 1..16
        return "\033[1;" + std::to_string(std::uniform_int_distribution<int>(17, 300)(rng)) +
               pick("ABPQ~");
      default:  // SS3 with a modifier 0 or above 16
        return "\033O" + std::string(1, pick("0")) + pick("PQRS");
    }
  };

  constexpr int kStreams = 200'000;
  long keysIn = 0;
  for (int stream = 0; stream < kStreams; ++stream) {
    const auto seed = static_cast<std::uint32_t>(seeds());
    rng.seed(seed);
    KeyDecoder decoder;
    std::vector<int> expected, out;
    std::vector<std::string> fed;
    for (int token = 0; token < 12; ++token) {
      std::string bytes;
      bool timeoutAfter = rng() % 8 == 0;
      if (rng() % 2) {
        const Token& k = keys[rng() % keys.size()];
        bytes = k.bytes;
        expected.insert(expected.end(), k.codes.begin(), k.codes.end());
        timeoutAfter = timeoutAfter || k.needsTimeout;
        ++keysIn;
      } else {
        bytes = nonKey();
      }
      for (const char c : bytes) decoder.feed(static_cast<std::uint8_t>(c), out);
      if (timeoutAfter) decoder.timeout(out);
      fed.push_back(timeoutAfter ? bytes + kTimeout : bytes);
    }
    decoder.timeout(out);
    ASSERT_EQ(out, expected) << "stream " << stream << " seed " << seed << ": "
                             << testing::PrintToString(fed);
  }
  RecordProperty("keys", std::to_string(keysIn));
}

}  // namespace

// KeyDecoder: turns the bytes a terminal sends into the program's key codes.
//
// Byte at a time and pure: feed() takes one byte, timeout() says that the
// wait asked for by wait() passed with no byte. Completed keys are appended
// to `out` as key codes: a character key gives its code (bytes 0x80..0xFF of
// code page 865 as -128..-1, so a typed no-break space is -1), an extended
// key gives 0 and then its second code (PC BIOS codes: F1 is 0, 59).
//
// Characters: plain ASCII (DEL is Backspace, 8) and UTF-8; a character the
// code page lacks gives '?' (63), a broken UTF-8 sequence or a C1 control
// gives nothing.
//
// Escape sequences are read by their ECMA-48 shape, whatever they are:
// CSI (parameter, intermediate and private-marker bytes, then a final),
// SS3, the control strings OSC, DCS, APC, PM and SOS (ended by ST, an OSC
// also by BEL), and nF escapes (ESC, intermediates, a final). Only the forms
// real terminals send for keys become keys (see key_table.hpp); every other
// sequence is consumed whole and gives nothing. CAN or SUB inside a sequence
// cancels it. A lone ESC is the Escape key after the short wait; ESC + key
// is Alt + key, and an introducer followed by silence is Alt + that key
// (ESC ] is 0, 27). A sequence is never stored beyond kMaxSequence bytes; a
// control string is abandoned after the long wait with no byte or after
// kMaxControlString bytes.
//
// Terminal replies the program may ask for (DCS strings and CSI sequences
// with a private marker, each at most kMaxSequence bytes) are kept for
// takeReplies() instead of being thrown away.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class KeyDecoder {
 public:
  enum class Wait {
    Forever,  // nothing pending
    Short,    // after a lone ESC or a bare introducer: a key, or a sequence?
    Long,     // inside a sequence or a character: the rest is on its way
  };
  static constexpr int kShortWaitMs = 75;
  static constexpr int kLongWaitMs = 500;
  static constexpr std::size_t kMaxSequence = 64;
  static constexpr std::size_t kMaxControlString = 1024;
  static constexpr std::size_t kMaxReplies = 8;

  void feed(std::uint8_t byte, std::vector<int>& out);
  void timeout(std::vector<int>& out);
  Wait wait() const;
  // The replies seen since the last call, oldest first, each from its ESC
  // up to its final byte (a DCS without its ST).
  std::vector<std::string> takeReplies();

 private:
  enum class State {
    Ground,
    Escape,
    EscapeEscape,
    Csi,
    Ss3,
    LinuxFn,
    Nf,
    String,
    StringEscape,
    Utf8,
  };

  void ground(std::uint8_t byte, std::vector<int>& out);
  void escape(std::uint8_t byte, std::vector<int>& out);
  void escapeEscape(std::uint8_t byte, std::vector<int>& out);
  void csi(std::uint8_t byte, std::vector<int>& out);
  void ss3(std::uint8_t byte, std::vector<int>& out);
  void linuxFn(std::uint8_t byte, std::vector<int>& out);
  void nf(std::uint8_t byte, std::vector<int>& out);
  void controlString(std::uint8_t byte, std::vector<int>& out);
  void stringEscape(std::uint8_t byte, std::vector<int>& out);
  void utf8(std::uint8_t byte, std::vector<int>& out);
  void startUtf8(std::uint8_t byte);
  void start(State state, std::uint8_t introducer);
  void keep(std::uint8_t byte);
  void keepReply(const std::string& reply);
  // A byte that cannot continue the current sequence: the sequence is
  // dropped and the byte read afresh (CAN and SUB only cancel it).
  void interrupt(std::uint8_t byte, std::vector<int>& out);
  void reset();

  State state_ = State::Ground;
  bool alt_ = false;             // ESC ESC: the sequence that follows has Alt
  std::uint8_t introducer_ = 0;  // the byte after ESC that began the sequence
  std::string sequence_;         // its bytes after the introducer, at most kMaxSequence
  std::size_t length_ = 0;       // its length, counted even when not stored
  std::vector<std::string> replies_;
  char32_t codePoint_ = 0;
  int continuationBytes_ = 0;
  char32_t minimum_ = 0;
};

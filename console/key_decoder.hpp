// KeyDecoder: turns the bytes a terminal sends into the program's key codes.
//
// Byte at a time and pure: feed() takes one byte, timeout() says that the
// wait asked for by wait() passed with no byte. Completed keys are appended
// to `out` as key codes: a character key gives its code (bytes 0x80..0xFF of
// code page 865 as -128..-1), an extended key gives 0 and then its second
// code (PC BIOS codes: F1 is 0, 59).
//
// Understood: plain ASCII (DEL is Backspace, 8), UTF-8 (characters the code
// page lacks are dropped), ESC + key as Alt + key, the xterm family (SS3 P..S,
// CSI n ~, CSI 1;m X and CSI n;m ~ modifier forms), rxvt (CSI 11~.., the $ ^ @
// finals, ESC ESC as Alt), the Linux console (ESC [ [ A..E), tmux and screen.
// An unknown or broken sequence is consumed whole and gives nothing; a
// sequence longer than kMaxSequence bytes is discarded up to its end without
// being stored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class KeyDecoder {
 public:
  enum class Wait {
    Forever,  // nothing pending
    Short,    // after a lone ESC: is it the Escape key or a prefix?
    Long,     // inside a sequence or a character: the rest is on its way
  };
  static constexpr int kShortWaitMs = 75;
  static constexpr int kLongWaitMs = 500;
  static constexpr std::size_t kMaxSequence = 16;

  void feed(std::uint8_t byte, std::vector<int>& out);
  void timeout(std::vector<int>& out);
  Wait wait() const;

 private:
  enum class State { Ground, Escape, EscapeEscape, Csi, Ss3, LinuxFn, Utf8, Discard };

  void ground(std::uint8_t byte, std::vector<int>& out);
  void escape(std::uint8_t byte, std::vector<int>& out);
  void csi(std::uint8_t byte, std::vector<int>& out);
  void ss3(std::uint8_t byte, std::vector<int>& out);
  void utf8(std::uint8_t byte, std::vector<int>& out);
  void startUtf8(std::uint8_t byte);
  // Ends a broken sequence at `byte`, which is then read afresh.
  void abortAt(std::uint8_t byte, std::vector<int>& out);
  void reset();

  State state_ = State::Ground;
  bool alt_ = false;  // ESC ESC: the sequence that follows has Alt
  std::string sequence_;
  char32_t codePoint_ = 0;
  int continuationBytes_ = 0;
  char32_t minimum_ = 0;
};

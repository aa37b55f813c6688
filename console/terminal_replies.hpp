// TerminalReplies: what a terminal's answers to the start-up queries say.
//
// The queries: secondary device attributes (CSI > c; the answer's first
// parameter names the terminal: 83 GNU screen, 84 tmux, 41 xterm, ...),
// the cursor style (DECRQSS for DECSCUSR: DCS $ q SP q ST, answered by
// DCS 1 $ r Ps SP q ST), and primary device attributes (CSI c), which every
// terminal answers, last, since terminals answer in order.
// take() reads one reply as KeyDecoder::takeReplies gives it; anything
// else is ignored.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct TerminalReplies {
  static constexpr const char* kQueries = "\x1b[>c\x1bP$q q\x1b\\\x1b[c";
  // Without the cursor-style query, for terminals that would print it (the Linux console).
  static constexpr const char* kQueriesWithoutStyle = "\x1b[>c\x1b[c";

  std::optional<int> terminalType;     // secondary device attributes' first parameter
  std::optional<int> terminalVersion;  // and its second
  std::optional<int> cursorStyle;      // the DECSCUSR value in use
  bool allAnswered = false;            // the primary device attributes came

  void take(std::string_view reply);
  // Whether the terminal erases in the current background colour: all do
  // but GNU screen, which is told by its answer, or by TERM=screen* when
  // nothing answered.
  bool erasesInBackground(std::string_view term) const;
  // Whether the program may change the cursor's shape: only where it can
  // give the user's back, that is where the terminal said which it is.
  bool mayShapeCursor() const { return cursorStyle.has_value(); }
  // The DECSCUSR value that gives the user's cursor back; -1: send none.
  // kitty answers 1 while it shows its configured shape, whatever that
  // is, and takes 0 as "the configured shape".
  int restoreStyle() const;
};

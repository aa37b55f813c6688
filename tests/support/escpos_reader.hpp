// EscPosReader: receipt printer bytes as a person reads the paper: each
// printed line with its text (code page 865 shown as UTF-8) and its size
// (GS ! : width and height, 1..8), whether it is centred, and the cuts.
// Commands it does not know fail the reading, so a test sees them.
#pragma once

#include <string>
#include <vector>

struct PrintedLine {
  std::string text;
  int width = 1, height = 1;
  bool centred = false;
  bool bold = false;
  friend bool operator==(const PrintedLine&, const PrintedLine&) = default;
};

struct Paper {
  std::vector<PrintedLine> lines;
  int cuts = 0;
  int codePage = 0;  // ESC t n
  bool understood = true;
  std::string problem;
  // The lines' text, one a line, for a quick look.
  std::string text() const;
  // The text printed largest (a ticket's number).
  std::string largest() const;
};

Paper readEscPos(const std::string& bytes);

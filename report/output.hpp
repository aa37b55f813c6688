// The report as text for the terminal (UTF-8) and CSV for a spreadsheet
// (the picture is chart.hpp's), in proper Danish words.
//
// CSV as a Danish spreadsheet opens it by a double-click: UTF-8 with a byte
// order mark, fields separated by semicolons, decimal commas, CR LF; a field
// with a semicolon, a quote or a line break is quoted, and a name beginning
// with =, +, - or @ (which a spreadsheet would run as a formula) gets a
// leading apostrophe, so it stays text (the guard is for the names people
// typed; the program's own numbers, a negative one too, stay numbers).
// Names are the code page's bytes and come out as UTF-8.
#pragma once

#include <string>
#include <vector>

#include "code_page.hpp"
#include "figures.hpp"

std::string reportText(const Figures& figures, const History& history);

// What each station (a desk, a display's own name) did on a day kept in a
// database: numbers given and calls made.
struct StationFigures {
  std::string day;
  std::string station;  // its host and folder, as it names itself
  int issued = 0;
  int called = 0;
};
std::string stationsText(const std::vector<StationFigures>& stations);
std::string reportCsv(const Figures& figures);

// One CSV field, quoted and guarded as above.
std::string csvField(const std::string& text);
// Text for XML content or an attribute.
std::string xmlEscaped(const std::string& text);

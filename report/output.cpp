#include "output.hpp"

#include <algorithm>
#include <cstdio>
#include <map>

#include "code_page.hpp"

namespace {

const char* categoryWord(int category) {
  return category == 1 ? "voksne" : "b\xC3\xB8rn";
}

// A shift still open when its day ended (or now), the same word everywhere.
constexpr const char* kOpenShift = "\xC3\xA5" "ben";

// One decimal with a decimal comma: 12.25 gives "12,3".
std::string decimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  std::string out = text;
  std::replace(out.begin(), out.end(), '.', ',');
  return out;
}

std::string clockText(HourMinute t) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%02d", t.hour, t.minute);
  return text;
}

// "08:30": a time a spreadsheet reads as one (8.30 would be a number).
std::string spreadsheetTime(HourMinute t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d", t.hour, t.minute);
  return text;
}

// `text` (UTF-8) padded with blanks to `width` characters.
std::string padded(const std::string& text, std::size_t width) {
  std::size_t characters = 0;
  for (const char c : text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return characters >= width ? text + " " : text + std::string(width - characters, ' ');
}

std::string waitCells(const Waits& w) {
  if (w.count == 0) return padded("-", 8) + padded("-", 8) + "-";
  return padded(decimal(w.median), 8) + padded(decimal(w.p90), 8) + decimal(w.longest);
}

}  // namespace

namespace {

// A field as it stands, quoted where it holds a separator, a quote or a
// line break.
std::string csvQuoted(const std::string& field) {
  if (field.find_first_of(";\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (const char c : field) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

// Text that a spreadsheet would run as a formula, made text.
std::string csvGuarded(const std::string& text) {
  const bool formula =
      !text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@');
  return formula ? "'" + text : text;
}

}  // namespace

std::string csvField(const std::string& text) {
  return csvQuoted(csvGuarded(text));
}

std::string xmlEscaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string reportText(const Figures& f, const History& history) {
  std::string out;
  for (const HistoryProblem& p : history.problems) {
    out += p.file + (p.line ? ", linje " + std::to_string(p.line) : std::string()) + ": " + p.what + "\n";
  }
  if (!history.problems.empty()) out += "\n";
  out += "Ventetid fra nummer til kald, i minutter\n";
  out += "Dato        Kategori  Numre  Kaldt  Ikke kaldt  Median  90 %    L\xC3\xA6ngst\n";
  for (const CategoryDay& c : f.categories) {
    out += padded(c.day, 12) + padded(categoryWord(c.category), 10) +
           padded(std::to_string(c.issued), 7) + padded(std::to_string(c.called), 7) +
           padded(std::to_string(c.notCalled), 12) + waitCells(c.waits) + "\n";
  }
  out += "\nPr. time\nDato        Time  Ankomne  Kaldte  Median ventetid\n";
  for (const HourRow& h : f.hours) {
    char hour[8];
    std::snprintf(hour, sizeof hour, "%02d", h.hour);
    out += padded(h.day, 12) + padded(hour, 6) + padded(std::to_string(h.arrivals), 9) +
           padded(std::to_string(h.calls), 8) +
           (h.waits.count ? decimal(h.waits.median) : std::string("-")) + "\n";
  }
  out += "\nVagter\nDato        Rum  Laborant         Kategori  Start  Slut   Patienter  Pr. time\n";
  for (const ShiftRow& s : f.shifts) {
    out += padded(s.shift.day, 12) + padded(std::to_string(s.shift.room), 5) +
           padded(utf8Of(s.shift.name), 17) + padded(categoryWord(s.shift.category), 10) +
           padded(clockText(s.shift.start), 7) +
           padded(s.shift.ended ? clockText(s.shift.end) : kOpenShift, 7) +
           padded(std::to_string(s.shift.samples), 11) +
           (s.minutes >= 0 ? decimal(s.perHour) : std::string("-")) + "\n";
  }
  if (!f.rooms.empty()) {
    out += "\nPr. rum\nDato        Rum  Kaldt  Kaldt igen  Ikke m\xC3\xB8" "dt\n";
    for (const RoomDay& r : f.rooms) {
      out += padded(r.day, 12) + padded(std::to_string(r.room), 5) + padded(std::to_string(r.called), 7) +
             padded(std::to_string(r.recalls), 12) + std::to_string(r.notMet) + "\n";
    }
  }
  return out;
}

std::string stationsText(const std::vector<StationFigures>& stations) {
  std::string out = "\nPr. station\nDato        Station                         Numre  Kald\n";
  for (const StationFigures& s : stations) {
    out += padded(s.day, 12) + padded(s.station, 32) + padded(std::to_string(s.issued), 7) +
           std::to_string(s.called) + "\n";
  }
  return out;
}

std::string reportCsv(const Figures& f) {
  std::string out = "\xEF\xBB\xBF";
  const auto row = [&out](std::initializer_list<std::string> fields) {
    bool first = true;
    for (const std::string& field : fields) {
      if (!first) out += ';';
      out += csvQuoted(field);
      first = false;
    }
    out += "\r\n";
  };
  const auto waits = [](const Waits& w, double Waits::*which) {
    return w.count ? decimal(w.*which) : std::string();
  };
  row({"Dato", "Kategori", "Numre", "Kaldt", "Ikke kaldt", "Median ventetid (min)",
       "90 % ventetid (min)", "L\xC3\xA6ngste ventetid (min)"});
  for (const CategoryDay& c : f.categories) {
    row({c.day, categoryWord(c.category), std::to_string(c.issued), std::to_string(c.called),
         std::to_string(c.notCalled), waits(c.waits, &Waits::median), waits(c.waits, &Waits::p90),
         waits(c.waits, &Waits::longest)});
  }
  out += "\r\n";
  row({"Dato", "Time", "Ankomne", "Kaldte", "Median ventetid (min)"});
  for (const HourRow& h : f.hours) {
    row({h.day, std::to_string(h.hour), std::to_string(h.arrivals), std::to_string(h.calls),
         waits(h.waits, &Waits::median)});
  }
  out += "\r\n";
  row({"Dato", "Rum", "Laborant", "Kategori", "Start", "Slut", "Patienter", "Patienter pr. time"});
  for (const ShiftRow& s : f.shifts) {
    // The name is the only text a person typed: the guard is for it, so a
    // number (a negative one too) stays a number.
    row({s.shift.day, std::to_string(s.shift.room), csvGuarded(utf8Of(s.shift.name)),
         categoryWord(s.shift.category), spreadsheetTime(s.shift.start),
         s.shift.ended ? spreadsheetTime(s.shift.end) : std::string(kOpenShift),
         std::to_string(s.shift.samples),
         s.minutes >= 0 ? decimal(s.perHour) : std::string()});
  }
  return out;
}

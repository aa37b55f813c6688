#include "output.hpp"

#include <algorithm>
#include <cstdio>
#include <map>

#include "code_page.hpp"

namespace {

const char* categoryWord(int category) {
  return category == 1 ? "voksne" : "boern";
}

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

std::string utf8Of(const std::string& bytes) {
  std::string out;
  for (const char c : bytes) appendUtf8(out, glyphOf(static_cast<std::uint8_t>(c)));
  return out;
}

std::string csvField(const std::string& text) {
  const bool formula =
      !text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@');
  std::string field = formula ? "'" : "";
  field += text;
  if (field.find_first_of(";\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (const char c : field) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
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
  out += "Dato        Kategori  Numre  Kaldt  Ikke kaldt  Median  90 %    Laengst\n";
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
           padded(s.shift.ended ? clockText(s.shift.end) : "aaben", 7) +
           padded(std::to_string(s.shift.samples), 11) +
           (s.shift.ended ? decimal(s.perHour) : std::string("-")) + "\n";
  }
  return out;
}

std::string reportCsv(const Figures& f) {
  std::string out = "\xEF\xBB\xBF";
  const auto row = [&out](std::initializer_list<std::string> fields) {
    bool first = true;
    for (const std::string& field : fields) {
      if (!first) out += ';';
      out += csvField(field);
      first = false;
    }
    out += "\r\n";
  };
  const auto waits = [](const Waits& w, double Waits::*which) {
    return w.count ? decimal(w.*which) : std::string();
  };
  row({"Dato", "Kategori", "Numre", "Kaldt", "Ikke kaldt", "Median ventetid (min)",
       "90 % ventetid (min)", "Laengste ventetid (min)"});
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
    row({s.shift.day, std::to_string(s.shift.room), utf8Of(s.shift.name),
         categoryWord(s.shift.category), spreadsheetTime(s.shift.start),
         s.shift.ended ? spreadsheetTime(s.shift.end) : std::string(),
         std::to_string(s.shift.samples),
         s.shift.ended ? decimal(s.perHour) : std::string()});
  }
  return out;
}

std::string reportSvg(const Figures& f, const History& history) {
  constexpr int kWidth = 900, kPlot = 260, kBars = 120, kLeft = 60, kRight = 880;
  std::map<std::string, std::vector<const Patient*>> byDay;
  for (const Patient& p : history.patients) {
    if (std::find(f.days.begin(), f.days.end(), p.day) != f.days.end()) byDay[p.day].push_back(&p);
  }
  std::string body;
  int y = 10;
  char text[256];
  for (const std::string& day : f.days) {
    const auto& patients = byDay[day];
    double longest = 10;
    for (const Patient* p : patients) {
      if (p->issued != Patient::kUnknown && p->called != Patient::kUnknown) {
        longest = std::max(longest, static_cast<double>(p->called - p->issued) / 60.0);
      }
    }
    const long long midnight = momentOf(day, 0);
    const auto xOf = [&](double hours) { return kLeft + (kRight - kLeft) * hours / 24.0; };
    body += "<text x=\"10\" y=\"" + std::to_string(y + 16) + "\" font-size=\"16\">" +
            xmlEscaped(day) + ": ventetid efter tidspunkt for nummer</text>\n";
    const int top = y + 30, bottom = top + kPlot;
    std::snprintf(text, sizeof text,
                  "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"none\" stroke=\"#888\"/>\n",
                  kLeft, top, kRight - kLeft, kPlot);
    body += text;
    for (int h = 0; h <= 24; h += 2) {
      std::snprintf(text, sizeof text,
                    "<text x=\"%.1f\" y=\"%d\" font-size=\"11\" text-anchor=\"middle\">%02d</text>\n",
                    xOf(h), bottom + 14, h);
      body += text;
    }
    std::snprintf(text, sizeof text,
                  "<text x=\"%d\" y=\"%d\" font-size=\"11\" text-anchor=\"end\">%.0f min</text>\n",
                  kLeft - 4, top + 10, longest);
    body += text;
    for (const Patient* p : patients) {
      if (p->issued == Patient::kUnknown || p->called == Patient::kUnknown) continue;
      const double hours = static_cast<double>(p->issued - midnight) / 3600.0;
      const double wait = static_cast<double>(p->called - p->issued) / 60.0;
      std::snprintf(text, sizeof text,
                    "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3\" fill=\"%s\"><title>%s %d: %.1f min</title></circle>\n",
                    xOf(hours), bottom - kPlot * wait / longest,
                    p->category == 1 ? "#1f77b4" : "#ff7f0e", categoryWord(p->category), p->number,
                    wait);
      body += text;
    }
    // Arrivals per hour, as bars.
    const int barsTop = bottom + 42, barsBottom = barsTop + kBars;
    int most = 1;
    for (const HourRow& h : f.hours) {
      if (h.day == day) most = std::max(most, h.arrivals);
    }
    body += "<text x=\"10\" y=\"" + std::to_string(barsTop - 6) +
            "\" font-size=\"13\">Ankomne pr. time</text>\n";
    for (const HourRow& h : f.hours) {
      if (h.day != day) continue;
      const double height = static_cast<double>(kBars) * h.arrivals / most;
      std::snprintf(text, sizeof text,
                    "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#4a4\"><title>%02d: %d</title></rect>\n",
                    xOf(h.hour) + 1, barsBottom - height, (kRight - kLeft) / 24.0 - 2, height, h.hour,
                    h.arrivals);
      body += text;
    }
    y = barsBottom + 24;
    for (const ShiftRow& s : f.shifts) {
      if (s.shift.day != day) continue;
      body += "<text x=\"" + std::to_string(kLeft) + "\" y=\"" + std::to_string(y) +
              "\" font-size=\"12\">Rum " + std::to_string(s.shift.room) + ": " +
              xmlEscaped(utf8Of(s.shift.name)) + ", " + clockText(s.shift.start) + " til " +
              (s.shift.ended ? clockText(s.shift.end) : std::string("nu")) + ", " +
              std::to_string(s.shift.samples) + " patienter</text>\n";
      y += 16;
    }
    y += 20;
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
         std::to_string(kWidth) + "\" height=\"" + std::to_string(y) +
         "\" font-family=\"sans-serif\">\n" + body +
         "<text x=\"700\" y=\"20\" font-size=\"12\" fill=\"#1f77b4\">&#9679; voksne</text>\n"
         "<text x=\"780\" y=\"20\" font-size=\"12\" fill=\"#ff7f0e\">&#9679; boern</text>\n</svg>\n";
}

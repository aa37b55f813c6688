#include "chart.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

#include "output.hpp"

namespace {

constexpr int kWidth = 1000;
constexpr int kLeft = 80, kRight = 960;
constexpr const char* kAdults = "#1f77b4";
constexpr const char* kChildren = "#ff7f0e";
constexpr const char* kDayNames[] = {"man", "tir", "ons", "tor", "fre", "l\xC3\xB8r", "s\xC3\xB8n"};

std::string format(const char* pattern, auto... values) {
  char text[512];
  std::snprintf(text, sizeof text, pattern, values...);
  return text;
}

// A step of 1, 2 or 5 times a power of ten that cuts 0..most into at most
// about `ticks` parts.
double niceStep(double most, int ticks) {
  const double rough = std::max(most, 1.0) / ticks;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * power >= rough) return std::max(1.0, m * power);
  }
  return std::max(1.0, 10.0 * power);
}

double waitOf(const Patient& p) {
  return static_cast<double>(p.called - p.issued) / 60.0;
}
bool timed(const Patient& p) {
  return p.issued != Patient::kUnknown && p.called != Patient::kUnknown;
}

std::string number(double value) {
  std::string text = format("%.0f", value);
  return text;
}

// A plot's frame: values to pixels, with axes from zero (y), ticks, grid
// lines and titles.
struct Plot {
  double left, top, width, height;
  double xMin, xMax, yMax;
  double x(double v) const { return left + width * (v - xMin) / (xMax - xMin); }
  double y(double v) const { return top + height - height * v / yMax; }

  // The y axis from 0 to yMax in `step`s, and x ticks where given.
  std::string axes(double step, const std::vector<std::pair<double, std::string>>& xTicks,
                   const std::string& xTitle, const std::string& yTitle) const {
    std::string out;
    for (double v = 0; v <= yMax + step / 2; v += step) {
      out += format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#ddd\"/>\n", left,
                    y(v), left + width, y(v));
      out += format("<text x=\"%.1f\" y=\"%.1f\" font-size=\"11\" text-anchor=\"end\">%s</text>\n",
                    left - 5, y(v) + 4, number(v).c_str());
    }
    for (const auto& [at, label] : xTicks) {
      out += format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#eee\"/>\n", x(at),
                    top, x(at), top + height);
      out += format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#444\"/>\n", x(at),
                    top + height, x(at), top + height + 4);
      out += format("<text x=\"%.1f\" y=\"%.1f\" font-size=\"11\" text-anchor=\"middle\">%s</text>\n",
                    x(at), top + height + 16, xmlEscaped(label).c_str());
    }
    out += format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#444\"/>\n", left, top,
                  left, top + height);
    out += format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#444\"/>\n", left,
                  top + height, left + width, top + height);
    out += format("<text x=\"%.1f\" y=\"%.1f\" font-size=\"12\" text-anchor=\"middle\">%s</text>\n",
                  left + width / 2, top + height + 32, xmlEscaped(xTitle).c_str());
    out += format(
        "<text x=\"%.1f\" y=\"%.1f\" font-size=\"12\" text-anchor=\"middle\" "
        "transform=\"rotate(-90 %.1f %.1f)\">%s</text>\n",
        left - 48, top + height / 2, left - 48, top + height / 2, xmlEscaped(yTitle).c_str());
    return out;
  }
};

std::string clockText(HourMinute t) {
  return format("%d.%02d", t.hour, t.minute);
}

// The hours of the day with arrivals in `days`: first, one past the last.
std::pair<int, int> hoursWithArrivals(const Figures& f, const std::vector<std::string>& days) {
  int first = 24, last = -1;
  for (const HourRow& h : f.hours) {
    if (h.arrivals == 0 || std::find(days.begin(), days.end(), h.day) == days.end()) continue;
    first = std::min(first, h.hour);
    last = std::max(last, h.hour);
  }
  if (last < 0) return {8, 16};
  return {first, std::max(last + 1, first + 2)};
}

std::string daySection(const Figures& f, const std::string& day,
                       const std::vector<const Patient*>& patients, int& y) {
  std::string out;
  const auto [firstHour, endHour] = hoursWithArrivals(f, {day});
  double longest = 0;
  for (const Patient* p : patients) {
    if (timed(*p)) longest = std::max(longest, waitOf(*p));
  }
  const double waitStep = niceStep(longest, 6);
  const double waitTop = std::max(waitStep, std::ceil(longest / waitStep) * waitStep);
  out += format("<text x=\"10\" y=\"%d\" font-size=\"17\" font-weight=\"bold\">%s: ventetid fra "
                "nummer til kald</text>\n",
                y + 18, xmlEscaped(day).c_str());
  std::vector<std::pair<double, std::string>> hourTicks;
  for (int h = firstHour; h <= endHour; ++h) hourTicks.emplace_back(h, format("%02d", h));
  const Plot waits{kLeft, static_cast<double>(y + 36), kRight - kLeft, 240, double(firstHour),
                   double(endHour), waitTop};
  out += waits.axes(waitStep, hourTicks, "tidspunkt for nummeret (time)", "ventetid (minutter)");
  const long long midnight = momentOf(day, 0);
  for (const Patient* p : patients) {
    if (!timed(*p)) continue;
    const double hours = static_cast<double>(p->issued - midnight) / 3600.0;
    out += format(
        "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3\" fill=\"%s\"><title>%s %d: %.1f min</title></circle>\n",
        waits.x(std::clamp(hours, double(firstHour), double(endHour))), waits.y(waitOf(*p)),
        p->category == 1 ? kAdults : kChildren, p->category == 1 ? "voksen" : "barn", p->number,
        waitOf(*p));
  }
  // Arrivals per hour, each bar with its count.
  int most = 0;
  for (const HourRow& h : f.hours) {
    if (h.day == day) most = std::max(most, h.arrivals);
  }
  const double countStep = niceStep(most, 4);
  const Plot bars{kLeft, waits.top + waits.height + 70, kRight - kLeft, 110, double(firstHour),
                  double(endHour), std::max(countStep, std::ceil(most / countStep) * countStep)};
  out += bars.axes(countStep, hourTicks, "time", "ankomne pr. time");
  for (const HourRow& h : f.hours) {
    if (h.day != day || h.arrivals == 0) continue;
    const double x0 = bars.x(h.hour) + 2, x1 = bars.x(h.hour + 1) - 2;
    out += format("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#4a4\"/>\n", x0,
                  bars.y(h.arrivals), x1 - x0, bars.y(0) - bars.y(h.arrivals));
    out += format("<text x=\"%.1f\" y=\"%.1f\" font-size=\"11\" text-anchor=\"middle\">%d</text>\n",
                  (x0 + x1) / 2, bars.y(h.arrivals) - 3, h.arrivals);
  }
  y = static_cast<int>(bars.top + bars.height + 56);
  for (const ShiftRow& s : f.shifts) {
    if (s.shift.day != day) continue;
    out += format("<text x=\"%d\" y=\"%d\" font-size=\"12\">Rum %d: %s, %s%s%s, %d patienter</text>\n",
                  kLeft, y, s.shift.room, xmlEscaped(utf8Of(s.shift.name)).c_str(),
                  clockText(s.shift.start).c_str(), s.shift.ended ? " til " : ", ",
                  s.shift.ended ? clockText(s.shift.end).c_str() : "\xC3\xA5" "ben", s.shift.samples);
    y += 16;
  }
  y += 24;
  return out;
}

// Light yellow to dark red for 0..most minutes.
std::string heatColour(double minutes, double most) {
  const double t = std::clamp(minutes / std::max(most, 1.0), 0.0, 1.0);
  const int r = static_cast<int>(255 - 75 * t), g = static_cast<int>(240 - 210 * t),
            b = static_cast<int>(200 - 170 * t);
  return format("#%02x%02x%02x", r, g, b);
}

std::string summary(const Figures& f, const History& history, int& y) {
  std::string out;
  std::map<std::string, std::vector<double>> waitsByDay;
  std::map<std::string, int> patientsByDay;
  std::map<std::pair<int, int>, std::vector<double>> waitsByCell;  // (weekday, hour)
  for (const Patient& p : history.patients) {
    if (!std::binary_search(f.days.begin(), f.days.end(), p.day)) continue;
    ++patientsByDay[p.day];
    if (!timed(p)) continue;
    waitsByDay[p.day].push_back(waitOf(p));
    const long long day = p.issued / 86400;
    const int weekday = static_cast<int>((day % 7 + 7 + 3) % 7);  // 1970-01-01 was a Thursday
    waitsByCell[{weekday, static_cast<int>(p.issued % 86400 / 3600)}].push_back(waitOf(p));
  }
  const std::size_t n = f.days.size();
  out += format("<text x=\"10\" y=\"%d\" font-size=\"17\" font-weight=\"bold\">Ventetid og patienter "
                "pr. dag, %s til %s (%zu dage)</text>\n",
                y + 18, f.days.front().c_str(), f.days.back().c_str(), n);
  std::vector<Waits> daily;
  double most = 0;
  for (const std::string& day : f.days) {
    daily.push_back(waitsOf(waitsByDay[day]));
    most = std::max(most, daily.back().p90);
  }
  // Dates along the axis: about ten, at the first day of a month where the
  // span is long.
  std::vector<std::pair<double, std::string>> dayTicks;
  const std::size_t every = std::max<std::size_t>(1, n / 10);
  for (std::size_t i = 0; i < n; ++i) {
    const bool monthStart = n > 60 && (i == 0 || f.days[i].substr(0, 7) != f.days[i - 1].substr(0, 7));
    if (n > 60 ? monthStart : i % every == 0) {
      dayTicks.emplace_back(static_cast<double>(i) + 0.5, n > 60 ? f.days[i].substr(0, 7) : f.days[i].substr(5));
    }
  }
  const double waitStep = niceStep(most, 6);
  const Plot waits{kLeft, static_cast<double>(y + 50), kRight - kLeft, 220, 0.0, double(n),
                   std::max(waitStep, std::ceil(most / waitStep) * waitStep)};
  out += waits.axes(waitStep, dayTicks, "dag", "ventetid (minutter)");
  std::string median, p90;
  for (std::size_t i = 0; i < n; ++i) {
    if (daily[i].count == 0) continue;
    const double at = static_cast<double>(i) + 0.5;
    median += format("%.1f,%.1f ", waits.x(at), waits.y(daily[i].median));
    p90 += format("%.1f,%.1f ", waits.x(at), waits.y(daily[i].p90));
  }
  out += "<polyline fill=\"none\" stroke=\"#c33\" stroke-width=\"1.5\" points=\"" + p90 + "\"/>\n";
  out += "<polyline fill=\"none\" stroke=\"#1f77b4\" stroke-width=\"2\" points=\"" + median + "\"/>\n";
  out += format("<text x=\"%d\" y=\"%d\" font-size=\"12\" fill=\"#1f77b4\">&#9644; median</text>\n", kRight - 170,
                y + 42);
  out += format("<text x=\"%d\" y=\"%d\" font-size=\"12\" fill=\"#c33\">&#9644; 90 %%</text>\n", kRight - 80,
                y + 42);
  int mostPatients = 0;
  for (const auto& [day, count] : patientsByDay) mostPatients = std::max(mostPatients, count);
  const double countStep = niceStep(mostPatients, 4);
  const Plot bars{kLeft, waits.top + waits.height + 60, kRight - kLeft, 120, 0.0, double(n),
                  std::max(countStep, std::ceil(mostPatients / countStep) * countStep)};
  out += bars.axes(countStep, dayTicks, "dag", "patienter");
  for (std::size_t i = 0; i < n; ++i) {
    const int count = patientsByDay[f.days[i]];
    const double at = static_cast<double>(i), gap = n > 100 ? 0.2 : 1.0;
    const double x0 = bars.x(at) + gap, x1 = bars.x(at + 1) - gap;
    out += format("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#4a4\"><title>%s: "
                  "%d</title></rect>\n",
                  x0, bars.y(count), std::max(0.5, x1 - x0), bars.y(0) - bars.y(count), f.days[i].c_str(), count);
  }
  // The heat map: median wait by weekday and hour.
  const auto [firstHour, endHour] = hoursWithArrivals(f, f.days);
  const double mapTop = bars.top + bars.height + 80;
  out += format("<text x=\"10\" y=\"%.0f\" font-size=\"15\" font-weight=\"bold\">Median ventetid "
                "(minutter) efter ugedag og time for nummeret</text>\n",
                mapTop - 16);
  const double cellWidth = (kRight - kLeft) / static_cast<double>(endHour - firstHour), cellHeight = 28;
  double hottest = 0;
  for (auto& [cell, values] : waitsByCell) hottest = std::max(hottest, waitsOf(values).median);
  int row = 0;
  for (int weekday = 0; weekday < 7; ++weekday) {
    bool any = false;
    for (int h = firstHour; h < endHour; ++h) any = any || waitsByCell.count({weekday, h});
    if (!any) continue;
    const double top = mapTop + row * cellHeight;
    out += format("<text x=\"%d\" y=\"%.1f\" font-size=\"12\" text-anchor=\"end\">%s</text>\n", kLeft - 8,
                  top + 18, kDayNames[weekday]);
    for (int h = firstHour; h < endHour; ++h) {
      const double x = kLeft + (h - firstHour) * cellWidth;
      const auto found = waitsByCell.find({weekday, h});
      if (found == waitsByCell.end()) {
        out += format("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#f4f4f4\" "
                      "stroke=\"#fff\"/>\n",
                      x, top, cellWidth, cellHeight);
        continue;
      }
      const double m = waitsOf(found->second).median;
      out += format("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"%s\" stroke=\"#fff\">"
                    "<title>%s %02d: %.1f min (%zu)</title></rect>\n",
                    x, top, cellWidth, cellHeight, heatColour(m, hottest).c_str(), kDayNames[weekday], h, m,
                    found->second.size());
      out += format("<text x=\"%.1f\" y=\"%.1f\" font-size=\"11\" text-anchor=\"middle\" fill=\"%s\">%.0f</text>\n",
                    x + cellWidth / 2, top + 18, m > hottest * 0.6 ? "#fff" : "#000", m);
    }
    ++row;
  }
  const double mapBottom = mapTop + row * cellHeight;
  for (int h = firstHour; h <= endHour; ++h) {
    out += format("<text x=\"%.1f\" y=\"%.1f\" font-size=\"11\" text-anchor=\"middle\">%02d</text>\n",
                  kLeft + (h - firstHour) * cellWidth, mapBottom + 14, h);
  }
  // The colour scale.
  const double scaleTop = mapBottom + 30;
  for (int i = 0; i <= 5; ++i) {
    const double m = hottest * i / 5.0;
    out += format("<rect x=\"%.1f\" y=\"%.1f\" width=\"40\" height=\"14\" fill=\"%s\"/>\n", kLeft + i * 60.0,
                  scaleTop, heatColour(m, hottest).c_str());
    out += format("<text x=\"%.1f\" y=\"%.1f\" font-size=\"11\">%.0f</text>\n", kLeft + i * 60.0 + 44,
                  scaleTop + 11, m);
  }
  out += format("<text x=\"%.1f\" y=\"%.1f\" font-size=\"11\">minutter</text>\n", kLeft + 6 * 60.0, scaleTop + 11);
  y = static_cast<int>(scaleTop + 40);
  return out;
}

}  // namespace

std::string reportSvg(const Figures& f, const History& history) {
  std::string body;
  int y = 10;
  if (f.days.size() > kDaysPerDay) {
    body = summary(f, history, y);
  } else {
    std::map<std::string, std::vector<const Patient*>> byDay;
    for (const Patient& p : history.patients) {
      if (std::find(f.days.begin(), f.days.end(), p.day) != f.days.end()) byDay[p.day].push_back(&p);
    }
    for (const std::string& day : f.days) body += daySection(f, day, byDay[day], y);
    body += format("<text x=\"%d\" y=\"24\" font-size=\"12\" fill=\"%s\">&#9679; voksne</text>\n", kRight - 140,
                   kAdults);
    body += format("<text x=\"%d\" y=\"24\" font-size=\"12\" fill=\"%s\">&#9679; b\xC3\xB8rn</text>\n", kRight - 60,
                   kChildren);
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
         std::to_string(kWidth) + "\" height=\"" + std::to_string(y) + "\" viewBox=\"0 0 " +
         std::to_string(kWidth) + " " + std::to_string(y) +
         "\" font-family=\"sans-serif\">\n<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n" + body +
         "</svg>\n";
}

// The report as a picture (SVG, UTF-8) for a browser or rsvg-convert, made
// to be read at a glance by the clinic's manager.
//
// Up to kDaysPerDay days: one section a day. Every patient's wait (F3 to
// F4) against the time of the number, on axes from zero with ticks, grid
// lines and titles (minutes; the hours of the day from the first to the
// last hour with arrivals); the arrivals per hour as bars with their
// counts; the day's shifts (an open one "åben", as in the text and CSV).
//
// More days: one summary, whatever the span: per day the median and 90 %
// wait and the patients, and the median wait by weekday and hour as a heat
// map with its scale; about 1,000 x 900 pixels for a year.
//
// Names are escaped for XML; nothing of the journal reaches the picture as
// markup.
#pragma once

#include <string>

#include "figures.hpp"

inline constexpr std::size_t kDaysPerDay = 7;

std::string reportSvg(const Figures& figures, const History& history);

// The answers of F4 and F5 in the dialog panel. They change no state.
#pragma once

#include <cstdint>
#include <string>

// "Indkald nummer: " and "Patient type: " on rows 9 and 11, the number and
// "voksen" / "barn " from column 55.
void showCalledPatient(std::int32_t number, int category);

// The six labels on rows 9..19 and the values from column 56: category
// ("voksne" / "boern "), name, samples, start time, working time and
// patients per hour. Working time is the real time from `start` to `now`
// (ClockValues; across midnight when now is earlier) in hour.minute
// notation; the rate is samples per real hour with two decimals, or "0"
// when no time has passed.
void showRoomStatus(int category, const std::string& name, std::int32_t samples, double start,
                    double now);

// Whole-screen pictures, written down from the screen layout: 25 rows of
// 80 glyphs each (UTF-8), every row ending in a newline.
#pragma once

namespace pictures {

inline constexpr const char* kStartScreen =
    "╔══════════════════════════════════════════════════════════════════════════════╗\n"
    "║                      Morvalis anno 2000                                      ║\n"
    "╠═══════════╦═══════════╦═══════════╦═══════════╦═══════════╦══════════════════╣\n"
    "║ Rum 1: ██ ║ Rum 2: ██ ║ Rum 3: ██ ║ Rum 4: ██ ║ Rum 5: ██ ║ Ventende: 0 - 0  ║\n"
    "╠═══════════╩═══════════╩═══════════╬═══════════╩═══════════╩══════════════════╣\n"
    "║                                   ║                                          ║\n"
    "║  F1: Laborant ankommer            ║                                          ║\n"
    "║                                   ║                                          ║\n"
    "║  F2: Laborant gaar                ║                                          ║\n"
    "║                                   ║                                          ║\n"
    "║  F3: Patient tildeles nummer      ║                                          ║\n"
    "║                                   ║                                          ║\n"
    "║  F4: Patient kaldes til tapning   ║                                          ║\n"
    "║                                   ║                                          ║\n"
    "║  F5: Status                       ║                                          ║\n"
    "║                                   ║                                          ║\n"
    "║  ESC: Exit                        ║                                          ║\n"
    "║                                   ║                                          ║\n"
    "║                                   ║                                          ║\n"
    "║                                   ║                                          ║\n"
    "║                                   ║                                          ║\n"
    "╠═══════════════════════════════════╩══════════════════════════════════════════╣\n"
    "║                      Morvalis anno 2000                                      ║\n"
    "╚══════════════════════════════════════════════════════════════════════════════╝\n"
    "                                                                                \n";

// The seven rows of the error box, columns 41 to 77.
inline constexpr const char* kErrorBoxRows[] = {
    "╔═══════════════════════════════════╗", "║                                   ║",
    "║ Programmet har udfoert en ulovlig ║", "║             handling              ║",
    "║   tryk en tast for at forsaette   ║", "║                                   ║",
    "╚═══════════════════════════════════╝",
};

}  // namespace pictures

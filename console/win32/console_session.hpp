// ConsoleSession: the console of the program on this platform, the Win32
// console (see win32_console.hpp), and how a run that the console ended
// ends the process.
#pragma once

#include "console_face.hpp"
#include "win32_console.hpp"

using ConsoleSession = Win32Console;

// What to tell the user about how the run ended (nullptr: nothing).
const char* endingReason(const ConsoleClosed& closed);
// Ends the process as Ctrl+C or Ctrl+Break would have; returns for any
// other ending.
void endLikeTheSignal(const ConsoleClosed& closed);

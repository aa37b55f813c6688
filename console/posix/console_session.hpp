// ConsoleSession: the console of the program on this platform, a terminal
// (see terminal.hpp), and how a run that the console ended ends the process.
#pragma once

#include "console_face.hpp"
#include "terminal.hpp"

using ConsoleSession = TerminalSession;

// What to tell the user about how the run ended (nullptr: nothing).
const char* endingReason(const ConsoleClosed& closed);
// Ends the process the way the signal that ended the run would have, so the
// shell sees it (SIGINT, SIGTERM); returns for any other ending.
void endLikeTheSignal(const ConsoleClosed& closed);

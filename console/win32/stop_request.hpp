// Whether Ctrl+C, Ctrl+Break or closing the console window asked the
// program to end: set by the console's control handler, read by waits that
// must not outlast such a request (the wait for the folder's lock).
#pragma once

bool stopRequested();

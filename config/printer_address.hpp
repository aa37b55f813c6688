// A printer's address as morvalis.conf names it: HOST:PORT for a network
// printer, a device file (/dev/usb/lp0), cups:QUEUE, and on Windows an
// installed printer's name or COM1..COM9. Pure text: nothing is looked up.
#pragma once

#include <string>

// HOST and PORT of "HOST:PORT" (a port of digits only); false otherwise.
bool networkAddress(const std::string& address, std::string& host, std::string& port);

// Why `address` cannot name a printer on this platform ("mangler port (fx
// :9100)", ...); empty when it can. Said at start, not at the first F3.
std::string printerAddressProblem(const std::string& address);

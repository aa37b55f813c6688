// PrinterLink: sends a ticket's bytes to the printer an address names
// (see DeskConfig), in one piece, and says how it went. It runs on the
// ticket printer's own thread: it may take a few seconds (at most about
// 2 s to connect and 2 s to send to a network printer; a paper question
// waits 300 ms), never longer.
//
// A network printer (HOST:PORT) is asked for its paper first (DLE EOT 4);
// one that answers "out" gets no ticket (NoPaper); one that does not
// answer the question is sent the ticket all the same. Reasons are Danish,
// for the desk's screen.
#pragma once

#include <functional>
#include <string>

enum class PrintOutcome { Printed, NoAnswer, NoPaper, Failed };

// The longest waits of a link, in milliseconds.
inline constexpr int kConnectMs = 2000;
inline constexpr int kSendMs = 2000;
inline constexpr int kStatusMs = 300;

struct PrintResult {
  PrintOutcome outcome = PrintOutcome::Failed;
  std::string reason;  // empty when printed: "printeren svarer ikke", "intet papir", ...
};

using PrinterLink = std::function<PrintResult(const std::string& address, const std::string& bytes)>;

// The platform's own link: TCP, a device file or CUPS on Linux; TCP, an
// installed printer through the spooler (RAW) or a COM port on Windows.
PrintResult sendToPrinter(const std::string& address, const std::string& bytes);

// HOST and PORT of "HOST:PORT" (a port of digits only); false otherwise.
bool networkAddress(const std::string& address, std::string& host, std::string& port);

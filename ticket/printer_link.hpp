// PrinterLink: sends a ticket's bytes to the printer an address names
// (see DeskConfig), in one piece, and says how it went. It runs on the
// ticket printer's worker, never on the key path, and every wait in it has
// a limit: a name lookup kLookupMs (on a thread of its own, left to end by
// itself when the resolver does not answer), a connection kConnectMs, room
// to send kSendMs, the paper question kStatusMs, the printer's answer after
// the ticket kAnswerMs, every call to CUPS or the spooler kCallMs, and a
// job followed in CUPS or the spooler at most kJobMs (then cancelled).
//
// Printed means the printer said so: a network printer or a device that
// answers is asked again after the ticket (DLE EOT 4) and its answer is the
// proof (none: "printeren svarer ikke"); a CUPS job counts once CUPS says
// it is completed, a spooler job once the spooler has sent it. A device
// that cannot answer (no back channel) counts once it took the bytes.
// Reasons are short Danish words for the desk's row 23, the platform's own
// English only after them, in brackets.
#pragma once

#include <functional>
#include <string>

#include "printer_address.hpp"

enum class PrintOutcome { Printed, NoAnswer, NoPaper, Failed };

// The longest waits of a link, in milliseconds.
inline constexpr int kLookupMs = 2000;
inline constexpr int kConnectMs = 2000;
inline constexpr int kSendMs = 2000;
inline constexpr int kStatusMs = 300;
inline constexpr int kAnswerMs = 2000;
inline constexpr int kCallMs = 2000;
inline constexpr int kJobMs = 5000;

struct PrintResult {
  PrintOutcome outcome = PrintOutcome::Failed;
  std::string reason;  // empty when printed: "printeren svarer ikke", "intet papir", ...
};

using PrinterLink = std::function<PrintResult(const std::string& address, const std::string& bytes)>;

// The platform's own link: TCP, a device file or CUPS on Linux; TCP, an
// installed printer through the spooler (RAW) or a COM port on Windows.
// `address` is UTF-8, as morvalis.conf has it.
PrintResult sendToPrinter(const std::string& address, const std::string& bytes);

// Runs `task` on a thread of its own and waits for it at most `ms`; true
// when it finished in time. A task that did not is left to finish on its
// own, so it must own everything it uses (shared pointers, copies).
bool finishedWithin(int ms, std::function<void()> task);

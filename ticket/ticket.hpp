// Ticket: what the patient takes away from F3, as the bytes of ESC/POS, the
// command language of the common thermal receipt printers.
//
// Layout, centred: the clinic's line (when set; broken at blanks into lines
// of at most kTicketColumns, the 48 of an 80 mm roll), the number as large as
// the printer prints (8 x 8), "Voksen" or "Barn", the date and time, how
// many are ahead ("Foran dig: 4"), the expected wait when there is one
// ("Forventet ventetid: ca. 15 min"), then a feed and a cut (GS V). Code
// page 865 is selected first (ESC t 5), so the clinic's Danish letters
// print as typed. Text fields are code page bytes; control bytes in them
// are dropped here too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

inline constexpr std::size_t kTicketColumns = 48;

struct Ticket {
  std::string clinic;  // code page 865 bytes; empty: no line
  std::int32_t number = 0;
  int category = 1;    // 1 adults, 2 children
  std::string when;    // "07-12-2026 kl. 08:31"
  int ahead = 0;       // numbers of the same category before this one
  std::optional<int> expectedMinutes;
};

std::string ticketBytes(const Ticket& ticket);

// A ticket's `when`: "07-12-2026 kl. 08:31" for a day and a second of it.
std::string ticketTime(int year, int month, int day, int secondOfDay);

// ESC/POS's real-time status request for the paper sensor (DLE EOT 4), and
// whether an answer to it says the paper is out (bits 5 and 6).
inline constexpr const char kPaperStatusRequest[] = "\x10\x04\x04";
inline bool paperIsOut(unsigned char answer) {
  return (answer & 0x60) != 0;
}

// DeskConfig: "morvalis.conf" beside data.txt, set once per desk folder.
//
// Lines `name = value`; blank lines and lines starting with # are allowed.
// Names: `printer` (where tickets go: HOST:PORT for a network printer,
// a device file such as /dev/usb/lp0, cups:QUEUE, and on Windows an
// installed printer's name or COM1..COM9), `klinik` (the ticket's first
// line) and `database` (a libpq connection string or URI: the day is kept
// in PostgreSQL, shared by every PC that names it; none: the journal file).
// The ticket machine at the door reads `tast voksen` and `tast barn` (the
// key that gives a number of each category: one printable character,
// default v and b) and `tast slut` (the one combination that ends it:
// ctrl+A .. ctrl+Z, default ctrl+q).
// `kald ikke moedte foerst = ja` makes the desk's F4 call a number a booth
// marked as not come back into the room before the oldest waiting.
// A password belongs in libpq's password file: a `database` that holds one
// in a morvalis.conf others may read (any morvalis.conf on Windows, whose
// rights we do not read) is refused, with the reason in `refusal`. The file is UTF-8 (or plain ASCII), with or without the byte order
// mark Notepad writes, its lines ended by LF, CR LF or CR. `klinik` reaches
// the printer as code page 865 bytes, with every control byte dropped, so a
// line of the file can never send the printer a command; `printer` stays
// as typed (UTF-8, controls dropped), since it names a queue or a printer
// to the system. A line not understood, or a printer that cannot be one
// ("127.0.0.1" without its port), is named in `problems` (Danish, one
// panel line each) and otherwise ignored. No file: no printer, nothing to
// say.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "file_system.hpp"

struct DeskConfig {
  static constexpr const char* kFileName = "morvalis.conf";
  std::string printer;  // UTF-8; empty: no printer
  std::string clinic;   // code page 865 bytes, printable only
  std::string database;  // UTF-8 as typed; empty: the journal file
  std::string refusal;   // English, for standard error: the program must not start
  int keyAdult = 'v';    // the ticket machine's keys: the codes they send
  int keyChild = 'b';
  int keyEnd = 17;       // ctrl+q
  bool notMetFirst = false;  // the desk's F4 calls a number not met back before the oldest waiting
  std::vector<std::string> problems;
};

// `othersMayRead`: whether the file's rights let others than its owner read it.
DeskConfig parseDeskConfig(std::string_view text, bool othersMayRead = false);
DeskConfig readDeskConfig(FileSystem& files, const std::string& path = DeskConfig::kFileName);

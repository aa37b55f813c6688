// The ticket as the patient reads it, morvalis.conf as an operator writes
// it, and no byte of the file ever reaching the printer as a command.
#include "ticket.hpp"

#include <gtest/gtest.h>

#include <random>

#include "desk_config.hpp"
#include "escpos_reader.hpp"
#include "printer_link.hpp"

namespace {

TEST(Ticket, AsThePatientReadsIt) {
  Ticket t;
  t.clinic = "Klinik \x9D";  // Ø in code page 865
  t.number = 17;
  t.when = "07-12-2026 kl. 08:31";
  t.ahead = 4;
  t.expectedMinutes = 15;
  const Paper paper = readEscPos(ticketBytes(t));
  ASSERT_TRUE(paper.understood) << paper.problem;
  EXPECT_EQ(paper.text(),
            "Klinik \xC3\x98\n\n17\nVoksen\n\n07-12-2026 kl. 08:31\nForan dig: 4\n"
            "Forventet ventetid: ca. 15 min\n\n\n\n");
  EXPECT_EQ(paper.codePage, 5);
  EXPECT_EQ(paper.cuts, 1);
  EXPECT_TRUE(paper.lines[0].bold && paper.lines[0].centred);
  EXPECT_EQ((std::pair{paper.lines[2].width, paper.lines[2].height}), (std::pair{8, 8}));
  EXPECT_EQ(paper.lines[3].height, 2);
  t.category = 2;
  t.clinic.clear();
  t.expectedMinutes.reset();
  EXPECT_EQ(readEscPos(ticketBytes(t)).text(),
            "\n17\nBarn\n\n07-12-2026 kl. 08:31\nForan dig: 4\n\n\n\n");
}

TEST(DeskConfig, AsAnOperatorWritesIt) {
  const DeskConfig config = parseDeskConfig(
      "# the desk by the door\r\n"
      "printer = 192.0.2.7:9100\n"
      "  klinik=Blodpr\xC3\xB8ver \xC3\x98st \xE2\x82\xAC\x1B@\n"
      "\n"
      "printer\n"
      "farve = blaa\n");
  EXPECT_EQ(config.printer, "192.0.2.7:9100");
  EXPECT_EQ(config.clinic, "Blodpr\x9Bver \x9Dst ?@") << "code page 865; ESC dropped; no euro";
  EXPECT_EQ(config.problems, (std::vector<std::string>{"morvalis.conf linje 5 forstaas ikke",
                                                       "morvalis.conf linje 6 forstaas ikke"}));
  EXPECT_TRUE(parseDeskConfig("").printer.empty());
}

// Whatever bytes the file holds, the ticket carries no command of theirs:
// the printer reads text and this program's own commands only.
TEST(DeskConfig, NoLineOfTheFileReachesThePrinterAsACommand) {
  std::mt19937 random(865);
  for (int i = 0; i < 500; ++i) {
    std::string text = "klinik = ";
    for (int k = 0; k < 40; ++k) text += static_cast<char>(random());
    Ticket t;
    t.clinic = parseDeskConfig(text).clinic;
    t.number = 1;
    const Paper paper = readEscPos(ticketBytes(t));
    ASSERT_TRUE(paper.understood) << paper.problem;
    EXPECT_EQ(paper.cuts, 1);
    EXPECT_EQ(paper.largest(), "1");
  }
}

#ifdef _WIN32
// The spooler and COM paths as far as Wine goes: a printer or port that is
// not there is said, never waited for.
TEST(PrinterLink, AWindowsPrinterThatIsNotThereIsSaid) {
  EXPECT_EQ(sendToPrinter("Ingen saadan printer", "x").reason, "printeren findes ikke");
  EXPECT_EQ(sendToPrinter("COM9", "x").reason, "printeren findes ikke");
}
#endif

}  // namespace

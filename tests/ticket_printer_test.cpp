// Tickets through a network printer of the test's own: every way a printer
// answers, and the desk that never waits for it.
#include "ticket_printer.hpp"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "desk_driver.hpp"
#include "escpos_reader.hpp"
#include "fake_printer.hpp"
#include "ticket.hpp"

namespace {

using namespace std::chrono;

TicketPrinter::News printed(TicketPrinter& printer, const std::string& bytes) {
  printer.print(bytes);
  while (printer.busy()) std::this_thread::sleep_for(milliseconds(2));
  return printer.takeNews().value_or(TicketPrinter::News{});
}

TEST(TicketPrinter, EveryWayAPrinterAnswers) {
  // Printed only when the printer answers after the ticket: one that takes
  // the bytes and says nothing (silent, or never reading) has not printed.
  const struct {
    FakePrinter::Mode mode;
    const char* reason;  // "": printed
  } cases[] = {
      {FakePrinter::Mode::Prints, ""},
      {FakePrinter::Mode::Slow, ""},
      {FakePrinter::Mode::Silent, "printeren svarer ikke"},
      {FakePrinter::Mode::Deaf, "printeren svarer ikke"},
      {FakePrinter::Mode::NoPaper, "intet papir"},
      {FakePrinter::Mode::HangsUp, "printeren lukkede forbindelsen"},
  };
  Ticket t;
  t.number = 5;
  for (const auto& c : cases) {
    FakePrinter fake;
    fake.setMode(c.mode);
    TicketPrinter printer(fake.address());
    const auto sent = steady_clock::now();
    const TicketPrinter::News news = printed(printer, ticketBytes(t));
    EXPECT_LT(steady_clock::now() - sent, seconds(5)) << "said within 5 s";
    EXPECT_EQ(news.reason, c.reason) << static_cast<int>(c.mode);
    EXPECT_EQ(news.unreachable, *c.reason != '\0');
    fake.setMode(FakePrinter::Mode::Prints);  // a deaf printer lets go
    if (*c.reason == '\0') {
      ASSERT_TRUE(fake.waitForJobs(1, 2000));
      EXPECT_EQ(readEscPos(fake.received()[0]).largest(), "5");
    }
  }
  FakePrinter gone;
  const std::string address = gone.address();
  gone.goAway();
  TicketPrinter printer(address);
  EXPECT_EQ(printed(printer, "x").reason, "printeren svarer ikke");
}

// F3 sends its ticket at once; with the printer gone the next number comes
// as fast, and row 23 says the ticket was not printed until one gets there.
TEST(TicketPrinter, TheDeskNeverWaitsForThePrinter) {
  FakePrinter fake;
  TicketPrinter printer(fake.address());
  DeskDriver d(&printer, "Klinik");
  const auto sent = steady_clock::now();
  d.key(3).press({'v'}).runAndCrash();
  ASSERT_TRUE(fake.waitForJobs(1, 1000));
  const double ms = duration<double, std::milli>(steady_clock::now() - sent).count();
  EXPECT_LT(ms, 100.0) << "the ticket is out within 100 ms";
  const Paper paper = readEscPos(fake.received()[0]);
  EXPECT_EQ(paper.lines[0].text, "Klinik");
  EXPECT_EQ(paper.lines[2].text, "1");
  EXPECT_EQ(paper.lines[3].text, "Voksen");
  EXPECT_EQ(paper.lines[6].text, "Foran dig: 0");

  fake.goAway();
  const auto pressed = steady_clock::now();
  d.key(3).press({'v'}).runAndCrash();
  const double issued = duration<double, std::milli>(steady_clock::now() - pressed).count();
  EXPECT_LT(issued, 50.0);
  EXPECT_EQ(d.text(9, 55, 56), "2 ") << "the number first, at once";
  while (printer.busy()) std::this_thread::sleep_for(milliseconds(2));
  d.press({MemoryConsole::kNoKey}).runAndCrash();
  EXPECT_EQ(d.text(23, 2, 79).find("Billet ikke udskrevet: printeren svarer ikke"), 17u)
      << d.text(23, 2, 79);
  EXPECT_EQ(d.color(20, 23), Yellow);
}

// A printer that keeps every ticket a long time: a ticket that would come
// out over the limit after its F3 is dropped and said, and the end waits
// for none of them, saying how many did not go out.
TEST(TicketPrinter, LateTicketsAreDroppedAndTheEndNeverWaits) {
  auto release = std::make_shared<std::atomic<bool>>(false);
  auto sent = std::make_shared<std::atomic<int>>(0);
  const PrinterLink held = [release, sent](const std::string&, const std::string&) {
    while (!*release) std::this_thread::sleep_for(milliseconds(5));
    ++*sent;
    return PrintResult{PrintOutcome::Printed, ""};
  };
  {
    // The first ticket held at the printer past the limit: the two behind
    // it would come out late, and are dropped.
    TicketPrinter printer("x", held, milliseconds(300));
    for (int i = 0; i < 3; ++i) printer.print("t");
    std::this_thread::sleep_for(milliseconds(600));
    *release = true;
    while (printer.busy()) std::this_thread::sleep_for(milliseconds(5));
    EXPECT_EQ(*sent, 1);
    const auto news = printer.takeNews();
    ASSERT_TRUE(news);
    EXPECT_EQ(news->failed, 2);
    EXPECT_EQ(news->reason, "over et minut forsinket");
  }
  *release = false;
  TicketPrinter printer("x", held);
  for (int i = 0; i < 3; ++i) printer.print("t");
  while (!printer.busy()) std::this_thread::sleep_for(milliseconds(5));
  std::this_thread::sleep_for(milliseconds(50));
  const auto ending = steady_clock::now();
  EXPECT_EQ(printer.stop(), 3) << "one being sent, two waiting";
  EXPECT_LT(steady_clock::now() - ending, seconds(2));
  *release = true;
}

// One ticket fails and the next gets there before the desk looks: the
// warning is still drawn, and stays until a key has been read after it.
TEST(TicketPrinter, AWarningStaysUntilTheNextKey) {
  auto calls = std::make_shared<std::atomic<int>>(0);
  TicketPrinter printer("x", [calls](const std::string&, const std::string&) {
    return ++*calls == 1 ? PrintResult{PrintOutcome::NoAnswer, "printeren svarer ikke"}
                         : PrintResult{PrintOutcome::Printed, ""};
  });
  DeskDriver d(&printer);
  d.key(3).press({'v'}).key(3).press({'v'});
  while (*calls < 2 || printer.busy()) {
    d.runAndCrash();
    std::this_thread::sleep_for(milliseconds(2));
  }
  const std::string warning = "Billet ikke udskrevet: printeren svarer ikke";
  d.press({MemoryConsole::kNoKey, MemoryConsole::kNoKey}).runAndCrash();
  EXPECT_NE(d.text(23, 2, 79).find(warning), std::string::npos) << d.text(23, 2, 79);
  d.press({'x', MemoryConsole::kNoKey}).runAndCrash();
  EXPECT_EQ(d.text(23, 2, 79).find(warning), std::string::npos) << d.text(23, 2, 79);
}

// A serial printer is a terminal device: set raw before the ticket, so its
// LF goes out as LF, not CR LF, and no byte is taken for a line's editing.
TEST(TicketPrinter, ASerialPrinterGetsTheBytesAsTheyAre) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string device = ::ptsname(master);
  const std::string ticket = "Klinik\nFoo\r\x1B@\x7F\x03\n";
  const PrintResult result = sendToPrinter(device, ticket);
  EXPECT_EQ(result.outcome, PrintOutcome::Printed) << result.reason;
  std::string got;
  char buffer[256];
  pollfd in{master, POLLIN, 0};
  while (::poll(&in, 1, 200) > 0) {
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
  }
  EXPECT_EQ(got, std::string(kPaperStatusRequest, 3) + ticket);
  ::close(master);
}

}  // namespace

// Tickets through a real CUPS queue: a cupsd of the test's own, with its
// configuration in a scratch folder, a raw queue whose backend (the test's
// own, a shell script) writes the job into a file. F3 puts the ticket's
// bytes there; every state of a queue is said in Danish; and a CUPS or a
// name server that never answers holds up neither a key nor the end.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "desk_driver.hpp"
#include "printer_link.hpp"
#include "tmux_pane.hpp"
#include "test_server.hpp"
#include "escpos_reader.hpp"
#include "ticket_printer.hpp"
#include "work_directory.hpp"

namespace {

namespace fs = std::filesystem;

class ScratchCups {
 public:
  explicit ScratchCups(const fs::path& root) : root_(root) {
    fs::create_directories(root_ / "out");
    fs::create_directories(root_ / "bin" / "backend");
    fs::permissions(root_ / "out", fs::perms::all);
    fs::create_directory_symlink("/usr/lib/cups/daemon", root_ / "bin" / "daemon");
    WorkDirectory::write(root_ / "bin" / "backend" / "capture",
                         "#!/bin/sh\n"
                         "[ $# -eq 0 ] && { echo 'direct capture \"Unknown\" \"a file\"'; exit 0; }\n"
                         "if [ -n \"$6\" ]; then cat \"$6\"; else cat; fi > \"${DEVICE_URI#capture:}\"\n");
    ::chmod((root_ / "bin" / "backend" / "capture").c_str(), 0755);
    const std::string r = root_.string();
    WorkDirectory::write(root_ / "cupsd.conf", "Listen " + r + "/cups.sock\nLogLevel warn\n"
                                               "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n");
    WorkDirectory::write(root_ / "cups-files.conf",
                         "ServerRoot " + r + "\nServerBin " + r + "/bin\nRequestRoot " + r +
                             "/spool\nCacheDir " + r + "/cache\nStateDir " + r + "/state\nTempDir " +
                             r + "/spool\nErrorLog " + r + "/error_log\nAccessLog " + r +
                             "/access_log\nPageLog " + r + "/page_log\nUser lp\nGroup lp\n");
    // The ticket queue, one named with a Danish letter, one stopped.
    WorkDirectory::write(root_ / "printers.conf",
                         "<Printer billet>\nState Idle\nAccepting Yes\n"
                         "DeviceURI capture:" + r + "/out/ticket.bin\n</Printer>\n"
                         "<Printer skranke-\xC3\xB8>\nState Idle\nAccepting Yes\n"
                         "DeviceURI capture:" + r + "/out/skranke.bin\n</Printer>\n"
                         "<Printer stoppet>\nState Stopped\nAccepting Yes\n"
                         "DeviceURI capture:" + r + "/out/stoppet.bin\n</Printer>\n");
    for (const char* folder : {"spool", "cache", "state"}) fs::create_directories(root_ / folder);
    if (::access("/usr/sbin/cupsd", X_OK) != 0) {
      why_ = "no cupsd here (Debian's cups-daemon)";
      return;
    }
    cupsd_ = TestServer({"/usr/sbin/cupsd", "-f", "-c", r + "/cupsd.conf", "-s", r + "/cups-files.conf"},
                        root_ / "cupsd.out");
    if (!cupsd_.waitFor(root_ / "cups.sock", 3000)) {
      why_ = "cupsd did not start: " + WorkDirectory::read(root_ / "error_log");
    }
  }
  ~ScratchCups() {
    cupsd_.stop();
    fs::remove_all(root_);
  }
  const std::string& whyNot() const { return why_; }
  std::string socket() const { return (root_ / "cups.sock").string(); }
  fs::path output(const char* name = "ticket.bin") const { return root_ / "out" / name; }

 private:
  fs::path root_;
  TestServer cupsd_;
  std::string why_;
};

TEST(Cups, F3PutsTheTicketInARealQueue) {
  ScratchCups cups(fs::temp_directory_path() / ("morvalis-cups-" + std::to_string(getpid())));
  if (!cups.whyNot().empty()) GTEST_SKIP() << cups.whyNot();
  ::setenv("CUPS_SERVER", cups.socket().c_str(), 1);
  TicketPrinter printer("cups:billet");
  DeskDriver d(&printer);
  d.key(3).press({'b'}).runAndCrash();
  for (int i = 0; i < 500 && !fs::exists(cups.output()); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the backend's last bytes
  const Paper paper = readEscPos(WorkDirectory::read(cups.output()));
  EXPECT_EQ(paper.largest(), "1");
  EXPECT_NE(paper.text().find("Barn\n"), std::string::npos) << paper.text();
  EXPECT_EQ(paper.cuts, 1);
  const auto news = printer.takeNews();
  EXPECT_FALSE(news && news->failed > 0) << news->reason;
}

TEST(Cups, EachQueueIsSaidAsItIs) {
  ScratchCups cups(fs::temp_directory_path() / ("morvalis-cups-" + std::to_string(getpid())));
  if (!cups.whyNot().empty()) GTEST_SKIP() << cups.whyNot();
  ::setenv("CUPS_SERVER", cups.socket().c_str(), 1);
  const PrintResult danish = sendToPrinter("cups:skranke-\xC3\xB8", "billet\n");
  EXPECT_EQ(danish.outcome, PrintOutcome::Printed) << danish.reason;
  EXPECT_EQ(WorkDirectory::read(cups.output("skranke.bin")), "billet\n") << "completed means there";
  EXPECT_EQ(sendToPrinter("cups:stoppet", "x").reason, "koeen er stoppet");
  EXPECT_EQ(sendToPrinter("cups:ingen", "x").reason, "koeen findes ikke");
  ::setenv("CUPS_SERVER", (cups.socket() + "-ingen").c_str(), 1);
  EXPECT_EQ(sendToPrinter("cups:billet", "x").reason, "CUPS koerer ikke");
}

// A CUPS that takes the connection and never answers, and (as root) a name
// server that never answers: the keys come as fast as without a printer,
// ESC ends the desk within 2 s (so the next desk can start) and says the
// ticket that did not go out, and the test ticket gives up in time.
TEST(Cups, APrinterThatNeverAnswersHoldsUpNothing) {
  WorkDirectory dir("hung-printer");
  const std::string socket = (dir.path() / "cups.sock").string();
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un at{};
  at.sun_family = AF_UNIX;
  std::snprintf(at.sun_path, sizeof at.sun_path, "%s", socket.c_str());
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  ::listen(listener, 16);  // connections are taken in, and never answered
  WorkDirectory::write(dir.path() / "morvalis.conf", "printer = cups:billet\n");
  TmuxPane pane(80, 25,
                "CUPS_SERVER=" + socket + " " + MORVALIS_BINARY +
                    " 2>stderr.txt; printf \"exit=$?\"; sleep 60",
                dir.path().string());
  pane.waitForText("Ventende: 0 - 0");
  const auto pressed = std::chrono::steady_clock::now();
  pane.sendKeys("F3 v");
  pane.waitForText("Tildelt nummer: 1");
  pane.sendKeys("F3 v");
  pane.waitForText("Tildelt nummer: 2");
  EXPECT_LT(std::chrono::steady_clock::now() - pressed, std::chrono::seconds(1));
  const auto escape = std::chrono::steady_clock::now();
  pane.sendKeys("Escape");
  pane.waitForText("exit=0");
  EXPECT_LT(std::chrono::steady_clock::now() - escape, std::chrono::milliseconds(2500));
  EXPECT_EQ(WorkDirectory::read(dir.path() / "stderr.txt"),
            "morvalis: 2 tickets were not printed (the printer did not take them in time)\n");
  ::close(listener);

  // The name server: a socket on 127.0.0.1:53 that takes every question
  // and answers none, as resolv.conf in a mount namespace of its own.
  const int dns = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(53);
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(dns, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      runCommand("unshare -m true 2>&1 && echo ok") != "ok\n") {
    ::close(dns);
    std::printf("Skipped: the silent name server needs root (port 53, a mount namespace)\n");
    return;
  }
  WorkDirectory::write(dir.path() / "resolv.conf", "nameserver 127.0.0.1\n");
  WorkDirectory::write(dir.path() / "morvalis.conf", "printer = bon.klinik.test:9100\n");
  const auto asked = std::chrono::steady_clock::now();
  const std::string said = runCommand("cd " + dir.path().string() +
                                      " && unshare -m sh -c 'mount --bind resolv.conf /etc/resolv.conf && " +
                                      MORVALIS_BINARY + " --proevebillet' 2>&1");
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(3));
  EXPECT_EQ(said, "morvalis: the test ticket did not get to bon.klinik.test:9100: navneserveren svarer ikke\n");
  ::close(dns);
}

}  // namespace

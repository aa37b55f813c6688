// Tickets through a real CUPS queue: a cupsd of the test's own, with its
// configuration in a scratch folder, a raw queue whose backend (the test's
// own, a shell script) writes the job into a file. F3 puts the ticket's
// bytes there.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "desk_driver.hpp"
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
    WorkDirectory::write(root_ / "printers.conf", "<Printer billet>\nState Idle\nAccepting Yes\n"
                                                  "DeviceURI capture:" + r + "/out/ticket.bin\n</Printer>\n");
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
  fs::path output() const { return root_ / "out" / "ticket.bin"; }

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
  DeskDriver d;
  d.desk.printer = &printer;
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

}  // namespace

// FakePrinter: a network receipt printer inside a test, on 127.0.0.1 and a
// port of its own. It records what each connection sends and answers every
// paper question (DLE EOT 4) as told: paper there, or out; silent, it reads
// all and answers nothing. Told to be slow it reads nothing for a while;
// told to close it hangs up on every connection at once; deaf, it takes a
// connection and never reads from it; gone, its port refuses connections.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FakePrinter {
 public:
  enum class Mode { Prints, Slow, HangsUp, NoPaper, Silent, Deaf };

  FakePrinter();
  ~FakePrinter();
  FakePrinter(const FakePrinter&) = delete;
  FakePrinter& operator=(const FakePrinter&) = delete;

  // "127.0.0.1:PORT".
  std::string address() const;
  void setMode(Mode mode) { mode_ = mode; }
  // Stops listening: the port refuses from now on.
  void goAway();
  // What each finished connection sent, in order.
  std::vector<std::string> received();
  // Waits until `count` connections have finished; false after `ms`.
  bool waitForJobs(std::size_t count, int ms);

 private:
  void serve();

  int listener_ = -1;
  int port_ = 0;
  std::atomic<Mode> mode_{Mode::Prints};
  std::atomic<bool> ending_{false};
  std::mutex mutex_;
  std::vector<std::string> jobs_;
  std::thread thread_;
};

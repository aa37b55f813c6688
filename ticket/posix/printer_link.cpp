// The printer links on POSIX: a network printer over TCP, a device file,
// a CUPS queue through libcups (sent raw).
#include "printer_link.hpp"

#include <cups/cups.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "ticket.hpp"

namespace {

struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

bool ready(int fd, short events, int ms) {
  pollfd p{fd, events, 0};
  for (;;) {
    const int n = ::poll(&p, 1, ms);
    if (n < 0 && errno == EINTR) continue;
    return n > 0;
  }
}

// All of `bytes`, each wait for room at most kSendMs.
bool sendAll(int fd, const std::string& bytes, bool socket) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    if (!ready(fd, POLLOUT, kSendMs)) return false;
    const ssize_t n = socket ? ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                             : ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
      return false;
    }
  }
  return true;
}

PrintResult network(const std::string& host, const std::string& port, const std::string& bytes) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
    return PrintResult{PrintOutcome::Failed, "printeren findes ikke"};
  }
  Descriptor s;
  s.fd = ::socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                  found->ai_protocol);
  const int connected = s.fd < 0 ? -1 : ::connect(s.fd, found->ai_addr, found->ai_addrlen);
  ::freeaddrinfo(found);
  if (s.fd < 0) return PrintResult{PrintOutcome::Failed, "fejl ved udskrift"};
  if (connected != 0) {
    if (errno != EINPROGRESS) return PrintResult{PrintOutcome::NoAnswer, "printeren svarer ikke"};
    if (!ready(s.fd, POLLOUT, kConnectMs))
      return PrintResult{PrintOutcome::NoAnswer, "printeren svarer ikke"};
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(s.fd, SOL_SOCKET, SO_ERROR, &error, &size);
    if (error != 0) return PrintResult{PrintOutcome::NoAnswer, "printeren svarer ikke"};
  }
  // The paper first: a patient should not wait at an empty printer.
  if (!sendAll(s.fd, std::string(kPaperStatusRequest, 3), true)) {
    return PrintResult{PrintOutcome::NoAnswer, "printeren svarer ikke"};
  }
  if (ready(s.fd, POLLIN, kStatusMs)) {
    unsigned char answer = 0;
    const ssize_t n = ::recv(s.fd, &answer, 1, 0);
    if (n <= 0) return PrintResult{PrintOutcome::NoAnswer, "printeren lukkede forbindelsen"};
    if (n == 1 && paperIsOut(answer)) return PrintResult{PrintOutcome::NoPaper, "intet papir"};
  }
  if (!sendAll(s.fd, bytes, true))
    return PrintResult{PrintOutcome::NoAnswer, "printeren svarer ikke"};
  ::shutdown(s.fd, SHUT_WR);
  return PrintResult{PrintOutcome::Printed, ""};
}

PrintResult device(const std::string& path, const std::string& bytes) {
  Descriptor d;
  d.fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (d.fd < 0) {
    return PrintResult{PrintOutcome::Failed,
                       errno == ENOENT ? "printeren findes ikke" : "fejl ved udskrift"};
  }
  if (!sendAll(d.fd, bytes, false))
    return PrintResult{PrintOutcome::NoAnswer, "printeren svarer ikke"};
  return PrintResult{PrintOutcome::Printed, ""};
}

PrintResult cups(const std::string& queue, const std::string& bytes) {
  const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, queue.c_str(), "morvalis billet", 0, nullptr);
  if (job == 0)
    return PrintResult{PrintOutcome::Failed, "CUPS: " + std::string(cupsLastErrorString())};
  if (cupsStartDocument(CUPS_HTTP_DEFAULT, queue.c_str(), job, "billet", CUPS_FORMAT_RAW, 1) !=
          HTTP_STATUS_CONTINUE ||
      cupsWriteRequestData(CUPS_HTTP_DEFAULT, bytes.data(), bytes.size()) != HTTP_STATUS_CONTINUE ||
      cupsFinishDocument(CUPS_HTTP_DEFAULT, queue.c_str()) != IPP_STATUS_OK) {
    return PrintResult{PrintOutcome::Failed, "CUPS: " + std::string(cupsLastErrorString())};
  }
  return PrintResult{PrintOutcome::Printed, ""};
}

}  // namespace

PrintResult sendToPrinter(const std::string& address, const std::string& bytes) {
  if (address.rfind("cups:", 0) == 0) return cups(address.substr(5), bytes);
  if (!address.empty() && address[0] == '/') return device(address, bytes);
  std::string host, port;
  if (networkAddress(address, host, port)) return network(host, port, bytes);
  return PrintResult{PrintOutcome::Failed, "ukendt printer"};
}

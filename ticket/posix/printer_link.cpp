// The printer links on POSIX: a network printer over TCP, a device file,
// a CUPS queue through libcups (sent raw, on a connection of its own whose
// every wait has a limit).
#include "printer_link.hpp"

#include <cups/cups.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>

#include "ticket.hpp"

namespace {

struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

PrintResult noAnswer() {
  return PrintResult{PrintOutcome::NoAnswer, "printeren svarer ikke"};
}

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

// The answer to a status question within `ms`: the byte, -1 for none, -2
// when the other end closed.
int answerWithin(int fd, int ms) {
  if (!ready(fd, POLLIN, ms)) return -1;
  unsigned char answer = 0;
  const ssize_t n = ::read(fd, &answer, 1);
  if (n == 1) return answer;
  return n == 0 || (errno != EAGAIN && errno != EINTR) ? -2 : -1;
}

// The paper question after the ticket: the printer's answer is the proof
// that it took the ticket in.
PrintResult answerAfterTicket(int fd, bool socket) {
  if (!sendAll(fd, std::string(kPaperStatusRequest, 3), socket)) return noAnswer();
  const int answer = answerWithin(fd, kAnswerMs);
  if (answer == -2) return PrintResult{PrintOutcome::NoAnswer, "printeren lukkede forbindelsen"};
  if (answer < 0) return noAnswer();
  if (paperIsOut(static_cast<unsigned char>(answer))) {
    return PrintResult{PrintOutcome::NoPaper, "intet papir"};
  }
  return PrintResult{PrintOutcome::Printed, ""};
}

// getaddrinfo on a thread of its own, at most kLookupMs: a name server
// that does not answer must not hold the ticket for its 10 s.
struct Found {
  int status = EAI_AGAIN;
  addrinfo* list = nullptr;
  ~Found() {
    if (list) ::freeaddrinfo(list);
  }
};

std::shared_ptr<Found> lookUp(const std::string& host, const std::string& port, std::string& problem) {
  auto found = std::make_shared<Found>();
  const bool done = finishedWithin(kLookupMs, [found, host, port] {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    found->status = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found->list);
  });
  if (!done || found->status == EAI_AGAIN) {
    problem = "navneserveren svarer ikke";
  } else if (found->status != 0 || !found->list) {
    problem = "navnet findes ikke";
  } else {
    return found;
  }
  return nullptr;
}

PrintResult network(const std::string& host, const std::string& port, const std::string& bytes) {
  std::string problem;
  const auto found = lookUp(host, port, problem);
  if (!found) return PrintResult{PrintOutcome::Failed, problem};
  const addrinfo* at = found->list;
  Descriptor s;
  s.fd = ::socket(at->ai_family, at->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, at->ai_protocol);
  if (s.fd < 0) return PrintResult{PrintOutcome::Failed, "fejl ved udskrift"};
  if (::connect(s.fd, at->ai_addr, at->ai_addrlen) != 0) {
    if (errno != EINPROGRESS || !ready(s.fd, POLLOUT, kConnectMs)) return noAnswer();
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(s.fd, SOL_SOCKET, SO_ERROR, &error, &size);
    if (error != 0) return noAnswer();
  }
  // The paper first: a patient should not wait at an empty printer.
  if (!sendAll(s.fd, std::string(kPaperStatusRequest, 3), true)) return noAnswer();
  const int before = answerWithin(s.fd, kStatusMs);
  if (before == -2) return PrintResult{PrintOutcome::NoAnswer, "printeren lukkede forbindelsen"};
  if (before >= 0 && paperIsOut(static_cast<unsigned char>(before))) {
    return PrintResult{PrintOutcome::NoPaper, "intet papir"};
  }
  if (!sendAll(s.fd, bytes, true)) return noAnswer();
  return answerAfterTicket(s.fd, true);
}

PrintResult device(const std::string& path, const std::string& bytes) {
  Descriptor d;
  // Read and write where the device allows it: a printer's answers come
  // back on the same file.
  d.fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (d.fd < 0 && errno != ENOENT && errno != EACCES) {
    d.fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  }
  if (d.fd < 0) {
    switch (errno) {
      case ENOENT:
      case ENXIO:
      case ENODEV:
        return PrintResult{PrintOutcome::Failed, "printeren findes ikke"};
      case EACCES:
      case EPERM:
        return PrintResult{PrintOutcome::Failed, "ingen adgang til printeren (gruppen lp)"};
      default:
        return PrintResult{PrintOutcome::Failed, "fejl ved udskrift (" + std::string(std::strerror(errno)) + ")"};
    }
  }
  struct stat about {};
  const bool character = ::fstat(d.fd, &about) == 0 && S_ISCHR(about.st_mode);
  // A serial printer: raw, so the ticket's LF goes out as LF and no byte
  // of it is taken for a line discipline's own.
  termios modes{};
  if (::tcgetattr(d.fd, &modes) == 0) {
    ::cfmakeraw(&modes);
    ::tcsetattr(d.fd, TCSANOW, &modes);
  }
  // Only a character device can answer; a file or a pipe is written.
  bool answers = false;
  if (character && sendAll(d.fd, std::string(kPaperStatusRequest, 3), false)) {
    const int before = answerWithin(d.fd, kStatusMs);
    answers = before >= 0;
    if (answers && paperIsOut(static_cast<unsigned char>(before))) {
      return PrintResult{PrintOutcome::NoPaper, "intet papir"};
    }
  }
  if (!sendAll(d.fd, bytes, false)) return noAnswer();
  if (!answers) return PrintResult{PrintOutcome::Printed, ""};
  return answerAfterTicket(d.fd, false);
}

// CUPS: a connection of our own, so every request has the time limit.
class CupsLink {
 public:
  explicit CupsLink(const std::string& queue) : queue_(queue) {}
  ~CupsLink() {
    if (http_) httpClose(http_);
  }

  PrintResult print(const std::string& bytes) {
    if (!connect()) return failed_;
    if (const auto problem = queueProblem()) return *problem;
    const int job = cupsCreateJob(http_, queue_.c_str(), "morvalis billet", 0, nullptr);
    if (job == 0) return requestFailed();
    if (cupsStartDocument(http_, queue_.c_str(), job, "billet", CUPS_FORMAT_RAW, 1) != HTTP_STATUS_CONTINUE ||
        cupsWriteRequestData(http_, bytes.data(), bytes.size()) != HTTP_STATUS_CONTINUE ||
        cupsFinishDocument(http_, queue_.c_str()) != IPP_STATUS_OK) {
      const PrintResult result = requestFailed();
      cancel(job);
      return result;
    }
    return follow(job);
  }

 private:
  bool connect() {
    cupsSetServer(nullptr);  // CUPS_SERVER and client.conf as they are now
    const char* server = cupsServer();
    // A name is looked up with the limit; a socket path needs no lookup.
    auto list = std::make_shared<http_addrlist_t*>(nullptr);
    const std::string name = server, port = std::to_string(ippPort());
    const bool looked = finishedWithin(kLookupMs, [list, name, port] {
      *list = httpAddrGetList(name.c_str(), AF_UNSPEC, port.c_str());
    });
    if (!looked) {
      failed_ = PrintResult{PrintOutcome::NoAnswer, "CUPS: navneserveren svarer ikke"};
      return false;
    }
    std::unique_ptr<http_addrlist_t, void (*)(http_addrlist_t*)> owned(*list, httpAddrFreeList);
    *list = nullptr;
    if (!owned) {
      failed_ = PrintResult{PrintOutcome::Failed, "CUPS findes ikke (" + name + ")"};
      return false;
    }
    http_ = httpConnect2(server, ippPort(), owned.get(), AF_UNSPEC, cupsEncryption(), 1, kConnectMs,
                         nullptr);
    if (!http_) {
      failed_ = PrintResult{PrintOutcome::Failed, "CUPS koerer ikke"};
      return false;
    }
    httpSetTimeout(http_, kCallMs / 1000.0, &CupsLink::giveUp, this);
    return true;
  }

  // Called by libcups when a reply is kCallMs late: no more waiting.
  static int giveUp(http_t*, void* self) {
    static_cast<CupsLink*>(self)->timedOut_ = true;
    return 0;
  }

  std::string uriOf(const char* folder) const {
    char uri[1024];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/%s/%s",
                     folder, queue_.c_str());
    return uri;
  }

  PrintResult requestFailed() {
    if (timedOut_) return PrintResult{PrintOutcome::NoAnswer, "CUPS svarer ikke"};
    const ipp_status_t status = cupsLastError();
    if (status == IPP_STATUS_ERROR_NOT_FOUND) return PrintResult{PrintOutcome::Failed, "koeen findes ikke"};
    if (status == IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS) {
      return PrintResult{PrintOutcome::Failed, "koeen afviser billetter"};
    }
    if (status == IPP_STATUS_ERROR_FORBIDDEN || status == IPP_STATUS_ERROR_NOT_AUTHORIZED) {
      return PrintResult{PrintOutcome::Failed, "ingen adgang til koeen"};
    }
    return PrintResult{PrintOutcome::Failed, "fejl i CUPS (" + std::string(cupsLastErrorString()) + ")"};
  }

  ipp_t* ask(ipp_op_t operation, const char* folder, int job, const char* const* names, int count) {
    ipp_t* request = ippNewRequest(operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uriOf(folder).c_str());
    if (job != 0) ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", count, nullptr,
                  names);
    return cupsDoRequest(http_, request, "/");
  }

  static bool hasReason(ipp_t* answer, const char* prefix) {
    ipp_attribute_t* reasons = ippFindAttribute(answer, "printer-state-reasons", IPP_TAG_KEYWORD);
    for (int i = 0; reasons && i < ippGetCount(reasons); ++i) {
      const char* reason = ippGetString(reasons, i, nullptr);
      if (reason && std::strncmp(reason, prefix, std::strlen(prefix)) == 0) return true;
    }
    return false;
  }

  // What the queue says of itself before a ticket is sent to it.
  std::optional<PrintResult> queueProblem() {
    static const char* const names[] = {"printer-state", "printer-is-accepting-jobs",
                                        "printer-state-reasons"};
    ipp_t* answer = ask(IPP_OP_GET_PRINTER_ATTRIBUTES, "printers", 0, names, 3);
    if (!answer || cupsLastError() >= IPP_STATUS_REDIRECTION_OTHER_SITE) {
      if (answer) ippDelete(answer);
      return requestFailed();
    }
    std::optional<PrintResult> problem;
    ipp_attribute_t* state = ippFindAttribute(answer, "printer-state", IPP_TAG_ENUM);
    ipp_attribute_t* accepting = ippFindAttribute(answer, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
    if (state && ippGetInteger(state, 0) == IPP_PSTATE_STOPPED) {
      problem = PrintResult{PrintOutcome::Failed, "koeen er stoppet"};
    } else if (accepting && !ippGetBoolean(accepting, 0)) {
      problem = PrintResult{PrintOutcome::Failed, "koeen afviser billetter"};
    } else if (hasReason(answer, "media-empty") || hasReason(answer, "media-needed")) {
      problem = PrintResult{PrintOutcome::NoPaper, "intet papir"};
    } else if (hasReason(answer, "offline")) {
      problem = noAnswer();
    }
    ippDelete(answer);
    return problem;
  }

  // The job until CUPS says it is done, at most kJobMs; one that is not
  // done by then is cancelled, so it does not come out late.
  PrintResult follow(int job) {
    static const char* const names[] = {"job-state"};
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kJobMs);
    for (;;) {
      ipp_t* answer = ask(IPP_OP_GET_JOB_ATTRIBUTES, "printers", job, names, 1);
      if (!answer) {
        const PrintResult result = requestFailed();
        cancel(job);
        return result;
      }
      ipp_attribute_t* state = ippFindAttribute(answer, "job-state", IPP_TAG_ENUM);
      const int value = state ? ippGetInteger(state, 0) : 0;
      ippDelete(answer);
      if (value == IPP_JSTATE_COMPLETED) return PrintResult{PrintOutcome::Printed, ""};
      if (value == IPP_JSTATE_ABORTED || value == IPP_JSTATE_CANCELED) {
        return PrintResult{PrintOutcome::Failed, "printeren afbrod billetten"};
      }
      if (value == IPP_JSTATE_STOPPED || std::chrono::steady_clock::now() >= until) {
        // Why: the queue's own word where it has one.
        const auto problem = queueProblem();
        cancel(job);
        return problem ? *problem : noAnswer();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  void cancel(int job) { cupsCancelJob2(http_, queue_.c_str(), job, 0); }

  std::string queue_;
  http_t* http_ = nullptr;
  bool timedOut_ = false;
  PrintResult failed_;
};

}  // namespace

PrintResult sendToPrinter(const std::string& address, const std::string& bytes) {
  if (address.rfind("cups:", 0) == 0) return CupsLink(address.substr(5)).print(bytes);
  if (!address.empty() && address[0] == '/') return device(address, bytes);
  std::string host, port;
  if (networkAddress(address, host, port)) return network(host, port, bytes);
  return PrintResult{PrintOutcome::Failed, "ukendt printer"};
}

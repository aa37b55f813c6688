// The printer links on Windows: a network printer over TCP (Winsock), an
// installed printer through the spooler (datatype RAW), a COM port.
#include "printer_link.hpp"

// Winsock first: windows.h would bring in its old version.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>
#include <winspool.h>

#include <cctype>
#include <memory>
#include <vector>

#include "ticket.hpp"

namespace {

bool ready(SOCKET s, short events, int ms) {
  WSAPOLLFD p{s, events, 0};
  return WSAPoll(&p, 1, ms) > 0;
}

bool sendAll(SOCKET s, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    if (!ready(s, POLLWRNORM, kSendMs)) return false;
    const int n = ::send(s, bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (WSAGetLastError() != WSAEWOULDBLOCK) {
      return false;
    }
  }
  return true;
}

PrintResult noAnswer() {
  return PrintResult{PrintOutcome::NoAnswer, "printeren svarer ikke"};
}

// The answer to a status question within `ms`: the byte, -1 for none, -2
// when the other end closed.
int answerWithin(SOCKET s, int ms) {
  if (!ready(s, POLLRDNORM, ms)) return -1;
  unsigned char answer = 0;
  const int n = ::recv(s, reinterpret_cast<char*>(&answer), 1, 0);
  if (n == 1) return answer;
  return n == 0 || WSAGetLastError() != WSAEWOULDBLOCK ? -2 : -1;
}

// getaddrinfo on a thread of its own, at most kLookupMs.
struct Found {
  int status = WSATRY_AGAIN;
  addrinfo* list = nullptr;
  ~Found() {
    if (list) freeaddrinfo(list);
  }
};

PrintResult network(const std::string& host, const std::string& port, const std::string& bytes) {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) return PrintResult{PrintOutcome::Failed, "fejl ved udskrift"};
  auto found = std::make_shared<Found>();
  const bool looked = finishedWithin(kLookupMs, [found, host, port] {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    found->status = getaddrinfo(host.c_str(), port.c_str(), &hints, &found->list);
  });
  if (!looked || found->status == WSATRY_AGAIN) {
    return PrintResult{PrintOutcome::Failed, "navneserveren svarer ikke"};
  }
  if (found->status != 0 || !found->list) return PrintResult{PrintOutcome::Failed, "navnet findes ikke"};
  const addrinfo* at = found->list;
  const SOCKET s = ::socket(at->ai_family, at->ai_socktype, at->ai_protocol);
  if (s == INVALID_SOCKET) return PrintResult{PrintOutcome::Failed, "fejl ved udskrift"};
  struct Closer {
    SOCKET s;
    ~Closer() { closesocket(s); }
  } closer{s};
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  if (::connect(s, at->ai_addr, static_cast<int>(at->ai_addrlen)) != 0) {
    if (WSAGetLastError() != WSAEWOULDBLOCK || !ready(s, POLLWRNORM, kConnectMs)) return noAnswer();
    int error = 0;
    int size = sizeof error;
    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
    if (error != 0) return noAnswer();
  }
  const std::string question(kPaperStatusRequest, 3);
  if (!sendAll(s, question)) return noAnswer();
  const int before = answerWithin(s, kStatusMs);
  if (before == -2) return PrintResult{PrintOutcome::NoAnswer, "printeren lukkede forbindelsen"};
  if (before >= 0 && paperIsOut(static_cast<unsigned char>(before))) {
    return PrintResult{PrintOutcome::NoPaper, "intet papir"};
  }
  // The ticket, then the question again: the answer is the proof.
  if (!sendAll(s, bytes) || !sendAll(s, question)) return noAnswer();
  const int after = answerWithin(s, kAnswerMs);
  if (after == -2) return PrintResult{PrintOutcome::NoAnswer, "printeren lukkede forbindelsen"};
  if (after < 0) return noAnswer();
  if (paperIsOut(static_cast<unsigned char>(after))) return PrintResult{PrintOutcome::NoPaper, "intet papir"};
  return PrintResult{PrintOutcome::Printed, ""};
}

// UTF-8 as Windows' UTF-16, for the names of printers and ports.
std::wstring wide(const std::string& text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

PrintResult comPort(const std::string& name, const std::string& bytes) {
  const HANDLE port =
      CreateFileW((L"\\\\.\\" + wide(name)).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (port == INVALID_HANDLE_VALUE)
    return PrintResult{PrintOutcome::Failed, "printeren findes ikke"};
  COMMTIMEOUTS timeouts{};
  timeouts.WriteTotalTimeoutConstant = kSendMs;
  SetCommTimeouts(port, &timeouts);
  DWORD written = 0;
  const bool ok =
      WriteFile(port, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  CloseHandle(port);
  return ok ? PrintResult{PrintOutcome::Printed, ""}
            : PrintResult{PrintOutcome::NoAnswer, "printeren svarer ikke"};
}

// What the spooler says of a printer or a job, in the desk's words; empty
// when nothing stands in the way.
std::string statusProblem(DWORD status) {
  if (status & (PRINTER_STATUS_PAPER_OUT | PRINTER_STATUS_PAPER_PROBLEM)) return "intet papir";
  if (status & PRINTER_STATUS_PAUSED) return "printeren er sat paa pause";
  if (status & (PRINTER_STATUS_OFFLINE | PRINTER_STATUS_NOT_AVAILABLE)) return "printeren svarer ikke";
  if (status & PRINTER_STATUS_ERROR) return "printeren har en fejl";
  return "";
}

std::string jobProblem(DWORD status) {
  if (status & JOB_STATUS_PAPEROUT) return "intet papir";
  if (status & JOB_STATUS_OFFLINE) return "printeren svarer ikke";
  if (status & (JOB_STATUS_ERROR | JOB_STATUS_BLOCKED_DEVQ)) return "printeren har en fejl";
  if (status & JOB_STATUS_PAUSED) return "printeren er sat paa pause";
  return "";
}

PrintResult spooler(const std::string& name, const std::string& bytes) {
  HANDLE printer = nullptr;
  std::wstring printerName = wide(name);
  if (!OpenPrinterW(printerName.data(), &printer, nullptr)) {
    return PrintResult{PrintOutcome::Failed, "printeren findes ikke"};
  }
  struct Closer {
    HANDLE printer;
    ~Closer() { ClosePrinter(printer); }
  } closer{printer};
  // The printer's own state first: a switched off printer gets no job that
  // would come out later in a burst.
  DWORD needed = 0;
  GetPrinterW(printer, 6, nullptr, 0, &needed);
  PRINTER_INFO_6 state{};
  if (needed == sizeof state && GetPrinterW(printer, 6, reinterpret_cast<LPBYTE>(&state), sizeof state, &needed)) {
    const std::string problem = statusProblem(state.dwStatus);
    if (!problem.empty()) {
      return PrintResult{problem == "intet papir" ? PrintOutcome::NoPaper : PrintOutcome::Failed, problem};
    }
  }
  wchar_t document[] = L"morvalis billet";
  wchar_t datatype[] = L"RAW";
  DOC_INFO_1W info{document, nullptr, datatype};
  const DWORD job = StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&info));
  if (job == 0) return PrintResult{PrintOutcome::Failed, "fejl ved udskrift"};
  DWORD written = 0;
  const bool sent = StartPagePrinter(printer) &&
                    WritePrinter(printer, const_cast<char*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size()), &written) &&
                    written == bytes.size() && EndPagePrinter(printer);
  if (!sent) {
    AbortPrinter(printer);  // the job goes, nothing half of it printed
    return PrintResult{PrintOutcome::Failed, "fejl ved udskrift"};
  }
  if (!EndDocPrinter(printer)) return PrintResult{PrintOutcome::Failed, "fejl ved udskrift"};
  // The job until the spooler has sent it (or it is gone from the queue),
  // at most kJobMs; one that cannot go is deleted, so it never comes late.
  const ULONGLONG until = GetTickCount64() + kJobMs;
  for (;;) {
    std::vector<BYTE> buffer(4096);
    if (!GetJobW(printer, job, 1, buffer.data(), static_cast<DWORD>(buffer.size()), &needed)) {
      // Gone from the queue: printed, or never kept (a spooler that does
      // not keep finished jobs).
      return PrintResult{PrintOutcome::Printed, ""};
    }
    const DWORD status = reinterpret_cast<JOB_INFO_1W*>(buffer.data())->Status;
    if (status & (JOB_STATUS_PRINTED | JOB_STATUS_COMPLETE)) return PrintResult{PrintOutcome::Printed, ""};
    std::string problem = jobProblem(status);
    if (problem.empty() && GetTickCount64() >= until) problem = "printeren svarer ikke";
    if (!problem.empty() || (status & (JOB_STATUS_DELETED | JOB_STATUS_DELETING))) {
      SetJobW(printer, job, 0, nullptr, JOB_CONTROL_DELETE);
      if (problem.empty()) problem = "billetten blev slettet";
      return PrintResult{problem == "intet papir" ? PrintOutcome::NoPaper : PrintOutcome::Failed, problem};
    }
    Sleep(50);
  }
}

bool isComPort(const std::string& name) {
  return name.size() >= 4 && name.size() <= 6 && (name[0] == 'C' || name[0] == 'c') &&
         (name[1] == 'O' || name[1] == 'o') && (name[2] == 'M' || name[2] == 'm') &&
         std::isdigit(static_cast<unsigned char>(name[3]));
}

}  // namespace

PrintResult sendToPrinter(const std::string& address, const std::string& bytes) {
  if (isComPort(address)) return comPort(address, bytes);
  std::string host, port;
  if (networkAddress(address, host, port)) return network(host, port, bytes);
  return spooler(address, bytes);
}

// The printer links on Windows: a network printer over TCP (Winsock), an
// installed printer through the spooler (datatype RAW), a COM port.
#include "printer_link.hpp"

// Winsock first: windows.h would bring in its old version.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>
#include <winspool.h>

#include <cctype>

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

PrintResult network(const std::string& host, const std::string& port, const std::string& bytes) {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) return PrintResult{PrintOutcome::Failed, "fejl ved udskrift"};
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
    return PrintResult{PrintOutcome::Failed, "printeren findes ikke"};
  }
  const SOCKET s = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  if (s == INVALID_SOCKET) {
    freeaddrinfo(found);
    return PrintResult{PrintOutcome::Failed, "fejl ved udskrift"};
  }
  struct Closer {
    SOCKET s;
    ~Closer() { closesocket(s); }
  } closer{s};
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  const int connected = ::connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen));
  freeaddrinfo(found);
  if (connected != 0) {
    if (WSAGetLastError() != WSAEWOULDBLOCK || !ready(s, POLLWRNORM, kConnectMs)) {
      return PrintResult{PrintOutcome::NoAnswer, "printeren svarer ikke"};
    }
    int error = 0;
    int size = sizeof error;
    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
    if (error != 0) return PrintResult{PrintOutcome::NoAnswer, "printeren svarer ikke"};
  }
  if (!sendAll(s, std::string(kPaperStatusRequest, 3))) {
    return PrintResult{PrintOutcome::NoAnswer, "printeren svarer ikke"};
  }
  if (ready(s, POLLRDNORM, kStatusMs)) {
    unsigned char answer = 0;
    const int n = ::recv(s, reinterpret_cast<char*>(&answer), 1, 0);
    if (n <= 0) return PrintResult{PrintOutcome::NoAnswer, "printeren lukkede forbindelsen"};
    if (n == 1 && paperIsOut(answer)) return PrintResult{PrintOutcome::NoPaper, "intet papir"};
  }
  if (!sendAll(s, bytes)) return PrintResult{PrintOutcome::NoAnswer, "printeren svarer ikke"};
  shutdown(s, SD_SEND);
  return PrintResult{PrintOutcome::Printed, ""};
}

PrintResult comPort(const std::string& name, const std::string& bytes) {
  const HANDLE port =
      CreateFileA(("\\\\.\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
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

PrintResult spooler(const std::string& name, const std::string& bytes) {
  HANDLE printer = nullptr;
  if (!OpenPrinterA(const_cast<char*>(name.c_str()), &printer, nullptr)) {
    return PrintResult{PrintOutcome::Failed, "printeren findes ikke"};
  }
  char document[] = "morvalis billet";
  char datatype[] = "RAW";
  DOC_INFO_1A info{document, nullptr, datatype};
  DWORD written = 0;
  const bool ok = StartDocPrinterA(printer, 1, reinterpret_cast<LPBYTE>(&info)) != 0 &&
                  StartPagePrinter(printer) &&
                  WritePrinter(printer, const_cast<char*>(bytes.data()),
                               static_cast<DWORD>(bytes.size()), &written) &&
                  written == bytes.size() && EndPagePrinter(printer) && EndDocPrinter(printer);
  ClosePrinter(printer);
  return ok ? PrintResult{PrintOutcome::Printed, ""}
            : PrintResult{PrintOutcome::Failed, "fejl ved udskrift"};
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

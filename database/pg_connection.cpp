#include "pg_connection.hpp"

#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <poll.h>
#endif

long long pgSteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

namespace {

// libpq's message, first line only.
std::string firstLine(const char* text) {
  std::string line = text ? text : "";
  const auto end = line.find('\n');
  if (end != std::string::npos) line.erase(end);
  return line;
}

// The first name in double quotes in `text` ("" when none), quotes kept.
std::string quotedName(const std::string& text) {
  const auto open = text.find('"');
  const auto close = open == std::string::npos ? open : text.find('"', open + 1);
  return close == std::string::npos ? std::string() : text.substr(open, close - open + 1);
}

}  // namespace

std::string pgReason(const std::string& libpqMessage) {
  std::string message = firstLine(libpqMessage.c_str());
  // What libpq puts before the server's words says nothing the station
  // does not know: which server it asked, and that it failed.
  if (message.rfind("connection to server", 0) == 0) {
    const auto failed = message.find(" failed: ");
    if (failed != std::string::npos) message.erase(0, failed + 9);
  }
  for (const char* level : {"FATAL:  ", "ERROR:  ", "fe_sendauth: "}) {
    if (message.rfind(level, 0) == 0) message.erase(0, std::strlen(level));
  }
  const auto has = [&message](const char* part) { return message.find(part) != std::string::npos; };
  if (has("Connection refused") || has("No such file or directory")) return "serveren koerer ikke";
  if (has("password authentication failed")) return "forkert adgangskode for " + quotedName(message);
  if (has("no password supplied")) return "ingen adgangskode i pgpass";
  if (has("pg_hba.conf")) return "pg_hba.conf giver ikke adgang";
  if (has("does not support SSL")) return "serveren har ikke TLS (sslmode)";
  if (const auto denied = message.find("permission denied for "); denied != std::string::npos) {
    return "adgang naegtet til " + message.substr(denied + 22);
  }
  if (has("permission denied")) return "adgang naegtet";
  if (message.rfind("role \"", 0) == 0 && has("does not exist")) {
    return "brugeren " + quotedName(message) + " findes ikke";
  }
  if (message.rfind("database \"", 0) == 0 && has("does not exist")) {
    return "databasen " + quotedName(message) + " findes ikke";
  }
  if (has("could not translate host name")) return "navnet findes ikke";
  if (has("the database system is starting up") || has("shutting down") ||
      has("in recovery mode")) {
    return "serveren starter eller stopper";
  }
  if (has("too many clients") || has("remaining connection slots")) return "serveren har ikke flere forbindelser";
  // The server or the network went away under an open connection.
  if (message.empty() || has("server closed the connection") || has("terminating connection") ||
      has("could not receive data") || has("could not send data") || has("Connection reset") ||
      has("Broken pipe")) {
    return "forbindelsen blev afbrudt";
  }
  return "fejl (" + message + ")";
}

PgConnection::PgConnection(std::string conninfo, std::string application)
    : conninfo_(std::move(conninfo)), application_(std::move(application)) {}

PgConnection::~PgConnection() { drop(); }

void PgConnection::drop() {
  if (conn_) PQfinish(conn_);
  conn_ = nullptr;
}

void PgConnection::fail(const std::string& reason) {
  reason_ = reason;
  drop();
}

bool PgConnection::waitFor(bool write, long long deadline) {
  const int fd = PQsocket(conn_);
  if (fd < 0) return false;
  for (;;) {
    const long long left = std::max(0LL, deadline - pgSteadyMs());
#ifdef _WIN32
    WSAPOLLFD p{static_cast<SOCKET>(fd), static_cast<SHORT>(write ? POLLWRNORM : POLLRDNORM), 0};
    const int ready = WSAPoll(&p, 1, static_cast<INT>(left));
#else
    pollfd p{fd, static_cast<short>(write ? POLLOUT : POLLIN), 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left));
#endif
    if (ready > 0) return true;
    if (ready == 0 || left == 0) return false;
  }
}

bool PgConnection::connect(int ms) {
  if (conn_) {
    // A server that restarted said so and closed the connection while it
    // idled: read that now, before a statement is sent on it for nothing.
    for (int looks = 0; looks < 4 && waitFor(false, pgSteadyMs()); ++looks) {
      if (!PQconsumeInput(conn_)) break;
    }
    if (PQstatus(conn_) == CONNECTION_OK) return true;
    drop();
  }
  const long long deadline = pgSteadyMs() + ms;
  // The limits libpq keeps itself: a connection whose peer vanished is
  // noticed in seconds, not in the kernel's quarter of an hour.
  const char* keys[] = {"dbname", "application_name", "connect_timeout", "keepalives_idle",
                        "keepalives_interval", "keepalives_count", "tcp_user_timeout",
                        "client_encoding", nullptr};
  const char* values[] = {conninfo_.c_str(), application_.c_str(), "2", "5", "1", "3", "4000",
                          "UTF8", nullptr};
  conn_ = PQconnectStartParams(keys, values, 1);
  if (!conn_) return fail("for lidt hukommelse"), false;
  if (PQstatus(conn_) == CONNECTION_BAD) {
    return fail(pgReason(PQerrorMessage(conn_))), false;
  }
  PostgresPollingStatusType status = PGRES_POLLING_WRITING;
  while (status != PGRES_POLLING_OK) {
    if (status == PGRES_POLLING_FAILED) {
      return fail(pgReason(PQerrorMessage(conn_))), false;
    }
    if (!waitFor(status == PGRES_POLLING_WRITING, deadline)) {
      return fail("serveren svarer ikke"), false;
    }
    status = PQconnectPoll(conn_);
  }
  PQsetnonblocking(conn_, 1);
  // The server's notices ("terminating connection ...") would go to
  // standard error, over the desk's picture.
  PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
  return true;
}

PgConnection::Result PgConnection::query(const std::string& sql,
                                         const std::vector<std::string>& params, int ms) {
  Result result;
  // A connection that breaks is said as such, even after the server's
  // last words (a FATAL's state) came in: the station reads it as lost.
  const auto broken = [this, &result](const std::string& reason) {
    if (!reason.empty()) fail(reason);
    result.message = reason_;
    result.state.clear();
    return result;
  };
  if (!conn_) return broken("");
  const long long deadline = pgSteadyMs() + ms;
  std::vector<const char*> values;
  for (const std::string& p : params) values.push_back(p.c_str());
  // Without parameters in the simple protocol, which takes several
  // statements at once (a schema, BEGIN with its first statement).
  const int sent = params.empty() ? PQsendQuery(conn_, sql.c_str())
                                  : PQsendQueryParams(conn_, sql.c_str(), static_cast<int>(values.size()),
                                                      nullptr, values.data(), nullptr, nullptr, 0);
  if (!sent) return broken(pgReason(PQerrorMessage(conn_)));
  // The statement out, then its answer in, each within what is left.
  for (int flushed = PQflush(conn_); flushed != 0; flushed = PQflush(conn_)) {
    if (flushed < 0 || !waitFor(true, deadline)) {
      return broken(flushed < 0 ? "forbindelsen blev afbrudt" : "serveren svarer ikke");
    }
  }
  bool gotError = false;
  for (;;) {
    while (PQisBusy(conn_)) {
      if (!waitFor(false, deadline)) return broken("serveren svarer ikke");
      if (!PQconsumeInput(conn_)) return broken(pgReason(PQerrorMessage(conn_)));
    }
    PGresult* r = PQgetResult(conn_);
    if (!r) break;
    const ExecStatusType status = PQresultStatus(r);
    if (status == PGRES_TUPLES_OK) {
      for (int row = 0; row < PQntuples(r); ++row) {
        std::vector<std::optional<std::string>> fields;
        for (int col = 0; col < PQnfields(r); ++col) {
          if (PQgetisnull(r, row, col)) {
            fields.emplace_back();
          } else {
            fields.emplace_back(std::string(PQgetvalue(r, row, col),
                                            static_cast<std::size_t>(PQgetlength(r, row, col))));
          }
        }
        result.rows.push_back(std::move(fields));
      }
    } else if (status != PGRES_COMMAND_OK) {
      gotError = true;
      const char* state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
      result.state = state ? state : "";
      const char* primary = PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY);
      result.message = primary ? primary : firstLine(PQresultErrorMessage(r));
    }
    PQclear(r);
  }
  if (PQstatus(conn_) == CONNECTION_BAD) return broken(pgReason(PQerrorMessage(conn_)));
  result.ok = !gotError;
  return result;
}

int PgConnection::socket() const {
  return conn_ ? PQsocket(conn_) : -1;
}

PgConnection::Notified PgConnection::take(int ownBackend) {
  Notified notified;
  if (!conn_) return notified;
  if (!PQconsumeInput(conn_)) {
    fail(pgReason(PQerrorMessage(conn_)));
    return notified;
  }
  while (PGnotify* n = PQnotifies(conn_)) {
    notified.any = true;
    if (n->be_pid != ownBackend) notified.others = true;
    PQfreemem(n);
  }
  return notified;
}

int PgConnection::backendPid() const {
  return conn_ ? PQbackendPID(conn_) : 0;
}

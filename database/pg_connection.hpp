// PgConnection: one connection to PostgreSQL through libpq in which every
// wait has a limit. connect() and query() take a limit in milliseconds
// and give up when it is reached: the connection is then dropped (a server
// that stalls mid-answer leaves the protocol in an unknown state), and
// reason() says why in a few Danish words for row 23 ("serveren svarer
// ikke", "serveren koerer ikke", ...), the server's own English only after
// them. The socket is non-blocking throughout, so nothing in here blocks
// beyond its limit except a host name's lookup (an address or a name in
// /etc/hosts is instant).
//
// One thread uses a connection at a time.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct pg_conn;

// libpq's message of a failed connection, or the server's of a failed
// statement, in a few Danish words for row 23 (what it names in quotes
// kept, the server's own words only where no Danish ones fit): 78 cells
// hold it after "Ingen forbindelse til databasen: ".
std::string pgReason(const std::string& libpqMessage);

class PgConnection {
 public:
  // `conninfo`: a libpq connection string or URI (morvalis.conf's database).
  explicit PgConnection(std::string conninfo, std::string application = "morvalis");
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  // Connects within `ms` unless connected (a connection the server has
  // closed meanwhile, as at its restart, is made again); false with reason().
  bool connect(int ms);
  bool connected() const { return conn_ != nullptr; }
  void drop();

  struct Result {
    bool ok = false;
    std::string state;    // SQLSTATE of an error the server gave; empty otherwise
    std::string message;  // the server's message (its first line, without "ERROR:")
    std::vector<std::vector<std::optional<std::string>>> rows;
  };
  // One statement with text parameters ($1, $2, ...), or several without,
  // answered within `ms`.
  // A server error keeps the connection (ok false, state set); a timeout or
  // a broken connection drops it (ok false, state empty, reason()).
  Result query(const std::string& sql, const std::vector<std::string>& params, int ms);

  // For a connection that LISTENs: the socket to wait on (-1 when not
  // connected); take() reads what arrived without waiting and says which
  // notifications came (none also when the connection broke: see
  // connected()): any at all, and any sent by another backend than
  // `ownBackend` (a station's own writer, whose rows it has already).
  struct Notified {
    bool any = false;
    bool others = false;
  };
  int socket() const;
  Notified take(int ownBackend = 0);
  // The server's process for this connection (0 when not connected): what
  // a notification names as its sender.
  int backendPid() const;

  const std::string& reason() const { return reason_; }

 private:
  // Waits until the socket can be read (or written) or `deadline` (steady ms).
  bool waitFor(bool write, long long deadline);
  void fail(const std::string& reason);

  std::string conninfo_;
  std::string application_;
  pg_conn* conn_ = nullptr;
  std::string reason_;
};

// Milliseconds of a steady clock, for deadlines.
long long pgSteadyMs();

// A PostgreSQL server of the test's own: Debian's postgresql, a cluster
// made by initdb in `root`, listening on a free port of 127.0.0.1 and on a
// socket in `root`; run as the postgres user when the test runs as root
// (the server refuses root). Its superuser is "morvalis", trusted on the
// test's own addresses. whyNot() says why it could not start (no
// postgresql installed, no postgres user); the folder goes with the object.
// With `tls` it also speaks TLS (a self-signed certificate made by the
// openssl tool), where it can: tlsWhyNot() says why not.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "test_server.hpp"

class ScratchPostgres {
 public:
  explicit ScratchPostgres(const std::filesystem::path& root, bool tls = false);
  ~ScratchPostgres();

  const std::string& whyNot() const { return why_; }
  const std::string& tlsWhyNot() const { return tlsWhyNot_; }
  // libpq's URI of database `database` for `user`.
  std::string uri(const std::string& user = "morvalis", const std::string& database = "morvalis") const;
  int port() const { return port_; }
  // Runs SQL through psql as the superuser; its output, or "" with the
  // error in `error`.
  std::string sql(const std::string& statements, std::string* error = nullptr,
                  const std::string& database = "morvalis") const;
  // The server killed (-9), and started again on the same port; or
  // restarted as an administrator does (the fast shutdown: every
  // connection told and closed).
  void kill();
  bool start();
  bool restart();

 private:
  std::filesystem::path root_;
  std::filesystem::path bin_;
  int port_ = 0;
  std::string why_;
  bool tls_ = false;
  std::string tlsWhyNot_ = "not asked for";
  TestServer server_;
};

// Runs `argv` as `user` when root (as oneself otherwise), output to `log`;
// its exit status.
int runAs(const std::string& user, const std::vector<std::string>& argv, const std::filesystem::path& log);

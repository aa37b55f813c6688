#include "scratch_postgres.hpp"

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "work_directory.hpp"

namespace fs = std::filesystem;

namespace {

int freePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof at;
  ::bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&at), &size);
  ::close(s);
  return ntohs(at.sin_port);
}

// Debian's newest server binaries (/usr/lib/postgresql/<version>/bin).
fs::path serverBin() {
  fs::path best;
  std::error_code none;
  for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", none)) {
    if (fs::exists(entry.path() / "bin" / "postgres") && entry.path() > best.parent_path()) {
      best = entry.path() / "bin";
    }
  }
  return best;
}

}  // namespace

int runAs(const std::string& user, const std::vector<std::string>& argv, const fs::path& log) {
  TestServer run(argv, log, user);
  return run.wait(60'000);
}

ScratchPostgres::ScratchPostgres(const fs::path& root, bool tls) : root_(root), bin_(serverBin()) {
  if (bin_.empty()) {
    why_ = "no PostgreSQL server here (Debian's postgresql)";
    return;
  }
  const bool root_user = ::getuid() == 0;
  const passwd* postgres = ::getpwnam("postgres");
  if (root_user && !postgres) {
    why_ = "running as root and there is no postgres user to run the server as";
    return;
  }
  fs::create_directories(root_);
  fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
  if (root_user && ::chown(root_.c_str(), postgres->pw_uid, postgres->pw_gid) != 0) {
    why_ = "cannot give " + root_.string() + " to postgres";
    return;
  }
  const std::string user = root_user ? "postgres" : "";
  if (runAs(user, {(bin_ / "initdb").string(), "-D", (root_ / "data").string(), "-U", "morvalis",
                   "-A", "trust", "-E", "UTF8", "--locale=C.UTF-8", "--no-sync"},
            root_ / "initdb.log") != 0) {
    why_ = "initdb failed: " + WorkDirectory::read(root_ / "initdb.log");
    return;
  }
  if (tls) {
    // The key readable by the server's user only, or it refuses it.
    if (runAs(user, {"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                     "-subj", "/CN=127.0.0.1", "-keyout", (root_ / "data" / "server.key").string(),
                     "-out", (root_ / "data" / "server.crt").string()},
              root_ / "openssl.log") == 0) {
      std::error_code none;
      fs::permissions(root_ / "data" / "server.key", fs::perms::owner_read | fs::perms::owner_write, none);
      tls_ = true;
      tlsWhyNot_.clear();
    } else {
      tlsWhyNot_ = "no certificate (the openssl tool): " + WorkDirectory::read(root_ / "openssl.log");
    }
  }
  port_ = freePort();
  if (!start()) return;
  std::string error;
  sql("CREATE DATABASE morvalis", &error, "postgres");
  if (!error.empty()) why_ = "cannot create the test's database: " + error;
}

bool ScratchPostgres::start() {
  std::vector<std::string> argv{(bin_ / "postgres").string(), "-D", (root_ / "data").string(), "-k",
                                root_.string(), "-p", std::to_string(port_), "-c", "listen_addresses=127.0.0.1"};
  if (tls_) argv.insert(argv.end(), {"-c", "ssl=on"});
  server_ = TestServer(argv, root_ / "server.log", ::getuid() == 0 ? "postgres" : "");
  const fs::path socket = root_ / (".s.PGSQL." + std::to_string(port_));
  if (!server_.waitFor(socket, 15'000)) {
    why_ = "the server did not start: " + WorkDirectory::read(root_ / "server.log");
    return false;
  }
  // The socket comes before the server takes connections.
  for (int i = 0; i < 500; ++i) {
    std::string error;
    sql("SELECT 1", &error, "postgres");
    if (error.empty()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  why_ = "the server does not answer: " + WorkDirectory::read(root_ / "server.log");
  return false;
}

void ScratchPostgres::kill() {
  server_.stop(SIGKILL);
}

bool ScratchPostgres::restart() {
  server_.stop(SIGINT);
  return start();
}

ScratchPostgres::~ScratchPostgres() {
  server_.stop(SIGINT);  // the fast shutdown
  std::error_code none;
  fs::remove_all(root_, none);
}

std::string ScratchPostgres::uri(const std::string& user, const std::string& database) const {
  return "postgresql://" + user + "@127.0.0.1:" + std::to_string(port_) + "/" + database;
}

std::string ScratchPostgres::sql(const std::string& statements, std::string* error,
                                 const std::string& database) const {
  const fs::path in = root_ / "psql.in", out = root_ / "psql.out";
  WorkDirectory::write(in, statements);
  const int status = runAs("", {"/usr/bin/psql", "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-h",
                                root_.string(), "-p", std::to_string(port_), "-U", "morvalis", "-d",
                                database,
                                "-f", in.string()},
                           out);
  std::string text = WorkDirectory::read(out);
  if (status != 0) {
    if (error) *error = text.empty() ? "psql ended with " + std::to_string(status) : text;
    return "";
  }
  if (error) error->clear();
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

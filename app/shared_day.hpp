// The clinic's shared day as the programs open it: the one place in them
// that knows it is kept in PostgreSQL, and that a build may have no
// PostgreSQL at all (Windows, where libpq could not be built). Everything
// else works on the DayStore it gives, as on a journal file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "day_store.hpp"
#ifdef MORVALIS_DATABASE
#include "pg_schema.hpp"
#include "pg_store.hpp"
#endif

// Why a build without PostgreSQL refuses a `database` line.
inline constexpr const char* kNoDatabaseInBuild = "this morvalis is built without PostgreSQL";

// The day morvalis.conf's `database` names, kept as this PC's station
// (its host and folder) in the role given ("display", "rum 3"; empty for a
// desk); nullptr in a build without PostgreSQL.
inline std::unique_ptr<DayStore> openSharedDay(const std::string& database, const std::string& role,
                                               DayStore::Now now) {
#ifdef MORVALIS_DATABASE
  return std::make_unique<PgStore>(database, role.empty() ? stationName() : stationName() + " " + role,
                                   std::move(now));
#else
  (void)database, (void)role, (void)now;
  return nullptr;
#endif
}

// The days it keeps from `from` to `to` (dates; empty: no limit), in date
// order; false with `error` (English, for standard error).
inline bool readSharedDays(const std::string& database, const std::string& from, const std::string& to,
                           std::vector<StoredDay>& days, std::string& error) {
#ifdef MORVALIS_DATABASE
  return readStoredDays(database, from, to, days, error);
#else
  (void)database, (void)from, (void)to, (void)days;
  error = kNoDatabaseInBuild;
  return false;
#endif
}

// Makes the day's tables in the database, or brings them up to this
// version: a sentence for the operator, and whether it worked.
inline bool createSharedDay(const std::string& database, std::string& said) {
#ifdef MORVALIS_DATABASE
  PgConnection connection(database, "morvalis --opret-database");
  said = createOrUpgradeSchema(connection);
  if (!said.empty()) return false;
  said = "the database has the day's tables (schema version " + std::to_string(kPgSchemaVersion) + ")";
  return true;
#else
  (void)database;
  said = kNoDatabaseInBuild;
  return false;
#endif
}

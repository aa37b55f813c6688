// The day's table in PostgreSQL, and the rules the server keeps for every
// station whatever it sends.
//
// morvalis.changes holds one row per change, its `line` exactly the
// journal's line (without CR LF); the columns the rules need (the day, its
// sequence number, the kind, room, category and number) are generated from
// the line by the server, so a row and its line can never disagree. Rules:
//   - the day's changes are numbered 1, 2, 3, ... without a gap, each once
//     (two stations appending at once: one of them gets the number, the
//     other is told the day moved on);
//   - a number is issued once per day and category, and called at most once
//     (called again two more times at most);
//   - a shift opens only in a free room, and calls and departures only
//     concern a room that holds one.
// Every insert wakes the stations that LISTEN on kPgChannel once its
// transaction commits. morvalis.schema_version holds kPgSchemaVersion.
#pragma once

#include <string>

class PgConnection;

inline constexpr int kPgSchemaVersion = 1;
inline constexpr const char* kPgChannel = "morvalis";
// SQLSTATEs of the rules: the day moved on / a rule was broken.
inline constexpr const char* kPgStale = "MV001";
inline constexpr const char* kPgBroken = "MV002";

// Creates the schema, or brings an older one up to this version, in one
// transaction; refuses a newer one. Empty when done, else why not (English,
// for standard error).
std::string createOrUpgradeSchema(PgConnection& connection);

// Why a station cannot use the database's schema ("run morvalis
// --opret-database", "newer than this morvalis"), in Danish for row 23 and
// the panel; empty when it can.
std::string schemaProblem(PgConnection& connection);

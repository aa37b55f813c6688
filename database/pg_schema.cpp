#include "pg_schema.hpp"

#include "day_store.hpp"
#include "pg_connection.hpp"

namespace {

// Version 1. Field n of a line is split_part(line, ' ', n): 1 seq, 2 date,
// 3 time, 4 kind, then the kind's fields (see journal_format.hpp).
constexpr const char* kVersion1 = R"sql(
CREATE SCHEMA IF NOT EXISTS morvalis;
CREATE TABLE morvalis.schema_version (version integer NOT NULL);
INSERT INTO morvalis.schema_version VALUES (1);
CREATE TABLE morvalis.changes (
  line text NOT NULL CHECK (line ~ '^[1-9][0-9]{0,17} [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [a-z]+( [!-~]+)* [0-9a-f]{8}$'),
  station text NOT NULL,
  kept timestamptz NOT NULL DEFAULT clock_timestamp(),
  day text GENERATED ALWAYS AS (split_part(line, ' ', 2)) STORED,
  seq bigint GENERATED ALWAYS AS (split_part(line, ' ', 1)::bigint) STORED,
  kind text GENERATED ALWAYS AS (split_part(line, ' ', 4)) STORED,
  room integer GENERATED ALWAYS AS (
    CASE WHEN split_part(line, ' ', 4) IN ('kald', 'ankommer', 'rum', 'gaar', 'fri', 'bliver', 'igen', 'ikkemoedt')
         THEN split_part(line, ' ', 5)::integer END) STORED,
  category text GENERATED ALWAYS AS (
    CASE WHEN split_part(line, ' ', 4) = 'nummer' THEN split_part(line, ' ', 5)
         WHEN split_part(line, ' ', 4) IN ('kald', 'igen', 'ikkemoedt') THEN split_part(line, ' ', 6) END) STORED,
  number integer GENERATED ALWAYS AS (
    CASE WHEN split_part(line, ' ', 4) = 'nummer' THEN split_part(line, ' ', 6)::integer
         WHEN split_part(line, ' ', 4) IN ('kald', 'igen', 'ikkemoedt') THEN split_part(line, ' ', 7)::integer END) STORED,
  PRIMARY KEY (day, seq)
);
CREATE UNIQUE INDEX changes_issued_once ON morvalis.changes (day, category, number) WHERE kind = 'nummer';
CREATE UNIQUE INDEX changes_called_once ON morvalis.changes (day, category, number) WHERE kind = 'kald';

-- Runs after each row is in (the generated columns are there then) and
-- before its transaction commits: a row that breaks a rule takes its
-- whole transaction with it.
CREATE FUNCTION morvalis.check_change() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
  room_state text;
BEGIN
  IF NEW.seq > 1 AND NOT EXISTS (SELECT 1 FROM morvalis.changes
                                 WHERE day = NEW.day AND seq = NEW.seq - 1) THEN
    RAISE EXCEPTION 'change % of % does not follow the day''s last', NEW.seq, NEW.day
      USING ERRCODE = 'MV001';
  END IF;
  -- A number is called three times at most (the first call and two more).
  IF NEW.kind = 'igen' AND (SELECT count(*) FROM morvalis.changes
                            WHERE day = NEW.day AND category = NEW.category AND number = NEW.number
                              AND kind IN ('kald', 'igen') AND seq < NEW.seq) >= 3 THEN
    RAISE EXCEPTION 'number % called three times already', NEW.number USING ERRCODE = 'MV002';
  END IF;
  -- Room 0: a number not met, restated with the state from scratch.
  IF NEW.room IS NOT NULL AND NEW.room <> 0 AND NEW.kind <> 'rum' THEN
    SELECT kind INTO room_state FROM morvalis.changes
      WHERE day = NEW.day AND seq < NEW.seq
        AND (kind = 'dag' OR (room = NEW.room AND kind IN ('ankommer', 'rum', 'fri')))
      ORDER BY seq DESC LIMIT 1;
    IF NEW.kind = 'ankommer' AND room_state IN ('ankommer', 'rum') THEN
      RAISE EXCEPTION 'room % holds a shift already', NEW.room USING ERRCODE = 'MV002';
    END IF;
    IF NEW.kind <> 'ankommer' AND (room_state IS NULL OR room_state NOT IN ('ankommer', 'rum')) THEN
      RAISE EXCEPTION 'room % holds no shift', NEW.room USING ERRCODE = 'MV002';
    END IF;
  END IF;
  -- The stations hear of it when the transaction commits (once, however
  -- many rows it added: the server folds equal notifications).
  PERFORM pg_notify('morvalis', '');
  RETURN NULL;
END $$;
CREATE TRIGGER check_change AFTER INSERT ON morvalis.changes
  FOR EACH ROW EXECUTE FUNCTION morvalis.check_change();
)sql";

// The version the database has: 0 none, -1 unknown (with `why`).
int versionOf(PgConnection& connection, std::string& why) {
  const auto exists = connection.query("SELECT to_regclass('morvalis.schema_version') IS NOT NULL", {},
                                       kStoreWaitMs);
  if (!exists.ok || exists.rows.empty()) {
    why = exists.message.empty() ? connection.reason() : exists.message;
    return -1;
  }
  if (exists.rows[0][0] != "t") return 0;
  const auto version = connection.query("SELECT max(version) FROM morvalis.schema_version", {}, kStoreWaitMs);
  if (!version.ok || version.rows.empty() || !version.rows[0][0]) {
    why = version.message.empty() ? connection.reason() : version.message;
    return -1;
  }
  return std::stoi(*version.rows[0][0]);
}

}  // namespace

std::string createOrUpgradeSchema(PgConnection& connection) {
  if (!connection.connect(kStoreWaitMs)) return "cannot connect: " + connection.reason();
  std::string why;
  // One at a time: two PCs set up at once would otherwise both create.
  const auto begun = connection.query("BEGIN; SELECT pg_advisory_xact_lock(7140501)", {}, kStoreWaitMs * 5);
  if (!begun.ok) return "cannot begin: " + begun.message;
  const int version = versionOf(connection, why);
  if (version < 0) {
    connection.query("ROLLBACK", {}, kStoreWaitMs);
    return "cannot read the schema's version: " + why;
  }
  if (version > kPgSchemaVersion) {
    connection.query("ROLLBACK", {}, kStoreWaitMs);
    return "the database's schema is version " + std::to_string(version) +
           ", newer than this morvalis knows (" + std::to_string(kPgSchemaVersion) +
           "); update morvalis";
  }
  if (version == kPgSchemaVersion) {
    connection.query("ROLLBACK", {}, kStoreWaitMs);
    return "";
  }
  // Version 0 -> 1; later versions add their steps after this one.
  const auto created = connection.query(kVersion1, {}, kStoreWaitMs * 5);
  if (!created.ok) {
    connection.query("ROLLBACK", {}, kStoreWaitMs);
    return "cannot create the schema: " + created.message;
  }
  const auto committed = connection.query("COMMIT", {}, kStoreWaitMs * 5);
  if (!committed.ok) return "cannot commit the schema: " + committed.message;
  return "";
}

std::string schemaProblem(PgConnection& connection) {
  std::string why;
  const int version = versionOf(connection, why);
  if (version < 0) return "skemaet kan ikke laeses (" + why + ")";
  if (version == 0) return "ingen tabeller: koer morvalis --opret-database";
  if (version < kPgSchemaVersion) return "gammelt skema: koer morvalis --opret-database";
  if (version > kPgSchemaVersion) return "skemaet er nyere: opdater morvalis";
  return "";
}

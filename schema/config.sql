-- The capture configuration database: the stored configuration (one table,
-- one row). The program reads and updates the row whose mac is 'default';
-- it never creates the file, the table or the row. Apply with:
-- sqlite3 velorantis-config.db < config.sql
-- Applying it again keeps an existing configuration. The capture ledger
-- lives in the records database (records.sql), which the program creates.

-- A write-ahead log, a property of the file: a read never waits for a save
-- (getconfig sees the last committed row while setconfig writes). It keeps
-- two files beside the database (-wal, -shm), so the web server's user must
-- be able to create files in the database's folder.
PRAGMA journal_mode = WAL;
CREATE TABLE IF NOT EXISTS config (
  mac TEXT PRIMARY KEY,
  destination TEXT,  -- capture directory, 8-bit text
  loop INTEGER,      -- 1: overwrite the oldest data when full
  count INTEGER,
  size INTEGER,      -- bytes
  duration INTEGER,
  inline INTEGER,    -- 1: inline mode
  slicing INTEGER    -- bytes kept of each packet; 0: slicing off
);

-- The defaults: inline mode on, everything else off or empty.
INSERT OR IGNORE INTO config (mac, destination, loop, count, size, duration, inline, slicing)
VALUES ('default', '', 0, 0, 0, 0, 1, 0);

-- The capture configuration database: the stored configuration (one table,
-- one row) and the capture ledger. The program reads and updates the row
-- whose mac is 'default' and writes the ledger; it never creates the file,
-- a table or the row. Apply with: sqlite3 velorantis-config.db < config.sql
-- Applying it again keeps an existing configuration and ledger, and adds the
-- ledger to a database made before it.

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

-- The capture ledger: one row for every start that reached a device, whatever
-- came of it, and how that capture ended. The program keeps about the newest
-- thousand rows.
CREATE TABLE IF NOT EXISTS captures (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  mac TEXT NOT NULL,            -- the device's MAC text
  file TEXT NOT NULL,           -- the capture file's path now (updated when it is renamed aside)
  loop INTEGER NOT NULL, count INTEGER NOT NULL, size INTEGER NOT NULL,  -- size in bytes, as the config row
  duration INTEGER NOT NULL, inline INTEGER NOT NULL, slicing INTEGER NOT NULL,
  state TEXT NOT NULL,          -- 'running', 'stopped', 'ended', 'failed'
  started INTEGER NOT NULL,     -- Unix seconds
  startedby TEXT NOT NULL,      -- REMOTE_USER, else '-'
  startedfrom TEXT NOT NULL,    -- REMOTE_ADDR, else '-'
  ended INTEGER NOT NULL DEFAULT 0,
  stoppedby TEXT NOT NULL DEFAULT '',   -- who stopped it ('' unless state is 'stopped')
  stoppedfrom TEXT NOT NULL DEFAULT '',
  error INTEGER NOT NULL DEFAULT 0      -- the capture's error figure when its end was noticed
);

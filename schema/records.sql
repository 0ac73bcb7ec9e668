-- The records database: the capture ledger. The program creates it with this
-- file when it is missing (beside the configuration database unless the
-- build says otherwise), and moves into it, once, the ledger that earlier
-- versions kept in the configuration database. Every statement is
-- idempotent.

-- A write-ahead log: listing the ledger never waits for a start's claim.
PRAGMA journal_mode = WAL;

-- One row for every start that got as far as claiming its file, whatever
-- came of it, and how that capture ended. The program keeps about the
-- newest thousand rows, and never drops one that still claims a file.
CREATE TABLE IF NOT EXISTS captures (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  mac TEXT NOT NULL,            -- the device's MAC text
  file TEXT NOT NULL,           -- the capture file's path now (updated when it is renamed aside)
  loop INTEGER NOT NULL, count INTEGER NOT NULL, size INTEGER NOT NULL,  -- size in bytes, as the config row
  duration INTEGER NOT NULL, inline INTEGER NOT NULL, slicing INTEGER NOT NULL,
  -- 'starting' (claimed; the device not yet answered), 'running', 'stopped',
  -- 'ended' (by itself), 'gone' (its device was unplugged), 'failed' (the
  -- device refused to start: no file)
  state TEXT NOT NULL,
  started INTEGER NOT NULL,     -- Unix seconds
  startedby TEXT NOT NULL,      -- REMOTE_USER, else '-'
  startedfrom TEXT NOT NULL,    -- REMOTE_ADDR, else '-'
  ended INTEGER NOT NULL DEFAULT 0,
  stoppedby TEXT NOT NULL DEFAULT '',   -- who stopped it ('' unless state is 'stopped')
  stoppedfrom TEXT NOT NULL DEFAULT '',
  error INTEGER NOT NULL DEFAULT 0,     -- the capture's error figure when its end was noticed
  -- The file's identity: its device and inode once the device has created
  -- it (0: not known), and from its end on its size and modification time
  -- in nanoseconds (-1: not known). A file that no longer matches is not
  -- this capture's.
  filedev INTEGER NOT NULL DEFAULT 0,
  fileino INTEGER NOT NULL DEFAULT 0,
  filesize INTEGER NOT NULL DEFAULT -1,
  filemtime INTEGER NOT NULL DEFAULT -1
);
-- The claims: the captures that may still be writing their files.
CREATE INDEX IF NOT EXISTS captures_active ON captures (state) WHERE state IN ('starting', 'running');

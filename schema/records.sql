-- The records database: the capture ledger. The program creates it with this
-- file when it is missing (beside the configuration database unless the
-- build says otherwise), and moves into it, once, the ledger that earlier
-- versions kept in the configuration database. Every statement is
-- idempotent. An earlier file (user_version below 5) gets the columns it lacks
-- added, then this file run over it; a later one is left alone.

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
  -- device refused to start: no file), 'deleted' (its file removed, by a
  -- request or the retention policy), 'missing' (its file removed by hand,
  -- or no longer the capture's)
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
  filemtime INTEGER NOT NULL DEFAULT -1,
  pinned INTEGER NOT NULL DEFAULT 0,    -- 1: never removed, by the policy or by delete
  deleted INTEGER NOT NULL DEFAULT 0,   -- Unix seconds of the removal ('deleted' only)
  deletedby TEXT NOT NULL DEFAULT '',   -- REMOTE_USER of the delete ('-' without one), or 'retention'
  freed INTEGER NOT NULL DEFAULT 0,     -- bytes the removal freed
  -- The first and last packets' times in Unix nanoseconds, read from the
  -- file when its end was noticed (-1: not known).
  firstpacket INTEGER NOT NULL DEFAULT -1,
  lastpacket INTEGER NOT NULL DEFAULT -1
);
-- The claims: the captures that may still be writing their files.
CREATE INDEX IF NOT EXISTS captures_active ON captures (state) WHERE state IN ('starting', 'running');
-- Each device's captures, newest first: a page of one device's captures
-- costs the same however long the ledger.
CREATE INDEX IF NOT EXISTS captures_mac ON captures (mac, id);
-- The entries of one file: a start's claim finds who holds its path at once.
CREATE INDEX IF NOT EXISTS captures_file ON captures (file);
-- Removals recorded whose file may still be there: the record comes first,
-- and the file's inode is cleared once it is unlinked.
CREATE INDEX IF NOT EXISTS captures_removing ON captures (id) WHERE state = 'deleted' AND fileino != 0;

-- What the storage figures need of the whole ledger, kept by the triggers
-- below in the same transaction as every change of a capture row, so that
-- reading them costs the same however long the ledger: the bytes the ended
-- captures' files hold as recorded ('stopped', 'ended', 'gone'), and every
-- folder the ledger names with its number of rows. A file made before them
-- gets them counted once, from the rows it holds.
CREATE TABLE IF NOT EXISTS usage (
  id INTEGER PRIMARY KEY CHECK (id = 1),
  keptbytes INTEGER NOT NULL
);
INSERT OR IGNORE INTO usage (id, keptbytes)
  SELECT 1, coalesce(sum(max(filesize, 0)), 0) FROM captures
  WHERE state IN ('stopped', 'ended', 'gone');
CREATE TABLE IF NOT EXISTS folders (
  folder TEXT PRIMARY KEY,      -- a capture file's path up to its last '/'
  captures INTEGER NOT NULL
) WITHOUT ROWID;
INSERT OR IGNORE INTO folders (folder, captures)
  SELECT rtrim(file, replace(file, '/', '')), count(*) FROM captures
  GROUP BY rtrim(file, replace(file, '/', ''));
CREATE TRIGGER IF NOT EXISTS usage_added AFTER INSERT ON captures BEGIN
  UPDATE usage SET keptbytes = keptbytes +
    CASE WHEN NEW.state IN ('stopped', 'ended', 'gone') THEN max(NEW.filesize, 0) ELSE 0 END;
  INSERT INTO folders (folder, captures) VALUES (rtrim(NEW.file, replace(NEW.file, '/', '')), 1)
    ON CONFLICT (folder) DO UPDATE SET captures = captures + 1;
END;
CREATE TRIGGER IF NOT EXISTS usage_dropped AFTER DELETE ON captures BEGIN
  UPDATE usage SET keptbytes = keptbytes -
    CASE WHEN OLD.state IN ('stopped', 'ended', 'gone') THEN max(OLD.filesize, 0) ELSE 0 END;
  UPDATE folders SET captures = captures - 1
    WHERE folder = rtrim(OLD.file, replace(OLD.file, '/', ''));
  DELETE FROM folders WHERE folder = rtrim(OLD.file, replace(OLD.file, '/', '')) AND captures = 0;
END;
CREATE TRIGGER IF NOT EXISTS usage_changed AFTER UPDATE OF state, filesize, file ON captures BEGIN
  UPDATE usage SET keptbytes = keptbytes
    - CASE WHEN OLD.state IN ('stopped', 'ended', 'gone') THEN max(OLD.filesize, 0) ELSE 0 END
    + CASE WHEN NEW.state IN ('stopped', 'ended', 'gone') THEN max(NEW.filesize, 0) ELSE 0 END;
  UPDATE folders SET captures = captures - 1
    WHERE NEW.file != OLD.file AND folder = rtrim(OLD.file, replace(OLD.file, '/', ''));
  DELETE FROM folders WHERE NEW.file != OLD.file
    AND folder = rtrim(OLD.file, replace(OLD.file, '/', '')) AND captures = 0;
  INSERT INTO folders (folder, captures)
    SELECT rtrim(NEW.file, replace(NEW.file, '/', '')), 1 WHERE NEW.file != OLD.file
    ON CONFLICT (folder) DO UPDATE SET captures = captures + 1;
END;

-- The captures whose `size` the retention policy set, at their starts: the
-- room it left them, where the device's own settings asked for more or for
-- no limit. A row goes with its capture's.
CREATE TABLE IF NOT EXISTS policylimits (
  capture INTEGER PRIMARY KEY   -- the capture's id
);

-- The retention policy, one row: the most bytes the ledger's capture files
-- may hold together (0: no quota) and the least free space, in percent, on
-- the file system of each capture folder (0: no floor).
CREATE TABLE IF NOT EXISTS retention (
  id INTEGER PRIMARY KEY CHECK (id = 1),
  maxbytes INTEGER NOT NULL DEFAULT 0,
  minfree INTEGER NOT NULL DEFAULT 0
);
INSERT OR IGNORE INTO retention (id) VALUES (1);

-- Every removal, counted by reason ('quota', 'minfree', 'delete') since the
-- file was made: the ledger's own rows are trimmed, these never.
CREATE TABLE IF NOT EXISTS removals (
  reason TEXT PRIMARY KEY,
  removals INTEGER NOT NULL DEFAULT 0,
  bytes INTEGER NOT NULL DEFAULT 0
);

-- The audit trail: every request that changed something or tried to, every
-- download and every refusal. The program keeps the newest 10,000 rows.
CREATE TABLE IF NOT EXISTS audit (
  id INTEGER PRIMARY KEY,
  time INTEGER NOT NULL,        -- Unix seconds
  user TEXT NOT NULL,           -- REMOTE_USER, else '-'
  address TEXT NOT NULL,        -- REMOTE_ADDR, else '-'
  command TEXT NOT NULL,
  -- The request's mac, id and time window as it gave them ('' where it
  -- gave none).
  mac TEXT NOT NULL,
  capture TEXT NOT NULL,
  fromtime TEXT NOT NULL,
  totime TEXT NOT NULL,
  result INTEGER NOT NULL,      -- the answer's result and message
  message TEXT NOT NULL,
  bytes INTEGER NOT NULL,       -- a download's bytes the program sent; -1: none or not known
  -- The bytes a download asked for, as its Range header gave them ('' for
  -- the whole file or a time window).
  byterange TEXT NOT NULL DEFAULT '',
  -- The capture filter a download or an extraction gave ('' for none).
  filter TEXT NOT NULL DEFAULT ''
);
CREATE INDEX IF NOT EXISTS audit_user ON audit (user, id);

PRAGMA user_version = 5;

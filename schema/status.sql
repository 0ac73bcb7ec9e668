-- The status database: the devices the status daemon knows, each one's
-- capture state, and its traffic-statistics samples in two table versions.
-- The web back end only reads it. Every statement is idempotent, so the
-- daemon can run the whole file against an existing database.

-- One row per device, keyed by its MAC text ("00:11:22:aa:bb:cc").
CREATE TABLE IF NOT EXISTS device (
  id INTEGER PRIMARY KEY,
  mac TEXT NOT NULL UNIQUE,
  model TEXT
);

-- The capture state of a device (status 1 while a capture to disk runs).
CREATE TABLE IF NOT EXISTS capture (
  device INTEGER NOT NULL,
  status INTEGER,
  error INTEGER,
  cacheused INTEGER,
  maxcache INTEGER,
  written INTEGER,
  dropped INTEGER
);
CREATE UNIQUE INDEX IF NOT EXISTS capture_device ON capture (device);

-- Version 1 samples: device-wide counters and eleven counters per port.
-- `date` is Unix time in seconds, strictly increasing per device.
CREATE TABLE IF NOT EXISTS stats_v1 (
  device INTEGER NOT NULL,
  date INTEGER NOT NULL,
  softwaredropped INTEGER,
  linkup INTEGER,
  linkdown INTEGER,
  bogusbytes INTEGER,
  totalpackets INTEGER,
  p1_lessthan64 INTEGER,
  p1_between64and1518 INTEGER,
  p1_morethan1518 INTEGER,
  p1_collision INTEGER,
  p1_crcerror INTEGER,
  p1_jabber INTEGER,
  p1_bytes INTEGER,
  p1_maximumbytes INTEGER,
  p1_totalvalid INTEGER,
  p1_totalinvalid INTEGER,
  p1_hardwaredropped INTEGER,
  p2_lessthan64 INTEGER,
  p2_between64and1518 INTEGER,
  p2_morethan1518 INTEGER,
  p2_collision INTEGER,
  p2_crcerror INTEGER,
  p2_jabber INTEGER,
  p2_bytes INTEGER,
  p2_maximumbytes INTEGER,
  p2_totalvalid INTEGER,
  p2_totalinvalid INTEGER,
  p2_hardwaredropped INTEGER
);
-- The status command reads one device's samples after a date, oldest first.
CREATE INDEX IF NOT EXISTS stats_v1_device_date ON stats_v1 (device, date);

-- Version 2 samples: device-wide counters and sixteen raw device counters.
CREATE TABLE IF NOT EXISTS stats_v2 (
  device INTEGER NOT NULL,
  date INTEGER NOT NULL,
  softwaredropped INTEGER,
  bogusbytes INTEGER,
  totalpackets INTEGER,
  counter1 INTEGER,
  counter2 INTEGER,
  counter3 INTEGER,
  counter4 INTEGER,
  counter5 INTEGER,
  counter6 INTEGER,
  counter7 INTEGER,
  counter8 INTEGER,
  counter9 INTEGER,
  counter10 INTEGER,
  counter11 INTEGER,
  counter12 INTEGER,
  counter13 INTEGER,
  counter14 INTEGER,
  counter15 INTEGER,
  counter16 INTEGER
);
CREATE INDEX IF NOT EXISTS stats_v2_device_date ON stats_v2 (device, date);

// Turns the counter arrays of the status answer's "statsV1" and "statsV2"
// nodes into plottable series, kept for a sliding window. Both
// versions carry the same per-port keys that the rates need, so one reader
// serves both.

// How far back the plots reach, in the samples' unit (seconds).
export const WINDOW_SECONDS = 600;

const PORTS = 2;

// The series of one statistics version, empty. Packets and bytes are per
// second; drops and errors are counts per interval between samples, since
// they come a few at a time and read better summed up.
export function emptySeries() {
  return {
    last: null, // the newest sample taken: its date and counters
    interval: 0, // seconds between the last two samples taken
    times: [],
    packets: [[], []],
    bytes: [[], []],
    drops: [[], []],
    errors: [[], []],
    softwareDropped: [],
  };
}

function valueAt(list, i) {
  return Array.isArray(list) && typeof list[i] === 'number' ? list[i] : NaN;
}

// The counters of sample `i`. "Packets" are every frame the port saw, valid
// or not; "errors" the invalid ones; "drops" those the hardware dropped.
// "Bytes" only of the ports `bytesOf` marks; the others' are gaps.
function sampleAt(node, i, bytesOf) {
  const ports = Array.isArray(node.ports) ? node.ports : [];
  const perPort = [];
  for (let p = 0; p < PORTS; ++p) {
    const port = ports[p] ?? {};
    perPort.push({
      packets: valueAt(port.totalvalid, i) + valueAt(port.totalinvalid, i),
      bytes: bytesOf[p] ? valueAt(port.bytes, i) : NaN,
      errors: valueAt(port.totalinvalid, i),
      drops: valueAt(port.hardwaredropped, i),
    });
  }
  return { date: valueAt(node.date, i), softwareDropped: valueAt(node.softwaredropped, i), ports: perPort };
}

// What a counter grew by between two readings; null (a gap in the plot)
// where it went back, as after a restart of the device.
function growth(now, before) {
  const delta = now - before;
  return Number.isFinite(delta) && delta >= 0 ? delta : null;
}

function rate(now, before, seconds) {
  const delta = growth(now, before);
  return delta === null ? null : delta / seconds;
}

function pushPoint(series, time, values) {
  series.times.push(time);
  series.softwareDropped.push(values === null ? null : values.softwareDropped);
  for (let p = 0; p < PORTS; ++p) {
    for (const key of ['packets', 'bytes', 'drops', 'errors']) {
      series[key][p].push(values === null ? null : values[key][p]);
    }
  }
}

function trim(series) {
  const newest = series.times[series.times.length - 1];
  let drop = 0;
  while (drop < series.times.length && series.times[drop] < newest - WINDOW_SECONDS) drop += 1;
  if (drop === 0) return;
  const cut = (list) => list.splice(0, drop);
  cut(series.times);
  cut(series.softwareDropped);
  for (let p = 0; p < PORTS; ++p) {
    cut(series.packets[p]);
    cut(series.bytes[p]);
    cut(series.drops[p]);
    cut(series.errors[p]);
  }
}

// Takes the node's samples that are newer than the newest one taken; each
// adds one point of every series (the first sample only sets the
// baseline). `bytesOf[p]` false leaves port p's bytes out. Returns how many
// samples the node held, taken or not.
export function appendSamples(series, node, bytesOf = [true, true]) {
  if (typeof node !== 'object' || node === null || !Array.isArray(node.date)) return 0;
  for (let i = 0; i < node.date.length; ++i) {
    const sample = sampleAt(node, i, bytesOf);
    if (!Number.isFinite(sample.date)) continue;
    const before = series.last;
    if (before !== null && sample.date <= before.date) continue;
    series.last = sample;
    if (before === null) continue;
    const seconds = sample.date - before.date;
    // After a pause in the samples (the daemon stopped for a while) the
    // lines break, and no rate averaged over the pause is drawn; what the
    // counts grew by still adds to their totals.
    const pause = series.interval > 0 && seconds > 3 * series.interval;
    if (pause) pushPoint(series, before.date + series.interval, null);
    series.interval = seconds;
    const perSecond = (now, then) => (pause ? null : rate(now, then, seconds));
    const values = { packets: [], bytes: [], drops: [], errors: [] };
    values.softwareDropped = growth(sample.softwareDropped, before.softwareDropped);
    for (let p = 0; p < PORTS; ++p) {
      const now = sample.ports[p];
      const then = before.ports[p];
      values.packets.push(perSecond(now.packets, then.packets));
      values.bytes.push(perSecond(now.bytes, then.bytes));
      values.drops.push(growth(now.drops, then.drops));
      values.errors.push(growth(now.errors, then.errors));
    }
    pushPoint(series, sample.date, values);
  }
  if (series.times.length > 0) trim(series);
  return node.date.length;
}

// The "from" of the next status request, given what the last one brought:
// normally the newest date taken (so only new samples come), but when a
// version's answer was cut at `limit`, that version's newest date, and
// `again` says to ask at once for the rest. `counts[k]` is how many samples
// version k's node held.
export function nextFrom(versions, counts, limit, from) {
  const full = versions.filter((series, k) => counts[k] >= limit && series.last !== null);
  const pool = full.length > 0 ? full : versions.filter((series) => series.last !== null);
  if (pool.length === 0) return { from, again: false };
  const dates = pool.map((series) => series.last.date);
  const next = full.length > 0 ? Math.min(...dates) : Math.max(...dates);
  return { from: Math.max(from, next), again: full.length > 0 };
}

// Running totals of per-interval counts since the start of the window; a
// gap (null) adds nothing but stays a gap.
export function runningTotal(counts) {
  let total = 0;
  return counts.map((count) => {
    if (count === null) return null;
    total += count;
    return total;
  });
}

// Numbers as the page shows them.

const grouped = new Intl.NumberFormat('en', { maximumFractionDigits: 0 });
const oneDecimal = new Intl.NumberFormat('en', { maximumFractionDigits: 1, minimumFractionDigits: 1 });
const compact = new Intl.NumberFormat('en', { maximumSignificantDigits: 3 });

// A whole number with digit grouping: 1,234,567.
export function formatCount(value) {
  return Number.isFinite(value) ? grouped.format(value) : '–';
}

// A size in binary units, as the configuration's MiB: 48.0 MiB.
export function formatBytes(value) {
  if (!Number.isFinite(value)) return '–';
  const units = ['B', 'KiB', 'MiB', 'GiB', 'TiB', 'PiB', 'EiB'];
  let scaled = value;
  let unit = 0;
  while (Math.abs(scaled) >= 1024 && unit < units.length - 1) {
    scaled /= 1024;
    unit += 1;
  }
  return unit === 0 ? `${grouped.format(scaled)} B` : `${oneDecimal.format(scaled)} ${units[unit]}`;
}

// A rate or axis value in decimal units with three significant digits: 1.25 M.
export function formatRate(value) {
  if (value === null || !Number.isFinite(value)) return '–';
  const units = ['', ' k', ' M', ' G', ' T', ' P'];
  let scaled = value;
  let unit = 0;
  while (Math.abs(scaled) >= 1000 && unit < units.length - 1) {
    scaled /= 1000;
    unit += 1;
  }
  return `${compact.format(scaled)}${units[unit]}`;
}

// Times are shown in UTC, as the capture files name and stamp them, unless
// the operator chose the browser's own zone; the page remembers the choice
// and every time says its zone.
const ZONE_KEY = 'velorantis-time-zone';
const localZone = (() => {
  try {
    return localStorage.getItem(ZONE_KEY) === 'local';
  } catch {
    return false; // storage refused: UTC
  }
})();

export function usesLocalTime() {
  return localZone;
}

// Remembers the choice; the page is drawn anew to apply it.
export function chooseLocalTime(local) {
  try {
    localStorage.setItem(ZONE_KEY, local ? 'local' : 'utc');
  } catch {
    // Not remembered; this page still follows it once reloaded.
  }
}

// The zone's name as the times carry it: "UTC", or "UTC+01:00" for the
// browser's (at `seconds`, since summer time moves it).
export function zoneName(seconds = Date.now() / 1000) {
  if (!localZone) return 'UTC';
  const offset = -new Date(seconds * 1000).getTimezoneOffset();
  const pad = (n) => String(Math.floor(n)).padStart(2, '0');
  return `UTC${offset < 0 ? '-' : '+'}${pad(Math.abs(offset) / 60)}:${pad(Math.abs(offset) % 60)}`;
}

// The ISO text of a date in the chosen zone, without the zone.
function isoText(seconds) {
  const date = new Date(seconds * 1000);
  if (localZone) date.setTime(date.getTime() - date.getTimezoneOffset() * 60000);
  return date.toISOString();
}

// A date (Unix seconds) as the time of day in the chosen zone: 08:17:03.
export function formatTime(seconds) {
  return isoText(seconds).slice(11, 19);
}

// A date (Unix seconds) with its day and zone: 2026-12-08 08:17:03 UTC.
export function formatDateTime(seconds) {
  if (!Number.isFinite(seconds) || seconds <= 0) return '–';
  const text = isoText(seconds);
  return `${text.slice(0, 10)} ${text.slice(11, 19)} ${zoneName(seconds)}`;
}

// A count with its unit, singular for one: 1 packet, 3,000 packets.
export function formatWith(value, unit) {
  if (!Number.isFinite(value)) return '–';
  return `${formatCount(value)} ${unit}${value === 1 ? '' : 's'}`;
}

// A span of seconds, to the second: 45 s, 3 min 05 s, 2 h 01 min.
export function formatDuration(seconds) {
  if (!Number.isFinite(seconds) || seconds < 0) return '–';
  const s = Math.round(seconds);
  if (s < 60) return `${s} s`;
  const pad = (n) => String(n).padStart(2, '0');
  if (s < 3600) return `${Math.floor(s / 60)} min ${pad(s % 60)} s`;
  return `${Math.floor(s / 3600)} h ${pad(Math.floor((s % 3600) / 60))} min`;
}

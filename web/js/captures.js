// The captures panel: the ledger's entries for the selected device from the
// "captures" command, each with its file to download, and the words for
// why a capture ended.
import { downloadUrl, serverNow, windowUrl } from './api.js';
import { byId } from './dom.js';
import { formatBytes, formatDateTime, formatDuration, formatTime, formatWith, usesLocalTime } from './format.js';

const STATES = {
  starting: 'Starting',
  running: 'Running',
  stopped: 'Stopped',
  ended: 'Ended by itself',
  gone: 'Device gone (unplugged)',
  failed: 'Failed to start',
  deleted: 'Deleted',
  missing: 'File missing (removed by hand)',
};

// The words for a capture's error code, the system's own numbers for what
// the device met writing the file.
const ERRORS = {
  5: 'the disk failed to write (an input/output error)',
  13: 'the capture folder may not be written',
  27: 'the file reached the largest size the file system allows',
  28: 'the disk is full',
  122: 'the disk quota of the capture folder is used up',
};

export function errorText(error) {
  return ERRORS[error] ?? 'an error';
}

// A size limit counts as reached once the file is within this of it: the
// frame that would have passed it may be this large.
const LARGEST_BLOCK = 16384;

// The size limit a ledger entry's capture got at its start: `bytes`, and
// whether the storage policy set it; null where the entry does not say.
export function limitOf(entry) {
  return entry?.limit > 0 ? { bytes: entry.limit, policy: entry.policylimit === 1 } : null;
}

// Why a capture that was not stopped came to its end, as far as is known: a
// non-zero error figure, else those limits of its settings (size in MiB, or
// `limit` from limitOf) that it can have reached, having run at most `ran`
// seconds and written `bytes` (NaN where not known).
export function endReason(error, settings, ran = NaN, bytes = NaN, limit = null) {
  if (Number.isFinite(error) && error !== 0) return `${errorText(error)} (error code ${error})`;
  const limits = [];
  if (settings?.count > 0) limits.push(`its count of ${formatWith(settings.count, 'packet')}`);
  const size = limit?.bytes ?? settings?.size * 1048576;
  if (size > 0 && !(settings?.loop > 0) && !(bytes < size - LARGEST_BLOCK)) {
    limits.push(limit?.policy ? `its size of ${formatBytes(size)} (set by the storage policy)` : `its size of ${settings.size} MiB`);
  }
  if (settings?.duration > 0 && !(ran < settings.duration - 1)) {
    limits.push(`its duration of ${formatWith(settings.duration, 'second')}`);
  }
  if (limits.length === 0) return '';
  if (limits.length === 1) return `${limits[0]} was reached`;
  return `one of its limits was reached (${limits.join(', ')})`;
}

// The notice for a capture that was seen running and then not, from its
// ledger `entry` (null when the ledger cannot be read) and what the page
// `seen`: when it noticed, when it last saw the device idle, the status's
// error figure and bytes written, and the stored settings. A ledger that
// has not yet noticed the end still gives the capture's own settings.
export function endNotice(entry, seen) {
  if (entry?.state === 'stopped') {
    const who = entry.stoppedby && entry.stoppedby !== '-' ? ` by ${entry.stoppedby}` : '';
    return { text: `The capture was stopped${who} at ${formatDateTime(entry.ended)}.`, kind: 'notice' };
  }
  if (entry?.state === 'gone') {
    return {
      text: `The device was unplugged; its capture ended at ${formatDateTime(entry.ended)}.`,
      kind: 'error',
    };
  }
  const known = entry?.ended > 0;
  const ended = known ? formatDateTime(entry.ended) : `about ${formatDateTime(Math.floor(seen.noticed))}`;
  const error = entry?.error ? entry.error : seen.error;
  const ran = (known ? entry.ended : seen.noticed) - (entry?.started ?? seen.idleAt);
  const bytes = entry?.size >= 0 ? entry.size : seen.written;
  const reason = endReason(error, entry?.settings ?? seen.settings, ran, bytes, limitOf(entry));
  return {
    text: `The capture ended by itself at ${ended}: ${reason || 'the reason is not known'}.`,
    kind: error ? 'error' : 'notice',
  };
}

// The file's name without its folder: what the download will be called.
function baseName(path) {
  return typeof path === 'string' ? path.slice(path.lastIndexOf('/') + 1) : '';
}

// The folder of a path, its last '/' included.
function folderName(path) {
  return typeof path === 'string' ? path.slice(0, path.lastIndexOf('/') + 1) : '';
}

// How long the capture ran, or has run so far.
function durationText(entry) {
  const running = entry.state === 'running' || entry.state === 'starting';
  if (!running && !(entry.ended > 0)) return '–';
  return formatDuration((running ? serverNow() : entry.ended) - entry.started);
}

function slicingText(entry) {
  const slicing = entry.settings?.slicing;
  return slicing > 0 ? formatWith(slicing, 'byte') : 'off';
}

function cell(text, className = '') {
  const td = document.createElement('td');
  td.textContent = text;
  if (className) td.className = className;
  return td;
}

function stateCell(entry) {
  const td = cell(STATES[entry.state] ?? String(entry.state), 'state');
  td.dataset.state = String(entry.state);
  if (entry.state === 'ended') {
    const reason = endReason(entry.error, entry.settings, entry.ended - entry.started, entry.size, limitOf(entry));
    if (reason) td.append(document.createElement('br'), `(${reason})`);
  }
  if (entry.state === 'deleted') {
    const by = entry.deletedby === 'retention' ? 'by the retention policy' : `by ${person(entry.deletedby)}`;
    td.append(document.createElement('br'), `(${by} at ${formatDateTime(entry.deleted)})`);
  }
  return td;
}

const HAS_FILE = new Set(['starting', 'running', 'stopped', 'ended', 'gone']);

// The Keep toggle (pin) and the Delete button of a capture that has its
// file; `actions.pin(entry, pinned)` and `actions.remove(entry)` send them.
function keepCell(entry, actions) {
  const td = cell('', 'keep');
  if (!HAS_FILE.has(entry.state)) return td;
  const name = baseName(entry.file);
  const pin = document.createElement('input');
  pin.type = 'checkbox';
  pin.checked = entry.pinned === 1;
  pin.setAttribute('aria-label', `Keep ${name}: never delete it`);
  pin.dataset.needs = 'pin';
  pin.addEventListener('change', () => actions.pin(entry, pin.checked));
  const remove = document.createElement('button');
  remove.type = 'button';
  remove.textContent = 'Delete';
  remove.disabled = entry.pinned === 1 || entry.state === 'starting' || entry.state === 'running';
  remove.setAttribute('aria-label', `Delete ${name}`);
  remove.dataset.needs = 'delete';
  remove.addEventListener('click', () => actions.remove(entry));
  td.append(pin, ' ', remove);
  return td;
}

function fileCell(entry) {
  const td = cell('', 'file');
  const name = baseName(entry.file);
  if (entry.size >= 0 && entry.state !== 'failed') {
    const link = document.createElement('a');
    link.href = downloadUrl(entry.id);
    link.download = ''; // the server names the file
    link.textContent = name;
    link.title = entry.file;
    link.setAttribute('aria-label', `Download ${name}, started ${formatDateTime(entry.started)}`);
    td.append(link);
  } else {
    td.textContent = name;
    td.title = entry.file;
  }
  return td;
}

function link(href, text, label) {
  const a = document.createElement('a');
  a.href = href;
  a.download = ''; // the server names the file
  a.textContent = text;
  a.setAttribute('aria-label', label);
  return a;
}

const PRESET_MINUTES = [1, 5, 15];

// The capture's first and last packet times, and a download of any window
// of it: the last 1, 5 or 15 minutes, or the minutes around a chosen time.
function packetsCell(entry) {
  const td = cell('', 'packets');
  const { first, last } = entry;
  if (!(first > 0 && last > 0) || !HAS_FILE.has(entry.state)) {
    td.textContent = '–';
    return td;
  }
  const name = baseName(entry.file);
  td.append(`${formatTime(first)} – ${formatTime(last)}`);
  const details = document.createElement('details');
  const summary = document.createElement('summary');
  summary.textContent = 'Time window';
  details.append(summary);
  for (const minutes of PRESET_MINUTES) {
    const text = `Last ${formatWith(minutes, 'minute')}`;
    details.append(link(windowUrl(entry.id, last - minutes * 60, null), text, `${text} of ${name}`), ' ');
  }
  const around = document.createElement('label');
  around.textContent = 'Around ';
  const when = document.createElement('input');
  when.type = 'datetime-local';
  when.step = '1';
  const span = document.createElement('input');
  span.type = 'number';
  span.min = '1';
  span.value = '2';
  span.className = 'window-minutes';
  span.setAttribute('aria-label', 'minutes either side');
  const get = link('#', 'Download', `The chosen window of ${name}`);
  get.hidden = true;
  // The chosen time is read in the zone the page shows times in.
  const update = () => {
    const local = Date.parse(when.value);
    const offset = usesLocalTime() ? 0 : new Date(local).getTimezoneOffset() * 60;
    const at = local / 1000 - offset;
    const minutes = Number(span.value);
    get.hidden = !(Number.isFinite(at) && minutes > 0);
    if (!get.hidden) get.href = windowUrl(entry.id, at - minutes * 60, at + minutes * 60);
  };
  when.addEventListener('input', update);
  span.addEventListener('input', update);
  around.append(when, ' ± ', span, ' min ');
  details.append(around, get);
  td.append(details);
  return td;
}

// Who started or stopped a capture: the ledger has "-" where the web
// server named no user, and nothing where no one stopped it.
function person(name) {
  return typeof name === 'string' && name !== '' && name !== '-' ? name : '–';
}

function sizeText(entry) {
  if (entry.state === 'deleted') return `${formatBytes(entry.freed)} freed`;
  if (entry.size < 0) return 'file gone';
  return `${formatBytes(entry.size)}${entry.size >= 1024 ? ` (${formatWith(entry.size, 'byte')})` : ''}`;
}

// The file's size, and a mark on a capture whose size limit the storage
// policy set at its start.
function sizeCell(entry) {
  const td = cell(sizeText(entry), 'size');
  if (entry.policylimit === 1) {
    const mark = document.createElement('span');
    mark.className = 'policy-limit';
    // The figure and its unit on one line.
    mark.textContent = `limited by the policy to ${formatBytes(entry.limit).replace(' ', '\u00a0')}`;
    td.append(mark);
  }
  return td;
}

// The well-formed entries of a "captures" answer, the running one first,
// then newest first as the ledger gives them.
export function capturesOf(root) {
  const list = Array.isArray(root.captures) ? root.captures : [];
  const entries = list.filter((entry) => Number.isInteger(entry?.id) && typeof entry.state === 'string');
  return [...entries.filter((e) => e.state === 'running'), ...entries.filter((e) => e.state !== 'running')];
}

export function renderCaptures(entries, actions) {
  byId('captures-empty').hidden = entries.length !== 0;
  byId('captures-table').hidden = entries.length === 0;
  byId('captures-body').replaceChildren(...entries.map((entry) => {
    const row = document.createElement('tr');
    row.dataset.id = String(entry.id);
    row.append(
      cell(formatDateTime(entry.started)),
      cell(entry.state === 'running' ? 'still running' : formatDateTime(entry.ended)),
      cell(durationText(entry), 'size'),
      stateCell(entry),
      cell(person(entry.startedby)),
      cell(person(entry.stoppedby)),
      cell(folderName(entry.file), 'file'),
      fileCell(entry),
      packetsCell(entry),
      sizeCell(entry),
      cell(slicingText(entry), 'size'),
      keepCell(entry, actions),
    );
    return row;
  }));
}

export function clearCaptures() {
  byId('captures-body').replaceChildren();
  byId('captures-table').hidden = true;
  byId('captures-empty').hidden = true;
}

// The page's wiring: which device is selected, the polling of its status,
// and the buttons and form that send commands.
import { applyAccess, setAccess } from './access.js';
import { BackendError, callCgi, onAnswer, serverNow } from './api.js';
import { clearCapture, renderCapture } from './capture.js';
import { capturesOf, clearCaptures, endNotice, renderCaptures } from './captures.js';
import { featuresDiffer, fillForm, formSnapshot, formVariables, startVariables } from './config.js';
import { applyFilter, devicesOf, markRunning, markSelected, renderDevices } from './devices.js';
import { announce, byId, failureText, showMessage } from './dom.js';
import { chooseLocalTime, formatBytes, formatDateTime, formatTime, usesLocalTime, zoneName } from './format.js';
import { createVersionPlots } from './plots.js';
import { renderStorage, retentionVariables } from './storage.js';
import { WINDOW_SECONDS, appendSamples, emptySeries, nextFrom } from './stats.js';

const POLL_MS = 2000;
const DEVICE_LIST_MS = 30000;
// The captures panel and the devices' running marks are refreshed every
// this many polls (and at once after a command or a change of state).
const LEDGER_EVERY = 5;
// The status daemon adds a sample a second; none for this long means it
// has stopped.
const STALE_MS = 10000;
// At most this many samples per version in one answer; a page that fell
// behind catches up in a few requests of this size.
const LIMIT = 300;
const MAX_CATCH_UP = 10;
const CAPTURES_SHOWN = '20';
const CAPTURES_SCANNED = '200';

const state = {
  devices: [],
  mac: null,
  gone: false,
  // Bumped on every change of device; answers for an older one are dropped.
  generation: 0,
  config: null,
  // The form as last filled from the stored configuration; null when none is.
  formSaved: null,
  pollTimer: 0,
  polls: 0,
  stats: null,
  // The selected device's capture as the last status gave it, its error
  // figure, and whether this page asked it to stop.
  capture: 'unknown',
  captureError: 0,
  written: NaN,
  // The server's time when a status last showed the device idle: a capture
  // seen running after it started no earlier.
  idleAt: NaN,
  stopping: false,
  // A capture this page started that no status has shown running yet, and
  // when (server time) it was started.
  startPending: false,
  startedAt: NaN,
  // The captures panel's page: entries below this id, 0 for the newest.
  capturesBefore: 0,
  // The last state the status gave that was not "unknown": a failed poll in
  // between does not hide a capture's end.
  known: 'unknown',
  busy: false,
  // A command went through and the status has not yet shown what it did.
  awaiting: false,
  // The devices whose ledger entry says their capture runs.
  ledgerRunning: new Set(),
  // The newest sample's date and when (browser milliseconds) it last moved.
  newestSample: null,
  advancedAt: 0,
  stale: false,
};

// Version 2's "bytes" of the first port is the packet total, not bytes: it
// is left out of the bytes chart (the page says so beside it).
const versions = [
  { id: 'stats-v1', node: 'statsV1', bytesOf: [true, true] },
  { id: 'stats-v2', node: 'statsV2', bytesOf: [false, true] },
].map((version) => {
  const section = byId(version.id);
  return { ...version, section, plots: createVersionPlots(section.querySelector('.plots'), version.bytesOf) };
});

// Message lines that show a failure of the connection: the next answer
// from the server clears them.
const connectionFailures = new Set();

function showFailure(element, error, prefix = '') {
  showMessage(element, `${prefix}${failureText(error)}`, 'error');
  if (!(error instanceof BackendError)) connectionFailures.add(element);
}

onAnswer(() => {
  for (const element of connectionFailures) {
    if (element.dataset.kind === 'error') showMessage(element, '');
  }
  connectionFailures.clear();
});

function freshStats() {
  // Samples from the last window only: the status daemon dates them in Unix
  // seconds on the appliance's clock, which the web server's clock is.
  return { series: versions.map(() => emptySeries()), from: Math.max(0, Math.floor(serverNow()) - WINDOW_SECONDS) };
}

function drawStats() {
  versions.forEach((version, k) => {
    const series = state.stats.series[k];
    version.section.dataset.empty = String(series.times.length === 0);
    version.plots.update(series);
  });
  byId('stats-window').textContent = `Last ${WINDOW_SECONDS / 60} minutes, times in ${zoneName()}`;
}

// Start only while the device is idle, Stop only while it captures, and
// neither while a command is on its way or the device is gone. The state
// comes from the status daemon: while its samples have stopped it may be
// old, so both are offered and the device answers for itself.
function updateButtons() {
  const usable = state.mac !== null && !state.busy && !state.awaiting && !state.gone;
  const either = state.stale && state.capture !== 'unknown';
  byId('start').disabled = !(usable && (either || state.capture === 'stopped'));
  byId('stop').disabled = !(usable && (either || state.capture === 'running'));
  byId('config-save').disabled = !usable;
}

function showRunning() {
  const running = new Set(state.ledgerRunning);
  if (state.capture === 'running') running.add(state.mac);
  if (state.capture === 'stopped') running.delete(state.mac);
  markRunning(running);
}

// Warns when the newest sample has not moved for a while: the plots would
// otherwise just stand still.
function checkStale() {
  const dates = state.stats.series.map((series) => series.last?.date).filter(Number.isFinite);
  const newest = dates.length > 0 ? Math.max(...dates) : null;
  if (newest !== null && (state.newestSample === null || newest > state.newestSample)) {
    state.newestSample = newest;
    state.advancedAt = Date.now();
  }
  const stale = Date.now() - state.advancedAt > STALE_MS;
  if (stale === state.stale) return;
  state.stale = stale;
  const since = state.newestSample === null ? 'No statistics sample has arrived'
    : `No new statistics sample since ${formatDateTime(state.newestSample)}`;
  const text = `${since}; the status daemon may be stopped, and the capture state shown may be out of date.`;
  showMessage(byId('stats-stale'), stale ? text : '', 'warn');
  if (!stale) announce('Statistics samples are arriving again.');
}

// A capture that was running and is not any more, without this page
// stopping it: say that it ended, when and why, in place of "started".
async function noticeEnd() {
  const { generation, mac, idleAt } = state;
  const noticed = serverNow();
  let entry = null;
  try {
    entry = capturesOf(await callCgi('captures', { mac, limit: '5' }))[0] ?? null;
  } catch {
    // Without the ledger the status's error figure and the stored settings tell.
  }
  if (generation !== state.generation) return;
  const seen = { noticed, idleAt, error: state.captureError, written: state.written, settings: state.config };
  const { text, kind } = endNotice(entry, seen);
  showMessage(byId('capture-message'), text, kind);
}

// A capture this page started that the status has not yet shown running may
// have ended already (a short one ends between two of the daemon's rounds):
// the ledger tells, and its end gets its notice as any other.
async function checkStartedCapture() {
  const { generation, mac, startedAt } = state;
  let entry = null;
  try {
    entry = capturesOf(await callCgi('captures', { mac, limit: '1' }))[0] ?? null;
  } catch {
    return; // the next poll asks again
  }
  if (generation !== state.generation || !state.startPending || entry === null) return;
  if (entry.started < Math.floor(startedAt) - 1 || entry.state === 'running' || entry.state === 'starting') return;
  state.startPending = false;
  refreshLedger();
  noticeEnd();
}

// Follows the selected device's capture from one known state to the next;
// `ours` when a command of this page made the change (its message says so).
function captureChanged(before, after, ours) {
  if (before === after || after === 'unknown') return;
  showRunning();
  if (before === 'unknown') return; // the first answer for this device: the panel is on its way
  refreshLedger();
  if (after === 'running') state.startPending = false;
  if (before === 'running' && !state.stopping) noticeEnd();
  else if (!ours) {
    announce(after === 'running' ? 'The capture is running.' : 'The capture has stopped.');
  }
  if (after === 'stopped') state.stopping = false;
}

// One status request, and more at once while answers come back full.
async function pollStatus() {
  const { generation, mac, stats } = state;
  const counts = [];
  let failure = null;
  let root = null;
  for (let round = 0; round < MAX_CATCH_UP; ++round) {
    try {
      root = await callCgi('status', { mac, from: String(stats.from), limit: String(LIMIT) });
    } catch (caught) {
      failure = caught;
      break;
    }
    if (generation !== state.generation) return;
    versions.forEach((version, k) => {
      counts[k] = appendSamples(stats.series[k], root[version.node], version.bytesOf);
    });
    const next = nextFrom(stats.series, counts, LIMIT, stats.from);
    stats.from = next.from;
    if (!next.again) break;
  }
  if (generation !== state.generation) return;
  const before = state.known;
  const ours = state.awaiting;
  state.awaiting = false;
  if (failure) {
    clearCapture();
    state.capture = 'unknown';
    showFailure(byId('stats-message'), failure, 'Status: ');
    byId('updated').textContent = 'Status unavailable';
  } else {
    state.capture = renderCapture(root);
    state.captureError = root.capture?.error ?? 0;
    state.written = root.capture?.written ?? NaN;
    if (state.capture !== 'unknown') state.known = state.capture;
    showMessage(byId('stats-message'), '');
    checkStale();
    // While the samples stand still, the time of the newest one, not of the
    // request that found nothing new.
    byId('updated').textContent = state.stale && state.newestSample !== null
      ? `Newest sample ${formatTime(state.newestSample)} ${zoneName()}`
      : `Updated ${formatTime(serverNow())} ${zoneName()}`;
  }
  updateButtons();
  captureChanged(before, state.known, ours);
  if (state.startPending && state.capture === 'stopped') {
    // The figures are still the previous capture's until the new one shows.
    byId('capture-written').textContent = '–';
    checkStartedCapture();
  }
  if (state.capture === 'stopped') state.idleAt = serverNow();
  drawStats();
  state.polls += 1;
  if (state.polls % LEDGER_EVERY === 0) refreshLedger();
}

function schedulePoll(delay) {
  clearTimeout(state.pollTimer);
  const generation = state.generation;
  state.pollTimer = setTimeout(async () => {
    await pollStatus();
    if (generation === state.generation) schedulePoll(POLL_MS);
  }, delay);
}

// The storage card, for all devices.
async function refreshStorage() {
  const message = byId('storage-message');
  try {
    renderStorage((await callCgi('getretention')).retention);
    if (message.dataset.kind === 'error') showMessage(message, '');
  } catch (failure) {
    showFailure(message, failure, 'Storage: ');
  }
}

// A capture's Keep toggle and Delete button.
const captureActions = {
  pin: (entry, pinned) => changeCapture('pin', { id: String(entry.id), pinned: pinned ? '1' : '0' },
    pinned ? 'The capture is kept.' : 'The capture may be deleted again.'),
  remove: (entry) => {
    const name = entry.file.slice(entry.file.lastIndexOf('/') + 1);
    if (!window.confirm(`Delete the capture file ${name}? It cannot be undone.`)) return;
    changeCapture('delete', { id: String(entry.id) }, `${name} deleted.`);
  },
};

async function changeCapture(command, variables, done) {
  const message = byId('captures-message');
  try {
    await callCgi(command, variables);
    showMessage(message, done, 'ok');
  } catch (failure) {
    showFailure(message, failure);
  }
  refreshLedger();
}

// The selected device's captures for the panel, which devices capture now
// for the list's marks, and the storage card. Resolves to the panel's
// entries, or null when they did not come (or are another device's).
async function refreshLedger() {
  const { generation, mac } = state;
  const message = byId('captures-message');
  refreshStorage();
  let entries;
  try {
    const page = { mac, limit: CAPTURES_SHOWN };
    if (state.capturesBefore > 0) page.before = String(state.capturesBefore);
    const root = await callCgi('captures', page);
    if (generation !== state.generation) return null;
    entries = capturesOf(root);
    renderCaptures(entries, captureActions);
    setAccess(root.access);
    applyAccess(byId('captures-body'));
    const oldest = Math.min(...entries.map((entry) => entry.id));
    byId('captures-older').disabled = entries.length < Number(CAPTURES_SHOWN);
    byId('captures-older').dataset.before = String(oldest);
    byId('captures-newest').disabled = state.capturesBefore === 0;
    if (message.dataset.kind === 'error') showMessage(message, '');
  } catch (failure) {
    if (generation === state.generation) showFailure(message, failure, 'Captures: ');
    return null;
  }
  try {
    const all = capturesOf(await callCgi('captures', { mac: 'all', limit: CAPTURES_SCANNED }));
    state.ledgerRunning = new Set(all.filter((entry) => entry.state === 'running').map((entry) => entry.mac));
    showRunning();
  } catch {
    // The marks stay as they were; the panel above says what is wrong.
  }
  return generation === state.generation ? entries : null;
}

// Fills the form with the stored configuration; false when it could not.
async function loadConfig() {
  const generation = state.generation;
  state.config = null;
  try {
    const root = await callCgi('getconfig', { mac: state.mac });
    if (generation !== state.generation) return false;
    state.config = root.config ?? null;
    if (state.config) {
      fillForm(state.config);
      state.formSaved = formSnapshot();
    }
    return state.config !== null;
  } catch (failure) {
    if (generation === state.generation) showFailure(byId('config-message'), failure);
    return false;
  }
}

function formChanged() {
  return state.formSaved !== null && formSnapshot() !== state.formSaved;
}

// `chosen` is true when the operator picked the device; changed fields are
// then only dropped when they say so.
function selectDevice(mac, chosen = false) {
  if (mac === state.mac) return;
  if (chosen && formChanged()
      && !window.confirm(`The configuration has unsaved changes. Discard them and show ${mac}?`)) return;
  state.mac = mac;
  state.generation += 1;
  state.stats = freshStats();
  Object.assign(state, { formSaved: null, capture: 'unknown', known: 'unknown', captureError: 0, polls: 0 });
  Object.assign(state, { written: NaN, idleAt: NaN });
  Object.assign(state, { stopping: false, busy: false, awaiting: false, startPending: false });
  state.capturesBefore = 0;
  Object.assign(state, { newestSample: null, advancedAt: Date.now(), stale: false });
  history.replaceState(null, '', `#${encodeURIComponent(mac)}`);
  if (state.gone) {
    state.gone = false;
    state.devices = state.devices.filter((device) => !device.gone);
    renderDevices(state.devices, mac, (next) => selectDevice(next, true));
  }
  markSelected(mac);
  byId('device-mac').textContent = mac;
  byId('device-model').textContent = '';
  byId('device-gone').hidden = true;
  for (const id of ['capture-message', 'config-message', 'stats-message', 'stats-stale', 'captures-message']) {
    showMessage(byId(id), '');
  }
  clearCapture();
  clearCaptures();
  updateButtons();
  drawStats();
  loadConfig();
  refreshLedger();
  schedulePoll(0);
}

// The MAC address the URL's fragment names, or '' when the fragment is not
// valid percent-encoding (a hand-edited or cut-off link names no device).
function fragmentMac() {
  try {
    return decodeURIComponent(location.hash.slice(1));
  } catch {
    return '';
  }
}

// A selected device that leaves the list stays selected, marked as gone,
// until the operator chooses another: nothing moves to a device they did
// not choose.
async function loadDevices() {
  let devices;
  try {
    devices = devicesOf(await callCgi('list'));
  } catch (failure) {
    showFailure(byId('devices-message'), failure);
    return;
  }
  showMessage(byId('devices-message'), devices.length === 0 ? 'No capture device is attached.' : '');
  const selected = state.devices.find((device) => device.mac === state.mac);
  const gone = state.mac !== null && !devices.some((device) => device.mac === state.mac);
  if (gone) devices = [{ ...selected, mac: state.mac, type: selected?.type ?? '', gone: true }, ...devices];
  if (JSON.stringify(devices) !== JSON.stringify(state.devices)) {
    state.devices = devices;
    renderDevices(devices, state.mac, (mac) => selectDevice(mac, true));
    showRunning();
  }
  if (gone !== state.gone && state.mac !== null) {
    state.gone = gone;
    byId('device-gone').hidden = !gone;
    announce(gone ? `Device ${state.mac} is no longer attached.` : `Device ${state.mac} is attached again.`);
    updateButtons();
  }
  if (state.mac !== null) return;
  const wanted = fragmentMac();
  const first = devices.find((device) => device.mac === wanted) ?? devices[0];
  if (first) selectDevice(first.mac);
}

// Sends a command from a button, showing the back end's message when it
// refuses; the buttons stay disabled until the answer is in, and until
// `then` (when given) has run after a success, before the state is asked
// anew. Resolves to whether it went through (for the device still
// selected), and `ledger` to the captures panel's entries as loaded after it
// (refreshLedger).
async function runCommand(command, variables, done, then = null) {
  const { generation } = state;
  const message = byId('capture-message');
  state.busy = true;
  updateButtons();
  showMessage(message, '');
  let ok = false;
  try {
    await callCgi(command, { mac: state.mac, ...variables });
    if (generation !== state.generation) return { ok, ledger: null };
    ok = true;
    if (then !== null) await then();
    if (generation !== state.generation) return { ok, ledger: null };
    showMessage(message, done, 'ok');
    state.stopping = command === 'stop';
    state.startPending = command === 'start';
    state.startedAt = serverNow();
    state.awaiting = true;
    // The panel goes back to the newest captures, where this one is.
    state.capturesBefore = 0;
    schedulePoll(0);
  } catch (failure) {
    if (generation !== state.generation) return { ok, ledger: null };
    showFailure(message, failure);
    // A command that timed out may still reach the device; the next status says.
    if (!(failure instanceof BackendError)) showMessage(message, `${message.textContent} It may still take effect.`, 'error');
  }
  state.busy = false;
  updateButtons();
  return { ok, ledger: refreshLedger() };
}

// Saves the form's `variables` (formVariables) as the stored configuration;
// false, with the form's message saying why, when it could not.
async function saveConfig(variables) {
  const message = byId('config-message');
  showMessage(message, '');
  if (variables === null || state.mac === null || state.gone) return false;
  const { generation } = state;
  const save = byId('config-save');
  save.disabled = true;
  try {
    await callCgi('setconfig', { mac: state.mac, ...variables });
    if (!(await loadConfig())) return false;
    showMessage(message, 'Configuration saved.', 'ok');
    return true;
  } catch (failure) {
    if (generation === state.generation) showFailure(message, failure);
    return false;
  } finally {
    updateButtons();
  }
}

// The notice of a start whose size the storage policy set, from the
// device's newest capture in the panel loaded after it; left alone once
// something else (the capture's end) has taken its place.
function noticeLimit(entries, done) {
  const message = byId('capture-message');
  const newest = (entries ?? []).reduce((found, entry) => (found?.id > entry.id ? found : entry), null);
  if (newest?.policylimit !== 1 || newest.started < Math.floor(state.startedAt) - 1) return;
  if (message.textContent !== done) return;
  showMessage(message, `Capture started, limited to ${formatBytes(newest.limit)} by the storage policy.`, 'ok');
}

// Start runs what the form shows, and only a capture that started stores
// the form's changes: a refused start leaves the stored configuration (every
// device's) as it was. Inline mode and slicing reach the device only from
// the stored configuration: changes to them must be saved before a start.
byId('start').addEventListener('click', async () => {
  if (state.mac === null) return;
  const message = byId('capture-message');
  if (state.config === null) {
    showMessage(message, 'The configuration has not been loaded.', 'error');
    return;
  }
  const variables = formVariables();
  if (variables === null) {
    showMessage(message, 'The configuration has a value out of range; nothing was started.', 'error');
    return;
  }
  // The back end would take an empty destination as the root directory.
  if (variables.output === '') {
    showMessage(message, 'Enter a destination directory in the configuration first.', 'error');
    return;
  }
  if (featuresDiffer(variables, state.config)) {
    showMessage(message, 'Inline mode and slicing go to the device from the saved configuration: save it first.', 'error');
    return;
  }
  const { generation } = state;
  const changed = formChanged();
  const done = 'Capture started.';
  const saved = byId('config-message');
  if (saved.dataset.kind === 'warn') showMessage(saved, '');
  // Stored before the page shows the capture running.
  const store = changed ? async () => { await saveConfig(variables); } : null;
  const { ok, ledger } = await runCommand('start', startVariables(variables), done, store);
  if (!ok) {
    if (changed && generation === state.generation) {
      showMessage(saved, 'The changes are not saved: the capture did not start.', 'warn');
    }
    return;
  }
  noticeLimit(await ledger, done);
});

byId('stop').addEventListener('click', () => {
  if (state.mac !== null) runCommand('stop', {}, 'Capture stopped.');
});

byId('config-form').addEventListener('submit', (event) => {
  event.preventDefault();
  saveConfig(formVariables());
});

// The policy is applied at once: a prune after the save.
byId('retention-form').addEventListener('submit', async (event) => {
  event.preventDefault();
  const message = byId('storage-message');
  const variables = retentionVariables();
  if (variables === null) return;
  const save = byId('retention-save');
  save.disabled = true;
  try {
    await callCgi('setretention', variables);
    const { prune } = await callCgi('prune');
    showMessage(message, `Policy saved; ${prune.removed} capture file(s) deleted to meet it.`, 'ok');
  } catch (failure) {
    showFailure(message, failure);
  } finally {
    save.disabled = false;
    refreshLedger();
  }
});

// Paging back through the ledger, and back to its newest entries.
byId('captures-older').addEventListener('click', () => {
  state.capturesBefore = Number(byId('captures-older').dataset.before);
  refreshLedger();
});
byId('captures-newest').addEventListener('click', () => {
  state.capturesBefore = 0;
  refreshLedger();
});

// The zone the page shows times in: UTC, or the browser's own, remembered.
byId('time-zone').value = usesLocalTime() ? 'local' : 'utc';
byId('captures-zone').textContent = `Times in ${zoneName()}`;
byId('time-zone').addEventListener('change', () => {
  chooseLocalTime(byId('time-zone').value === 'local');
  window.location.reload();
});

byId('device-filter').addEventListener('input', applyFilter);

// The skip link moves focus to the capture card without touching the URL's
// fragment, which names the selected device.
byId('skip-link').addEventListener('click', (event) => {
  event.preventDefault();
  byId('capture').focus();
});

window.addEventListener('beforeunload', (event) => {
  if (!formChanged()) return;
  event.preventDefault();
  event.returnValue = '';
});

state.stats = freshStats();
drawStats();
loadDevices();
refreshStorage();
setInterval(loadDevices, DEVICE_LIST_MS);

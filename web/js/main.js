// The page's wiring: which device is selected, the polling of its status,
// and the buttons and form that send commands.
import { callCgi, serverNow } from './api.js';
import { clearCapture, renderCapture } from './capture.js';
import { fillForm, formVariables, startVariables } from './config.js';
import { devicesOf, markSelected, renderDevices } from './devices.js';
import { byId, failureText, showMessage } from './dom.js';
import { formatTime } from './format.js';
import { createVersionPlots } from './plots.js';
import { WINDOW_SECONDS, appendSamples, emptySeries, nextFrom } from './stats.js';

const POLL_MS = 2000;
const DEVICE_LIST_MS = 30000;
// At most this many samples per version in one answer; a page that fell
// behind catches up in a few requests of this size.
const LIMIT = 300;
const MAX_CATCH_UP = 10;

const state = {
  devices: [],
  mac: null,
  // Bumped on every change of device; answers for an older one are dropped.
  generation: 0,
  config: null,
  pollTimer: 0,
  stats: null,
};

// Version 2's "bytes" of the first port is the packet total, not bytes: it
// is left out of the bytes chart (the page says so beside it).
const versions = [
  { id: 'stats-v1', node: 'statsV1', bytesOf: [true, true] },
  { id: 'stats-v2', node: 'statsV2', bytesOf: [false, true] },
].map((version) => {
  const section = byId(version.id);
  return { ...version, section, plots: createVersionPlots(section.querySelector('.plots')) };
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
  byId('stats-window').textContent = `Last ${WINDOW_SECONDS / 60} minutes`;
}

// One status request, and more at once while answers come back full.
async function pollStatus() {
  const { generation, mac, stats } = state;
  const counts = [];
  let failure = null;
  for (let round = 0; round < MAX_CATCH_UP; ++round) {
    let root;
    try {
      root = await callCgi('status', { mac, from: String(stats.from), limit: String(LIMIT) });
    } catch (error) {
      failure = error;
      break;
    }
    if (generation !== state.generation) return;
    renderCapture(root);
    versions.forEach((version, k) => {
      counts[k] = appendSamples(stats.series[k], root[version.node], version.bytesOf);
    });
    const next = nextFrom(stats.series, counts, LIMIT, stats.from);
    stats.from = next.from;
    if (!next.again) break;
  }
  if (generation !== state.generation) return;
  if (failure) {
    clearCapture();
    showMessage(byId('stats-message'), `Status: ${failureText(failure)}`, 'error');
    byId('updated').textContent = 'Status unavailable';
  } else {
    showMessage(byId('stats-message'), '');
    byId('updated').textContent = `Updated ${formatTime(Date.now() / 1000)}`;
  }
  drawStats();
}

function schedulePoll(delay) {
  clearTimeout(state.pollTimer);
  const generation = state.generation;
  state.pollTimer = setTimeout(async () => {
    await pollStatus();
    if (generation === state.generation) schedulePoll(POLL_MS);
  }, delay);
}

// Fills the form with the stored configuration; false when it could not.
async function loadConfig() {
  const generation = state.generation;
  state.config = null;
  try {
    const root = await callCgi('getconfig', { mac: state.mac });
    if (generation !== state.generation) return false;
    state.config = root.config ?? null;
    if (state.config) fillForm(state.config);
    return state.config !== null;
  } catch (error) {
    if (generation === state.generation) showMessage(byId('config-message'), failureText(error), 'error');
    return false;
  }
}

function selectDevice(mac) {
  if (mac === state.mac) return;
  state.mac = mac;
  state.generation += 1;
  state.stats = freshStats();
  history.replaceState(null, '', `#${encodeURIComponent(mac)}`);
  markSelected(mac);
  byId('device-mac').textContent = mac;
  byId('device-model').textContent = '';
  for (const id of ['capture-message', 'config-message', 'stats-message']) showMessage(byId(id), '');
  clearCapture();
  drawStats();
  loadConfig();
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

async function loadDevices() {
  let devices;
  try {
    devices = devicesOf(await callCgi('list'));
  } catch (error) {
    showMessage(byId('devices-message'), failureText(error), 'error');
    return;
  }
  showMessage(byId('devices-message'), devices.length === 0 ? 'No capture device is attached.' : '');
  if (JSON.stringify(devices) !== JSON.stringify(state.devices)) {
    state.devices = devices;
    renderDevices(devices, state.mac, selectDevice);
  }
  if (devices.some((device) => device.mac === state.mac)) return;
  const wanted = fragmentMac();
  const chosen = devices.find((device) => device.mac === wanted) ?? devices[0];
  if (chosen) selectDevice(chosen.mac);
}

// Sends a command from a button, showing the back end's message when it
// refuses; the buttons stay disabled until the answer is in.
async function runCommand(command, variables, done) {
  const message = byId('capture-message');
  const buttons = [byId('start'), byId('stop')];
  buttons.forEach((button) => { button.disabled = true; });
  showMessage(message, '');
  try {
    await callCgi(command, { mac: state.mac, ...variables });
    showMessage(message, done, 'ok');
    schedulePoll(0);
  } catch (error) {
    showMessage(message, failureText(error), 'error');
  } finally {
    buttons.forEach((button) => { button.disabled = false; });
  }
}

byId('start').addEventListener('click', () => {
  if (state.mac === null) return;
  if (state.config === null) {
    showMessage(byId('capture-message'), 'The configuration has not been loaded.', 'error');
    return;
  }
  // The back end would take an empty destination as the root directory.
  if (state.config.destination === '') {
    showMessage(byId('capture-message'), 'Save a destination directory in the configuration first.', 'error');
    return;
  }
  runCommand('start', startVariables(state.config), 'Capture started.');
});

byId('stop').addEventListener('click', () => {
  if (state.mac !== null) runCommand('stop', {}, 'Capture stopped.');
});

byId('config-form').addEventListener('submit', async (event) => {
  event.preventDefault();
  const message = byId('config-message');
  showMessage(message, '');
  const variables = formVariables();
  if (variables === null || state.mac === null) return;
  const save = byId('config-save');
  save.disabled = true;
  try {
    await callCgi('setconfig', { mac: state.mac, ...variables });
    if (await loadConfig()) showMessage(message, 'Configuration saved.', 'ok');
  } catch (error) {
    showMessage(message, failureText(error), 'error');
  } finally {
    save.disabled = false;
  }
});

state.stats = freshStats();
drawStats();
loadDevices();
setInterval(loadDevices, DEVICE_LIST_MS);

// The capture card and the device heading, drawn from a "status" answer.
import { byId } from './dom.js';
import { errorText } from './captures.js';
import { formatBytes, formatCount, formatWith } from './format.js';

// The status daemon writes 1 while a capture to disk runs and 0 when none does.
function stateOf(status) {
  if (status === 1) return ['running', 'Running'];
  if (status === 0) return ['stopped', 'Stopped'];
  return ['unknown', typeof status === 'number' ? `Status ${status}` : 'Unknown'];
}

// Draws the answer and returns the capture's state: "running", "stopped" or
// "unknown".
export function renderCapture(root) {
  const info = root.info ?? {};
  const capture = root.capture ?? {};
  byId('device-model').textContent = typeof info.model === 'string' ? info.model : '';

  const [state, label] = stateOf(capture.status);
  const badge = byId('capture-state');
  badge.dataset.state = state;
  badge.textContent = label;

  const { cacheused: used, maxcache: max } = capture;
  byId('capture-cache').textContent = `${formatBytes(used)} of ${formatBytes(max)}`;
  const share = max > 0 ? Math.min(100, (used / max) * 100) : 0;
  byId('capture-cache-meter').style.width = `${share}%`;
  byId('capture-written').textContent = formatBytes(capture.written);
  byId('capture-dropped').textContent = formatWith(capture.dropped, 'packet');
  const error = capture.error;
  byId('capture-error').textContent = Number.isFinite(error) && error !== 0
    ? `${formatCount(error)}: ${errorText(error)}` : formatCount(error);
  return state;
}

// Blanks the card while no answer applies (another device was chosen, or the
// last request failed).
export function clearCapture() {
  const badge = byId('capture-state');
  badge.dataset.state = 'unknown';
  badge.textContent = 'Unknown';
  for (const id of ['capture-cache', 'capture-written', 'capture-dropped', 'capture-error']) {
    byId(id).textContent = '–';
  }
  byId('capture-cache-meter').style.width = '0%';
}

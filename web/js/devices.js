// The device list from the "list" command: one entry per attached device,
// showing its MAC text and model and whether it captures, one of them
// selected. The list scrolls in its own region and can be filtered, so a
// rack of devices does not push the rest of the page away.
import { byId } from './dom.js';

function textSpan(className, text) {
  const span = document.createElement('span');
  span.className = className;
  span.textContent = text;
  return span;
}

// Draws `devices` ([{mac, type, gone}]) as buttons; `onSelect(mac)` runs on
// a click. A gone device is one that was selected and is no longer attached.
export function renderDevices(devices, selectedMac, onSelect) {
  const list = byId('device-list');
  list.replaceChildren(...devices.map((device) => {
    const item = document.createElement('li');
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'device';
    button.dataset.mac = device.mac;
    button.dataset.running = 'false';
    button.setAttribute('aria-pressed', String(device.mac === selectedMac));
    const state = textSpan('device-state', device.gone ? 'gone' : '');
    button.append(textSpan('device-mac', device.mac), textSpan('device-type', device.type), state);
    if (device.gone) button.dataset.gone = 'true';
    button.addEventListener('click', () => onSelect(device.mac));
    item.append(button);
    return item;
  }));
  applyFilter();
}

export function markSelected(mac) {
  for (const button of byId('device-list').querySelectorAll('button.device')) {
    const selected = button.dataset.mac === mac;
    button.setAttribute('aria-pressed', String(selected));
    if (selected) button.scrollIntoView({ block: 'nearest' });
  }
  applyFilter();
}

// Shows which devices capture: `running` is a Set of MAC texts.
export function markRunning(running) {
  for (const button of byId('device-list').querySelectorAll('button.device')) {
    if (button.dataset.gone === 'true') continue;
    const on = running.has(button.dataset.mac);
    if (button.dataset.running === String(on)) continue;
    button.dataset.running = String(on);
    button.querySelector('.device-state').textContent = on ? 'capturing' : '';
  }
}

// Hides the devices whose MAC text and model do not hold the filter's text,
// the selected one too; the count then says that it is hidden, and its
// panel stays as it was.
export function applyFilter() {
  const wanted = byId('device-filter').value.trim().toLowerCase();
  const items = [...byId('device-list').children];
  let shown = 0;
  let selectedHidden = false;
  for (const item of items) {
    const button = item.firstElementChild;
    const text = `${button.dataset.mac} ${button.querySelector('.device-type').textContent}`.toLowerCase();
    item.hidden = !text.includes(wanted);
    if (!item.hidden) shown += 1;
    else if (button.getAttribute('aria-pressed') === 'true') selectedHidden = true;
  }
  byId('device-count').textContent = wanted === ''
    ? `${items.length} device${items.length === 1 ? '' : 's'}`
    : `${shown} of ${items.length} devices shown${selectedHidden ? '; the selected one is not among them' : ''}`;
}

// The devices of a "list" answer that carry a MAC text and a model.
export function devicesOf(root) {
  if (!Array.isArray(root.devices)) return [];
  return root.devices.filter((device) => typeof device?.mac === 'string' && typeof device?.type === 'string');
}

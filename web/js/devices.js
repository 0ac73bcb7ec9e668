// The device list from the "list" command: one entry per attached device,
// showing its MAC text and model, one of them selected.
import { byId } from './dom.js';

// Draws `devices` ([{mac, type}]) as buttons; `onSelect(mac)` runs on a click.
export function renderDevices(devices, selectedMac, onSelect) {
  const list = byId('device-list');
  list.replaceChildren(...devices.map((device) => {
    const item = document.createElement('li');
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'device';
    button.dataset.mac = device.mac;
    button.setAttribute('aria-pressed', String(device.mac === selectedMac));
    const mac = document.createElement('span');
    mac.className = 'device-mac';
    mac.textContent = device.mac;
    const model = document.createElement('span');
    model.className = 'device-type';
    model.textContent = device.type;
    button.append(mac, model);
    button.addEventListener('click', () => onSelect(device.mac));
    item.append(button);
    return item;
  }));
}

export function markSelected(mac) {
  for (const button of byId('device-list').querySelectorAll('button.device')) {
    button.setAttribute('aria-pressed', String(button.dataset.mac === mac));
  }
}

// The devices of a "list" answer that carry a MAC text and a model.
export function devicesOf(root) {
  if (!Array.isArray(root.devices)) return [];
  return root.devices.filter((device) => typeof device?.mac === 'string' && typeof device?.type === 'string');
}

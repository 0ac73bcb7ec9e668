// The storage card: the capture files' retention policy, the bytes they hold
// against the quota, each capture folder's free space, the room the policy
// leaves the next capture, and the form that sets the policy
// ("getretention", "setretention").
import { byId } from './dom.js';
import { formatBytes } from './format.js';

const MIB = 1048576;

function folderItem(space) {
  const item = document.createElement('li');
  const used = space.total - space.bytes;
  const meter = document.createElement('meter');
  meter.min = 0;
  meter.max = space.total;
  meter.value = used;
  meter.title = `${formatBytes(used)} of ${formatBytes(space.total)} used`;
  const name = document.createElement('span');
  name.className = 'file';
  name.textContent = space.folder;
  item.append(name, ' ', meter, ` ${formatBytes(space.bytes)} free (${space.percent} %)`);
  return item;
}

// What the policy and its state come to, in words.
export function storageSummary(retention) {
  const quota = retention.maxbytes > 0 ? ` of a quota of ${formatBytes(retention.maxbytes)}` : ' (no quota)';
  const floor = retention.minfree > 0 ? `; at least ${retention.minfree} % of each disk kept free` : '';
  const unmet = retention.met ? '' : ' The policy is not met: pinned or running captures, or other files, take more than it allows.';
  return `Capture files hold ${formatBytes(retention.used)}${quota}${floor}.${unmet}`;
}

export function renderStorage(retention) {
  const meter = byId('storage-meter');
  meter.hidden = !(retention.maxbytes > 0);
  meter.max = Math.max(retention.maxbytes, 1);
  meter.value = Math.min(retention.used, meter.max);
  const summary = byId('storage-summary');
  summary.textContent = storageSummary(retention);
  summary.dataset.kind = retention.met ? '' : 'error';
  // -1: no policy limits the next capture.
  const room = byId('storage-room');
  room.hidden = !(retention.room >= 0);
  room.textContent = room.hidden ? '' : `Room for the next capture: ${formatBytes(retention.room)}`;
  byId('storage-folders').replaceChildren(...(retention.free ?? []).map(folderItem));
  const form = byId('retention-form');
  // What the operator is typing is not overwritten by a refresh.
  if (!form.contains(document.activeElement)) {
    form.elements.quota.value = String(Math.round(retention.maxbytes / MIB));
    form.elements.minfree.value = String(retention.minfree);
  }
}

// The form's values as "setretention" variables, or null (with the field
// marked) when one is not a whole number in its range.
export function retentionVariables() {
  const form = byId('retention-form');
  for (const input of [form.elements.quota, form.elements.minfree]) {
    if (!input.checkValidity() || input.value === '') {
      input.reportValidity();
      return null;
    }
  }
  return {
    maxbytes: String(BigInt(form.elements.quota.value) * BigInt(MIB)),
    minfree: form.elements.minfree.value,
  };
}

// Who uses the page and what their role lets them do, from the "access"
// node of the captures answer. A control that the role may not use is
// marked (aria-disabled, the reason on hover and on focus) and its clicks go
// nowhere; the program would refuse them anyway.
import { byId } from './dom.js';

const RANK = { none: 0, viewer: 1, operator: 2, admin: 3 };
const MAY = { viewer: 'a viewer, an operator or an admin', operator: 'an operator or an admin', admin: 'an admin' };
// What each control does, in the page's words; the role each command needs
// comes with the answer ("needs").
const DOES = {
  start: 'start captures',
  stop: 'stop captures',
  setconfig: 'change the configuration',
  pin: 'keep captures',
  delete: 'delete captures',
  setretention: 'change the retention policy',
};

let access = null; // not known until the first answer

// Why the role may not run `command`; '' when it may (or no roles are
// configured, or the role is not known yet).
export function denial(command) {
  const needed = access?.needs[command];
  if (access === null || access.roles !== 1 || typeof needed !== 'string') return '';
  if (RANK[access.role] >= RANK[needed]) return '';
  return `Your role, ${access.role}, may not ${DOES[command] ?? `run ${command}`}: that needs ${MAY[needed]}.`;
}

// Marks each control below `root` that names its command in data-needs.
export function applyAccess(root = document) {
  for (const element of root.querySelectorAll('[data-needs]')) {
    const reason = denial(element.dataset.needs);
    if (reason !== '') {
      element.setAttribute('aria-disabled', 'true');
      element.dataset.denied = reason;
      element.title = reason;
    } else if ('denied' in element.dataset) {
      element.removeAttribute('aria-disabled');
      delete element.dataset.denied;
      element.removeAttribute('title');
    }
  }
}

// Short, for the top bar; the whole of it on hover.
function describe() {
  if (access === null) return ['', ''];
  const who = access.user === '-' ? 'Not signed in' : `Signed in as ${access.user}`;
  if (access.roles !== 1) {
    return [`${who}; no roles configured`, 'No roles are configured: everyone may do everything.'];
  }
  return [`${who}, ${access.role}`, `${who}, with the role ${access.role}.`];
}

// Takes the "access" node of an answer, when it has a well-formed one.
export function setAccess(node) {
  const needs = node?.needs;
  if (typeof node?.user !== 'string' || !(node?.role in RANK) || !Number.isInteger(node?.roles)) return;
  if (typeof needs !== 'object' || needs === null || !Object.values(needs).every((need) => typeof MAY[need] === 'string')) return;
  const changed = access === null || access.user !== node.user || access.role !== node.role || access.roles !== node.roles ||
    JSON.stringify(access.needs) !== JSON.stringify(needs);
  access = { user: node.user, role: node.role, roles: node.roles, needs };
  if (!changed) return;
  const [text, whole] = describe();
  byId('access').textContent = text;
  byId('access').title = whole;
  applyAccess();
}

// A denied control's click, and a form whose submit button is denied, go
// nowhere: caught before the control's own handlers.
document.addEventListener('click', (event) => {
  if (event.target instanceof Element && event.target.closest('[data-denied]')) {
    event.preventDefault();
    event.stopImmediatePropagation();
  }
}, true);
document.addEventListener('submit', (event) => {
  if (event.target.querySelector('[type="submit"][data-denied]')) {
    event.preventDefault();
    event.stopImmediatePropagation();
  }
}, true);

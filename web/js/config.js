// The configuration form: filled from "getconfig", saved with "setconfig".
import { byId } from './dom.js';

const NUMBERS = ['size', 'count', 'duration', 'slicing'];
const FLAGS = ['loop', 'inline'];

// Fills the form from a "getconfig" answer's "config" node.
export function fillForm(config) {
  const form = byId('config-form');
  form.elements.output.value = typeof config.destination === 'string' ? config.destination : '';
  for (const name of NUMBERS) form.elements[name].value = Number.isFinite(config[name]) ? String(config[name]) : '';
  for (const name of FLAGS) form.elements[name].checked = config[name] === 1;
}

// The request variables of "setconfig" as the form holds them, or null when
// a field is out of range (the browser then points at it). The back end
// reads any text as a number and keeps only the low bits, so the page
// checks the ranges first.
export function formVariables() {
  const form = byId('config-form');
  if (!form.reportValidity()) return null;
  const variables = { output: form.elements.output.value };
  for (const name of NUMBERS) variables[name] = form.elements[name].value;
  for (const name of FLAGS) variables[name] = form.elements[name].checked ? '1' : '0';
  return variables;
}

// The variables of "start" from the form's (formVariables): its destination
// and limits. The device gets its inline mode and slicing from the stored
// configuration, not from the request.
export function startVariables(variables) {
  const { output, loop, count, size, duration } = variables;
  return { output, loop, count, size, duration };
}

// Whether the form's inline mode or slicing (formVariables) differ from the
// stored configuration's: a start would not use them.
export function featuresDiffer(variables, config) {
  return variables.inline !== (config.inline === 1 ? '1' : '0') || Number(variables.slicing) !== config.slicing;
}

// The form's fields as text, to tell whether the operator changed them
// since they were filled.
export function formSnapshot() {
  const form = byId('config-form');
  return JSON.stringify([form.elements.output.value, ...NUMBERS.map((name) => form.elements[name].value),
    ...FLAGS.map((name) => form.elements[name].checked)]);
}

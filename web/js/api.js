// The one way the page reaches the back end: a GET of the CGI program on this
// server with the command and its variables in the query string.

const CGI_URL = 'cgi-bin/velorantis.cgi';

// A request that has had no whole answer by then is given up: a hung server
// must not leave the page waiting without a word.
export const TIMEOUT_MS = 10000;

// The server's clock, in milliseconds, as its last answer's Date header gave
// it, less the browser's clock at that moment.
let serverClockOffset = 0;

// Called after every request that the server answered with usable JSON,
// whatever its result: the connection works again.
const answerListeners = [];

export function onAnswer(listener) {
  answerListeners.push(listener);
}

// The time on the server now, in Unix seconds; the browser's own clock until
// the server has answered.
export function serverNow() {
  return (Date.now() + serverClockOffset) / 1000;
}

// The address of ledger entry `id`'s capture file.
export function downloadUrl(id) {
  return `${CGI_URL}?${new URLSearchParams({ command: 'download', id: String(id) })}`;
}

// The URL of the packets of capture `id` between `from` and `to` (Unix
// seconds; either may be null for an open end).
export function windowUrl(id, from, to) {
  const query = { command: 'download', id: String(id) };
  if (from !== null) query.from = from.toFixed(6);
  if (to !== null) query.to = to.toFixed(6);
  return `${CGI_URL}?${new URLSearchParams(query)}`;
}

// The back end answered, but with a failure result; `message` is its text.
export class BackendError extends Error {
  constructor(message, result) {
    super(message);
    this.name = 'BackendError';
    this.result = result;
  }
}

// The answer's JSON, read within the request's time; a plain Error says
// what went wrong on the way.
async function fetchJson(url, controller) {
  let response;
  try {
    response = await fetch(url, {
      cache: 'no-store',
      headers: { 'X-Requested-With': 'fetch' },
      signal: controller.signal,
    });
  } catch {
    throw new Error(controller.signal.aborted ? timeoutText() : 'The server cannot be reached.');
  }
  if (!response.ok) throw new Error(`The server answered HTTP ${response.status}.`);
  const serverDate = Date.parse(response.headers.get('Date') ?? '');
  if (Number.isFinite(serverDate)) serverClockOffset = serverDate - Date.now();
  try {
    return await response.json();
  } catch {
    if (controller.signal.aborted) throw new Error(timeoutText());
    throw new Error('The server sent an answer that is not JSON.');
  }
}

function timeoutText() {
  return `The server did not answer within ${TIMEOUT_MS / 1000} seconds.`;
}

// Resolves to the answer's "root" object when its result is 0. Rejects with a
// BackendError carrying the back end's message when the result is not 0, and
// with a plain Error when the server or the answer cannot be used at all.
export async function callCgi(command, variables = {}) {
  const query = new URLSearchParams({ command, ...variables });
  const controller = new AbortController();
  const timer = setTimeout(() => controller.abort(), TIMEOUT_MS);
  let root;
  try {
    root = (await fetchJson(`${CGI_URL}?${query}`, controller))?.root;
  } finally {
    clearTimeout(timer);
  }
  if (typeof root !== 'object' || root === null || typeof root.result !== 'number') {
    throw new Error('The server sent an answer without a result.');
  }
  for (const listener of answerListeners) listener();
  if (root.result !== 0) {
    const message = typeof root.message === 'string' && root.message !== ''
      ? root.message : `The command failed with result ${root.result}.`;
    throw new BackendError(message, root.result);
  }
  return root;
}

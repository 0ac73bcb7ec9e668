// The one way the page reaches the back end: a GET of the CGI program on this
// server with the command and its variables in the query string.

const CGI_URL = 'cgi-bin/velorantis.cgi';

// The server's clock, in milliseconds, as its last answer's Date header gave
// it, less the browser's clock at that moment.
let serverClockOffset = 0;

// The time on the server now, in Unix seconds; the browser's own clock until
// the server has answered.
export function serverNow() {
  return (Date.now() + serverClockOffset) / 1000;
}

// The back end answered, but with a failure result; `message` is its text.
export class BackendError extends Error {
  constructor(message, result) {
    super(message);
    this.name = 'BackendError';
    this.result = result;
  }
}

// Resolves to the answer's "root" object when its result is 0. Rejects with a
// BackendError carrying the back end's message when the result is not 0, and
// with a plain Error when the server or the answer cannot be used at all.
export async function callCgi(command, variables = {}) {
  const query = new URLSearchParams({ command, ...variables });
  let response;
  try {
    // The header tells the back end that this page made the request: another
    // site's page cannot send it without a CORS preflight, which the back
    // end never grants. It is what strict origin checks look for over plain
    // HTTP, where browsers send no Sec-Fetch-Site.
    response = await fetch(`${CGI_URL}?${query}`, {
      cache: 'no-store',
      headers: { 'X-Requested-With': 'XMLHttpRequest' },
    });
  } catch {
    throw new Error('The server cannot be reached.');
  }
  if (!response.ok) throw new Error(`The server answered HTTP ${response.status}.`);
  const serverDate = Date.parse(response.headers.get('Date') ?? '');
  if (Number.isFinite(serverDate)) serverClockOffset = serverDate - Date.now();
  let root;
  try {
    root = (await response.json()).root;
  } catch {
    throw new Error('The server sent an answer that is not JSON.');
  }
  if (typeof root !== 'object' || root === null || typeof root.result !== 'number') {
    throw new Error('The server sent an answer without a result.');
  }
  if (root.result !== 0) {
    const message = typeof root.message === 'string' && root.message !== ''
      ? root.message : `The command failed with result ${root.result}.`;
    throw new BackendError(message, root.result);
  }
  return root;
}

// Small helpers for the page's own elements. Text from the back end only
// ever reaches the page through textContent, never as markup.

export function byId(id) {
  return document.getElementById(id);
}

// Shows `text` in a message line; `kind` is "error", "ok" or "" (neutral).
// The same text again is left alone, so that a live region does not read out
// what it has already said.
export function showMessage(element, text, kind = '') {
  if (element.textContent !== text) element.textContent = text;
  element.dataset.kind = kind;
}

// Reads `text` out once through the page's announcer (a live region that
// nothing else writes to).
export function announce(text) {
  const element = document.getElementById('announce');
  element.textContent = '';
  setTimeout(() => { element.textContent = text; }, 50);
}

// The message to show for a failed call: the back end's own text when it
// answered, else what went wrong on the way.
export function failureText(error) {
  return error instanceof Error && error.message ? error.message : String(error);
}

// Small helpers for the page's own elements. Text from the back end only
// ever reaches the page through textContent, never as markup.

export function byId(id) {
  return document.getElementById(id);
}

// Shows `text` in a message line; `kind` is "error", "ok" or "" (neutral).
export function showMessage(element, text, kind = '') {
  element.textContent = text;
  element.dataset.kind = kind;
}

// The message to show for a failed call: the back end's own text when it
// answered, else what went wrong on the way.
export function failureText(error) {
  return error instanceof Error && error.message ? error.message : String(error);
}

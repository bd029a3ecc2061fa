// The soil in the address: ?model=2&sand=40&clay=20&oc=5 opens with that soil estimated, and
// the address follows the typing, so that a result can be shared as a link.

import { inputNames } from './form.js';

export function readAddress(search, form) {
  const params = new URLSearchParams(search);
  if (params.get('decimal') === 'comma') form.separator = ',';
  if (params.get('decimal') === 'point') form.separator = '.';
  form.setInputs(Object.fromEntries(inputNames.map((n) => [n, params.get(n) ?? undefined])));
  if (!params.has('model')) return false;
  form.setModel(params.get('model'));
  return form.modelIndex >= 0;
}

export function writeAddress(form) {
  const params = new URLSearchParams();
  if (form.modelIndex >= 0) params.set('model', String(form.modelIndex));
  for (const name of inputNames) {
    const text = form.boxes[name].value.trim();
    if (text !== '') params.set(name, text);
  }
  // Said only where a text has a separator to read, and then always: the reader's browser
  // may use the other one.
  if (inputNames.some((n) => /[.,]/.test(params.get(n) ?? ''))) {
    params.set('decimal', form.separator === ',' ? 'comma' : 'point');
  }
  const query = params.toString();
  history.replaceState(null, '', query ? `?${query}` : location.pathname);
}

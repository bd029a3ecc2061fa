// The page's start: the module, then the form, the soil's details and the address; the
// service worker keeps the site for offline use.

import { Form } from './form.js';
import { Details, copyText } from './details.js';
import { addressScale, readAddress, writeAddress } from './address.js';

// The separator the browser's language writes numbers with, where it is one the calculator
// reads.
function browserSeparator() {
  const parts = new Intl.NumberFormat(navigator.language).formatToParts(1.5);
  return parts.find((part) => part.type === 'decimal')?.value === ',' ? ',' : '.';
}

function setUpTabs() {
  const tabs = [...document.querySelectorAll('[role=tab]')];
  const select = (tab) => {
    for (const other of tabs) {
      const chosen = other === tab;
      other.setAttribute('aria-selected', String(chosen));
      other.tabIndex = chosen ? 0 : -1;
      document.getElementById(other.getAttribute('aria-controls')).hidden = !chosen;
    }
    tab.focus();
  };
  tabs.forEach((tab, i) => {
    tab.addEventListener('click', () => select(tab));
    tab.addEventListener('keydown', (event) => {
      const step = { ArrowRight: 1, ArrowLeft: -1 }[event.key];
      if (step) select(tabs[(i + step + tabs.length) % tabs.length]);
    });
  });
}

// Where the results would be: the form stays disabled, and the module's words say why.
function showStartFailure(error) {
  const failure = document.getElementById('failure');
  const kind = document.createElement('strong');
  kind.textContent = 'Could not start';
  // The module's words may end a sentence of their own.
  const why = String(error?.message || error).replace(/\.?$/, '.');
  failure.replaceChildren(
    kind,
    ` the calculator: ${why} Reload the page; the calculator needs a browser that runs ` +
      'WebAssembly.',
  );
  failure.hidden = false;
}

function setUp(talvo) {
  const form = new Form(talvo, document);
  form.separator = browserSeparator();
  // Before the address's estimate, which reads sand, silt and clay on it.
  form.scale = addressScale(location.search);
  // The soil in the address first: its estimate shows before the rest of the page is drawn.
  if (readAddress(location.search, form)) {
    form.estimate();
    // How long the first estimate took from navigation: bench/web measures it.
    performance.mark('talvo-first-estimate');
  }
  const details = new Details(talvo, document, form);
  details.scale = form.scale;
  details.onScale = () => {
    form.scale = details.scale;
    writeAddress(form, details.scale);
  };
  form.onChange = () => {
    details.update();
    writeAddress(form, details.scale);
  };
  details.triangle.onPick = (soil) => {
    form.setInputs(soil);
    form.changed();
  };
  details.update();
  document
    .getElementById('copy-results')
    .addEventListener('click', () => copyText(form.resultsText()));
  document.getElementById('version').textContent = `Version ${talvo.version()}`;
}

// The tabs work either way: the table tab says for itself whether its module started.
setUpTabs();
// The module is imported here, not above, so that a missing talvo.js is told as well.
try {
  const { default: createTalvo } = await import('./talvo.js');
  setUp(await createTalvo());
  document.documentElement.dataset.ready = 'true';
} catch (error) {
  showStartFailure(error);
  document.documentElement.dataset.ready = 'failed';
}

if ('serviceWorker' in navigator) {
  navigator.serviceWorker.register('sw.js').then(
    () => {
      document.getElementById('status').textContent = '';
    },
    () => {
      document.getElementById('status').textContent = 'Offline use unavailable';
    },
  );
}

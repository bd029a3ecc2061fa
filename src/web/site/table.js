// The table tab: a CSV or TSV file (or a sheet of an .xlsx or .ods workbook) chosen or
// dropped, its options as talvo-batch takes them, a preview of its first records, and a run
// in a worker (table-worker.js) with progress and Cancel that ends in a download link and a
// look at the result's first rows and its rows with an error; with measured columns chosen,
// also talvo-batch's report of the models' scores, shown in a frame, and its report and
// metrics files; with soil profiles chosen, also the profiles' sums as talvo-batch's
// --summary writes them.

const PreviewRecords = 5;
// Records read to guess the decimal separator and the unit of sand, silt and clay.
const GuessRecords = 50;
const Inputs = ['sand', 'silt', 'clay', 'oc'];
// The measured columns and the bulk density, as talvo-batch's --measured names them.
const Measured = ['fc', 'pwp', 'awc', 'bd'];
// Candidate delimiters, as the delimiter menu names them.
const Delimiters = { ',': ',', ';': ';', '\t': 'tab', '|': '|' };

const element = (id) => document.getElementById(id);
const ui = {
  section: element('tables'),
  file: element('table-file'),
  model: element('table-model'),
  decimal: element('table-decimal'),
  delimiter: element('table-delimiter'),
  precision: element('table-precision'),
  prefix: element('table-prefix'),
  psd: element('table-psd'),
  units: element('table-units'),
  ocUnit: element('table-oc-unit'),
  preview: element('table-preview'),
  run: element('table-run'),
  cancel: element('table-cancel'),
  progress: element('table-progress'),
  status: element('table-status'),
  error: element('table-error'),
  failure: element('table-failure'),
  download: element('table-download'),
  measuredUnit: element('table-measured-unit'),
  scores: element('table-scores'),
  report: element('table-report'),
  reportDownload: element('table-report-download'),
  metricsDownload: element('table-metrics-download'),
  profiles: element('table-profiles'),
  rootDepth: element('table-root-depth'),
  depletion: element('table-depletion'),
  cfBy: element('table-cf-by'),
  summaryDownload: element('table-summary-download'),
  hydraulics: element('table-hydraulics'),
  topsoil: element('table-topsoil'),
  sheetChoice: element('table-sheet-choice'),
  sheet: element('table-sheet'),
  workbookDownloads: element('table-workbook-downloads'),
  workbookLink: element('table-workbook-link'),
  results: element('table-results'),
  resultCount: element('table-result-count'),
  resultRows: element('table-result-rows'),
  errorRows: element('table-error-rows'),
  errorCount: element('table-error-count'),
  errorScroll: element('table-error-scroll'),
};
const columns = Object.fromEntries(Inputs.map((input) => [input, element(`table-${input}`)]));
const measured = Object.fromEntries(Measured.map((name) => [name, element(`table-${name}`)]));

let worker = null;
// The worker's state: 'starting' until its module is ready, 'failed' if it never will be.
let workerState = 'starting';
// Each request's id, and the latest of each type: a reply to any other is stale (a file
// chosen since, a run cancelled) and ignored.
let asked = 0;
const latest = { preview: 0, units: 0, run: 0 };
// Names this page's outputs in the worker's storage, apart from other pages'.
const session = `table-${Date.now().toString(36)}-${Math.random().toString(36).slice(2, 8)}`;
let file = null;
let running = false;
let guessing = false; // the first preview of a file chosen guesses its decimal and units

// Names as the table library matches them: ASCII letters in any case, blanks ignored.
const plain = (name) => name.replace(/\s+/g, '').toLowerCase();

function startWorker() {
  worker = new Worker('table-worker.js', { type: 'module' });
  // Messages without an id are the worker's own: its start, or a failure no request owns.
  worker.onmessage = ({ data }) => {
    if (data.id === undefined || Object.values(latest).includes(data.id)) {
      handlers[data.type](data);
    }
  };
  // A script that did not load or a mistake in the worker; before the start, the tab cannot
  // work at all.
  worker.onerror = (event) => {
    event.preventDefault();
    const text = event.message || "the worker's script did not load";
    (workerState === 'starting' ? handlers.failed : handlers.error)({ text });
  };
  worker.onmessageerror = () =>
    handlers.error({ text: "the page could not read the worker's reply" });
}

function ask(type, fields) {
  if (workerState !== 'failed') {
    latest[type] = ++asked;
    worker.postMessage({ type, id: asked, ...fields });
  }
}

// The delimiter the header line uses most, outside quotes; the menu's choice when none.
function guessDelimiter(bytes) {
  const text = new TextDecoder().decode(bytes.subarray(0, 4096));
  const header = text.split(/\r\n|\n|\r/, 1)[0].replace(/"[^"]*"/g, '');
  let best = null;
  let most = 0;
  for (const [character, name] of Object.entries(Delimiters)) {
    const count = header.split(character).length - 1;
    if (count > most) {
      [best, most] = [name, count];
    }
  }
  return best;
}

// The model menu as talvo-batch's --model: "all", or the positions chosen.
function modelText() {
  const chosen = [...ui.model.selectedOptions].map((option) => option.value);
  return chosen.length === 0 || chosen.includes('all') ? 'all' : chosen.join(',');
}

function options() {
  const chosen = {
    model: modelText(),
    decimal: ui.decimal.value,
    delimiter: ui.delimiter.value,
    precision: ui.precision.value,
    prefix: ui.prefix.value,
    psd: ui.psd.value,
    units: ui.units.value,
    ocUnit: ui.ocUnit.value,
  };
  for (const input of Inputs) {
    chosen[input] = columns[input].value;
  }
  for (const name of Measured) {
    chosen[name] = measured[name].value;
  }
  chosen.measuredUnit = ui.measuredUnit.value;
  chosen.profiles = ui.profiles.checked;
  chosen.rootDepth = ui.rootDepth.value;
  chosen.depletion = ui.depletion.value;
  chosen.cfBy = ui.cfBy.value;
  // talvo-batch --hydraulics and --topsoil: a table of their own.
  chosen.hydraulics = ui.hydraulics.value;
  chosen.topsoil = ui.topsoil.value;
  return chosen;
}

// A menu of the header's fields after its first entry, keeping the field chosen before.
function fillMenu(menu, header) {
  const kept = menu.value;
  menu.replaceChildren(menu.options[0]);
  for (const field of header) {
    menu.add(new Option(field, field));
  }
  menu.value = header.includes(kept) ? kept : '';
}

// Each input's menu lists the header's fields; the one a run reads is chosen, as the worker
// found it by talvo-batch's rule ("Sand (%)", "sandtotal_r", "om_r"); "" reads the column of
// the input's own name. The measured menus are left to the user: a table may hold an earlier
// run's estimates.
function fillColumnMenus(header, found) {
  for (const input of Inputs) {
    const menu = columns[input];
    const kept = menu.value;
    fillMenu(menu, header);
    const named = found[input] >= 0 ? header[found[input]] : undefined;
    menu.value = header.includes(kept)
      ? kept
      : named === undefined || plain(named) === input
        ? ''
        : named;
  }
  for (const name of Measured) {
    fillMenu(measured[name], header);
  }
}

// A table of `header` and `rows` (arrays of texts) in `table`.
function fillTable(table, header, rows) {
  table.replaceChildren();
  const head = table.createTHead().insertRow();
  for (const field of header) {
    const cell = head.appendChild(document.createElement('th'));
    cell.scope = 'col';
    cell.textContent = field;
  }
  const body = table.createTBody();
  for (const record of rows) {
    const row = body.insertRow();
    for (const field of record) {
      row.insertCell().textContent = field;
    }
  }
}

function showPreview({ name, rows, columns: found }) {
  ui.preview.replaceChildren();
  ui.preview.dataset.file = name;
  if (rows.length === 0) {
    return;
  }
  fillTable(ui.preview, rows[0], rows.slice(1, PreviewRecords + 1));
  fillColumnMenus(rows[0], found);
  if (guessing) {
    guessing = false;
    // Numbers such as 40,5 and none such as 40.5 below a header split elsewhere; else the
    // point, whatever the file before had.
    const fields = rows.slice(1).flat();
    ui.decimal.value =
      ui.delimiter.value !== ',' &&
      fields.some((field) => /^\s*-?\d+,\d+\s*$/.test(field)) &&
      !fields.some((field) => /^\s*-?\d+\.\d+\s*$/.test(field))
        ? ','
        : '.';
    guessUnits(rows);
  }
}

// The unit of sand, silt and clay the engine sees in the records: asked of the worker, which
// answers with a 'units' message.
function guessUnits(rows) {
  const index = (input) => {
    const chosen = columns[input].value;
    return rows[0].findIndex((field) =>
      chosen === '' ? plain(field) === input : field === chosen,
    );
  };
  const texts = Object.fromEntries(
    ['sand', 'silt', 'clay'].map((input) => {
      const at = index(input);
      return [input, at < 0 ? [] : rows.slice(1).map((record) => record[at] ?? '')];
    }),
  );
  const soils = Math.min(texts.sand.length, texts.silt.length, texts.clay.length);
  for (const input of ['sand', 'silt', 'clay']) {
    texts[input] = texts[input].slice(0, soils);
  }
  ask('units', { ...texts, decimal: ui.decimal.value });
}

// The result's first rows, and its rows with an error with their line in the download.
function showSample(sample, rows) {
  if (!sample || sample.header.length === 0) {
    return;
  }
  fillTable(ui.resultRows, sample.header, sample.first);
  ui.resultCount.textContent =
    sample.first.length < rows
      ? `The first ${sample.first.length.toLocaleString()} of ${rows.toLocaleString()} rows`
      : `All ${rows.toLocaleString()} ${rows === 1 ? 'row' : 'rows'}`;
  const failed = sample.errors.length + sample.moreErrors;
  ui.errorScroll.hidden = sample.errors.length === 0;
  // Why first: the error is the row's last field, past a wide table's edge.
  const why = (fields) => [fields.at(-1), ...fields.slice(0, -1)];
  fillTable(
    ui.errorRows,
    ['Line', ...why(sample.header)],
    sample.errors.map(({ line, fields }) => [line.toLocaleString(), ...why(fields)]),
  );
  ui.errorCount.textContent =
    failed === 0
      ? 'No row has an error.'
      : sample.moreErrors === 0
        ? `${failed === 1 ? 'The row' : `All ${failed.toLocaleString()} rows`} with an error, each with its line in the download:`
        : `The first ${sample.errors.length.toLocaleString()} of ${failed.toLocaleString()} rows with an error, each with its line in the download; the download's error column gives the other ${sample.moreErrors.toLocaleString()}:`;
  ui.results.hidden = false;
}

function say(status, error = '') {
  ui.status.textContent = status;
  ui.error.textContent = error;
  ui.error.hidden = error === '';
}

function setRunning(now) {
  running = now;
  ui.run.disabled = now || file === null || workerState === 'failed';
  ui.cancel.disabled = !now;
  ui.progress.hidden = !now;
}

function clearDownload() {
  for (const link of [
    ui.download,
    ui.reportDownload,
    ui.metricsDownload,
    ui.summaryDownload,
    ui.workbookLink,
  ]) {
    if (link.href) {
      URL.revokeObjectURL(link.href);
    }
    link.removeAttribute('href');
  }
  ui.download.hidden = true;
  ui.summaryDownload.hidden = true;
  ui.workbookDownloads.hidden = true;
  ui.scores.hidden = true;
  ui.report.removeAttribute('srcdoc');
  ui.results.hidden = true;
}

function offer(link, blob, name) {
  link.href = URL.createObjectURL(blob);
  link.download = name;
}

// The report as talvo-batch writes it, in a frame without scripts, as tall as its page.
function showScores(scores, base) {
  ui.report.onload = () => {
    const page = ui.report.contentDocument?.documentElement;
    if (page) {
      ui.report.style.height = `${page.scrollHeight + 4}px`;
    }
  };
  ui.report.srcdoc = scores.report;
  offer(ui.reportDownload, new Blob([scores.report], { type: 'text/html' }), `${base}-report.html`);
  offer(ui.metricsDownload, new Blob([scores.metrics], { type: 'text/csv' }), `${base}-scores.csv`);
  ui.scores.hidden = false;
}

function preview() {
  if (file !== null && !running) {
    ask('preview', {
      file,
      delimiter: ui.delimiter.value,
      records: guessing ? GuessRecords : PreviewRecords,
    });
  }
}

async function choose(chosen) {
  if (chosen === undefined || running) {
    return;
  }
  clearDownload();
  workbook = isWorkbook(chosen.name) ? chosen : null;
  ui.sheetChoice.hidden = true;
  const table = workbook ? await sheetOf(workbook) : chosen;
  if (table === null) {
    file = null;
    ui.preview.replaceChildren();
    setRunning(false);
    return;
  }
  file = table;
  say(`${chosen.name}: ${chosen.size.toLocaleString()} bytes`);
  // Each file's own: a file after one with semicolons and decimal commas may have neither.
  ui.delimiter.value =
    guessDelimiter(new Uint8Array(await file.slice(0, 4096).arrayBuffer())) ?? ',';
  guessing = true;
  setRunning(false);
  preview();
}

const handlers = {
  ready: (message) => {
    workerState = 'ready';
    if (ui.model.options.length === 1) {
      message.models.forEach((name, position) => ui.model.add(new Option(name, String(position))));
    }
    if (ui.psd.options.length === 0) {
      for (const choice of message.particleSizes) {
        const option = new Option(choice.label, choice.name);
        option.title = choice.detail;
        ui.psd.add(option);
      }
    }
  },
  preview: showPreview,
  units: (message) => {
    ui.units.value = message.unit;
  },
  progress: (message) => {
    ui.progress.max = Math.max(message.total, 1);
    ui.progress.value = message.done;
  },
  notice: (message) => {
    ui.status.textContent += (ui.status.textContent ? '\n' : '') + message.text;
  },
  done: (message) => {
    latest.run = 0;
    setRunning(false);
    const name = file.name.replace(
      /(\.[^.]*)?$/,
      (extension) => `-estimates${extension || '.csv'}`,
    );
    offer(ui.download, message.file, name);
    ui.download.textContent = `Download ${name} (${message.rows.toLocaleString()} rows)`;
    ui.download.hidden = false;
    result = { blob: message.file, name, delimiter: ran.delimiter, decimal: ran.decimal };
    ui.workbookDownloads.hidden = false;
    if (message.summary) {
      const summaryName = file.name.replace(
        /(\.[^.]*)?$/,
        (extension) => `-profiles${extension || '.csv'}`,
      );
      offer(ui.summaryDownload, message.summary, summaryName);
      ui.summaryDownload.textContent = `Download ${summaryName} (the profiles' root-zone water)`;
      ui.summaryDownload.hidden = false;
    }
    // talvo-batch's lines, in its order: the contents' unit, the flagged rows, then the rows
    // with an error.
    const lines = [
      message.units,
      message.carbon,
      message.flagged,
      message.note || `${message.rows.toLocaleString()} rows estimated`,
    ];
    if (message.scores) {
      lines.push(message.scores.note);
      showScores(message.scores, file.name.replace(/\.[^.]*$/, ''));
    }
    for (const line of lines.filter((text) => text)) {
      ui.status.textContent += (ui.status.textContent ? '\n' : '') + line;
    }
    showSample(message.sample, message.rows);
  },
  // The run's failure, or a preview's, or one no request owns, which ends any run.
  error: (message) => {
    if (message.id === undefined || message.id === latest.run) {
      latest.run = 0;
      setRunning(false);
    }
    say(ui.status.textContent, message.text);
  },
  // Said first thing in the tab, whose file and Run then stay disabled.
  failed: (message) => {
    workerState = 'failed';
    setRunning(false);
    ui.file.disabled = true;
    ui.failure.textContent =
      `The table tab could not start: ${message.text.replace(/\.?$/, '.')} Reload the page; ` +
      'the tab needs a browser that runs WebAssembly in a worker.';
    ui.failure.hidden = false;
  },
};

// ---- Workbooks: a sheet of an .xlsx or .ods file is read into CSV when it is chosen, and
// the result is offered as a workbook too. spreadsheet.js and its library load only then.
const isWorkbook = (name) => /\.(xlsx|xlsm|ods)$/i.test(name);
let workbook = null; // the workbook chosen, whose sheet is the table
let ran = null; // the options of the latest run
let result = null; // the latest run's CSV, for a workbook of it

// The chosen sheet of `book` as a CSV File, the sheet menu filled; null, said, when it
// cannot be read.
async function sheetOf(book, sheet = null) {
  try {
    const { readWorkbook } = await import('./spreadsheet.js');
    const { csv, sheets } = await readWorkbook(book, sheet);
    ui.sheet.replaceChildren(...sheets.map((name) => new Option(name, name)));
    ui.sheet.value = sheet ?? sheets[0];
    ui.sheetChoice.hidden = sheets.length < 2;
    return csv;
  } catch (error) {
    say('', `cannot read ${book.name}: ${error?.message || error}`);
    return null;
  }
}

ui.sheet.addEventListener('change', async () => {
  const table = workbook && !running ? await sheetOf(workbook, ui.sheet.value) : null;
  if (table !== null) {
    file = table;
    clearDownload();
    guessing = true;
    preview();
  }
});

async function offerWorkbook(type) {
  try {
    const { writeWorkbook } = await import('./spreadsheet.js');
    const blob = await writeWorkbook(result.blob, { ...result, type });
    if (ui.workbookLink.href) {
      URL.revokeObjectURL(ui.workbookLink.href);
    }
    offer(ui.workbookLink, blob, result.name.replace(/(\.[^.]*)?$/, `.${type}`));
    ui.workbookLink.click();
  } catch (error) {
    say(ui.status.textContent, `cannot write the workbook: ${error?.message || error}`);
  }
}
for (const type of ['xlsx', 'ods']) {
  element(`table-download-${type}`).addEventListener('click', () => offerWorkbook(type));
}

ui.file.addEventListener('change', () => choose(ui.file.files[0]));
ui.section.addEventListener('dragover', (event) => {
  event.preventDefault();
  ui.section.classList.add('dragging');
});
ui.section.addEventListener('dragleave', () => ui.section.classList.remove('dragging'));
ui.section.addEventListener('drop', (event) => {
  event.preventDefault();
  ui.section.classList.remove('dragging');
  choose(event.dataTransfer.files[0]);
});
ui.delimiter.addEventListener('change', preview);
// The root zone's settings count only for a horizon table.
const showProfiles = () => {
  for (const input of [ui.rootDepth, ui.depletion, ui.cfBy]) {
    input.disabled = !ui.profiles.checked;
  }
};
ui.profiles.addEventListener('change', showProfiles);
showProfiles();
ui.run.addEventListener('click', () => {
  clearDownload();
  say('');
  ui.progress.value = 0;
  setRunning(true);
  ran = options();
  ask('run', { file, session, options: ran });
});
// A run cannot be stopped inside the module; ending the worker stops it at once and frees
// all it held.
ui.cancel.addEventListener('click', () => {
  worker.terminate();
  // Whatever the ended worker still had queued is stale.
  latest.preview = latest.units = latest.run = 0;
  workerState = 'starting';
  startWorker();
  setRunning(false);
  say('Cancelled');
});

// Started when the tab is first shown: a page used for single soils loads the module once.
const firstShown = new MutationObserver(() => {
  if (!ui.section.hidden) {
    firstShown.disconnect();
    startWorker();
  }
});
firstShown.observe(ui.section, { attributes: true, attributeFilter: ['hidden'] });
setRunning(false);

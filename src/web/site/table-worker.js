// The table tab's worker: converts a CSV or TSV file with the table library compiled to
// WebAssembly, off the page's thread. The file is read as a stream and each piece of output
// becomes a Blob at once, so the tab holds neither the input nor the output whole. With
// measured columns, the file is read once more, in pieces, for the models' scores.
//
// Messages out, first: {type: 'ready', models}  the models' list texts, by position
// Messages in:  {type: 'preview', file, delimiter, records}
//               {type: 'run', file, options: {model, decimal, delimiter, precision, prefix,
//                                             sand, silt, clay, oc,
//                                             fc, pwp, awc, bd, measuredUnit}}
// Messages out: {type: 'preview', name, rows}      the header's fields, then records' fields
//               {type: 'progress', done, total}    input bytes converted, of the file's
//               {type: 'notice', text}             a model left out
//               {type: 'done', blob, records, rows, rowsWithError, flagged, note,
//                scores}                        {metrics, report, note}, or null unmeasured
//               {type: 'error', text}              talvo-batch's line, less its name
// Cancel: the page ends the worker and starts another.

import createTalvo from './talvo.js';

const PreviewBytes = 64 * 1024;
const ProgressEvery = 100; // milliseconds between progress messages
const ScoreBytes = 1024 * 1024; // the piece of the file the scores read at a time

const engine = createTalvo();
engine.then((talvo) => postMessage({type: 'ready', models: talvo.models()}));

async function preview(talvo, {file, delimiter, records}) {
  const bytes = new Uint8Array(await file.slice(0, PreviewBytes).arrayBuffer());
  return {type: 'preview', name: file.name, rows: talvo.tablePreview(bytes, delimiter, records)};
}

async function convert(table, file) {
  const parts = [];
  const drain = () => {
    // A Blob copies the view, which the next call into the module may move.
    for (let out = table.pull(); out.length > 0; out = table.pull()) {
      parts.push(new Blob([out]));
    }
    const notices = table.takeNotices();
    for (const text of notices.split('\n').filter((line) => line !== '')) {
      postMessage({type: 'notice', text});
    }
    return table.error() === '';
  };
  let reported = 0;
  const reader = file.stream().getReader();
  for (;;) {
    const {done, value} = await reader.read();
    if (done) {
      break;
    }
    table.push(value);
    if (!drain()) {
      await reader.cancel();
      return null;
    }
    if (performance.now() - reported >= ProgressEvery) {
      reported = performance.now();
      postMessage({type: 'progress', done: table.bytesDone(), total: file.size});
    }
  }
  table.finish();
  if (!drain()) {
    return null;
  }
  return new Blob(parts, {type: file.name.endsWith('.tsv') ? 'text/tab-separated-values' : 'text/csv'});
}

// The scores read the file synchronously, piece by piece, as the module asks for it.
function score(talvo, file, options) {
  const reader = new FileReaderSync();
  let offset = 0;
  let reported = 0;
  const read = () => {
    const end = Math.min(offset + ScoreBytes, file.size);
    const piece = new Uint8Array(reader.readAsArrayBuffer(file.slice(offset, end)));
    offset = end;
    if (performance.now() - reported >= ProgressEvery) {
      reported = performance.now();
      postMessage({type: 'progress', done: offset, total: file.size});
    }
    return piece;
  };
  return talvo.scoreTable(options, file.name, read);
}

async function run(talvo, {file, options}) {
  const table = new talvo.TableRun();
  try {
    let blob = null;
    if (table.start(options, file.name)) {
      blob = await convert(table, file);
    }
    if (blob === null) {
      return {type: 'error', text: table.error()};
    }
    let scores = null;
    if (options.fc || options.pwp || options.awc || options.bd) {
      scores = score(talvo, file, options);
      if (scores.error !== undefined) {
        return {type: 'error', text: scores.error};
      }
    }
    postMessage({type: 'progress', done: file.size, total: file.size});
    return {
      type: 'done',
      blob,
      records: table.records(),
      rows: table.rows(),
      rowsWithError: table.rowsWithError(),
      flagged: table.flaggedRowsNote(),
      note: table.failedRowsNote(),
      scores,
    };
  } finally {
    table.delete();
  }
}

onmessage = async (event) => {
  const message = event.data;
  try {
    const talvo = await engine;
    postMessage(message.type === 'preview' ? await preview(talvo, message) : await run(talvo, message));
  } catch (error) {
    // A file the browser cannot read (moved, or access lost) ends the run as talvo-batch's would.
    postMessage({type: message.type === 'preview' ? 'preview' : 'error', name: message.file.name,
                 rows: [], text: `cannot read ${message.file.name}: ${error.message}`});
  }
};

// The table tab's worker: converts a CSV or TSV file with the table library compiled to
// WebAssembly, off the page's thread. The file is read in pieces and copied into the module's
// memory, and the output goes from there to a file in the origin's private storage, so the tab
// holds neither the input nor the output whole: a 1 GB table kept as Blobs grew the browser by
// gigabytes. Where that storage is missing, the output is kept as Blobs. With measured
// columns, the file is read once more, in pieces, for the models' scores.
//
// Messages out, first: {type: 'ready', models, particleSizes}  the models' list texts, by
//                                         position; the scales as {name, label, detail}
//                  or: {type: 'failed', text}  why the module did not start
// Messages in, each with an id that every message out about it carries:
//               {type: 'preview', id, file, delimiter, records}
//               {type: 'units', id, sand, silt, clay, decimal}  texts of the preview's columns
//               {type: 'run', id, file, session, options: {model, decimal, delimiter, precision,
//                                                      prefix, psd, units, ocUnit, sand, silt,
//                                                      clay, oc,
//                                                      fc, pwp, awc, bd, measuredUnit,
//                                                      profiles, rootDepth, depletion, cfBy,
//                                                      hydraulics, topsoil}}
//                  with hydraulics ("saxton-rawls", "hypres" or "all"), talvo-batch
//                  --hydraulics's table instead; its done carries no units, carbon, flagged,
//                  scores or summary
// Messages out: {type: 'preview', name, rows,      the header's fields, then records' fields,
//                columns}                       each input's column a run reads (-1: none)
//               {type: 'units', unit}              "", "fractions" or "g/kg", as they look
//               {type: 'progress', done, total}    input bytes converted, of the file's
//               {type: 'notice', text}             a model left out, or cells a spreadsheet
//                                                  would run as formulas
//               {type: 'done', file, records, rows, rowsWithError, units, carbon, flagged, note,
//                scores,                        {metrics, report, note}, or null unmeasured
//                summary,                       the profiles' sums (a Blob), or null
//                sample}                        {header, first, errors: [{line, fields}],
//                                               moreErrors}: rows of the output to show
//               {type: 'error', text}              talvo-batch's line, less its name; else
//                                                  what failed, in its own words
// Cancel: the page ends the worker and starts another.

import createTalvo from './talvo.js';

const PreviewBytes = 64 * 1024;
// Bytes asked for at a time: large enough that the calls into the module and the reads cost
// little beside the rows, small enough to keep the module's memory small.
const ReadBytes = 1 << 20;
const ProgressEvery = 100; // milliseconds between progress messages
// Outputs of other pages' runs older than this are taken for left behind, and removed.
const KeptOutputMs = 24 * 60 * 60 * 1000;
const ScoreBytes = 1024 * 1024; // the piece of the file the scores read at a time

const engine = createTalvo();
engine.then(
  (talvo) =>
    postMessage({ type: 'ready', models: talvo.models(), particleSizes: talvo.particleSizes() }),
  (error) => postMessage({ type: 'failed', text: textOf(error) }),
);

function textOf(error) {
  return error?.message || String(error);
}

// A file the browser can no longer read (moved, or access lost) ends the request as
// talvo-batch's would; anything else (the module, the storage) in its own words.
const Unreadable = new Set(['NotFoundError', 'NotReadableError']);
function failureText(error, file) {
  return Unreadable.has(error?.name) && file
    ? `cannot read ${file.name}: ${textOf(error)}`
    : textOf(error);
}

async function preview(talvo, { file, delimiter, records }) {
  const bytes = new Uint8Array(await file.slice(0, PreviewBytes).arrayBuffer());
  const rows = talvo.tablePreview(bytes, delimiter, records);
  const columns = rows.length === 0 ? {} : talvo.inputColumns(rows[0]);
  return { type: 'preview', name: file.name, rows, columns };
}

// The run's output in a file of the origin's private storage, written as it comes. This
// page's earlier outputs are removed first, and others' left behind long ago.
async function storedOutput(session, type) {
  const folder = await navigator.storage.getDirectory();
  // Listed first and removed after: the folder is not changed while it is being listed.
  const gone = [];
  for await (const [name, entry] of folder.entries()) {
    if (
      entry.kind === 'file' &&
      (name.startsWith(`${session}-`) ||
        Date.now() - (await entry.getFile()).lastModified >= KeptOutputMs)
    ) {
      gone.push(name);
    }
  }
  // One still open elsewhere stays.
  await Promise.all(gone.map((name) => folder.removeEntry(name).catch(() => {})));
  const handle = await folder.getFileHandle(`${session}-${Date.now()}`, { create: true });
  const access = await handle.createSyncAccessHandle();
  access.truncate(0);
  let at = 0;
  return {
    write(bytes) {
      at += access.write(bytes, { at });
    },
    async close() {
      access.flush();
      access.close();
      // Typed, as the Blobs are; a slice refers to the file and copies nothing.
      return (await handle.getFile()).slice(0, at, type);
    },
  };
}

function blobOutput(type) {
  const parts = [];
  return {
    // A Blob copies the view, which the next call into the module may move.
    write(bytes) {
      parts.push(new Blob([bytes]));
    },
    async close() {
      return new Blob(parts, { type });
    },
  };
}

async function openOutput(session, type) {
  try {
    return await storedOutput(session, type);
  } catch {
    return blobOutput(type);
  }
}

// The file's pieces, read into one buffer used again and again: a new buffer a piece left
// hundreds of megabytes for the collector in a long run. Where the browser's file streams
// cannot read into a given buffer, the pieces it makes.
async function* pieces(file) {
  const stream = file.stream();
  let reader;
  try {
    reader = stream.getReader({ mode: 'byob' });
  } catch {
    reader = stream.getReader();
    for (let read = await reader.read(); !read.done; read = await reader.read()) {
      yield read.value;
    }
    return;
  }
  let buffer = new ArrayBuffer(ReadBytes);
  for (
    let read = await reader.read(new Uint8Array(buffer));
    !read.done;
    read = await reader.read(new Uint8Array(buffer))
  ) {
    yield read.value;
    buffer = read.value.buffer;
  }
}

async function convert(table, file, output, tell) {
  const drain = () => {
    for (let out = table.pull(); out.length > 0; out = table.pull()) {
      output.write(out);
    }
    const notices = table.takeNotices();
    for (const text of notices.split('\n').filter((line) => line !== '')) {
      tell({ type: 'notice', text });
    }
    return table.error() === '';
  };
  let reported = performance.now();
  for await (const bytes of pieces(file)) {
    table.input(bytes.length).set(bytes);
    table.push();
    if (!drain()) {
      return false;
    }
    if (performance.now() - reported >= ProgressEvery) {
      reported = performance.now();
      tell({ type: 'progress', done: table.bytesDone(), total: file.size });
    }
  }
  table.finish();
  return drain();
}

// The file's next piece each call, read synchronously as the module asks for it; empty at
// the end.
function syncPieces(file, tell) {
  const reader = new FileReaderSync();
  let offset = 0;
  let reported = 0;
  return () => {
    const end = Math.min(offset + ScoreBytes, file.size);
    const piece = new Uint8Array(reader.readAsArrayBuffer(file.slice(offset, end)));
    offset = end;
    if (performance.now() - reported >= ProgressEvery) {
      reported = performance.now();
      tell({ type: 'progress', done: offset, total: file.size });
    }
    return piece;
  };
}

function score(talvo, file, options, tell) {
  return talvo.scoreTable(options, file.name, syncPieces(file, tell));
}

// ---- Hydraulic columns: talvo-batch --hydraulics's own table, read and written in pieces.
async function hydraulicRun(talvo, { file, session, options }, tell) {
  const type = file.name.endsWith('.tsv') ? 'text/tab-separated-values' : 'text/csv';
  const output = await openOutput(session, type);
  const answer = talvo.hydraulicTable(options, file.name, syncPieces(file, tell), (bytes) =>
    output.write(bytes),
  );
  const result = await output.close();
  if (answer.error !== undefined) {
    return { type: 'error', text: answer.error };
  }
  tell({ type: 'progress', done: file.size, total: file.size });
  return {
    type: 'done',
    file: result,
    records: answer.rows,
    rows: answer.rows,
    rowsWithError: answer.rowsWithError,
    note: answer.note,
    scores: null,
    summary: null,
    sample: answer.sample,
  };
}
// ----

async function run(talvo, message, tell) {
  if (message.options.hydraulics) {
    return hydraulicRun(talvo, message, tell);
  }
  const { file, session, options } = message;
  const table = new talvo.TableRun();
  try {
    if (!table.start(options, file.name)) {
      return { type: 'error', text: table.error() };
    }
    const type = file.name.endsWith('.tsv') ? 'text/tab-separated-values' : 'text/csv';
    const output = await openOutput(session, type);
    const converted = await convert(table, file, output, tell);
    const result = await output.close();
    if (!converted) {
      return { type: 'error', text: table.error() };
    }
    let scores = null;
    if (options.fc || options.pwp || options.awc || options.bd) {
      scores = score(talvo, file, options, tell);
      if (scores.error !== undefined) {
        return { type: 'error', text: scores.error };
      }
    }
    // A Blob copies the view, which the next call into the module may move.
    const summary = options.profiles ? new Blob([table.profileSummary()], { type }) : null;
    const formulas = table.formulaNote();
    if (formulas) {
      tell({ type: 'notice', text: formulas });
    }
    tell({ type: 'progress', done: file.size, total: file.size });
    return {
      type: 'done',
      file: result,
      records: table.records(),
      rows: table.rows(),
      rowsWithError: table.rowsWithError(),
      units: table.unitNote(),
      carbon: table.carbonNote(),
      flagged: table.flaggedRowsNote(),
      note: table.failedRowsNote(),
      scores,
      summary,
      sample: table.sample(),
    };
  } finally {
    table.delete();
  }
}

onmessage = async ({ data: message }) => {
  const tell = (reply) => postMessage({ ...reply, id: message.id });
  try {
    const talvo = await engine;
    if (message.type === 'units') {
      const { sand, silt, clay, decimal } = message;
      tell({ type: 'units', unit: talvo.contentUnit(sand, silt, clay, decimal) });
      return;
    }
    tell(
      message.type === 'preview' ? await preview(talvo, message) : await run(talvo, message, tell),
    );
  } catch (error) {
    tell({ type: 'error', text: failureText(error, message.file) });
  }
};

// A request that could not be read has no id to answer: the page hears of it all the same.
onmessageerror = () => postMessage({ type: 'error', text: 'the worker could not read a request' });

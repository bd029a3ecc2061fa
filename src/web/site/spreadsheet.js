// The table tab's workbooks: a sheet of an .xlsx or .ods file read into the CSV the tab
// converts, and a result written as a workbook of one sheet. The library is half a megabyte,
// so it is loaded only when a workbook is chosen or asked for.

// A sheet holds no more rows than this.
const MaxRows = 1048576;

let library = null;

// The library's global, from a classic script added to the page once.
function load() {
  library ??= new Promise((resolve, reject) => {
    const script = document.createElement('script');
    script.src = 'xlsx.core.min.js';
    script.onload = () => resolve(window.XLSX);
    script.onerror = () => {
      library = null; // another try may find the network back
      reject(new Error('the spreadsheet reader did not load'));
    };
    document.head.append(script);
  });
  return library;
}

// A field as talvo-batch writes CSV: quoted when it holds a comma, a quote or a line break.
const field = (text) => (/[",\r\n]/.test(text) ? `"${text.replaceAll('"', '""')}"` : text);

// A cell's text as the spreadsheet shows its value: numbers in full, with a point.
function cellText(cell, where) {
  if (cell === undefined || cell.t === 'z') {
    if (cell?.f !== undefined) {
      throw new Error(
        `cell ${where} holds a formula with no value: the program that wrote it did not calculate it; open and save it in a spreadsheet program`,
      );
    }
    return '';
  }
  if (cell.t === 'n') {
    return String(cell.v);
  }
  if (cell.t === 'b') {
    return cell.v ? 'TRUE' : 'FALSE';
  }
  return String(cell.w ?? cell.v); // texts, and errors as the spreadsheet shows them (#DIV/0!)
}

// The sheet named `sheet` (the first when null) of a workbook `file` as a CSV File, and the
// workbook's sheet names. Throws an Error naming the cell that cannot be read.
export async function readWorkbook(file, sheet = null) {
  const XLSX = await load();
  const book = XLSX.read(await file.arrayBuffer(), { type: 'array', sheetStubs: true });
  const name = sheet ?? book.SheetNames[0];
  const cells = book.Sheets[name];
  const lines = [];
  let columns = 0; // the header's
  if (cells?.['!ref']) {
    const range = XLSX.utils.decode_range(cells['!ref']);
    for (let r = range.s.r; r <= range.e.r; ++r) {
      const fields = [];
      for (let c = 0; c <= range.e.c; ++c) {
        const where = XLSX.utils.encode_cell({ r, c });
        fields.push(field(cellText(cells[where], where)));
      }
      // Each row as wide as the header, or as its own last value: a sheet's range often
      // reaches past the table.
      let width = fields.length;
      while (width > columns && fields[width - 1] === '') {
        --width;
      }
      if (width > 0 && fields.slice(0, width).some((text) => text !== '')) {
        columns ||= width;
        lines.push(`${fields.slice(0, width).join(',')}\n`);
      }
    }
  }
  const csv = new File(lines, file.name.replace(/\.[^.]*$/, '.csv'), { type: 'text/csv' });
  return { csv, sheets: book.SheetNames };
}

// The records of a CSV text (RFC 4180, as talvo-batch writes it).
function records(text, delimiter) {
  const rows = [];
  let row = [];
  let value = '';
  let quoted = false;
  for (let i = 0; i < text.length; ++i) {
    const c = text[i];
    if (quoted) {
      if (c === '"' && text[i + 1] === '"') {
        value += '"';
        ++i;
      } else if (c === '"') {
        quoted = false;
      } else {
        value += c;
      }
    } else if (c === '"') {
      quoted = true;
    } else if (c === delimiter) {
      row.push(value);
      value = '';
    } else if (c === '\n' || c === '\r') {
      if (c === '\r' && text[i + 1] === '\n') {
        ++i;
      }
      row.push(value);
      rows.push(row);
      [row, value] = [[], ''];
    } else {
      value += c;
    }
  }
  if (value !== '' || row.length > 0) {
    row.push(value);
    rows.push(row);
  }
  return rows;
}

// A number where talvo-batch reads one, less the forms a number would lose: "007", "+5" and
// blanks around it stay text.
function numberPattern(decimal) {
  const point = decimal === '.' ? '\\.' : decimal;
  return new RegExp(`^-?(?=\\d|${point}\\d)(0|[1-9]\\d*)?(${point}\\d*)?([eE][-+]?\\d+)?$`);
}

// The result (a CSV Blob written with `delimiter` and `decimal`) as a workbook Blob of one
// sheet, numbers as numbers; `type` 'xlsx' or 'ods'.
export async function writeWorkbook(blob, { delimiter, decimal, type }) {
  const XLSX = await load();
  const rows = records((await blob.text()).replace(/^\ufeff/, ''), delimiter);
  if (rows.length > MaxRows) {
    throw new Error(
      `the result has ${rows.length.toLocaleString()} rows, more than a sheet holds: download the CSV`,
    );
  }
  const number = numberPattern(decimal);
  const cells = rows.map((row, r) =>
    row.map((text) =>
      r > 0 && number.test(text) ? Number(text.replace(decimal, '.')) : text === '' ? null : text,
    ),
  );
  const book = XLSX.utils.book_new();
  XLSX.utils.book_append_sheet(book, XLSX.utils.aoa_to_sheet(cells), 'talvo');
  const bytes = XLSX.write(book, { bookType: type, type: 'array', compression: true });
  return new Blob([bytes], {
    type:
      type === 'ods'
        ? 'application/vnd.oasis.opendocument.spreadsheet'
        : 'application/vnd.openxmlformats-officedocument.spreadsheetml.sheet',
  });
}

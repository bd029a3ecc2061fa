// The soil's details beside the form, following the typing as the window's soil view does:
// the triangle with the soil's point, its texture class and warnings, and every model side by
// side, and the sheet of the chosen model or of a row picked in the table; copied
// tab-separated, and saved as a picture.

import { Triangle } from './triangle.js';

function download(blob, name) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}

export async function copyText(text) {
  try {
    await navigator.clipboard.writeText(text);
  } catch {
    // Without the clipboard's permission, the older way still copies.
    const area = document.createElement('textarea');
    area.value = text;
    document.body.append(area);
    area.select();
    document.execCommand('copy');
    area.remove();
  }
}

export class Details {
  constructor(talvo, root, form) {
    this.talvo = talvo;
    this.form = form;
    this.texture = root.getElementById('texture');
    this.warnings = root.getElementById('soil-warnings');
    this.markText = root.getElementById('mark-text');
    this.table = root.getElementById('models');
    this.sheetModel = root.getElementById('sheet-model');
    this.sheetText = root.getElementById('sheet-text');
    this.sheetFor = -1; // the form's model the sheet last followed
    // As in the window's soil view, a row of the table shows its model's sheet.
    this.table.tBodies[0].addEventListener('click', (event) => {
      const row = event.target.closest('tr');
      if (row) this.showSheet(row.sectionRowIndex);
    });
    // The scale sand, silt and clay are given on: the triangle, the class and every model's
    // estimate follow it, as in the window's soil details.
    this.scaleChoice = root.getElementById('psd');
    for (const choice of talvo.particleSizes()) {
      const option = new Option(choice.label, choice.name);
      option.title = choice.detail;
      this.scaleChoice.add(option);
    }
    this.scaleChoice.addEventListener('change', () => {
      this.update();
      this.onScale();
    });
    this.onScale = () => {};
    this.triangle = new Triangle(talvo, root.getElementById('triangle'));
    this.triangle.separator = () => form.separator;
    this.copied = '';

    root.getElementById('copy').addEventListener('click', () => copyText(this.copied));
    root
      .getElementById('save-svg')
      .addEventListener('click', () =>
        download(
          new Blob([this.triangle.picture()], { type: 'image/svg+xml' }),
          'texture-triangle.svg',
        ),
      );
    root
      .getElementById('save-png')
      .addEventListener('click', async () =>
        download(await this.triangle.png(), 'texture-triangle.png'),
      );
    this.followCurve(root);
  }

  // ---- Retention curve: its code is fetched the first time the curve is opened.
  followCurve(root) {
    this.curveBox = root.getElementById('curve');
    this.curveChart = root.getElementById('curve-chart');
    this.curveTable = root.getElementById('curve-table');
    this.curveNotes = root.getElementById('curve-notes');
    this.curveSpread = ['sand', 'clay', 'oc'].map((input) => root.getElementById(`sd-${input}`));
    for (const box of this.curveSpread) box.addEventListener('input', () => this.showCurve());
    this.drawCurve = null;
    this.curveBox.addEventListener('toggle', async () => {
      if (!this.curveBox.open) return;
      if (!this.drawCurve) ({ drawCurve: this.drawCurve } = await import('./curve.js'));
      this.showCurve();
    });
  }

  showCurve() {
    if (!this.drawCurve || !this.curveBox.open) return;
    const [sdSand, sdClay, sdOc] = this.curveSpread.map((box) => box.value);
    const chart = this.talvo.retentionChart({
      ...this.form.state(),
      psd: this.scale,
      sdSand,
      sdClay,
      sdOc,
    });
    this.drawCurve(this.curveChart, this.curveTable, this.curveNotes, chart);
  }
  // ----

  get scale() {
    return this.scaleChoice.value;
  }
  set scale(name) {
    if ([...this.scaleChoice.options].some((option) => option.value === name)) {
      this.scaleChoice.value = name;
    }
  }

  update() {
    const details = this.talvo.soilDetails({ ...this.form.state(), psd: this.scale });
    this.scaleChoice.title = this.scaleChoice.selectedOptions[0]?.title ?? '';
    this.triangle.draw(this.scale);
    this.copied = details.copy;
    this.texture.textContent = details.texture;
    this.markText.textContent = details.mark.text;
    this.warnings.replaceChildren(
      ...details.warnings.map((sentence) => {
        const item = document.createElement('li');
        item.textContent = sentence;
        return item;
      }),
    );
    this.triangle.show(details.mark.point, details.code);
    this.showTable(details.header, details.rows);
    this.table.tFoot.replaceChildren(this.tableRow(details.header, details.spread));
    if (this.form.modelIndex !== this.sheetFor) {
      this.sheetFor = this.form.modelIndex;
      this.showSheet(this.sheetFor);
    }
    this.markSheetRow();
    this.showCurve();
  }

  // The module's sheet of a model, as the window shows it: a line a part, the caveats listed.
  showSheet(model) {
    const sheet = this.talvo.modelSheet(model);
    if (!sheet) return;
    this.sheetShown = model;
    this.sheetModel.textContent = sheet.title;
    const lines = sheet.text.split('\n');
    const isCaveat = (line) => line.startsWith('\u2022 ');
    const caveats = document.createElement('ul');
    caveats.append(
      ...lines.filter(isCaveat).map((line) => {
        const item = document.createElement('li');
        item.textContent = line.slice(2);
        return item;
      }),
    );
    this.sheetText.replaceChildren(
      ...lines
        .filter((line) => !isCaveat(line))
        .map((line) => {
          // "Source: ...": the part's name stands out.
          const part = document.createElement('p');
          const colon = line.indexOf(': ');
          const name = document.createElement('strong');
          name.textContent = line.slice(0, colon + 1);
          part.append(name, line.slice(colon + 1));
          return part;
        }),
      caveats,
    );
    this.markSheetRow();
  }

  markSheetRow() {
    for (const row of this.table.tBodies[0].rows) {
      row.classList.toggle('sheet-shown', row.sectionRowIndex === this.sheetShown);
    }
  }

  // On a phone each row becomes a card, its cells named by their column (data-label); the
  // roles keep it a table for screen readers when its layout is not one.
  showTable(header, rows) {
    const head = document.createElement('tr');
    head.setAttribute('role', 'row');
    head.append(
      ...header.map((text) => {
        const cell = document.createElement('th');
        cell.scope = 'col';
        cell.setAttribute('role', 'columnheader');
        cell.textContent = text;
        return cell;
      }),
    );
    this.table.tHead.replaceChildren(head);
    this.table.tBodies[0].replaceChildren(...rows.map((row) => this.tableRow(header, row)));
  }

  // A row of the table: the model's name heads it.
  tableRow(header, row) {
    const line = document.createElement('tr');
    line.setAttribute('role', 'row');
    line.append(
      ...row.map((text, column) => {
        const cell = document.createElement(column === 0 ? 'th' : 'td');
        if (column === 0) cell.scope = 'row';
        cell.setAttribute('role', column === 0 ? 'rowheader' : 'cell');
        cell.dataset.label = header[column];
        cell.textContent = text;
        return cell;
      }),
    );
    return line;
  }
}

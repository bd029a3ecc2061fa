// The soil's details beside the form, following the typing as the window's soil view does:
// the triangle with the soil's point, its texture class and warnings, and every model side by
// side; copied tab-separated, and saved as a picture.

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
    this.triangle = new Triangle(talvo, root.getElementById('triangle'));
    this.triangle.separator = () => form.separator;
    this.copied = '';

    root.getElementById('copy').addEventListener('click', () => copyText(this.copied));
    root.getElementById('save-svg').addEventListener('click', () => download(
      new Blob([this.triangle.picture()], { type: 'image/svg+xml' }), 'texture-triangle.svg'));
    root.getElementById('save-png').addEventListener('click', async () => download(
      await this.triangle.png(), 'texture-triangle.png'));
  }

  update() {
    const details = this.talvo.soilDetails(this.form.state());
    this.copied = details.copy;
    this.texture.textContent = details.texture;
    this.markText.textContent = details.mark.text;
    this.warnings.replaceChildren(...details.warnings.map((sentence) => {
      const item = document.createElement('li');
      item.textContent = sentence;
      return item;
    }));
    this.triangle.show(details.mark.point, details.code);
    this.showTable(details.header, details.rows);
  }

  showTable(header, rows) {
    const head = document.createElement('tr');
    head.append(...header.map((text) => {
      const cell = document.createElement('th');
      cell.scope = 'col';
      cell.textContent = text;
      return cell;
    }));
    this.table.tHead.replaceChildren(head);
    this.table.tBodies[0].replaceChildren(...rows.map((row) => {
      const line = document.createElement('tr');
      line.append(...row.map((text, column) => {
        const cell = document.createElement(column === 0 ? 'th' : 'td');
        if (column === 0) cell.scope = 'row';
        cell.textContent = text;
        return cell;
      }));
      return line;
    }));
  }
}

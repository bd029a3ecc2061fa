// The soil's water-retention curve in SVG: water content against suction head on a log axis
// from 1 to 15,000 cm, FC and PWP marked, and the p05-p95 band where deviations are given. The numbers are the module's; this file only draws
// them, and fills the table that is the chart's text equivalent. Loaded when first shown, so
// that the page's first load does not carry it.

const SVG = 'http://www.w3.org/2000/svg';
const Width = 360;
const Height = 260;
const Frame = { left: 44, right: 16, top: 22, bottom: 42 };
const Decades = Math.log10(15000);

function element(name, attributes, text) {
  const node = document.createElementNS(SVG, name);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
  if (text !== undefined) node.textContent = text;
  return node;
}

// Tens of % v/v above the wettest point, so that saturation never touches the frame.
function thetaTop(chart) {
  const curve = chart.points.length ? chart.points[0].theta : 0;
  const wettest = chart.band.length ? Math.max(curve, chart.band[0].p95) : curve;
  return Math.min(100, Math.max(10, Math.ceil((wettest + 2) / 10) * 10));
}

function scales(top) {
  const w = Width - Frame.left - Frame.right;
  const h = Height - Frame.top - Frame.bottom;
  return {
    x: (head) => Frame.left + (Math.log10(head) / Decades) * w,
    y: (theta) => Frame.top + h - (theta / top) * h,
  };
}

function drawAxes(at, top) {
  const axes = element('g', { class: 'axes' });
  const [x0, x1] = [at.x(1), at.x(15000)];
  const [y0, y1] = [at.y(0), at.y(top)];
  axes.append(element('rect', { x: x0, y: y1, width: x1 - x0, height: y0 - y1 }));
  for (let head = 1; head <= 15000; head *= 10) {
    axes.append(element('line', { x1: at.x(head), y1: y0, x2: at.x(head), y2: y0 + 4 }));
    axes.append(element('text', { x: at.x(head), y: y0 + 16, class: 'tick' }, String(head)));
  }
  for (let theta = 0; theta <= top; theta += 10) {
    axes.append(element('line', { x1: x0 - 4, y1: at.y(theta), x2: x0, y2: at.y(theta) }));
    const label = element('text', { x: x0 - 7, y: at.y(theta) + 4, class: 'tick y' });
    label.textContent = String(theta);
    axes.append(label);
  }
  axes.append(
    element('text', { x: (x0 + x1) / 2, y: Height - 6, class: 'title' }, 'Suction head (cm)'),
  );
  axes.append(element('text', { x: x0, y: Frame.top - 8, class: 'title y' }, 'Water (% v/v)'));
  return axes;
}

// The name to the left of the point, above it or below it, off the curve's side.
function drawMark(at, point, name, below) {
  const mark = element('g', { class: 'mark' });
  const [x, y] = [at.x(point.head), at.y(point.theta)];
  mark.append(element('circle', { cx: x, cy: y, r: 4 }));
  mark.append(element('text', { x: x - 7, y: below ? y + 14 : y - 7, class: 'label' }, name));
  return mark;
}

function cell(text) {
  const td = document.createElement('td');
  td.textContent = text;
  return td;
}

function showTable(table, chart) {
  table.tBodies[0].replaceChildren(
    ...chart.table.map((point, i) => {
      const row = document.createElement('tr');
      const head = document.createElement('th');
      head.scope = 'row';
      head.textContent = String(point.head);
      const band = chart.tableBand[i];
      row.append(head, cell(point.text), cell(band?.p05Text ?? ''), cell(band?.p95Text ?? ''));
      return row;
    }),
  );
}

// p95 from the wet end to the dry, then p05 back.
function drawBand(at, band) {
  const upper = band.map((p) => `${at.x(p.head).toFixed(1)},${at.y(p.p95).toFixed(1)}`);
  const lower = band.map((p) => `${at.x(p.head).toFixed(1)},${at.y(p.p05).toFixed(1)}`);
  return element('polygon', { points: [...upper, ...lower.reverse()].join(' '), class: 'band' });
}

// Draws `chart` (the module's retentionChart) into the SVG `svg` and its numbers into `table`,
// its notes or failure into the list `notes`.
export function drawCurve(svg, table, notes, chart) {
  svg.setAttribute('viewBox', `0 0 ${Width} ${Height}`);
  svg.querySelector('title').textContent = chart.title;
  svg.querySelector('desc').textContent = chart.description;
  for (const old of svg.querySelectorAll('g')) old.remove();
  showTable(table, chart);
  const sentences = chart.failure ? [chart.failure] : chart.notes;
  notes.replaceChildren(
    ...sentences.map((sentence) => {
      const item = document.createElement('li');
      item.textContent = sentence;
      return item;
    }),
  );
  if (!chart.points.length) return;
  const top = thetaTop(chart);
  const at = scales(top);
  const line = chart.points.map((p) => `${at.x(p.head).toFixed(1)},${at.y(p.theta).toFixed(1)}`);
  const drawn = element('g', { class: 'curve' });
  drawn.append(drawAxes(at, top));
  if (chart.band.length) drawn.append(drawBand(at, chart.band));
  drawn.append(element('polyline', { points: line.join(' '), class: 'line' }));
  drawn.append(drawMark(at, chart.fc, 'FC', false), drawMark(at, chart.pwp, 'PWP', true));
  svg.append(drawn);
}

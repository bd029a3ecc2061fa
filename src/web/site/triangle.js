// The texture triangle in SVG. The geometry (classes, ticks, where a soil lies, which soil a
// click picks) is the module's; this file only draws it.

const SVG = 'http://www.w3.org/2000/svg';
export const Width = 400;
export const Height = 350;
const Margin = 40;
const LabelEvery = 20;

function element(name, attributes, text) {
  const node = document.createElementNS(SVG, name);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
  if (text !== undefined) node.textContent = text;
  return node;
}

const points = (outline) => outline.map((p) => `${p.x},${p.y}`).join(' ');

// Each class's outline and label, grouped by its code.
function drawClasses(textures) {
  const classes = element('g', { class: 'classes' });
  for (const texture of textures) {
    const group = element('g', { 'data-code': texture.code });
    group.append(element('polygon', { points: points(texture.outline) }));
    // The name where it fits, else the abbreviation, as the window writes them.
    const fits = texture.room > texture.name.length * 6.2;
    group.append(
      element(
        'text',
        { x: texture.label.x, y: texture.label.y, class: 'label' },
        fits ? texture.name : texture.code,
      ),
    );
    classes.append(group);
  }
  return classes;
}

// The ticks with their numbers and each axis's title.
function drawAxes(ticks, titles) {
  const axes = element('g', { class: 'axes' });
  for (const tick of ticks) {
    const end = { x: tick.x + 5 * tick.outward.x, y: tick.y + 5 * tick.outward.y };
    axes.append(element('line', { x1: tick.x, y1: tick.y, x2: end.x, y2: end.y }));
    // Not at 0: each corner carries the 100 of its own axis.
    if (tick.percent % LabelEvery === 0 && tick.percent > 0) {
      axes.append(
        element(
          'text',
          {
            x: tick.x + 14 * tick.outward.x,
            y: tick.y + 14 * tick.outward.y,
            class: 'tick',
          },
          String(tick.percent),
        ),
      );
    }
  }
  for (const axis of titles) {
    const at = { x: axis.x + 34 * axis.outward.x, y: axis.y + 34 * axis.outward.y };
    // Along the side, read from left to right.
    const sign = axis.outward.y >= 0 ? 1 : -1;
    const degrees = (Math.atan2(-sign * axis.outward.x, sign * axis.outward.y) * 180) / Math.PI;
    axes.append(
      element(
        'text',
        {
          x: at.x,
          y: at.y,
          class: 'title',
          transform: `rotate(${degrees} ${at.x} ${at.y})`,
        },
        axis.title,
      ),
    );
  }
  return axes;
}

export class Triangle {
  constructor(talvo, svg) {
    this.talvo = talvo;
    this.svg = svg;
    this.onPick = () => {};
    svg.setAttribute('viewBox', `0 0 ${Width} ${Height}`);
    this.scale = null;
    this.draw('international');
    svg.addEventListener('click', (event) => this.pick(event));
    svg.addEventListener('keydown', (event) => this.nudge(event));
  }

  // The triangle of a particle-size scale ('international', 'usda'), drawn again only when
  // the scale changes.
  draw(scale) {
    if (scale === this.scale) return;
    this.scale = scale;
    const geometry = this.talvo.triangle(Width, Height, Margin, scale);
    const { sand, silt, clay } = geometry.corners;
    // One percent of clay upwards, one of silt sideways.
    this.percent = { x: (silt.x - sand.x) / 100, y: (sand.y - clay.y) / 100 };
    const classes = drawClasses(geometry.classes);
    const axes = drawAxes(geometry.ticks, geometry.axes);
    // Placed by show(), which follows every drawing.
    this.mark = element('circle', { id: 'soil-point', r: 5, visibility: 'hidden' });
    this.svg.replaceChildren(this.svg.querySelector('title'), classes, axes, this.mark);
  }

  // The soil's point, or none; its class stands out.
  show(point, code) {
    this.mark.setAttribute('visibility', point ? 'visible' : 'hidden');
    if (point) {
      const at = this.talvo.placeSoil(Width, Height, Margin, point.sand, point.silt, point.clay);
      this.mark.setAttribute('cx', at.x);
      this.mark.setAttribute('cy', at.y);
    }
    for (const group of this.svg.querySelectorAll('.classes g')) {
      group.classList.toggle('current', group.dataset.code === code);
    }
  }

  pick(event) {
    const matrix = this.svg.getScreenCTM();
    if (!matrix) return;
    const at = new DOMPoint(event.clientX, event.clientY).matrixTransform(matrix.inverse());
    this.pickAt(at.x, at.y);
  }

  pickAt(x, y) {
    const soil = this.talvo.soilAt(Width, Height, Margin, x, y, this.separator());
    if (soil) this.onPick(soil);
  }

  // The arrow keys move the soil's point (from the middle when there is none), as a click
  // would place it.
  nudge(event) {
    const step = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] }[
      event.key
    ];
    if (!step) return;
    event.preventDefault();
    const shown = this.mark.getAttribute('visibility') === 'visible';
    const from = shown
      ? { x: this.mark.cx.baseVal.value, y: this.mark.cy.baseVal.value }
      : this.talvo.placeSoil(Width, Height, Margin, 100 / 3, 100 / 3, 100 / 3);
    const percents = event.shiftKey ? 5 : 1;
    this.pickAt(
      from.x + step[0] * percents * this.percent.x,
      from.y + step[1] * percents * this.percent.y,
    );
  }

  // A standalone picture: the page's colours written into a copy of the drawing.
  picture() {
    const copy = this.svg.cloneNode(true);
    const originals = this.svg.querySelectorAll('*');
    copy.querySelectorAll('*').forEach((node, i) => {
      const style = getComputedStyle(originals[i]);
      for (const name of [
        'fill',
        'stroke',
        'stroke-width',
        'font-size',
        'font-family',
        'font-weight',
        'text-anchor',
        'dominant-baseline',
      ]) {
        node.setAttribute(name, style.getPropertyValue(name));
      }
    });
    copy.setAttribute('width', Width);
    copy.setAttribute('height', Height);
    copy.prepend(
      element('rect', {
        width: '100%',
        height: '100%',
        fill: getComputedStyle(document.body).backgroundColor,
      }),
    );
    return new XMLSerializer().serializeToString(copy);
  }

  async png(scale = 2) {
    const url = URL.createObjectURL(new Blob([this.picture()], { type: 'image/svg+xml' }));
    try {
      const image = new Image();
      image.src = url;
      await image.decode();
      const canvas = document.createElement('canvas');
      canvas.width = Width * scale;
      canvas.height = Height * scale;
      canvas.getContext('2d').drawImage(image, 0, 0, canvas.width, canvas.height);
      return await new Promise((resolve) => canvas.toBlob(resolve, 'image/png'));
    } finally {
      URL.revokeObjectURL(url);
    }
  }
}

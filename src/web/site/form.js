// The calculator's form, as the window has it: the chooser, four boxes, Estimate and three
// results. Every text it shows comes from the module (the form library and the engine).

export const inputNames = ['sand', 'silt', 'clay', 'oc'];
const resultNames = ['fc', 'pwp', 'awc'];

export class Form {
  constructor(talvo, root) {
    this.talvo = talvo;
    this.model = root.getElementById('model');
    this.boxes = Object.fromEntries(inputNames.map((n) => [n, root.getElementById(n)]));
    this.results = Object.fromEntries(resultNames.map((n) => [n, root.getElementById(n)]));
    this.units = { fc: root.getElementById('unitfc'), pwp: root.getElementById('unitpwp') };
    this.failure = root.getElementById('failure');
    this.warnings = root.getElementById('warnings');
    this.separatorChoice = root.getElementById('separator');
    // The particle-size scale of sand, silt and clay, chosen in the soil's details; the sand and
    // silt labels name its sizes.
    this.scales = Object.fromEntries(talvo.particleSizes().map((choice) => [choice.name, choice]));
    this.labels = { sand: root.getElementById('Label1'), silt: root.getElementById('Label11') };
    this.scaleName = talvo.particleSizes()[0].name;
    // The soil each result was worked out for, kept in the module as the window keeps it.
    this.origins = new talvo.PageResults();
    this.onChange = () => {};

    for (const [index, text] of talvo.models().entries()) {
      this.model.add(new Option(text, String(index)));
    }
    this.model.disabled = false;
    root.getElementById('cmd').disabled = false;

    this.model.addEventListener('change', () => {
      this.choose();
      this.changed();
    });
    root.getElementById('Form1').addEventListener('submit', (event) => {
      // Enter in a box submits, as a press of Estimate does.
      event.preventDefault();
      this.estimate();
    });
    for (const box of Object.values(this.boxes)) {
      box.addEventListener('input', () => this.changed());
    }
    this.separatorChoice.addEventListener('change', () => this.changed());
  }

  get modelIndex() {
    return Number(this.model.value);
  }
  get scale() {
    return this.scaleName;
  }
  // Another scale: the labels say its sizes, silt opens or closes with it (converted sand reads
  // silt), and results worked out on the other scale turn stale.
  set scale(name) {
    const choice = this.scales[name] ?? Object.values(this.scales)[0];
    this.scaleName = choice.name;
    this.labels.sand.textContent = choice.sandLabel;
    this.labels.silt.textContent = choice.siltLabel;
    this.choose();
    this.showStale();
  }
  get separator() {
    return this.separatorChoice.value;
  }
  set separator(value) {
    this.separatorChoice.value = value === ',' ? ',' : '.';
  }

  // The soil as typed, with the results as shown: what the module's calls take.
  state() {
    const state = { model: this.modelIndex, separator: this.separator, psd: this.scale };
    for (const [name, box] of Object.entries(this.boxes)) state[name] = box.value;
    for (const [name, out] of Object.entries(this.results)) state[name] = out.textContent;
    return state;
  }

  setModel(index) {
    const option = [...this.model.options].find((o) => o.value === String(index));
    if (!option || option.disabled) return;
    this.model.value = option.value;
    this.choose();
  }

  setInputs(texts) {
    for (const [name, text] of Object.entries(texts)) {
      if (name in this.boxes && text !== undefined) this.boxes[name].value = text;
    }
  }

  choose() {
    const chosen = this.talvo.selectModel(this.modelIndex, this.scale);
    if (!chosen) return;
    for (const [name, box] of Object.entries(this.boxes)) {
      box.disabled = !chosen.boxes[name].enabled;
      box.dataset.background = chosen.boxes[name].background;
    }
    this.units.fc.textContent = chosen.fcUnit;
    this.units.pwp.textContent = chosen.pwpUnit;
  }

  // After any change of the soil or the model: results worked out for another soil turn stale,
  // and a failure, which named what was typed before, goes with its marked box.
  changed() {
    if (!this.failure.hidden) this.showFailure(null);
    this.showStale();
    this.onChange();
  }

  estimate() {
    const outcome = this.origins.estimate(this.state());
    for (const [name, out] of Object.entries(this.results)) out.textContent = outcome[name];
    this.showFailure(outcome.failure);
    this.warnings.textContent = outcome.warnings;
    this.showStale();
  }

  // Stale results greyed, as the window greys them, and said to be so; the warnings with them.
  showStale() {
    const stale = this.origins.stale(this.state());
    for (const [name, out] of Object.entries(this.results)) {
      const old = stale[name] && out.textContent !== '';
      out.classList.toggle('stale', old);
      if (old) out.title = stale.note;
      else out.removeAttribute('title');
      if (old) out.setAttribute('aria-description', stale.note);
      else out.removeAttribute('aria-description');
    }
    this.warnings.classList.toggle('stale', stale.flags && this.warnings.textContent !== '');
  }

  // A failure named as the window names it, its kind then what to do; the box that caused
  // it is marked and takes the focus.
  showFailure(failure) {
    for (const box of Object.values(this.boxes)) {
      box.removeAttribute('aria-invalid');
      box.removeAttribute('aria-describedby');
    }
    this.failure.hidden = !failure;
    this.failure.replaceChildren();
    delete this.failure.dataset.box;
    if (!failure) return;
    const kind = document.createElement('strong');
    kind.textContent = failure.kind;
    this.failure.append(kind, ' ', failure.detail);
    this.failure.dataset.box = failure.box;
    const box = this.boxes[failure.box];
    if (box) {
      box.setAttribute('aria-invalid', 'true');
      box.setAttribute('aria-describedby', 'failure');
      box.focus();
    }
  }

  // The results as the window copies them.
  resultsText() {
    const state = this.state();
    state.modelText = this.modelIndex >= 0 ? this.model.selectedOptions[0].text : '';
    state.enabled = Object.fromEntries(
      Object.entries(this.boxes).map(([name, box]) => [name, !box.disabled]),
    );
    state.fcUnit = this.units.fc.textContent;
    return this.origins.resultsText(state);
  }
}

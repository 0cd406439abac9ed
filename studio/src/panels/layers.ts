// Layers: sounds of this page placed on one time axis, each with its start,
// gain, Mute and Solo, mixed by the layers module as the quavix tool's
// `render --layers` mixes a project file's layered sound, byte for byte. The
// layers are kept for a reload; a layer opens in the editor, and takes
// the edited recipe back with "Update layer".
import * as quavix from 'quavix';
import { fileNameOf, formatSeconds, shortName } from '../format';
import { flatten, type Recipe } from '../recipe';
import { soundKey } from '../store';
import {
  LAYERS_FRAGMENT,
  layersOfText,
  layersText,
  loadLayers,
  loadTitle,
  saveLayers,
  saveTitle,
  toMix,
  type MixLayer,
} from '../layered';
import { parseTags } from '../library';
import { timeTicks } from '../axis';
import { drawWave } from '../views';
import { waveColumns } from '../analysis';
import { playSamples } from '../player';
import { $, h, safeStorage, save } from '../dom';
import type { Panel, Studio } from './context';
import { gainOf, startSamples } from '../messages';

interface Layer extends MixLayer {
  id: number;
  /** Its own length in samples, for the time axis. */
  length: number;
  /** The start as it was typed, in milliseconds. */
  startMs: string;
}

/** Keeps a layered sound in the library under a name with tags. */
export type LayersKeeper = (name: string, tags: string[], layers: MixLayer[]) => Promise<boolean>;

export class LayersPanel implements Panel {
  element: HTMLElement;
  private layers: Layer[] = [];
  private nextId = 1;
  private ready = false;
  /** The layer whose recipe the editor shows, to take back with Update layer. */
  private editing: Layer | null = null;
  /** The layered sound's name: the one it was opened or saved under, else none yet. */
  private title: string | null = null;
  /** Where the library keeps layered sounds (null without one). */
  keeper: LayersKeeper | null = null;
  /** The mix of the layers as they are now (its own copy of the samples). */
  private mix: { wav: Uint8Array; samples: Int16Array; sampleCount: number; peak: number; clipped: number } | null =
    null;

  constructor(
    private studio: Studio,
    loaded: Promise<void>,
    /** A link's layers text, opened in place of the kept layers. */
    linked: string | null = null,
  ) {
    this.element = h(
      'section',
      { class: 'panel layers', 'aria-labelledby': 'layers-title' },
      h(
        'div',
        { class: 'panel-head' },
        h('h2', { id: 'layers-title' }, 'Layers'),
        h(
          'button',
          {
            type: 'button',
            id: 'layer-add',
            disabled: true,
            'aria-describedby': 'layer-add-why',
            onclick: () => this.add(),
          },
          'Add as layer',
        ),
      ),
      h('p', { id: 'layer-add-why', class: 'help' }, 'Starting the layers module\u2026'),
      h('ul', { id: 'layer-rows', class: 'layer-rows', 'aria-label': 'Layers' }),
      h(
        'div',
        {
          id: 'layer-editing',
          class: 'layer-editing',
          role: 'group',
          'aria-labelledby': 'layer-editing-text',
          hidden: true,
        },
        h('p', { id: 'layer-editing-text' }),
        h(
          'button',
          { type: 'button', id: 'layer-update', class: 'primary', onclick: () => this.finishEdit(true) },
          'Update layer',
        ),
        h('button', { type: 'button', id: 'layer-edit-stop', onclick: () => this.finishEdit(false) }, 'Stop editing'),
      ),
      h('div', { id: 'layer-spans', class: 'layer-spans', role: 'img', 'aria-label': 'Where each layer sounds' }),
      h('div', { id: 'layer-axis', class: 'time-axis', 'aria-hidden': 'true' }),
      h('canvas', {
        id: 'mix-wave',
        class: 'view',
        width: 800,
        height: 100,
        role: 'img',
        'aria-label': 'Waveform of the mix, scaled to its peak',
      }),
      h(
        'div',
        { class: 'meters' },
        h('span', { id: 'mix-length' }, 'Add a sound as a layer to start a mix.'),
        h('span', { id: 'mix-clipped', class: 'bad' }, ''),
      ),
      h(
        'div',
        { class: 'inline tight' },
        h('button', { type: 'button', id: 'mix-play', disabled: true, onclick: () => this.play() }, 'Play mix'),
        h(
          'button',
          { type: 'button', id: 'mix-download', disabled: true, onclick: () => this.download() },
          'Download mix',
        ),
        h(
          'button',
          { type: 'button', id: 'layers-copy', disabled: true, onclick: () => this.share(false) },
          'Copy layers text',
        ),
        h(
          'button',
          {
            type: 'button',
            id: 'layers-link',
            disabled: true,
            'aria-label': 'Copy link to the layers',
            onclick: () => this.share(true),
          },
          'Copy link',
        ),
      ),
      h(
        'form',
        { id: 'layers-paste', class: 'library-form', onsubmit: (e: Event) => this.paste(e) },
        h('label', { for: 'layers-text' }, 'Layers text'),
        h('input', {
          id: 'layers-text',
          type: 'text',
          autocomplete: 'off',
          spellcheck: 'false',
          placeholder: 'qxl1~\u2026',
          'aria-describedby': 'layers-text-error',
        }),
        h('button', { type: 'submit', id: 'layers-open' }, 'Open layers text'),
        h('p', { id: 'layers-text-error', class: 'field-error', role: 'status' }),
      ),
      h(
        'form',
        { id: 'layers-save', class: 'library-form', onsubmit: (e: Event) => void this.keep(e) },
        h('label', { for: 'layers-name' }, 'Mix name'),
        h('input', { id: 'layers-name', type: 'text', autocomplete: 'off', maxlength: 80 }),
        h('label', { for: 'layers-tags' }, 'Mix tags'),
        h('input', { id: 'layers-tags', type: 'text', autocomplete: 'off', 'aria-describedby': 'library-tags-help' }),
        h('button', { type: 'submit', id: 'layers-keep', disabled: true }, 'Save layers to library'),
      ),
    );
    loaded.then(
      () => {
        this.ready = true;
        this.restore();
        if (linked !== null && this.openText(linked))
          history.replaceState(null, '', location.pathname + location.search);
      },
      (e: unknown) => {
        $('layer-add-why').textContent =
          `Layers cannot be mixed in this browser: the layers module did not start (${(e as Error)?.message ?? String(e)}).`;
      },
    );
  }

  /** The button's state and the reason when it cannot be used. */
  update(): void {
    if (!this.ready) return;
    const full = this.layers.length >= quavix.MAX_LAYERS;
    const made = this.studio.store.last !== null;
    ($('layer-add') as HTMLButtonElement).disabled = full || !made;
    $('layer-add-why').textContent = full
      ? `A layered sound holds at most ${quavix.MAX_LAYERS} layers: remove one to add another.`
      : made
        ? `Adds the current sound as layer ${this.layers.length + 1} of at most ${quavix.MAX_LAYERS}.`
        : 'The current sound is not made yet.';
  }

  repaint(): void {
    this.drawSpans();
    this.drawMix();
  }

  /** The layers as they are now, for the library and the exports. */
  current(): MixLayer[] {
    return this.layers.map(({ name, recipe, offset, gainDb, muted, solo }) => ({
      name,
      recipe,
      offset,
      gainDb,
      muted,
      solo,
    }));
  }

  /** The layers kept before the reload; a layer that cannot be read is left out, and the page says why. */
  private restore(): void {
    const { layers, problems } = loadLayers(safeStorage());
    this.title = loadTitle(safeStorage());
    if (problems.length > 0) {
      this.studio.warn(
        `Some layers kept on this computer could not be read and were left out (${shortList(problems)}); the others are here.`,
      );
    }
    this.setLayers(layers, null);
  }

  /** The layered sound's name (its own, or after its count of layers). */
  name(): string {
    return this.title ?? `Mix of ${this.layers.length} layers`;
  }

  /** The layered sound for a pack, or null without layers. */
  packItem(): { name: string; recipe: Recipe; layers: MixLayer[] } | null {
    if (this.layers.length === 0) return null;
    return { name: this.name(), recipe: this.layers[0].recipe, layers: this.current() };
  }

  /** Puts a layered sound in place of the layers here (opened from the library, a link). */
  open(layers: readonly MixLayer[], name: string | null): void {
    if (!this.ready) return this.studio.warn('The layers module has not started: this layered sound cannot be opened.');
    this.title = name;
    saveTitle(safeStorage(), name);
    this.setLayers(
      layers,
      `Opened ${name === null ? 'the layered sound' : `\u201c${shortName(name)}\u201d`} in the Layers panel`,
    );
  }

  private setLayers(layers: readonly MixLayer[], what: string | null): void {
    this.editing = null;
    this.layers = layers.slice(0, quavix.MAX_LAYERS).map((l) => this.made(l));
    this.showRows();
    this.changed(what);
  }

  private made(l: MixLayer): Layer {
    return { ...l, id: this.nextId++, length: lengthOf(l.recipe), startMs: msText(l.offset) };
  }

  /** Adds a sound as the last layer, at the start with its own gain; false when there is no room. */
  addRecipe(recipe: Recipe, name: string): boolean {
    if (!this.ready) return false;
    if (this.layers.length >= quavix.MAX_LAYERS) {
      this.studio.warn(`A layered sound holds at most ${quavix.MAX_LAYERS} layers: remove one to add another.`);
      return false;
    }
    const layer = this.made({ name, recipe: flatten(recipe), offset: 0, gainDb: 0, muted: false, solo: false });
    this.layers.push(layer);
    this.showRows();
    this.changed(`Added ${shortName(name)} as layer ${this.layers.length}`);
    return true;
  }

  private add(): void {
    const store = this.studio.store;
    if (!store.last || !this.addRecipe(store.recipe, store.describe())) return;
    (
      document.querySelector(`#layer-${this.layers[this.layers.length - 1].id} .layer-start`) as HTMLInputElement | null
    )?.focus();
  }

  /** Opens a layer's recipe in the editor. */
  private edit(layer: Layer): void {
    this.editing = layer;
    const number = this.layers.indexOf(layer) + 1;
    this.studio.store.change(
      layer.recipe,
      `Editing layer ${number}: change it in the editor, then Update layer ${number}`,
    );
    this.showEditing();
    ($('layer-update') as HTMLButtonElement).focus();
  }

  /** Ends editing a layer: with `take`, the layer takes the editor's recipe. */
  private finishEdit(take: boolean): void {
    const layer = this.editing;
    this.editing = null;
    this.showEditing();
    if (!layer || !this.layers.includes(layer)) return;
    const number = this.layers.indexOf(layer) + 1;
    if (!take) return this.studio.say(`Stopped editing layer ${number}`);
    const recipe = flatten(this.studio.store.recipe);
    if (soundKey(recipe) !== soundKey(layer.recipe) && !layer.name.endsWith(' (edited)')) layer.name += ' (edited)';
    layer.recipe = recipe;
    layer.length = lengthOf(recipe);
    this.showRows();
    this.changed(`Layer ${number} takes the edited sound`);
    (document.querySelector(`#layer-${layer.id} .layer-edit`) as HTMLElement | null)?.focus();
  }

  private showEditing(): void {
    const layer = this.editing;
    $('layer-editing').hidden = layer === null;
    if (!layer) return;
    const number = this.layers.indexOf(layer) + 1;
    $('layer-editing-text').textContent =
      `Layer ${number} is open in the editor: change it there, then update the layer.`;
    $('layer-update').textContent = `Update layer ${number}`;
    $('layer-update').setAttribute('aria-label', `Update layer ${number} with the sound in the editor`);
  }

  /** Copies the layers as text, or as a link that opens them here. */
  private share(link: boolean): void {
    if (this.layers.length === 0) return;
    let text: string;
    try {
      text = layersText(this.current());
    } catch (e) {
      return this.studio.warn(
        `The layers cannot be put into text: ${((e as Error)?.message ?? String(e)).replace(/^quavix: /, '')}.`,
      );
    }
    const url = new URL(location.href);
    url.hash = `${LAYERS_FRAGMENT.slice(1)}${text}`;
    void this.studio.copy(link ? url.href : text, link ? 'link to the layers' : 'layers text');
  }

  /** Opens layers from a text or a link, or says what is wrong with it; true when they are open. */
  openText(text: string): boolean {
    const at = text.indexOf(LAYERS_FRAGMENT);
    let body = at >= 0 ? text.slice(at + LAYERS_FRAGMENT.length) : text;
    try {
      body = decodeURIComponent(body);
    } catch {
      // left as it is: the reader says what is wrong with it
    }
    const layers = this.ready ? layersOfText(body.trim()) : 'the layers module has not started';
    const error = $('layers-text-error');
    if (typeof layers === 'string') {
      const shown = `These layers cannot be opened: ${layers}.`;
      error.textContent = shown;
      $('layers-text').setAttribute('aria-invalid', 'true');
      this.studio.warn(shown);
      return false;
    }
    error.textContent = '';
    $('layers-text').removeAttribute('aria-invalid');
    this.open(layers, null);
    return true;
  }

  private paste(e: Event): void {
    e.preventDefault();
    const field = $('layers-text') as HTMLInputElement;
    if (this.openText(field.value)) field.value = '';
  }

  private async keep(e: Event): Promise<void> {
    e.preventDefault();
    if (!this.keeper || this.layers.length === 0) return;
    const nameField = $('layers-name') as HTMLInputElement;
    const tagsField = $('layers-tags') as HTMLInputElement;
    const name = nameField.value.trim() || this.name();
    if (!(await this.keeper(name, parseTags(tagsField.value), this.current()))) return;
    this.title = name;
    saveTitle(safeStorage(), name);
    nameField.value = '';
    tagsField.value = '';
  }

  private changed(what: string | null): void {
    this.mix = null;
    if (this.layers.length === 0 && this.title !== null) saveTitle(safeStorage(), (this.title = null));
    saveLayers(safeStorage(), this.current());
    if (this.layers.length > 0) {
      try {
        const made = quavix.renderLayers(toMix(this.layers));
        const wav = made.wav.slice();
        this.mix = {
          wav,
          samples: new Int16Array(wav.buffer, 44, made.sampleCount),
          sampleCount: made.sampleCount,
          peak: made.peak,
          clipped: made.clipped,
        };
      } catch (e) {
        this.studio.warn(`The layers could not be mixed: ${(e as Error).message}.`);
      }
    }
    const mix = this.mix;
    ($('mix-play') as HTMLButtonElement).disabled = !mix || mix.sampleCount === 0;
    ($('mix-download') as HTMLButtonElement).disabled = !mix;
    $('mix-length').textContent = mix
      ? `Mix: ${mix.sampleCount.toLocaleString('en')} samples \u00b7 ${formatSeconds(mix.sampleCount / quavix.SAMPLE_RATE)} s \u00b7 peak ${mix.peak}`
      : this.layers.length === 0
        ? 'Add a sound as a layer to start a mix.'
        : '';
    $('mix-clipped').textContent =
      mix && mix.clipped > 0 ? `${mix.clipped.toLocaleString('en')} sample${mix.clipped === 1 ? '' : 's'} clipped` : '';
    ($('layers-keep') as HTMLButtonElement).disabled = this.layers.length === 0 || !this.keeper;
    for (const id of ['layers-copy', 'layers-link']) ($(id) as HTMLButtonElement).disabled = !mix;
    this.update();
    this.repaint();
    if (what === null) return;
    this.studio.say(what);
    // As the main sound: after each change, once the person has used the page.
    if (this.studio.used) this.play();
  }

  private showRows(): void {
    $('layer-rows').replaceChildren(...this.layers.map((l, i) => this.row(l, i)));
    this.showEditing();
  }

  private row(layer: Layer, index: number): HTMLElement {
    const id = `layer-${layer.id}`;
    const number = index + 1;
    const label = `Layer ${number}, ${layer.name}`;
    const toggle = (what: 'muted' | 'solo', text: string) =>
      h(
        'button',
        {
          type: 'button',
          class: `layer-${what}`,
          'aria-pressed': String(layer[what]),
          'aria-label': `${text} layer ${number}`,
          onclick: (e: Event) => {
            layer[what] = !layer[what];
            (e.currentTarget as HTMLElement).setAttribute('aria-pressed', String(layer[what]));
            this.changed(`${text} layer ${number} ${layer[what] ? 'on' : 'off'}`);
          },
        },
        text,
      );
    const field = (kind: 'start' | 'gain', text: string, value: string, step: string) =>
      h(
        'label',
        { class: 'layer-field' },
        text,
        h('input', {
          class: `layer-${kind}`,
          type: 'number',
          step,
          inputmode: 'decimal',
          value,
          'aria-describedby': `${id}-${kind}-error`,
          onchange: (e: Event) => this.typed(layer, kind, e.currentTarget as HTMLInputElement),
        }),
      );
    return h(
      'li',
      { id, class: 'layer', 'aria-label': label },
      h('span', { class: 'layer-name' }, `${number}. ${shortName(layer.name)}`),
      field('start', 'Start (ms)', layer.startMs, '1'),
      field('gain', 'Gain (dB)', layer.gainDb.toFixed(1), '0.1'),
      h(
        'span',
        { class: 'layer-buttons' },
        toggle('muted', 'Mute'),
        toggle('solo', 'Solo'),
        h(
          'button',
          {
            type: 'button',
            class: 'layer-edit',
            'aria-label': `Edit layer ${number} in the editor`,
            onclick: () => this.edit(layer),
          },
          'Edit',
        ),
        h(
          'button',
          {
            type: 'button',
            class: 'layer-remove',
            'aria-label': `Remove layer ${number}`,
            onclick: () => {
              this.layers = this.layers.filter((l) => l !== layer);
              if (this.editing === layer) this.finishEdit(false);
              this.showRows();
              this.changed(`Removed layer ${number}`);
              ($('layer-add') as HTMLButtonElement).focus();
            },
          },
          'Remove',
        ),
      ),
      h('span', { class: 'field-error', id: `${id}-start-error`, role: 'status' }),
      h('span', { class: 'field-error', id: `${id}-gain-error`, role: 'status' }),
    );
  }

  private typed(layer: Layer, kind: 'start' | 'gain', input: HTMLInputElement): void {
    const value = kind === 'start' ? startSamples(input.value) : gainOf(input.value);
    const error = $(`layer-${layer.id}-${kind}-error`);
    if (typeof value === 'string') {
      input.setAttribute('aria-invalid', 'true');
      error.textContent = value;
      this.studio.say(value);
      return;
    }
    input.removeAttribute('aria-invalid');
    error.textContent = '';
    if (kind === 'start') {
      layer.offset = value;
      layer.startMs = input.value.trim();
    } else {
      layer.gainDb = value;
      input.value = value.toFixed(1);
    }
    const number = this.layers.indexOf(layer) + 1;
    this.changed(kind === 'start' ? `Layer ${number} starts at ${input.value} ms` : `Layer ${number} gain ${value} dB`);
  }

  /** The span of the whole axis, in samples: the latest end of any layer. */
  private span(): number {
    return Math.max(1, ...this.layers.map((l) => l.offset + l.length));
  }

  private drawSpans(): void {
    const total = this.span();
    const soloing = this.layers.some((l) => l.solo);
    $('layer-spans').replaceChildren(
      ...this.layers.map((l, i) => {
        const silent = l.muted || (soloing && !l.solo);
        const bar = h('div', { class: `layer-span${silent ? ' silent' : ''}` }, String(i + 1));
        bar.style.left = `${(100 * l.offset) / total}%`;
        bar.style.width = `${Math.max(0.5, (100 * l.length) / total)}%`;
        bar.title = `${l.name}: ${formatSeconds(l.offset / quavix.SAMPLE_RATE)} s to ${formatSeconds((l.offset + l.length) / quavix.SAMPLE_RATE)} s (drag to move it; its Start field sets it exactly)`;
        bar.addEventListener('pointerdown', (e) => this.drag(e, l, bar, total));
        return h('div', { class: 'layer-lane' }, bar);
      }),
    );
    $('layer-spans').setAttribute(
      'aria-label',
      this.layers.length === 0 ? 'No layers yet' : this.layers.map((l, i) => `layer ${i + 1} ${bar(l)}`).join('; '),
    );
    const axis = $('layer-axis');
    const seconds = this.layers.length ? total / quavix.SAMPLE_RATE : 0;
    const { ticks, decimals } = timeTicks(seconds, Math.max(2, Math.floor(axis.clientWidth / 64)));
    axis.replaceChildren(
      ...ticks.map((t) => {
        const at = (100 * t) / seconds;
        const tick = h(
          'span',
          { class: `tick ${at === 0 ? 'first' : at > 90 ? 'last' : ''}` },
          `${t.toFixed(decimals)} s`,
        );
        tick.style.left = `${at}%`;
        return tick;
      }),
    );
  }

  /** Moves a layer's span with the pointer, in whole milliseconds; the mix is made again when it is let go. */
  private drag(e: PointerEvent, layer: Layer, bar: HTMLElement, total: number): void {
    const lane = bar.parentElement!;
    const width = lane.clientWidth;
    if (width === 0) return;
    e.preventDefault();
    bar.setPointerCapture(e.pointerId);
    const startX = e.clientX;
    const from = layer.offset;
    const input = document.querySelector(`#layer-${layer.id} .layer-start`) as HTMLInputElement;
    const move = (m: PointerEvent) => {
      const ms = Math.round(((from + ((m.clientX - startX) * total) / width) * 1000) / quavix.SAMPLE_RATE);
      const offset = startSamples(String(Math.max(0, ms)));
      if (typeof offset === 'string') return;
      layer.offset = offset;
      layer.startMs = String(Math.max(0, ms));
      input.value = layer.startMs;
      bar.style.left = `${(100 * offset) / total}%`;
    };
    const done = () => {
      bar.removeEventListener('pointermove', move);
      bar.removeEventListener('pointerup', done);
      bar.removeEventListener('pointercancel', done);
      input.removeAttribute('aria-invalid');
      $(`layer-${layer.id}-start-error`).textContent = '';
      if (layer.offset !== from) this.changed(`Layer ${this.layers.indexOf(layer) + 1} starts at ${layer.startMs} ms`);
    };
    bar.addEventListener('pointermove', move);
    bar.addEventListener('pointerup', done);
    bar.addEventListener('pointercancel', done);
  }

  private drawMix(): void {
    const canvas = $('mix-wave') as HTMLCanvasElement;
    const mix = this.mix;
    // On the spans' time axis: the mix ends where its last sounding layer does, the axis where any layer does.
    const width = 1200;
    const columns = new Float32Array(2 * width);
    if (mix && mix.sampleCount > 0) {
      const used = Math.max(1, Math.round((width * mix.sampleCount) / this.span()));
      const scale = mix.peak > 0 ? 32768 / mix.peak : 1;
      waveColumns(mix.samples, used).forEach((v, i) => (columns[i] = v * scale));
    }
    drawWave(canvas, columns, null, false);
  }

  play(): void {
    if (!this.mix) return;
    const audio = new Float32Array(this.mix.samples.length);
    for (let i = 0; i < audio.length; i++) audio[i] = this.mix.samples[i] / 32768;
    try {
      playSamples(audio, 'mix', false);
    } catch {
      this.studio.warn('This browser cannot play sound here; Download mix still gives the file.');
    }
  }

  private download(): void {
    if (!this.mix) return;
    const name = `${fileNameOf(this.name(), 'mix')}.wav`;
    save(new Blob([this.mix.wav as Uint8Array<ArrayBuffer>], { type: 'audio/wav' }), name);
    this.studio.say(`Downloaded ${shortName(name)}`);
  }
}

/** A sound's length in samples, as its render makes it. */
function lengthOf(recipe: Recipe): number {
  const [layer] = toMix([{ name: '', recipe, offset: 0, gainDb: 0, muted: false, solo: false }]);
  const rng = quavix.random(0);
  rng.state = layer.seed!;
  return quavix.render(layer.params, rng, { bufferLength: layer.bufferLength }).sampleCount;
}

/** A start in samples as the shortest milliseconds that round to it again (two decimals always do). */
export function msText(offset: number): string {
  const ms = (offset * 1000) / quavix.SAMPLE_RATE;
  for (let d = 0; d < 2; d++) {
    const text = ms.toFixed(d);
    if (Math.round((Number(text) * quavix.SAMPLE_RATE) / 1000) === offset) return String(Number(text));
  }
  return String(Number(ms.toFixed(2)));
}

/** Up to three problems, and how many more. */
const shortList = (problems: string[]) =>
  problems.slice(0, 3).join('; ') + (problems.length > 3 ? `; and ${problems.length - 3} more` : '');

function bar(l: Layer): string {
  const from = formatSeconds(l.offset / quavix.SAMPLE_RATE);
  const to = formatSeconds((l.offset + l.length) / quavix.SAMPLE_RATE);
  return `${l.name} from ${from} s to ${to} s${l.muted ? ', muted' : ''}${l.solo ? ', solo' : ''}`;
}

// Variations: a grid of candidates made from the current sound, by mutation or
// as new sounds of its family, each an exact recipe with its own seed. Each
// shows its waveform and plays on a click or, while the grid has focus, on the
// keys 1 to 9; Pick makes one the current sound, Keep keeps it.
import * as quavix from 'quavix';
import type { Rendered } from '../protocol';
import type { Renderer, RendererEvents } from '../renderer';
import type { Recipe } from '../recipe';
import { cookedOf, randomSeed } from '../store';
import { waveColumns } from '../analysis';
import { drawWave } from '../views';
import { formatSeconds } from '../format';
import { keepSound } from '../keep';
import { nowPlaying, onPlayback, playSamples } from '../player';
import {
  DEFAULT_AMOUNT,
  DEFAULT_VARIATIONS,
  familyOf,
  MOST_VARIATIONS,
  type Family,
  variationsOf,
  type VariationMode,
} from '../variations';
import { $, h } from '../dom';
import type { Panel, Studio } from './context';

interface Candidate {
  recipe: Recipe;
  number: number;
  item: HTMLLIElement;
  canvas: HTMLCanvasElement;
  info: HTMLElement;
  keep: HTMLButtonElement;
  /** Its 16-bit samples once made (the float copy for playback is made on each play, to keep a big grid small). */
  samples: Int16Array | null;
  sha256: string | null;
  wave: Float32Array | null;
}

const WAVE_COLUMNS = 160;

export class VariationsPanel implements Panel {
  element: HTMLElement;
  private renderer: Renderer | null = null;
  private candidates: Candidate[] = [];
  /** The candidate being rendered, and the grid it belongs to. */
  private inFlight: { grid: Candidate[]; at: number } | null = null;
  private mode: VariationMode = 'mutate';
  private made = '';
  /** What the kept variations are called after: the family of the sound they came from. */
  private base = 'Sound';
  /** The family of each mutation made here: a picked mutation of a Coin is still a Coin. */
  private families = new WeakMap<Recipe, Family>();

  constructor(
    private studio: Studio,
    private startRenderer: (events: RendererEvents) => Renderer,
    private kept: () => void,
  ) {
    const radio = (mode: VariationMode, label: string) =>
      h(
        'label',
        { class: 'choice' },
        h('input', {
          type: 'radio',
          name: 'variation-mode',
          id: `variation-${mode}`,
          value: mode,
          checked: mode === this.mode,
          onchange: () => this.setMode(mode),
        }),
        label,
      );
    this.element = h(
      'section',
      { class: 'panel variations', 'aria-labelledby': 'variations-title' },
      h('h2', { id: 'variations-title' }, 'Variations'),
      h(
        'fieldset',
        { class: 'modes', 'aria-describedby': 'variation-family-note' },
        h('legend', {}, 'Make them by'),
        radio('mutate', 'Mutating this sound'),
        radio('family', 'New sounds of its family'),
      ),
      h('p', { id: 'variation-family-note', class: 'help' }),
      h(
        'div',
        { class: 'inline' },
        h('label', { for: 'variation-amount' }, 'Amount'),
        h('input', {
          id: 'variation-amount',
          type: 'number',
          step: '0.01',
          min: '0',
          max: '1',
          value: String(DEFAULT_AMOUNT),
          inputmode: 'decimal',
          'aria-describedby': 'variation-error',
        }),
        h('label', { for: 'variation-count' }, 'How many'),
        h(
          'select',
          { id: 'variation-count' },
          ...Array.from({ length: MOST_VARIATIONS }, (_, i) =>
            h('option', { value: i + 1, selected: i + 1 === DEFAULT_VARIATIONS }, String(i + 1)),
          ),
        ),
        h('button', { type: 'button', id: 'make-variations', onclick: () => this.make() }, 'Make variations'),
      ),
      h('p', { id: 'variation-error', class: 'field-error', role: 'status' }),
      h(
        'p',
        { id: 'variation-keys', class: 'help' },
        'Click a waveform to hear it; with the grid focused, keys 1 to 9 play the first nine. ' +
          'Pick makes a variation the current sound (Undo goes back); Keep keeps it in the library, starred.',
      ),
      h('p', { id: 'variation-status', class: 'status', role: 'status' }),
      h('ol', {
        id: 'variations',
        class: 'variation-grid',
        'aria-label': 'Variations',
        'aria-describedby': 'variation-keys',
        onkeydown: (e: Event) => this.keydown(e as KeyboardEvent),
      }),
    );
    onPlayback(() => this.showPlaying());
    new ResizeObserver(() => this.repaint()).observe(this.element.querySelector('#variations')!);
    matchMedia('(prefers-color-scheme: dark)').addEventListener('change', () => this.repaint());
  }

  private familyNow(): Family {
    const recipe = this.studio.store.recipe;
    return this.families.get(recipe) ?? familyOf(recipe);
  }

  update(): void {
    const family = this.familyNow();
    const familyRadio = $('variation-family') as HTMLInputElement;
    familyRadio.disabled = 'reason' in family;
    $('variation-family-note').textContent = 'reason' in family ? family.reason : family.says;
    if ('reason' in family && this.mode === 'family') {
      ($('variation-mutate') as HTMLInputElement).checked = true;
      this.setMode('mutate');
    }
  }

  private setMode(mode: VariationMode): void {
    this.mode = mode;
    ($('variation-amount') as HTMLInputElement).disabled = mode !== 'mutate';
  }

  private make(): void {
    const store = this.studio.store;
    const field = $('variation-amount') as HTMLInputElement;
    const amount = Number(field.value);
    const error = $('variation-error');
    if (this.mode === 'mutate' && (field.value.trim() === '' || !Number.isFinite(amount))) {
      field.setAttribute('aria-invalid', 'true');
      error.textContent = 'The amount is a number, such as 0.1 (0.05 changes a little, 0.5 a lot).';
      return;
    }
    // The core's rule, as the quavix tool's --mutate applies it.
    const problem = this.mode === 'mutate' ? quavix.checkMutateAmount(amount) : null;
    if (problem !== null) {
      field.setAttribute('aria-invalid', 'true');
      error.textContent = `Choose another amount: ${problem}.`;
      return;
    }
    const count = Math.min(MOST_VARIATIONS, Math.max(1, Number(($('variation-count') as HTMLSelectElement).value)));
    const seeds = Array.from({ length: count }, () => randomSeed());
    let recipes: Recipe[];
    const family = this.familyNow();
    try {
      recipes = variationsOf(store.recipe, this.mode, amount, seeds, store.locks, family);
      // Each is cooked now, so that an amount the core refuses is said here, before the grid changes.
      for (const recipe of recipes) cookedOf(recipe);
    } catch (e) {
      field.setAttribute('aria-invalid', 'true');
      const text = (e as Error).message;
      error.textContent =
        e instanceof RangeError
          ? `Choose another amount: ${text.slice(text.lastIndexOf(': ') + 2)}.`
          : `These variations cannot be made: ${text}`;
      return;
    }
    field.removeAttribute('aria-invalid');
    error.textContent = '';
    this.made = this.mode === 'mutate' ? `mutation by ${amount}` : 'new sound';
    this.base = 'reason' in family ? 'Sound' : family.label;
    if (this.mode === 'mutate' && !('reason' in family)) for (const r of recipes) this.families.set(r, family);
    this.candidates = recipes.map((recipe, i) => this.candidate(recipe, i + 1));
    $('variations').replaceChildren(...this.candidates.map((c) => c.item));
    $('variation-status').textContent = `Making ${count} ${count === 1 ? 'variation' : 'variations'}\u2026`;
    this.renderer ??= this.startRenderer({
      rendered: (r) => this.rendered(r),
      failed: (m) => this.failed(m),
      views: () => {},
    });
    if (!this.inFlight) this.next(this.candidates, 0);
  }

  private candidate(recipe: Recipe, number: number): Candidate {
    const name = `variation ${number}`;
    const canvas = h('canvas', { class: 'variation-wave', width: 160, height: 48, 'aria-hidden': 'true' });
    const info = h('span', { class: 'variation-info' }, 'making\u2026');
    const c: Candidate = {
      recipe,
      number,
      canvas,
      info,
      samples: null,
      sha256: null,
      wave: null,
      item: h('li', { class: 'variation', 'data-state': 'waiting' }),
      keep: h(
        'button',
        { type: 'button', 'aria-pressed': 'false', 'aria-label': `Keep ${name}`, onclick: () => void this.keep(c) },
        'Keep',
      ),
    };
    c.item.append(
      h(
        'button',
        {
          type: 'button',
          class: 'variation-play',
          'aria-label': `Play ${name}`,
          ...(number <= 9 ? { 'aria-keyshortcuts': String(number) } : {}),
          onclick: () => this.play(c),
        },
        h('span', { class: 'variation-number', 'aria-hidden': 'true' }, String(number)),
        canvas,
      ),
      info,
      h(
        'span',
        { class: 'variation-actions' },
        h('button', { type: 'button', 'aria-label': `Pick ${name}`, onclick: () => this.pick(c) }, 'Pick'),
        c.keep,
        h(
          'button',
          {
            type: 'button',
            class: 'variation-layer',
            'aria-label': `Add ${name} as a layer`,
            onclick: () => this.studio.addLayer(c.recipe, `${this.base} ${name}`),
          },
          'Layer',
        ),
      ),
    );
    return c;
  }

  /** Renders the candidates one after another from `at`, in the renderer's worker. */
  private next(grid: Candidate[], at: number): void {
    if (grid !== this.candidates) {
      // A newer grid was asked for while this one was made: make that one from its start.
      grid = this.candidates;
      at = 0;
    }
    if (at >= grid.length) {
      this.inFlight = null;
      const ready = grid.filter((c) => c.samples).length;
      $('variation-status').textContent =
        `${ready} ${ready === 1 ? 'variation' : 'variations'} made` +
        (ready < grid.length ? `; ${grid.length - ready} could not be made` : '');
      return;
    }
    this.inFlight = { grid, at };
    let sfs: Uint8Array;
    let state: number;
    try {
      const sound = cookedOf(grid[at].recipe);
      sfs = quavix.writeSfs(sound.params);
      state = sound.renderState;
    } catch (e) {
      return this.failed((e as Error).message);
    }
    void this.renderer!.request(sfs, state, grid[at].recipe.bufferLength);
  }

  private rendered(result: Rendered): void {
    const flight = this.inFlight;
    if (!flight) return;
    const c = flight.grid[flight.at];
    if (flight.grid === this.candidates) {
      const samples = new Int16Array(result.wav.buffer, result.wav.byteOffset + 44, result.sampleCount);
      c.samples = samples;
      c.sha256 = result.sha256;
      c.wave = waveColumns(samples, WAVE_COLUMNS);
      c.item.dataset.state = 'ready';
      c.item.dataset.sha256 = result.sha256;
      c.info.textContent = result.silent
        ? `${formatSeconds(result.sampleCount / quavix.SAMPLE_RATE)} s, silent`
        : `${formatSeconds(result.sampleCount / quavix.SAMPLE_RATE)} s`;
      drawWave(c.canvas, c.wave, null);
    }
    this.next(flight.grid, flight.at + 1);
  }

  private failed(message: string): void {
    const flight = this.inFlight;
    if (!flight) return;
    const c = flight.grid[flight.at];
    c.item.dataset.state = 'failed';
    c.info.textContent = `could not be made (${message})`;
    this.next(flight.grid, flight.at + 1);
  }

  private keydown(e: KeyboardEvent): void {
    if (e.ctrlKey || e.metaKey || e.altKey || !/^[1-9]$/.test(e.key)) return;
    const c = this.candidates[Number(e.key) - 1];
    if (!c) return;
    e.preventDefault();
    this.play(c);
  }

  private play(c: Candidate): void {
    if (!c.samples) return this.studio.say(`Variation ${c.number} is not made yet`);
    const audio = new Float32Array(c.samples.length);
    for (let i = 0; i < audio.length; i++) audio[i] = c.samples[i] / 32768;
    try {
      playSamples(audio, `variation-${c.number}`, false);
      this.studio.say(`Playing variation ${c.number}`);
    } catch (e) {
      this.studio.warn(`The sound cannot be played in this browser: ${(e as Error).message}`);
    }
  }

  private pick(c: Candidate): void {
    this.studio.store.change(c.recipe, `Picked variation ${c.number} (${this.made})`);
  }

  private async keep(c: Candidate): Promise<void> {
    const store = this.studio.store;
    const added = await keepSound(
      store,
      c.recipe,
      `${this.base} variation ${c.number} #${c.recipe.seed}`,
      c.sha256 ?? undefined,
    );
    c.keep.setAttribute('aria-pressed', 'true');
    c.keep.textContent = 'Kept';
    if (added) this.kept();
    this.studio.say(added ? `Kept variation ${c.number}` : `Variation ${c.number} is kept already`);
  }

  private showPlaying(): void {
    const now = nowPlaying();
    for (const c of this.candidates) c.item.classList.toggle('playing', now?.owner === `variation-${c.number}`);
  }

  private repaint(): void {
    for (const c of this.candidates) if (c.wave) drawWave(c.canvas, c.wave, null);
  }
}

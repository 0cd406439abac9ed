// Quavix Studio: the page. Every change becomes a new recipe, which is cooked
// here (the design steps are instant) and rendered in the worker.
import * as quavix from 'quavix';
import './style.css';
import { wasmBytes } from './wasm-source';
import RenderWorker from './worker?worker&inline';
import { Renderer } from './renderer';
import type { Rendered, Views } from './protocol';
import { FAMILY_LABELS, GROUPS, WAVE_NAMES, pitchOf, type ParamMeta } from './meta';
import {
  cook, encodeRecipe, flatten, newRecipe, startFrom, withMutation, withSeed, withValue, type Recipe, type Source,
} from './recipe';
import { cliCommand, hostScript, readFragment, shareFragment } from './exports';
import { KEPT_HISTORY, Timeline, loadSession, loadStars, saveSession, saveStars, type Kept } from './timeline';
import { formatFloat32, formatSeconds } from './format';
import { drawSpectrum, drawWave } from './views';
import { cutNote, readSettingsFile, SAMPLES_PER_BUFFER_SECOND } from './messages';

type Attrs = Record<string, string | boolean | number | ((e: Event) => void)>;
function h<K extends keyof HTMLElementTagNameMap>(tag: K, attrs: Attrs = {}, ...children: (Node | string)[]): HTMLElementTagNameMap[K] {
  const el = document.createElement(tag);
  for (const [key, value] of Object.entries(attrs)) {
    if (typeof value === 'function') el.addEventListener(key.slice(2).toLowerCase(), value as EventListener);
    else if (value === true) el.setAttribute(key, '');
    else if (value !== false) el.setAttribute(key, String(value));
  }
  el.append(...children);
  return el;
}
const $ = <T extends HTMLElement>(id: string) => document.getElementById(id) as T;

const FINGERPRINT_NOTE =
  'SHA-256 of this WAV file. It equals sha256sum of the file that quavix render writes, ' +
  'and of the sound the module generates, for the same recipe.';

const padlock = (shackle: string) =>
  `<svg viewBox="0 0 16 16" width="15" height="15" aria-hidden="true" focusable="false"><path d="${shackle}" fill="none" stroke="currentColor" stroke-width="1.6"/><rect x="3" y="7" width="10" height="7.5" rx="1.5" fill="currentColor"/></svg>`;
const LOCKED = padlock('M5 7V5a3 3 0 0 1 6 0v2');
const UNLOCKED = padlock('M5 7V5a3 3 0 0 1 5.6-1.5');

interface Row {
  meta: ParamMeta;
  index: number;
  row: HTMLElement;
  slider: HTMLInputElement | null;
  field: HTMLInputElement | HTMLSelectElement;
  stored: HTMLElement;
  /** The other slot's value, shown while it differs. */
  other: HTMLElement;
  lock: HTMLButtonElement;
  hz?: HTMLInputElement;
  pitch?: HTMLElement;
}

class Studio {
  private timeline: Timeline;
  private locks = new Set<number>();
  private rows: Row[] = [];
  private slots: [Recipe, Recipe];
  private slot = 0;
  private comparing = false;
  /** A seed typed into the seed field, which the next preset or Randomize press uses as it is. */
  private seedTypedForNext = false;
  /** The next sound made joins the list of sounds made (not every step of a drag does). */
  private historyDue = true;
  private rendering = false;
  /** Set by the person's first press of a key, mouse button or finger on the page. */
  used = false;
  private history: Kept[] = [];
  private stars: Kept[];
  private last: Rendered | null = null;
  private views: Views | null = null;
  private exportsTimer = 0;
  private audio: AudioContext | null = null;
  private playing: AudioBufferSourceNode | null = null;
  private playStart = 0;
  private changedAt = 0;
  private renderer: Renderer;

  constructor(module: WebAssembly.Module) {
    const storage = safeStorage();
    const { session, refused } = loadSession(storage);
    const fromLink = location.hash.length > 1 ? readFragment(location.hash) : null;
    const restored = session ? session.slots[session.slot] : null;
    let first: Recipe;
    if (fromLink && typeof fromLink !== 'string') {
      // A reload keeps its link in the address: the session's own recipe, with its seed, when it is that sound.
      first = restored && shareFragment(restored) === shareFragment(fromLink) ? restored : fromLink;
    } else first = restored ?? newRecipe(randomSeed(), { kind: 'preset', family: 0 });
    this.timeline = new Timeline(first);
    this.slots = [first, first];
    if (session) {
      this.slots = [...session.slots];
      this.slot = session.slot;
      this.slots[this.slot] = first;
      this.comparing = session.comparing;
      this.locks = new Set(session.locks);
      this.history = session.history;
    }
    const starred = loadStars(storage);
    this.stars = starred.stars;
    this.build();
    if (typeof fromLink === 'string') this.warn(`${fromLink} ${restored ? 'Your last sound is shown instead.' : 'A new sound is shown instead.'}`);
    const unread = refused + starred.refused;
    if (unread > 0) this.warn(`${unread === 1 ? 'One sound' : `${unread} sounds`} kept on this computer could not be read and ${unread === 1 ? 'was' : 'were'} left out; the others are here.`);
    this.renderer = new Renderer(module, () => new RenderWorker(), {
      rendered: (r) => this.rendered(r),
      failed: (m) => this.synthesisFailed(m),
      views: (v) => this.viewsArrived(v),
    });
    this.showLists();
    this.showHistory();
    this.show(true);
  }

  private get recipe(): Recipe {
    return this.timeline.current;
  }

  // ---- building the page

  private build(): void {
    const app = $('app');
    app.replaceChildren(
      h('a', { class: 'skip', href: '#params-title' }, 'Skip to the parameters'),
      h('header', { class: 'top' },
        h('div', { class: 'brand' }, h('h1', {}, 'Quavix Studio'),
          h('p', { class: 'tagline' }, 'The sound you hear here is the sound your game plays, byte for byte.')),
        h('div', { class: 'ab', role: 'group', 'aria-label': 'Compare two sounds, A and B' },
          ...['A', 'B'].map((name, i) => h('button', { type: 'button', id: `slot-${name}`, class: 'slot', 'aria-pressed': String(i === 0), 'aria-keyshortcuts': 'X', 'aria-label': `Sound ${name}`, onclick: () => this.toggleSlot(i) }, name)),
          h('button', { type: 'button', id: 'copy-a-b', onclick: () => this.copySlot(0, 1) }, 'Copy A to B'),
          h('button', { type: 'button', id: 'copy-b-a', onclick: () => this.copySlot(1, 0) }, 'Copy B to A'),
          h('span', { id: 'differences', class: 'hint', 'aria-live': 'polite' }))),
      h('main', { class: 'layout' },
        h('div', { id: 'notices', class: 'notices', 'aria-live': 'polite' }),
        h('div', { class: 'column' }, this.soundPanel(), this.makePanel(), this.historyPanel(), this.exchangePanel()),
        h('div', { class: 'column wide' }, this.paramsPanel())),
      h('footer', {}, h('p', { class: 'keys' }, 'Keys: Space plays · Ctrl+Z undoes · Ctrl+Shift+Z or Ctrl+Y redoes · X switches A/B · arrows move a focused slider')),
      h('div', { id: 'dropzone', class: 'dropzone', hidden: true }, h('p', {}, 'Drop a settings file (.sfs) to open it')),
    );
  }

  private soundPanel(): HTMLElement {
    return h('section', { class: 'panel sound', 'aria-labelledby': 'sound-title' },
      h('div', { class: 'panel-head' },
        h('h2', { id: 'sound-title' }, 'Sound'),
        h('button', { type: 'button', id: 'play', class: 'primary', onclick: () => this.play(), 'aria-keyshortcuts': 'Space' },
          h('span', { 'aria-hidden': 'true' }, '\u25B6'), 'Play', h('kbd', { 'aria-hidden': 'true' }, 'Space'))),
      h('div', { class: 'meters' },
        h('span', { id: 'length' }, '\u2014'),
        h('span', { id: 'peak' }, ''),
        h('span', { id: 'clipped' }, ''),
        h('span', { class: 'fp-wrap' }, h('span', { 'aria-hidden': 'true' }, 'Fingerprint '),
          h('button', { type: 'button', id: 'fingerprint', class: 'fp', title: FINGERPRINT_NOTE, 'aria-label': 'Fingerprint not yet computed', 'aria-describedby': 'fp-note',
            onclick: (e: Event) => this.copy((e.currentTarget as HTMLElement).dataset.sha256 ?? '', 'fingerprint (SHA-256)') }, '\u2026'),
          h('span', { id: 'fp-note', class: 'visually-hidden' }, FINGERPRINT_NOTE))),
      h('p', { id: 'status', class: 'status', role: 'status' }),
      h('p', { id: 'warning', class: 'warning', hidden: true }),
      h('p', { id: 'cut', class: 'warning', hidden: true },
        h('span', { id: 'cut-text' }), ' ',
        h('button', { type: 'button', id: 'cut-fix', onclick: () => this.lengthenBuffer() }, '')),
      h('canvas', { id: 'wave', class: 'view', width: 800, height: 140, role: 'img', 'aria-label': 'Waveform of the whole sound' }),
      h('canvas', { id: 'spectrum', class: 'view', width: 800, height: 110, role: 'img', 'aria-label': 'Spectrogram: time across, frequency upwards from 40 Hz to 22 kHz on a log scale' }),
    );
  }

  private makePanel(): HTMLElement {
    return h('section', { class: 'panel make', 'aria-labelledby': 'make-title' },
      h('h2', { id: 'make-title' }, 'Make'),
      h('div', { class: 'presets', role: 'group', 'aria-label': 'Presets' },
        ...FAMILY_LABELS.map((label, family) => h('button', { type: 'button', 'data-family': family, 'aria-describedby': 'seed-help', onclick: (e: Event) => this.press({ kind: 'preset', family }, label, (e as MouseEvent).shiftKey) }, label)),
        h('button', { type: 'button', id: 'randomize', 'aria-describedby': 'seed-help', onclick: (e: Event) => this.press({ kind: 'randomize' }, 'Randomize', (e as MouseEvent).shiftKey) }, 'Randomize')),
      h('div', { class: 'inline' },
        h('label', { for: 'mutate-amount' }, 'Mutate by'),
        h('input', { id: 'mutate-amount', type: 'number', step: '0.01', min: '0', value: '0.05', inputmode: 'decimal' }),
        h('button', { type: 'button', id: 'mutate', onclick: () => this.mutate() }, 'Mutate')),
      h('div', { class: 'inline' },
        h('label', { for: 'seed' }, 'Seed'),
        h('input', { id: 'seed', type: 'text', inputmode: 'numeric', autocomplete: 'off', spellcheck: 'false', 'aria-describedby': 'seed-help', onchange: () => this.seedTyped() }),
        h('button', { type: 'button', id: 'new-seed', onclick: () => this.change(withSeed(this.recipe, randomSeed()), 'New seed') }, 'New seed')),
      h('p', { id: 'seed-help', class: 'help' }, 'Each preset or Randomize press draws a new seed (1 to 4294967295) and shows it here. ' +
        'To hear a seed again, type it here before pressing, or Shift+click. New seed makes another sound of the same recipe.'),
      h('div', { class: 'inline' },
        h('label', { for: 'buffer' }, 'Buffer length'),
        h('select', { id: 'buffer', onchange: (e: Event) => this.change({ ...this.recipe, bufferLength: Number((e.target as HTMLSelectElement).value) }, 'Buffer length') },
          ...Array.from({ length: 60 }, (_, i) => h('option', { value: i + 1 }, `${i + 1} s`))),
        h('span', { class: 'help' }, 'the longest sound: length \u00d7 41000 samples')),
    );
  }

  private historyPanel(): HTMLElement {
    return h('section', { class: 'panel history', 'aria-labelledby': 'history-title' },
      h('div', { class: 'panel-head' },
        h('h2', { id: 'history-title' }, 'History'),
        h('div', { class: 'inline tight' },
          h('button', { type: 'button', id: 'undo', onclick: () => this.undo(), 'aria-keyshortcuts': 'Control+Z' }, 'Undo'),
          h('button', { type: 'button', id: 'redo', onclick: () => this.redo(), 'aria-keyshortcuts': 'Control+Shift+Z Control+Y' }, 'Redo'),
          h('button', { type: 'button', id: 'star', onclick: () => this.star(), 'aria-pressed': 'false' }, 'Star'))),
      h('h3', {}, 'Starred (kept on this computer)'),
      h('ol', { id: 'stars', class: 'sounds' }),
      h('h3', {}, 'Made since this page opened'),
      h('ol', { id: 'history', class: 'sounds', reversed: true }),
    );
  }

  private exchangePanel(): HTMLElement {
    const copy = (id: string, label: string) =>
      h('button', { type: 'button', onclick: () => this.copy(($(id) as HTMLTextAreaElement).value, label) }, `Copy ${label}`);
    return h('section', { class: 'panel exchange', 'aria-labelledby': 'exchange-title' },
      h('h2', { id: 'exchange-title' }, 'Exchange'),
      h('label', { for: 'csv' }, 'Settings string'),
      h('textarea', { id: 'csv', rows: 2, spellcheck: 'false', 'aria-describedby': 'csv-help' }),
      h('p', { id: 'csv-help', class: 'help' }, 'Four decimals of each stored value; paste one and press Load. Settings files keep values exactly.'),
      h('div', { class: 'inline tight' }, copy('csv', 'settings string'),
        h('button', { type: 'button', id: 'load-csv', onclick: () => this.loadCsv() }, 'Load')),
      h('div', { class: 'inline tight files' },
        h('button', { type: 'button', id: 'open', onclick: () => $('open-sfs').click() }, 'Open .sfs\u2026'),
        h('input', { id: 'open-sfs', type: 'file', accept: '.sfs', hidden: true, tabindex: '-1', 'aria-label': 'Settings file to open', onchange: (e: Event) => this.openFile((e.target as HTMLInputElement).files?.[0]) }),
        h('button', { type: 'button', id: 'save-sfs', onclick: () => this.saveSfs() }, 'Save .sfs'),
        h('button', { type: 'button', id: 'download', class: 'primary', onclick: () => this.download() }, 'Download WAV')),
      h('p', { class: 'help' }, 'Or drop a .sfs file anywhere on the page.'),
      h('label', { for: 'link' }, 'Share link'),
      h('textarea', { id: 'link', rows: 2, readonly: true, spellcheck: 'false' }),
      h('div', { class: 'inline tight' }, copy('link', 'link')),
      h('label', { for: 'command' }, 'Command line'),
      h('textarea', { id: 'command', rows: 3, readonly: true, spellcheck: 'false', 'aria-describedby': 'command-help' }),
      h('p', { id: 'command-help', class: 'help' }, 'Writes this WAV file, byte for byte, with the quavix tool.'),
      h('div', { class: 'inline tight' }, copy('command', 'command')),
      h('label', { for: 'script' }, 'Host script (the module\u2019s actions, in order)'),
      h('textarea', { id: 'script', rows: 5, readonly: true, spellcheck: 'false' }),
      h('div', { class: 'inline tight' }, copy('script', 'host script')),
    );
  }

  private paramsPanel(): HTMLElement {
    return h('section', { class: 'panel params', 'aria-labelledby': 'params-title' },
      h('div', { class: 'panel-head' }, h('h2', { id: 'params-title', tabindex: '-1' }, 'Parameters'),
        h('span', { class: 'help' }, 'A lock keeps a value through presets, Randomize and Mutate.')),
      h('div', { class: 'groups' }, ...GROUPS.map((group) =>
        h('fieldset', { class: 'group', id: `group-${group.id}` }, h('legend', {}, group.title),
          ...group.params.map((meta) => this.paramRow(meta))))),
    );
  }

  private paramRow(meta: ParamMeta): HTMLElement {
    const index = (quavix.PARAM_NAMES as readonly string[]).indexOf(meta.name);
    const id = `p-${meta.name}`;
    const unitWords = meta.unit ? ` in ${meta.unit === 's' ? 'seconds' : meta.unit.replace('/s', ' per second')}` : '';
    const lockName = `Lock ${meta.label.charAt(0).toLowerCase()}${meta.label.slice(1)}`;
    const lock = h('button', { type: 'button', class: 'lock', 'aria-pressed': 'false', 'aria-label': lockName, title: lockName, onclick: () => this.toggleLock(index) }, '');
    const stored = h('span', { class: 'stored', id: `${id}-stored` });
    const other = h('span', { class: 'other', id: `${id}-other`, hidden: true });
    const help = h('span', { class: 'help', id: `${id}-help` }, meta.help);
    let slider: HTMLInputElement | null = null;
    let field: HTMLInputElement | HTMLSelectElement;
    const controls: Node[] = [];
    if (meta.name === 'WaveType') {
      field = h('select', { id, 'aria-describedby': `${id}-help ${id}-stored ${id}-other`, onchange: () => this.setUser(index, Number(field.value), 'set') },
        ...WAVE_NAMES.map((name, i) => h('option', { value: i }, `${i} ${name}`)));
      controls.push(field);
    } else {
      const step = (meta.max - meta.min) / 1000;
      slider = h('input', { type: 'range', id, min: meta.min, max: meta.max, step, 'aria-describedby': `${id}-help ${id}-stored ${id}-other`,
        oninput: () => this.setUser(index, Number(slider!.value), 'drag'), onchange: () => this.released() });
      field = h('input', { type: 'number', id: `${id}-value`, step: 'any', inputmode: 'decimal', 'aria-label': `${meta.label}${unitWords}`,
        onchange: () => this.typed(index, field as HTMLInputElement) });
      controls.push(h('div', { class: 'control' }, slider, h('span', { class: 'value' }, field, meta.unit ? h('span', { class: 'unit' }, meta.unit) : '')));
    }
    const row = h('div', { class: 'param', 'data-param': meta.name },
      h('div', { class: 'param-head' }, lock, h('label', { for: id }, meta.label), stored), ...controls, other, help);
    const entry: Row = { meta, index, row, slider, field, stored, lock, other };
    if (meta.name === 'StartFreq' || meta.name === 'MinFreq') {
      entry.hz = h('input', { type: 'number', id: `${id}-hz`, step: '1', min: '0', max: '44100', inputmode: 'numeric', 'aria-label': `${meta.label} in Hz`,
        onchange: () => this.hzTyped(index, entry.hz!) });
      entry.pitch = h('span', { class: 'pitch', id: `${id}-pitch` });
      row.insertBefore(h('div', { class: 'hz' }, h('span', { class: 'value' }, entry.hz, h('span', { class: 'unit' }, 'Hz')), entry.pitch), help);
    }
    this.rows.push(entry);
    return row;
  }

  // ---- changes

  /** Makes a recipe current; `key` merges a run of changes (one drag) into one undo step. */
  private change(recipe: Recipe, what: string, key: string | null = null): void {
    this.timeline.push(recipe, key);
    if (key === null) {
      this.timeline.seal();
      this.historyDue = true;
    }
    this.show(true, what);
  }

  /**
   * A preset or Randomize press: a fresh seed each time, unless one was just typed into the seed
   * field or Shift is held, which draw from the seed shown.
   */
  private press(source: Source, label: string, sameSeed: boolean): void {
    const seed = sameSeed || this.seedTypedForNext ? this.recipe.seed : randomSeed();
    this.seedTypedForNext = false;
    this.change(startFrom(this.recipe, source, this.locks, seed), `${label}, seed ${seed}`);
  }

  /** Loaded parameters come in exactly as they are. */
  private start(source: Source, what: string): void {
    this.change(startFrom(this.recipe, source, source.kind === 'load' ? new Set() : this.locks), what);
  }

  private mutate(): void {
    const amount = Number(($('mutate-amount') as HTMLInputElement).value);
    if (!Number.isFinite(amount)) return this.say('The mutation amount is not a number.');
    this.change(withMutation(this.recipe, amount, this.locks), `Mutate by ${amount}`);
  }

  private setUser(index: number, value: number, how: 'drag' | 'set'): void {
    const stored = cook(this.recipe).params.clone().set(index, value).stored(index);
    this.change(withValue(this.recipe, index, stored), this.labelOf(index), how === 'drag' ? `set-${index}` : null);
  }

  private typed(index: number, field: HTMLInputElement): void {
    const value = Number(field.value);
    if (field.value.trim() === '' || !Number.isFinite(value)) {
      this.say(`${this.rows.find((r) => r.index === index)!.meta.label}: type a number.`);
      return this.show(false);
    }
    this.setUser(index, value, 'set');
  }

  private hzTyped(index: number, field: HTMLInputElement): void {
    const hz = Number(field.value);
    if (!Number.isInteger(hz) || hz < 0 || hz > 44100) {
      this.warn('Type a whole number of Hz from 0 to 44100.');
      return this.show(false);
    }
    this.change(withValue(this.recipe, index, quavix.freqHz(hz)), `${this.labelOf(index)} in Hz`);
  }

  private labelOf(index: number): string {
    return this.rows.find((r) => r.index === index)?.meta.label ?? 'Parameter';
  }

  private seedTyped(): void {
    const field = $('seed') as HTMLInputElement;
    const text = field.value.trim();
    const seed = Number(text);
    if (!/^\d+$/.test(text) || seed < 1 || seed > 0xffffffff) {
      this.warn('The seed is a whole number from 1 to 4294967295 (0 would make a different sound each time the game runs).');
      field.setAttribute('aria-invalid', 'true');
      return;
    }
    field.removeAttribute('aria-invalid');
    this.seedTypedForNext = true;
    this.change(withSeed(this.recipe, seed), 'Seed');
  }

  private toggleLock(index: number): void {
    if (this.locks.has(index)) this.locks.delete(index);
    else this.locks.add(index);
    this.show(false);
  }

  private undo(): void {
    if (this.timeline.undo()) this.show(true, 'Undo');
  }

  private redo(): void {
    if (this.timeline.redo()) this.show(true, 'Redo');
  }

  private toggleSlot(slot: number): void {
    if (slot === this.slot) return;
    this.slots[this.slot] = this.recipe;
    this.slot = slot;
    this.comparing = true;
    this.change(this.slots[slot], `Slot ${slot === 0 ? 'A' : 'B'}`);
  }

  /** Puts one slot's sound into the other; the shown slot plays its new sound. */
  private copySlot(from: number, to: number): void {
    this.slots[this.slot] = this.recipe;
    this.slots[to] = this.slots[from];
    this.comparing = true;
    const what = `Copied ${from === 0 ? 'A' : 'B'} to ${to === 0 ? 'A' : 'B'}`;
    if (to === this.slot) this.change(this.slots[to], what);
    else this.show(false, what);
  }

  private restore(kept: Kept): void {
    this.change(kept.recipe, kept.label);
  }

  private star(): void {
    if (!this.last) return;
    const key = soundKey(this.recipe);
    const at = this.stars.findIndex((k) => soundKey(k.recipe) === key);
    if (at >= 0) this.stars.splice(at, 1);
    else this.stars.unshift({ label: this.describe(), recipe: flatten(this.recipe), fingerprint: this.last.sha256 });
    saveStars(safeStorage(), this.stars);
    this.showLists();
    this.say(at >= 0 ? 'Star removed' : 'Starred');
  }

  private loadCsv(): void {
    const text = ($('csv') as HTMLTextAreaElement).value.trim();
    const check = quavix.checkSettingsString(text);
    if (!check.ok) {
      return this.warn(`The settings string cannot be read: field ${check.badField + 1} is not a number. ` +
        'A settings string is 24 numbers separated by commas, as Copy settings string gives it.');
    }
    const params = quavix.fromSettingsString(text, cook(this.recipe).params);
    this.start({ kind: 'load', sfs: quavix.writeSfs(params) }, 'Settings string');
  }

  async openFile(file: File | undefined): Promise<void> {
    if (!file) return;
    let bytes: Uint8Array;
    try {
      bytes = new Uint8Array(await file.arrayBuffer());
    } catch {
      return this.warn(`\u201c${file.name}\u201d could not be read from the disk.`);
    }
    const params = readSettingsFile(file.name, bytes);
    if (typeof params === 'string') return this.warn(params);
    this.start({ kind: 'load', sfs: quavix.writeSfs(params) }, `Opened ${file.name}`);
  }

  /** The buffer length that holds the whole sound. */
  private lengthenBuffer(): void {
    const needed = Number($('cut-fix').dataset.seconds);
    if (needed >= 1 && needed <= 60) this.change({ ...this.recipe, bufferLength: needed }, `Buffer length ${needed} s`);
  }

  // ---- output

  /** Shows the current recipe; with `render`, asks for its sound first, before any other work. */
  private show(render: boolean, what?: string): void {
    const recipe = this.recipe;
    const sound = cook(recipe);
    if (render) {
      this.rendering = true;
      this.changedAt = performance.now();
      document.documentElement.dataset.busy = 'true';
      void this.renderer?.request(quavix.writeSfs(sound.params), sound.renderState, recipe.bufferLength);
    }
    const otherRecipe = this.slots[1 - this.slot];
    const other = cook(otherRecipe).params;
    const otherName = this.slot === 0 ? 'B' : 'A';
    let differing = 0;
    for (const r of this.rows) {
      const stored = sound.params.stored(r.index);
      const user = sound.params.get(r.index);
      if (r.slider) {
        r.slider.value = String(Math.min(r.meta.max, Math.max(r.meta.min, user)));
        r.slider.setAttribute('aria-valuetext', `${roundShown(user)}${r.meta.unit ? ' ' + r.meta.unit : ''}`);
      }
      if (document.activeElement !== r.field) r.field.value = r.slider ? roundShown(user) : String(stored);
      if (r.field instanceof HTMLSelectElement && !(stored >= 0 && stored <= 3)) {
        if (!r.field.querySelector('option[data-other]')) r.field.append(h('option', { value: stored, 'data-other': 'true' }, `${stored} (no wave: silent)`));
        r.field.value = String(stored);
      } else r.field.querySelector('option[data-other]')?.remove();
      r.stored.textContent = `stored ${formatFloat32(stored)}`;
      const locked = this.locks.has(r.index);
      r.lock.setAttribute('aria-pressed', String(locked));
      if (r.lock.dataset.icon !== String(locked)) {
        r.lock.innerHTML = locked ? LOCKED : UNLOCKED;
        r.lock.dataset.icon = String(locked);
      }
      const otherStored = other.stored(r.index);
      const differs = this.comparing && !Object.is(otherStored, stored);
      r.row.classList.toggle('differs', differs);
      r.other.hidden = !differs;
      if (differs) {
        differing++;
        r.other.textContent = `\u2260 ${otherName}: ${shownValue(r, otherStored, other.get(r.index))}`;
      }
      if (r.hz && r.pitch) {
        if (document.activeElement !== r.hz) r.hz.value = '';
        r.hz.placeholder = stored === 0 && r.meta.name === 'MinFreq' ? 'none' : 'Hz';
        r.pitch.textContent = stored === 0 && r.meta.name === 'MinFreq' ? 'no floor' : `sounds at ${pitchOf(stored).toFixed(1)} Hz`;
      }
    }
    ($('seed') as HTMLInputElement).value = String(recipe.seed);
    ($('buffer') as HTMLSelectElement).value = String(recipe.bufferLength);
    ($('undo') as HTMLButtonElement).disabled = !this.timeline.canUndo;
    ($('redo') as HTMLButtonElement).disabled = !this.timeline.canRedo;
    for (const [i, name] of ['A', 'B'].entries()) $(`slot-${name}`).setAttribute('aria-pressed', String(i === this.slot));
    const differences = !this.comparing ? 'X switches between A and B'
      : differing === 0 ? (soundKey(otherRecipe) === soundKey(recipe) ? 'A and B are the same sound' : 'A and B have the same parameters')
      : `${differing} parameter${differing === 1 ? ' differs' : 's differ'} between A and B`;
    if ($('differences').textContent !== differences) $('differences').textContent = differences;
    if (what) this.say(what);
    clearTimeout(this.exportsTimer);
    this.exportsTimer = window.setTimeout(() => this.showExports(), 0);
  }

  /** The settings string, link, command and host script of the current recipe. */
  private showExports(): void {
    clearTimeout(this.exportsTimer);
    const recipe = this.recipe;
    const csvField = $('csv') as HTMLTextAreaElement;
    if (document.activeElement !== csvField) csvField.value = quavix.toSettingsString(cook(recipe).params);
    const fragment = shareFragment(recipe);
    ($('link') as HTMLTextAreaElement).value = location.href.replace(/#.*$/, '') + fragment;
    history.replaceState(null, '', fragment);
    this.persist();
    ($('command') as HTMLTextAreaElement).value = cliCommand(recipe, `${fileBase(recipe)}.wav`);
    ($('script') as HTMLTextAreaElement).value = hostScript(recipe).join('\n');
  }

  private describe(): string {
    const s = this.recipe.source;
    const base = s.kind === 'preset' ? FAMILY_LABELS[s.family] : s.kind === 'randomize' ? 'Random' : s.kind === 'load' ? 'Loaded' : 'Default';
    return `${base} #${this.recipe.seed}${this.recipe.steps.length ? ' (edited)' : ''}`;
  }

  private listItem(k: Kept): HTMLElement {
    return h('li', {}, h('button', { type: 'button', class: 'sound-item', onclick: () => this.restore(k) },
      k.label, k.fingerprint ? h('code', { 'aria-hidden': 'true' }, k.fingerprint.slice(0, 12)) : ''));
  }

  /** The current sound joins the list of sounds made, once per change (a whole slider drag is one). */
  private addToHistory(): void {
    this.historyDue = false;
    const result = this.last;
    if (!result) return;
    const newest = this.history[this.history.length - 1];
    if (!newest || soundKey(newest.recipe) !== soundKey(this.recipe)) {
      this.history.push({ label: this.describe(), recipe: this.recipe, fingerprint: result.sha256 });
      if (this.history.length > KEPT_HISTORY) this.history.shift();
      this.showHistory();
      this.persist();
    } else newest.fingerprint ??= result.sha256;
  }

  /** A slider let go: its drag is one step of the undo history and one sound in the list. */
  private released(): void {
    this.timeline.seal();
    this.historyDue = true;
    if (!this.rendering) this.addToHistory();
  }

  private showHistory(): void {
    $('history').replaceChildren(...this.history.map((k) => this.listItem(k)).reverse());
  }

  /** Keeps the session for a reload: the slots (the shown one is the current sound), the locks and the sounds made. */
  private persist(): void {
    this.slots[this.slot] = this.recipe;
    saveSession(safeStorage(), {
      slots: this.slots, slot: this.slot === 1 ? 1 : 0, comparing: this.comparing, locks: [...this.locks], history: this.history,
    });
  }

  private showLists(): void {
    $('stars').replaceChildren(...this.stars.map((k) => this.listItem(k)));
    if (this.stars.length === 0) $('stars').append(h('li', { class: 'empty' }, 'None yet: Star keeps the current sound.'));
    this.showStar();
  }

  private showStar(): void {
    const key = soundKey(this.recipe);
    const starred = this.stars.some((k) => soundKey(k.recipe) === key);
    $('star').setAttribute('aria-pressed', String(starred));
    $('star').replaceChildren(h('span', { 'aria-hidden': 'true' }, starred ? '\u2605' : '\u2606'), 'Star');
  }

  private rendered(result: Rendered): void {
    const arrived = performance.now();
    this.last = result;
    this.views = null;
    document.documentElement.dataset.busy = 'false';
    document.documentElement.dataset.engine = this.renderer.where;
    this.rendering = false;
    for (const id of ['play', 'download', 'star']) ($(id) as HTMLButtonElement).disabled = false;
    // Sound only after the person has used the page: never on opening it.
    if (this.used) this.play();
    performance.measure('studio: sound to playback', { start: arrived });
    const seconds = result.sampleCount / quavix.SAMPLE_RATE;
    $('length').textContent = `${result.sampleCount.toLocaleString('en')} samples \u00b7 ${formatSeconds(seconds)} s`;
    $('peak').textContent = `peak ${result.peak} (${((100 * result.peak) / 32767).toFixed(0)} %)`;
    $('clipped').textContent = `${result.clipped} clipped`;
    $('clipped').classList.toggle('bad', result.clipped > 0);
    const fp = $('fingerprint');
    fp.textContent = result.sha256.slice(0, 12);
    fp.dataset.sha256 = result.sha256;
    fp.setAttribute('aria-label', `Fingerprint ${result.sha256.slice(0, 12)}, copies the whole SHA-256`);
    const warning = $('warning');
    const wave = cook(this.recipe).params.stored('WaveType');
    const notes: string[] = [];
    if (result.silent) notes.push(wave >= 0 && wave <= 3 ? 'This sound is silent: every sample is 0.' : `This sound is silent: wave type ${wave} makes no wave.`);
    if (result.clipped > 0) notes.push(`${result.clipped} samples are clipped at \u00b132000: lower the volume.`);
    warning.textContent = notes.join(' ');
    warning.hidden = notes.length === 0;
    const bufferLength = this.recipe.bufferLength;
    const cut = result.whole === null || result.whole > result.sampleCount;
    $('cut').hidden = !cut;
    if (cut) {
      $('cut-text').textContent = cutNote(bufferLength, result.whole);
      const seconds = result.whole === null ? null : Math.ceil(result.whole / SAMPLES_PER_BUFFER_SECOND);
      $('cut-fix').hidden = seconds === null;
      $('cut-fix').dataset.seconds = String(seconds);
      $('cut-fix').textContent = `Set the buffer length to ${seconds} s`;
    }
    if (this.historyDue) this.addToHistory();
    this.showStar();
    this.showExports();
    performance.measure('studio: sound shown', { start: arrived });
  }

  /** The sound could not be made: nothing to play or download until another one is. */
  private synthesisFailed(message: string): void {
    document.documentElement.dataset.busy = 'false';
    this.last = null;
    for (const id of ['play', 'download', 'star']) ($(id) as HTMLButtonElement).disabled = true;
    $('fingerprint').textContent = '\u2014';
    delete $('fingerprint').dataset.sha256;
    this.warn(`This sound could not be made, so it cannot be played or downloaded (${message}).`);
  }

  private viewsArrived(views: Views): void {
    if (views.id !== this.last?.id) return;
    const start = performance.now();
    this.views = views;
    this.repaint();
    performance.measure('studio: views painted', { start });
  }

  /** Paints the views again (a new sound, a resize, a change between light and dark). */
  repaint(): void {
    if (!this.views) return;
    drawWave($('wave') as HTMLCanvasElement, this.views.wave, null);
    drawSpectrum($('spectrum') as HTMLCanvasElement, this.views.spectrum);
  }

  private play(): void {
    const result = this.last;
    if (!result) return;
    try {
      this.audio ??= new AudioContext({ sampleRate: quavix.SAMPLE_RATE });
      this.playing?.stop();
      this.playing = null;
      if (result.sampleCount === 0) return;
      const buffer = this.audio.createBuffer(1, result.sampleCount, quavix.SAMPLE_RATE);
      buffer.copyToChannel(result.audio as Float32Array<ArrayBuffer>, 0);
      const source = this.audio.createBufferSource();
      source.buffer = buffer;
      source.connect(this.audio.destination);
      source.start();
      this.playing = source;
      this.playStart = this.audio.currentTime;
      document.dispatchEvent(new CustomEvent('studio-playing', { detail: { sinceChange: performance.now() - this.changedAt, worker: result.timings } }));
      const duration = result.sampleCount / quavix.SAMPLE_RATE;
      const tick = () => {
        if (this.playing !== source || !this.audio) return;
        if (!this.views) return void requestAnimationFrame(tick);
        const t = (this.audio.currentTime - this.playStart) / duration;
        if (this.views) drawWave($('wave') as HTMLCanvasElement, this.views.wave, t <= 1 ? t : null);
        if (t <= 1) requestAnimationFrame(tick);
      };
      requestAnimationFrame(tick);
    } catch (e) {
      this.say(`Cannot play: ${(e as Error).message}`);
    }
  }

  private download(): void {
    if (!this.last) return;
    const name = `${fileBase(this.recipe)}.wav`;
    save(new Blob([this.last.wav as Uint8Array<ArrayBuffer>], { type: 'audio/wav' }), name);
    this.say(`Downloaded ${name}`);
  }

  private saveSfs(): void {
    const name = `${fileBase(this.recipe)}.sfs`;
    save(new Blob([quavix.writeSfs(cook(this.recipe).params) as Uint8Array<ArrayBuffer>], { type: 'application/octet-stream' }), name);
    this.say(`Saved ${name}`);
  }

  private async copy(text: string, what: string): Promise<void> {
    try {
      await navigator.clipboard.writeText(text);
    } catch {
      const area = h('textarea', { class: 'visually-hidden' }, text);
      document.body.append(area);
      area.select();
      document.execCommand('copy');
      area.remove();
    }
    this.say(`Copied the ${what}`);
  }

  private sayTimer = 0;
  /** A short confirmation of what just happened, in the sound panel. */
  say(text: string): void {
    $('status').textContent = text;
    clearTimeout(this.sayTimer);
    this.sayTimer = window.setTimeout(() => ($('status').textContent = ''), 6000);
  }

  /** A problem the user has to know about: it stays at the top of the page until dismissed. */
  warn(text: string): void {
    const notices = $('notices');
    for (const old of notices.querySelectorAll('.notice')) if (old.firstChild?.textContent === text) old.remove();
    const notice = h('div', { class: 'notice', role: 'alert' }, h('p', {}, text));
    notice.append(h('button', { type: 'button', class: 'dismiss', onclick: () => notice.remove() }, 'Dismiss'));
    notices.append(notice);
  }

  showDropZone(shown: boolean): void {
    $('dropzone').hidden = !shown;
  }

  // ---- keys

  keydown(e: KeyboardEvent): void {
    const target = e.target as HTMLElement;
    const typing = target.matches('input:not([type=range]), textarea, select');
    const key = e.key.toLowerCase();
    if ((e.ctrlKey || e.metaKey) && !typing && (key === 'z' || key === 'y')) {
      e.preventDefault();
      if (key === 'y' || e.shiftKey) this.redo();
      else this.undo();
    } else if (e.key === ' ' && !typing && !target.matches('button, label, a')) {
      e.preventDefault();
      this.play();
    } else if (key === 'x' && !typing && !e.ctrlKey && !e.metaKey && !e.altKey) {
      this.toggleSlot(1 - this.slot);
    }
  }
}

/** Equal for recipes that make the same sound with the same buffer length. */
function soundKey(recipe: Recipe): string {
  return JSON.stringify(encodeRecipe(flatten(recipe)));
}

/** A value as the row shows it: in the users' unit for a slider, as stored for the wave type. */
function shownValue(r: Row, stored: number, user: number): string {
  if (!r.slider) return Number.isInteger(stored) && stored >= 0 && stored <= 3 ? WAVE_NAMES[stored] : `${stored} (silent)`;
  return `${roundShown(user)}${r.meta.unit ? ' ' + r.meta.unit : ''}`;
}

/** A file name after the sound: its preset (or how it was made) and its seed, as in jump-492621828. */
function fileBase(recipe: Recipe): string {
  const s = recipe.source;
  const kind = s.kind === 'preset' ? quavix.PRESET_FAMILIES[s.family] : s.kind === 'randomize' ? 'random' : 'sound';
  return `${kind}-${recipe.seed}`;
}

function roundShown(value: number): string {
  return Number.isFinite(value) ? String(Number(value.toPrecision(5))) : String(value);
}

function randomSeed(): number {
  const word = new Uint32Array(1);
  do crypto.getRandomValues(word); while (word[0] === 0);
  return word[0];
}

function safeStorage(): Storage | undefined {
  try {
    return window.localStorage;
  } catch {
    return undefined;
  }
}

function save(blob: Blob, name: string): void {
  const url = URL.createObjectURL(blob);
  const a = h('a', { href: url, download: name });
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

async function main(): Promise<void> {
  let module: WebAssembly.Module;
  try {
    module = await WebAssembly.compile(await wasmBytes());
    await quavix.init(module);
  } catch (e) {
    return engineFailed((e as Error)?.message ?? String(e));
  }
  const studio = new Studio(module);
  document.addEventListener('keydown', (e) => studio.keydown(e));
  for (const type of ['pointerdown', 'keydown']) {
    document.addEventListener(type, (e) => { if (e.isTrusted) studio.used = true; }, { capture: true });
  }
  matchMedia('(prefers-color-scheme: dark)').addEventListener('change', () => studio.repaint());
  new ResizeObserver(() => studio.repaint()).observe($('wave'));
  // A drop zone over the page while files are dragged over it.
  let depth = 0;
  const carriesFiles = (e: DragEvent) => e.dataTransfer?.types.includes('Files') ?? false;
  document.addEventListener('dragenter', (e) => {
    if (!carriesFiles(e)) return;
    depth++;
    studio.showDropZone(true);
  });
  document.addEventListener('dragleave', (e) => {
    if (!carriesFiles(e)) return;
    depth = Math.max(0, depth - 1);
    if (depth === 0) studio.showDropZone(false);
  });
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    depth = 0;
    studio.showDropZone(false);
    void studio.openFile(e.dataTransfer?.files[0]);
  });
  document.documentElement.dataset.ready = 'true';
}

/** Without the core nothing can be made: the page says so instead of showing controls that do nothing. */
function engineFailed(reason: string): void {
  document.documentElement.dataset.engine = 'failed';
  $('app').replaceChildren(
    h('header', { class: 'top' }, h('div', { class: 'brand' }, h('h1', {}, 'Quavix Studio'))),
    h('main', {},
      h('section', { class: 'panel failed', role: 'alert' },
        h('h2', {}, 'The sound engine could not start'),
        h('p', {}, 'This page cannot make, play or download sounds in this browser. Reloading the page may help; ' +
          'if it does not, open the Studio in an up-to-date Chrome, Firefox, Edge or Safari.'),
        h('p', { class: 'help' }, `What the browser said: ${reason}`))),
  );
}

main().catch((e) => {
  $('app').textContent = `Quavix Studio stopped: ${(e as Error)?.message ?? String(e)}. Reloading the page may help.`;
});

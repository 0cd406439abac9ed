// Export and packs: a dialog that makes the current sound, the starred or the library's
// sounds into files with the quavix tool's export options, in one .zip.
import { h, save } from '../dom';
import { fileNameOf, shortName } from '../format';
import { buildPack, type Pack, type PackItem } from '../export/pack';
import * as quavix from 'quavix';
import {
  DEFAULT_CEILING_DBTP,
  DEFAULT_TRIM_DB,
  EXPORT_LIMITS,
  exportRates,
  type ExportOptions,
} from '../export/export-sound';
import { ENGINES, engineRefuses, type Engine } from '../export/engines';
import { FORMAT_BITS, FORMAT_LABELS, type FileFormat, type SampleBits } from '../export/sample-format';
import './export.css';
import type { Studio } from './context';

const BITS_LABELS: Record<SampleBits, string> = {
  '8': '8-bit',
  '16': '16-bit',
  '24': '24-bit',
  '32f': '32-bit float',
};

type Limit = keyof typeof EXPORT_LIMITS;

type Level = 'none' | 'peak' | 'loudness' | 'match';

const ENGINE_LABELS: Record<Engine, string> = {
  web: 'Web game (sounds.js)',
  godot: 'Godot (godot/quavix_sounds.gd)',
  love: 'L\u00d6VE (sounds.lua)',
};

const field = <T extends HTMLElement>(root: HTMLElement, id: string) => root.querySelector<T>(`#${id}`)!;

export class ExportPanel {
  element: HTMLElement;
  private dialog: HTMLDialogElement;
  private busy = false;

  /** The library's sounds that its search shows, by name, and the search; null without a library. */
  fromLibrary: (() => { sounds: PackItem[]; search: string } | null) | null = null;
  /** The Layers panel's layered sound, or null when it has no layers. */
  fromLayers: (() => PackItem | null) | null = null;

  constructor(private studio: Studio) {
    this.dialog = this.makeDialog();
    this.element = h(
      'section',
      { class: 'panel export', 'aria-labelledby': 'export-title' },
      h('h2', { id: 'export-title' }, 'Export and packs'),
      h(
        'p',
        { class: 'help' },
        'WAV, FLAC or Ogg Vorbis at any sample rate, trimmed, faded and brought to one loudness: ' +
          'a .zip with each file, its settings file, host script and quavix command.',
      ),
      h('button', { type: 'button', id: 'export-open', onclick: () => this.open() }, 'Export\u2026'),
      this.dialog,
    );
  }

  private makeDialog(): HTMLDialogElement {
    const number = (id: string, value: number, step: string, label: string) =>
      h(
        'div',
        { class: 'export-field' },
        h('label', { for: id }, label),
        h('input', { id, type: 'number', value, step, inputmode: 'decimal', 'aria-describedby': 'export-error' }),
      );
    const select = (id: string, label: string, options: [string, string][], value: string) =>
      h(
        'div',
        { class: 'export-field' },
        h('label', { for: id }, label),
        h(
          'select',
          { id, onchange: () => this.sync() },
          ...options.map(([v, text]) => h('option', { value: v, ...(v === value ? { selected: true } : {}) }, text)),
        ),
      );
    const radio = (value: string, label: string, checked = false) =>
      h(
        'label',
        { class: 'export-choice' },
        h('input', { type: 'radio', name: 'export-which', value, ...(checked ? { checked: true } : {}) }),
        label,
      );
    const dialog = h(
      'dialog',
      { id: 'export-dialog', class: 'export-dialog', 'aria-labelledby': 'export-dialog-title' },
      h(
        'form',
        { method: 'dialog', id: 'export-form', onsubmit: (e: Event) => this.submit(e) },
        h('h2', { id: 'export-dialog-title' }, 'Export'),
        h(
          'fieldset',
          {},
          h('legend', {}, 'Sounds'),
          radio('current', 'The current sound', true),
          h('span', { id: 'export-layers-choice' }),
          h('span', { id: 'export-starred-choice' }),
          h('span', { id: 'export-library-choice' }),
        ),
        h(
          'fieldset',
          {},
          h('legend', {}, 'File'),
          h(
            'div',
            { class: 'export-row' },
            select(
              'export-format',
              'Format',
              (Object.keys(FORMAT_LABELS) as FileFormat[]).map((f) => [f, FORMAT_LABELS[f]]),
              'wav',
            ),
            select(
              'export-bits',
              'Sample format',
              FORMAT_BITS.wav.map((b) => [b, BITS_LABELS[b]]),
              '16',
            ),
            select(
              'export-rate',
              'Sample rate',
              exportRates().map((r) => [String(r), `${r.toLocaleString('en')} Hz`]),
              String(quavix.SAMPLE_RATE),
            ),
          ),
          h(
            'div',
            { class: 'export-row' },
            h(
              'label',
              { class: 'export-choice' },
              h('input', { type: 'checkbox', id: 'export-trim-on', onchange: () => this.sync() }),
              'Trim silence',
            ),
            number('export-trim', DEFAULT_TRIM_DB, '1', 'Trim threshold (dBFS)'),
            number('export-fade', 0, '1', 'Fade-out (ms, 0 for none)'),
          ),
        ),
        h(
          'fieldset',
          {},
          h('legend', {}, 'Level'),
          h(
            'div',
            { class: 'export-row' },
            select(
              'export-level',
              'Normalisation',
              [
                ['none', 'None: as made'],
                ['peak', 'Sample peak (dBFS)'],
                ['loudness', 'EBU R128 loudness (LUFS)'],
                ['match', 'Match loudness across the set (LUFS)'],
              ],
              'none',
            ),
            number('export-target', -16, '0.1', 'Target'),
            number('export-ceiling', DEFAULT_CEILING_DBTP, '0.1', 'True-peak ceiling (dBTP)'),
          ),
          h(
            'p',
            { class: 'help', id: 'export-level-help' },
            'A loudness target never lifts the true peak above the ceiling; a sound it holds back is marked ' +
              '\u201climited by the ceiling\u201d.',
          ),
        ),
        h(
          'fieldset',
          {},
          h('legend', {}, 'Game engines'),
          h(
            'div',
            { class: 'export-row' },
            ...ENGINES.map((engine) =>
              h(
                'label',
                { class: 'export-choice' },
                h('input', {
                  type: 'checkbox',
                  id: `export-engine-${engine}`,
                  name: 'export-engine',
                  value: engine,
                  'aria-describedby': 'export-engines-help export-engines-why',
                }),
                ENGINE_LABELS[engine],
              ),
            ),
          ),
          h(
            'p',
            { class: 'help', id: 'export-engines-help' },
            'Each adds the files that load the sounds by name in that engine: an ES module of their URLs with ' +
              'play(name), a folder to copy into a Godot project with a script that preloads them, a Lua module ' +
              'of static sources.',
          ),
          h('p', { class: 'help', id: 'export-engines-why' }),
        ),
        h('p', { id: 'export-error', class: 'field-error', role: 'alert' }),
        h('p', { id: 'export-plain', class: 'help' }),
        h(
          'div',
          { class: 'inline tight' },
          h('button', { type: 'submit', id: 'export-make', class: 'primary' }, 'Download pack (.zip)'),
          h('button', { type: 'button', id: 'export-close', onclick: () => this.dialog.close() }, 'Close'),
        ),
        h('p', { id: 'export-status', class: 'status', role: 'status', 'aria-live': 'polite' }),
        h('div', { id: 'export-results', class: 'export-results' }),
      ),
    );
    for (const id of ['export-target', 'export-ceiling', 'export-trim', 'export-fade']) {
      field(dialog, id).addEventListener('input', () => this.check());
    }
    return dialog;
  }

  open(): void {
    const stars = this.studio.store.stars.length;
    const starred = field(this.dialog, 'export-starred-choice');
    const choice = h(
      'label',
      { class: 'export-choice' },
      h('input', { type: 'radio', name: 'export-which', value: 'starred', ...(stars === 0 ? { disabled: true } : {}) }),
      stars === 0 ? 'Starred sounds (none yet: star a sound first)' : `Starred sounds (${stars})`,
    );
    starred.replaceChildren(choice);
    const shown = this.fromLibrary?.()?.sounds ?? null;
    field(this.dialog, 'export-library-choice').replaceChildren(
      shown === null
        ? ''
        : h(
            'label',
            { class: 'export-choice' },
            h('input', {
              type: 'radio',
              name: 'export-which',
              value: 'library',
              ...(shown.length === 0 ? { disabled: true } : {}),
            }),
            shown.length === 0
              ? 'Library sounds shown (none: save sounds or change the search)'
              : `Library sounds shown (${shown.length})`,
          ),
    );
    const mix = this.fromLayers?.() ?? null;
    field(this.dialog, 'export-layers-choice').replaceChildren(
      h(
        'label',
        { class: 'export-choice' },
        h('input', { type: 'radio', name: 'export-which', value: 'layers', ...(mix ? {} : { disabled: true }) }),
        mix
          ? `The layered sound \u201c${shortName(mix.name)}\u201d (${mix.layers!.length} layers)`
          : 'The layered sound (none yet: add layers first)',
      ),
    );
    const current = this.dialog.querySelector<HTMLInputElement>('input[value=current]')!;
    current.checked = true;
    this.sync();
    this.dialog.showModal();
    field<HTMLSelectElement>(this.dialog, 'export-format').focus();
  }

  /** The sounds chosen, named after themselves (the pack builder takes any such list). */
  private items(): PackItem[] {
    const store = this.studio.store;
    const which = this.dialog.querySelector<HTMLInputElement>('input[name=export-which]:checked')?.value;
    if (which === 'starred') return store.stars.map((k) => ({ name: k.label, recipe: k.recipe }));
    if (which === 'library') return this.fromLibrary?.()?.sounds ?? [];
    if (which === 'layers') {
      const mix = this.fromLayers?.();
      return mix ? [mix] : [];
    }
    return [{ name: store.fileName(), recipe: store.recipe }];
  }

  /** The engines whose files the pack gets: those checked that take the chosen format. */
  private engines(): Engine[] {
    return ENGINES.filter((engine) => {
      const box = field<HTMLInputElement>(this.dialog, `export-engine-${engine}`);
      return box.checked && !box.disabled;
    });
  }

  /** Shows the fields that apply to the chosen format and level. */
  private sync(): void {
    const d = this.dialog;
    const format = field<HTMLSelectElement>(d, 'export-format').value as FileFormat;
    const bits = field<HTMLSelectElement>(d, 'export-bits');
    const kept = bits.value;
    const choices = FORMAT_BITS[format];
    bits.replaceChildren(...choices.map((b) => h('option', { value: b }, BITS_LABELS[b])));
    bits.value = choices.includes(kept as SampleBits) ? kept : '16';
    bits.disabled = choices.length === 0;
    if (choices.length === 0) bits.replaceChildren(h('option', { value: '' }, 'Chosen by the encoder'));
    const level = field<HTMLSelectElement>(d, 'export-level').value as Level;
    field<HTMLInputElement>(d, 'export-target').disabled = level === 'none';
    field<HTMLInputElement>(d, 'export-ceiling').disabled = level !== 'loudness' && level !== 'match';
    field<HTMLInputElement>(d, 'export-trim').disabled = !field<HTMLInputElement>(d, 'export-trim-on').checked;
    const refused: string[] = [];
    for (const engine of ENGINES) {
      const why = engineRefuses(engine, format);
      field<HTMLInputElement>(d, `export-engine-${engine}`).disabled = why !== null;
      if (why) refused.push(`${why}.`);
    }
    field(d, 'export-engines-why').textContent = refused.join(' ');
    this.check();
  }

  /** The options asked for, or what is wrong with them (shown beside the button). */
  private check(): ExportOptions | null {
    const d = this.dialog;
    const error = field(d, 'export-error');
    const fields: HTMLInputElement[] = [];
    const read = (id: string, limit: Limit): number | string => {
      const input = field<HTMLInputElement>(d, id);
      input.removeAttribute('aria-invalid');
      if (input.disabled) return 0;
      const l = EXPORT_LIMITS[limit];
      const value = input.value.trim() === '' ? NaN : Number(input.value);
      const whole = limit === 'fade';
      if (
        !Number.isFinite(value) ||
        value < l.min ||
        (l.open ? value >= l.max : value > l.max) ||
        (whole && !Number.isInteger(value))
      ) {
        fields.push(input);
        return `${l.what} must be ${whole ? 'a whole number' : 'a number'} from ${l.min} to ${l.open ? 'below ' : ''}${l.max} ${l.unit}.`;
      }
      return value;
    };
    const level = field<HTMLSelectElement>(d, 'export-level').value as Level;
    const format = field<HTMLSelectElement>(d, 'export-format').value as FileFormat;
    const bits = (format === 'ogg' ? '16' : field<HTMLSelectElement>(d, 'export-bits').value) as SampleBits;
    const trimOn = field<HTMLInputElement>(d, 'export-trim-on').checked;
    const values = {
      trim: read('export-trim', 'trim'),
      fade: read('export-fade', 'fade'),
      target: read('export-target', level === 'peak' ? 'peak' : 'lufs'),
      ceiling: read('export-ceiling', 'ceiling'),
    };
    const problems = Object.values(values).filter((v): v is string => typeof v === 'string');
    for (const input of fields) input.setAttribute('aria-invalid', 'true');
    error.textContent = problems.join(' ');
    field<HTMLButtonElement>(d, 'export-make').disabled = problems.length > 0;
    if (problems.length > 0) return null;
    const num = (v: number | string) => v as number;
    const target = num(values.target);
    const options: ExportOptions = {
      format,
      bits,
      rate: Number(field<HTMLSelectElement>(d, 'export-rate').value),
      trimDb: trimOn ? num(values.trim) : null,
      fadeOutMs: num(values.fade),
      normalize:
        level === 'none'
          ? { kind: 'none' }
          : level === 'peak'
            ? { kind: 'peak', dbfs: target }
            : { kind: level, lufs: target },
      ceilingDbtp: level === 'loudness' || level === 'match' ? num(values.ceiling) : DEFAULT_CEILING_DBTP,
    };
    field(d, 'export-plain').textContent =
      format === 'wav' &&
      bits === '16' &&
      options.rate === quavix.SAMPLE_RATE &&
      !trimOn &&
      options.fadeOutMs === 0 &&
      level === 'none'
        ? 'As made: each WAV file is the module\u2019s own, byte for byte.'
        : '';
    return options;
  }

  private async submit(e: Event): Promise<void> {
    e.preventDefault();
    if (this.busy) return;
    const options = this.check();
    if (!options) return;
    const items = this.items();
    if (items.length === 0) return;
    const status = field(this.dialog, 'export-status');
    const button = field<HTMLButtonElement>(this.dialog, 'export-make');
    this.busy = true;
    button.disabled = true;
    this.dialog.setAttribute('aria-busy', 'true');
    status.textContent = `Making ${items.length === 1 ? 'the sound' : `${items.length} sounds`}\u2026`;
    let pack: Pack;
    try {
      pack = await buildPack(
        items,
        options,
        (done, total) => {
          status.textContent = `Made ${done} of ${total}\u2026`;
        },
        this.engines(),
      );
    } catch (err) {
      status.textContent = `The pack could not be made: ${(err as Error)?.message ?? String(err)}.`;
      return;
    } finally {
      this.busy = false;
      button.disabled = false;
      this.dialog.removeAttribute('aria-busy');
    }
    const name = `${this.packName(items)}.zip`;
    save(new Blob([pack.zip as Uint8Array<ArrayBuffer>], { type: 'application/zip' }), name);
    const limited = pack.sounds.filter((s) => s.limited).length;
    const reachable = Math.min(...pack.sounds.map((s) => s.reachableLufs ?? Infinity));
    status.textContent =
      `Downloaded ${shortName(name)}` +
      (limited > 0
        ? `; ${limited} of ${pack.sounds.length} limited by the ceiling. A target of ` +
          `${(Math.floor(reachable * 10) / 10).toFixed(1)} LUFS brings every sound to one loudness.`
        : '.');
    this.showResults(pack);
    this.studio.say(`Downloaded ${shortName(name)}`);
  }

  /** A pack's name, without extension: after its one sound, the library's search, or the starred sounds. */
  private packName(items: PackItem[]): string {
    const which = this.dialog.querySelector<HTMLInputElement>('input[name=export-which]:checked')?.value;
    if (items.length === 1) return `${fileNameOf(items[0].name, 'sound')}-pack`;
    if (which !== 'library') return 'starred-sounds';
    const search = fileNameOf(this.fromLibrary?.()?.search ?? '', '');
    return search === '' ? 'library-sounds' : `library-${search}`;
  }

  private showResults(pack: Pack): void {
    const db = (v: number) => (Number.isFinite(v) ? v.toFixed(1) : '\u2212\u221e').replace('-', '\u2212');
    const rows = pack.sounds.map((s) =>
      h(
        'tr',
        { class: s.limited ? 'limited' : '' },
        h('th', { scope: 'row' }, s.file),
        h('td', { 'data-label': 'LUFS' }, db(s.loudnessLufs)),
        h('td', { 'data-label': 'dBTP' }, db(s.truePeakDbtp)),
        h('td', { 'data-label': 'Note', class: 'note' }, s.notes.length ? s.notes.join('; ') : '\u2014'),
      ),
    );
    field(this.dialog, 'export-results').replaceChildren(
      h(
        'table',
        {},
        h('caption', {}, 'Files in the pack'),
        h(
          'thead',
          {},
          h(
            'tr',
            {},
            h('th', { scope: 'col' }, 'File'),
            h('th', { scope: 'col' }, 'LUFS'),
            h('th', { scope: 'col' }, 'dBTP'),
            h('th', { scope: 'col' }, 'Note'),
          ),
        ),
        h('tbody', {}, ...rows),
      ),
    );
  }
}

// The 24 parameters: a slider and a typed value in the users' unit for each
// (the wave type as a list), its stored value, its lock, the Hz entry of the
// two frequencies with their note and a snap to it, and the other A/B slot's
// value while it differs. Each control's tooltip is its help text.
import * as quavix from 'quavix';
import { WAVE_NAMES, paramGroups, type ParamMeta } from '../meta';
import { withValue } from '../recipe';
import { cookedOf } from '../store';
import { formatFloat32 } from '../format';
import { formatNote, noteOf, snapToNote, spokenNote } from '../notes';
import { h } from '../dom';
import type { Panel, Studio } from './context';

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
  /** What is wrong with the last typed value, beside its field. */
  error: HTMLElement;
  hz?: HTMLInputElement;
  pitch?: HTMLElement;
  note?: HTMLElement;
  snap?: HTMLButtonElement;
}

export function roundShown(value: number): string {
  return Number.isFinite(value) ? String(Number(value.toPrecision(5))) : String(value);
}

/** A value as the row shows it: in the users' unit for a slider, as stored for the wave type. */
function shownValue(r: Row, stored: number, user: number): string {
  if (!r.slider)
    return Number.isInteger(stored) && stored >= 0 && stored <= 3 ? WAVE_NAMES[stored] : `${stored} (silent)`;
  return `${roundShown(user)}${r.meta.unit ? ' ' + r.meta.unit : ''}`;
}

export class ParametersPanel implements Panel {
  element: HTMLElement;
  private rows: Row[] = [];

  constructor(private studio: Studio) {
    this.element = h(
      'section',
      { class: 'panel params', id: 'params', 'aria-labelledby': 'params-title' },
      h(
        'div',
        { class: 'panel-head' },
        h('h2', { id: 'params-title', tabindex: '-1' }, 'Parameters'),
        h('span', { class: 'help' }, 'A lock keeps a value through presets, Randomize and Mutate.'),
      ),
      h(
        'div',
        { class: 'groups' },
        ...paramGroups().map((group) =>
          h(
            'fieldset',
            { class: 'group', id: `group-${group.id}` },
            h('legend', {}, group.title),
            ...group.params.map((meta) => this.paramRow(meta)),
          ),
        ),
      ),
    );
  }

  private paramRow(meta: ParamMeta): HTMLElement {
    const store = this.studio.store;
    const index = (quavix.PARAM_NAMES as readonly string[]).indexOf(meta.name);
    const id = `p-${meta.name}`;
    const unitWords = meta.unitWords ? ` in ${meta.unitWords}` : '';
    const lockName = `Lock ${meta.label.charAt(0).toLowerCase()}${meta.label.slice(1)}`;
    const lock = h('button', {
      type: 'button',
      class: 'lock',
      'aria-pressed': 'false',
      'aria-label': lockName,
      title: lockName,
      onclick: () => store.toggleLock(index),
    });
    const stored = h('span', { class: 'stored', id: `${id}-stored` });
    const other = h('span', { class: 'other', id: `${id}-other`, hidden: true });
    const help = h('span', { class: 'help', id: `${id}-help` }, meta.help);
    const error = h('span', { class: 'field-error', id: `${id}-error`, role: 'status' });
    const describedBy = `${id}-help ${id}-stored ${id}-other`;
    let slider: HTMLInputElement | null = null;
    let field: HTMLInputElement | HTMLSelectElement;
    const controls: Node[] = [];
    if (meta.name === 'WaveType') {
      field = h(
        'select',
        {
          id,
          title: meta.help,
          'aria-describedby': describedBy,
          onchange: () => this.setUser(index, Number(field.value), 'set'),
        },
        ...WAVE_NAMES.map((name, i) => h('option', { value: i }, `${i} ${name}`)),
      );
      controls.push(field);
    } else {
      const step = (meta.max - meta.min) / 1000;
      const range = h('input', {
        type: 'range',
        id,
        min: meta.min,
        max: meta.max,
        step,
        title: meta.help,
        'aria-describedby': describedBy,
        oninput: () => this.setUser(index, Number(range.value), 'drag'),
        onchange: () => store.released(),
      });
      slider = range;
      field = h('input', {
        type: 'number',
        id: `${id}-value`,
        step: 'any',
        inputmode: 'decimal',
        'aria-label': `${meta.label}${unitWords}`,
        title: meta.help,
        'aria-describedby': `${id}-error`,
        onchange: () => this.typed(index, field as HTMLInputElement),
      });
      controls.push(
        h(
          'div',
          { class: 'control' },
          range,
          h('span', { class: 'value' }, field, meta.unit ? h('span', { class: 'unit' }, meta.unit) : ''),
        ),
      );
      controls.push(error);
    }
    const row = h(
      'div',
      { class: 'param', 'data-param': meta.name },
      h('div', { class: 'param-head' }, lock, h('label', { for: id, title: meta.help }, meta.label), stored),
      ...controls,
      other,
      help,
    );
    const entry: Row = { meta, index, row, slider, field, stored, lock, other, error };
    if (meta.frequency) {
      const hz = h('input', {
        type: 'number',
        id: `${id}-hz`,
        step: 'any',
        min: '0',
        max: String(quavix.pitchOf(Infinity)),
        inputmode: 'decimal',
        'aria-label': `${meta.label}: the pitch to hear in Hz`,
        'aria-describedby': `${id}-error`,
        onchange: () => this.hzTyped(entry),
      });
      entry.hz = hz;
      entry.pitch = h('span', { class: 'pitch', id: `${id}-pitch` });
      entry.note = h('span', { class: 'note', id: `${id}-note` });
      entry.snap = h('button', { type: 'button', class: 'snap', id: `${id}-snap`, onclick: () => this.snap(entry) });
      row.insertBefore(
        h(
          'div',
          { class: 'hz' },
          h('span', { class: 'value' }, hz, h('span', { class: 'unit' }, 'Hz')),
          entry.pitch,
          entry.note,
          entry.snap,
        ),
        help,
      );
    }
    this.rows.push(entry);
    return row;
  }

  private labelOf(index: number): string {
    return this.rows.find((r) => r.index === index)?.meta.label ?? 'Parameter';
  }

  private setUser(index: number, value: number, how: 'drag' | 'set'): void {
    const store = this.studio.store;
    const params = cookedOf(store.recipe).params.clone().set(index, value);
    const row = this.rows.find((r) => r.index === index);
    const shown = row ? `${row.meta.label} ${shownValue(row, params.stored(index), params.get(index))}` : 'Parameter';
    store.change(withValue(store.recipe, index, params.stored(index)), shown, how === 'drag' ? `set-${index}` : null);
  }

  /** Shows what is wrong with a typed value beside its field, or clears it (problem null). */
  private refuse(row: Row, field: HTMLInputElement, problem: string | null): void {
    for (const f of [row.field, row.hz]) f?.removeAttribute('aria-invalid');
    row.error.textContent = problem ?? '';
    if (problem === null) return;
    field.setAttribute('aria-invalid', 'true');
    this.studio.say(`${row.meta.label}: ${problem}`);
  }

  private typed(index: number, field: HTMLInputElement): void {
    const row = this.rows.find((r) => r.index === index)!;
    const value = Number(field.value);
    if (field.value.trim() === '' || !Number.isFinite(value)) return this.refuse(row, field, 'type a number.');
    // The core's rule, as the quavix tool's --set applies it; the last good value stays.
    const problem = quavix.checkUserValue(index, value);
    if (problem !== null) return this.refuse(row, field, problem.slice(problem.indexOf(': ') + 2));
    this.refuse(row, field, null);
    this.setUser(index, value, 'set');
  }

  /** A pitch in Hz: the stored frequency whose period sounds closest to it (for MinFreq, 0 is no floor). */
  private hzTyped(row: Row): void {
    const field = row.hz!;
    const hz = Number(field.value);
    if (field.value.trim() === '' || !Number.isFinite(hz)) return this.refuse(row, field, 'type a number of Hz.');
    let stored = 0;
    if (!(hz === 0 && row.meta.name === 'MinFreq')) {
      try {
        stored = quavix.freqForPitch(hz);
      } catch (e) {
        if (!(e instanceof RangeError)) throw e;
        return this.refuse(row, field, e.message.slice(e.message.lastIndexOf(': ') + 2));
      }
    }
    this.refuse(row, field, null);
    const store = this.studio.store;
    store.change(withValue(store.recipe, row.index, stored), `${row.meta.label} at ${hz} Hz`);
  }

  /** Sets the frequency to the stored value that sounds nearest the note nearest its pitch. */
  private snap(row: Row): void {
    const store = this.studio.store;
    const snapped = snapToNote(cookedOf(store.recipe).params.stored(row.index));
    if (!snapped) return;
    store.change(
      withValue(store.recipe, row.index, snapped.stored),
      `${row.meta.label} snapped to ${snapped.note.name}`,
    );
  }

  update(): void {
    const store = this.studio.store;
    const params = cookedOf(store.recipe).params;
    const other = cookedOf(store.slots[1 - store.slot]).params;
    const otherName = store.slot === 0 ? 'B' : 'A';
    for (const r of this.rows) {
      const stored = params.stored(r.index);
      const user = params.get(r.index);
      if (r.slider) {
        r.slider.value = String(Math.min(r.meta.max, Math.max(r.meta.min, user)));
        r.slider.setAttribute('aria-valuetext', `${roundShown(user)}${r.meta.unit ? ' ' + r.meta.unit : ''}`);
      }
      if (document.activeElement !== r.field) r.field.value = r.slider ? roundShown(user) : String(stored);
      if (r.field instanceof HTMLSelectElement && !(stored >= 0 && stored <= 3)) {
        if (!r.field.querySelector('option[data-other]')) {
          r.field.append(h('option', { value: stored, 'data-other': 'true' }, `${stored} (no wave: silent)`));
        }
        r.field.value = String(stored);
      } else r.field.querySelector('option[data-other]')?.remove();
      r.stored.textContent = `stored ${formatFloat32(stored)}`;
      const locked = store.locks.has(r.index);
      r.lock.setAttribute('aria-pressed', String(locked));
      if (r.lock.dataset.icon !== String(locked)) {
        r.lock.innerHTML = locked ? LOCKED : UNLOCKED;
        r.lock.dataset.icon = String(locked);
      }
      const otherStored = other.stored(r.index);
      const differs = store.comparing && !Object.is(otherStored, stored);
      r.row.classList.toggle('differs', differs);
      r.other.hidden = !differs;
      if (differs) r.other.textContent = `\u2260 ${otherName}: ${shownValue(r, otherStored, other.get(r.index))}`;
      if (r.hz && r.pitch) {
        const none = stored === 0 && r.meta.name === 'MinFreq';
        if (document.activeElement !== r.hz) r.hz.value = '';
        r.hz.placeholder = none ? 'none' : 'Hz';
        r.pitch.textContent = none ? 'no floor' : `sounds at ${quavix.pitchOf(stored).toFixed(1)} Hz`;
        this.showNote(r, none ? null : stored);
      }
    }
  }

  /** The note of the frequency with its cents, and the snap to that note (none without a frequency). */
  private showNote(r: Row, stored: number | null): void {
    const note = stored === null ? null : noteOf(quavix.pitchOf(stored));
    const snapped = stored === null ? null : snapToNote(stored);
    r.note!.replaceChildren(
      ...(note
        ? [
            h('span', { 'aria-hidden': 'true' }, formatNote(note)),
            h('span', { class: 'visually-hidden' }, spokenNote(note)),
          ]
        : []),
    );
    r.snap!.hidden = !snapped;
    if (!snapped) return;
    const lower = `${r.meta.label.charAt(0).toLowerCase()}${r.meta.label.slice(1)}`;
    r.snap!.replaceChildren(
      `Snap to ${snapped.note.name}`,
      h('span', { class: 'visually-hidden' }, ` (${lower}, the note ${spokenNote(snapped.note, false)})`),
    );
    r.snap!.disabled = Object.is(snapped.stored, stored);
  }
}

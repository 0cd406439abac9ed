// Making a sound: the presets and Randomize (a fresh seed each press), Mutate,
// the seed and the buffer length.
import * as quavix from 'quavix';
import { FAMILY_LABELS } from '../meta';
import { startFrom, withMutation, withSeed, type Source } from '../recipe';
import { randomSeed } from '../store';
import { $, h } from '../dom';
import type { Panel, Studio } from './context';

export class MakePanel implements Panel {
  element: HTMLElement;

  constructor(private studio: Studio) {
    const store = studio.store;
    const pressed = (source: Source, label: string) => (e: Event) =>
      this.press(source, label, (e as MouseEvent).shiftKey);
    this.element = h(
      'section',
      { class: 'panel make', 'aria-labelledby': 'make-title' },
      h('h2', { id: 'make-title' }, 'Make'),
      h(
        'div',
        { class: 'presets', role: 'group', 'aria-label': 'Presets' },
        ...FAMILY_LABELS.map((label, family) =>
          h(
            'button',
            {
              type: 'button',
              'data-family': family,
              'aria-describedby': 'seed-help',
              onclick: pressed({ kind: 'preset', family }, label),
            },
            label,
          ),
        ),
        h(
          'button',
          {
            type: 'button',
            id: 'randomize',
            'aria-describedby': 'seed-help',
            onclick: pressed({ kind: 'randomize' }, 'Randomize'),
          },
          'Randomize',
        ),
      ),
      h(
        'div',
        { class: 'inline' },
        h('label', { for: 'mutate-amount' }, 'Mutate by'),
        h('input', {
          id: 'mutate-amount',
          type: 'number',
          step: '0.01',
          min: '0',
          max: '1',
          value: '0.05',
          inputmode: 'decimal',
        }),
        h('button', { type: 'button', id: 'mutate', onclick: () => this.mutate() }, 'Mutate'),
      ),
      h(
        'div',
        { class: 'inline' },
        h('label', { for: 'seed' }, 'Seed'),
        h('input', {
          id: 'seed',
          type: 'text',
          inputmode: 'numeric',
          autocomplete: 'off',
          spellcheck: 'false',
          'aria-describedby': 'seed-help',
          onchange: () => this.seedTyped(),
        }),
        h(
          'button',
          {
            type: 'button',
            id: 'new-seed',
            onclick: () => store.change(withSeed(store.recipe, randomSeed()), 'New seed'),
          },
          'New seed',
        ),
      ),
      h(
        'p',
        { id: 'seed-help', class: 'help' },
        'Each preset or Randomize press draws a new seed (1 to 4294967295) and shows it here. ' +
          'To hear a seed again, type it here before pressing, or Shift+click. New seed makes another sound of the same recipe.',
      ),
      h(
        'div',
        { class: 'inline' },
        h('label', { for: 'buffer' }, 'Buffer length'),
        h(
          'select',
          {
            id: 'buffer',
            onchange: (e: Event) =>
              store.change(
                { ...store.recipe, bufferLength: Number((e.target as HTMLSelectElement).value) },
                'Buffer length',
              ),
          },
          ...Array.from({ length: 60 }, (_, i) => h('option', { value: i + 1 }, `${i + 1} s`)),
        ),
        h('span', { class: 'help' }, `the longest sound: length \u00d7 ${quavix.bufferSamples(1)} samples`),
      ),
    );
  }

  /**
   * A preset or Randomize press: a fresh seed each time, unless one was just typed into the seed
   * field or Shift is held, which draw from the seed shown.
   */
  private press(source: Source, label: string, sameSeed: boolean): void {
    const store = this.studio.store;
    const seed = sameSeed || store.seedTypedForNext ? store.recipe.seed : randomSeed();
    store.seedTypedForNext = false;
    store.change(startFrom(store.recipe, source, store.locks, seed), `${label}, seed ${seed}`);
  }

  private mutate(): void {
    const store = this.studio.store;
    const amount = Number(($('mutate-amount') as HTMLInputElement).value);
    if (!Number.isFinite(amount)) return this.studio.warn('The mutation amount is not a number.');
    // The core's rule, as the quavix tool's --mutate applies it.
    const problem = quavix.checkMutateAmount(amount);
    if (problem !== null) return this.studio.warn(`Not mutated: ${problem}.`);
    store.change(withMutation(store.recipe, amount, store.locks), `Mutate by ${amount}`);
  }

  private seedTyped(): void {
    const store = this.studio.store;
    const field = $('seed') as HTMLInputElement;
    const text = field.value.trim();
    const seed = Number(text);
    if (!/^\d+$/.test(text) || seed < 1 || seed > 0xffffffff) {
      this.studio.warn(
        'The seed is a whole number from 1 to 4294967295 (0 would make a different sound each time the game runs).',
      );
      field.setAttribute('aria-invalid', 'true');
      return;
    }
    field.removeAttribute('aria-invalid');
    store.seedTypedForNext = true;
    store.change(withSeed(store.recipe, seed), 'Seed');
  }

  update(): void {
    const recipe = this.studio.store.recipe;
    ($('seed') as HTMLInputElement).value = String(recipe.seed);
    ($('buffer') as HTMLSelectElement).value = String(recipe.bufferLength);
  }
}

// A/B: two slots to switch between, copies either way, and how many parameters differ.
import * as quavix from 'quavix';
import { cookedOf, soundKey } from '../store';
import { $, h } from '../dom';
import type { Panel, Studio } from './context';

export class ComparePanel implements Panel {
  element: HTMLElement;

  constructor(private studio: Studio) {
    const store = studio.store;
    this.element = h(
      'div',
      { class: 'ab', role: 'group', 'aria-label': 'Compare two sounds, A and B' },
      ...(['A', 'B'] as const).map((name, i) =>
        h(
          'button',
          {
            type: 'button',
            id: `slot-${name}`,
            class: 'slot',
            'aria-pressed': String(i === 0),
            'aria-keyshortcuts': 'X',
            'aria-label': `Sound ${name}`,
            onclick: () => store.toggleSlot(i === 0 ? 0 : 1),
          },
          name,
        ),
      ),
      h('button', { type: 'button', id: 'copy-a-b', onclick: () => store.copySlot(0, 1) }, 'Copy A to B'),
      h('button', { type: 'button', id: 'copy-b-a', onclick: () => store.copySlot(1, 0) }, 'Copy B to A'),
      h('span', { id: 'differences', class: 'hint', 'aria-live': 'polite' }),
    );
  }

  update(): void {
    const store = this.studio.store;
    for (const [i, name] of ['A', 'B'].entries())
      $(`slot-${name}`).setAttribute('aria-pressed', String(i === store.slot));
    const mine = cookedOf(store.recipe).params;
    const otherRecipe = store.slots[1 - store.slot];
    const other = cookedOf(otherRecipe).params;
    const differing = quavix.PARAM_NAMES.filter((_, i) => !Object.is(mine.stored(i), other.stored(i))).length;
    const text = !store.comparing
      ? 'X switches between A and B'
      : differing > 0
        ? `${differing} parameter${differing === 1 ? ' differs' : 's differ'} between A and B`
        : soundKey(otherRecipe) === soundKey(store.recipe)
          ? 'A and B are the same sound'
          : 'A and B have the same parameters';
    if ($('differences').textContent !== text) $('differences').textContent = text;
  }
}

// Undo, redo, the starred sounds (kept on this computer) and the sounds made.
import type { Kept } from '../timeline';
import { safeStorage, $, h } from '../dom';
import type { Panel, Studio } from './context';

export class HistoryPanel implements Panel {
  element: HTMLElement;
  /** The newest sound listed and its fingerprint, to redraw the list only when it changed. */
  private shown: [Kept | undefined, string | undefined, number] = [undefined, undefined, -1];

  constructor(private studio: Studio) {
    const store = studio.store;
    this.element = h(
      'section',
      { class: 'panel history', 'aria-labelledby': 'history-title' },
      h(
        'div',
        { class: 'panel-head' },
        h('h2', { id: 'history-title' }, 'History'),
        h(
          'div',
          { class: 'inline tight' },
          h(
            'button',
            { type: 'button', id: 'undo', onclick: () => store.undo(), 'aria-keyshortcuts': 'Control+Z' },
            'Undo',
          ),
          h(
            'button',
            {
              type: 'button',
              id: 'redo',
              onclick: () => store.redo(),
              'aria-keyshortcuts': 'Control+Shift+Z Control+Y',
            },
            'Redo',
          ),
          h('button', { type: 'button', id: 'star', onclick: () => void this.star(), 'aria-pressed': 'false' }, 'Star'),
        ),
      ),
      h('h3', {}, 'Starred (kept on this computer)'),
      h('ol', { id: 'stars', class: 'sounds' }),
      h('h3', {}, 'Made since this page opened'),
      h('ol', { id: 'history', class: 'sounds', reversed: true }),
    );
  }

  /** Set when the library keeps the stars: it stars the sound and says so; false when it cannot. */
  starWith: (() => Promise<boolean>) | null = null;

  private async star(): Promise<void> {
    if (!this.studio.store.last) return;
    if (this.starWith && (await this.starWith())) return this.update();
    const starred = this.studio.store.toggleStar(safeStorage());
    this.showStars();
    this.update();
    this.studio.say(starred ? 'Starred' : 'Star removed');
  }

  private listItem(k: Kept): HTMLElement {
    const store = this.studio.store;
    return h(
      'li',
      {},
      h(
        'button',
        { type: 'button', class: 'sound-item', onclick: () => store.change(k.recipe, k.label) },
        k.label,
        k.fingerprint ? h('code', { 'aria-hidden': 'true' }, k.fingerprint.slice(0, 12)) : '',
      ),
    );
  }

  showStars(): void {
    const stars = this.studio.store.stars;
    $('stars').replaceChildren(...stars.map((k) => this.listItem(k)));
    if (stars.length === 0) $('stars').append(h('li', { class: 'empty' }, 'None yet: Star keeps the current sound.'));
  }

  update(): void {
    const store = this.studio.store;
    ($('undo') as HTMLButtonElement).disabled = !store.timeline.canUndo;
    ($('redo') as HTMLButtonElement).disabled = !store.timeline.canRedo;
    const starred = store.isStarred();
    $('star').setAttribute('aria-pressed', String(starred));
    $('star').replaceChildren(h('span', { 'aria-hidden': 'true' }, starred ? '\u2605' : '\u2606'), 'Star');
    const made = store.history;
    const newest = made[made.length - 1];
    const [entry, fingerprint, length] = this.shown;
    if (entry !== newest || fingerprint !== newest?.fingerprint || length !== made.length) {
      this.shown = [newest, newest?.fingerprint, made.length];
      $('history').replaceChildren(...made.map((k) => this.listItem(k)).reverse());
    }
  }
}

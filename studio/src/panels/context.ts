// What every panel may use: the state, and the page's ways to speak and play.
import type { Store } from '../store';
import type { Recipe } from '../recipe';

export interface Studio {
  store: Store;
  /** A short confirmation of what just happened. */
  say(text: string): void;
  /** A problem the user has to know about: it stays until dismissed. */
  warn(text: string): void;
  play(): void;
  copy(text: string, what: string): Promise<void>;
  /** Set once the person has used the page: from then on a change plays its sound. */
  used: boolean;
  /** Adds a sound as the last layer of the Layers panel. */
  addLayer(recipe: Recipe, name: string): void;
}

/** A part of the page: its element, redrawn after each change. */
export interface Panel {
  element: HTMLElement;
  update(): void;
}

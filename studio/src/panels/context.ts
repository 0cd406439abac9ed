// What every panel may use: the state, and the page's ways to speak and play.
import type { Store } from '../store';

export interface Studio {
  store: Store;
  /** A short confirmation of what just happened. */
  say(text: string): void;
  /** A problem the user has to know about: it stays until dismissed. */
  warn(text: string): void;
  play(): void;
  copy(text: string, what: string): Promise<void>;
}

/** A part of the page: its element, redrawn after each change. */
export interface Panel {
  element: HTMLElement;
  update(): void;
}

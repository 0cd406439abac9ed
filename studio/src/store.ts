// The Studio's state: the current recipe with its undo history, the two A/B
// slots, the locks, the sounds made and starred, and the last sound rendered.
// Panels change it through these methods and redraw when it tells them.
import * as quavix from 'quavix';
import type { Rendered, Views } from './protocol';
import { cook, encodeRecipe, flatten, type Recipe, type Sound } from './recipe';
import { KEPT_HISTORY, saveSession, saveStars, Timeline, type Kept, type Session } from './timeline';
import { FAMILY_LABELS } from './meta';
import { fileNameOf } from './format';

/** What changed: `render` asks for the sound of the current recipe; `what` is said to the user. */
export interface Change {
  render: boolean;
  what?: string;
}

const keys = new WeakMap<Recipe, string>();
const cooked = new WeakMap<Recipe, Sound>();

/** Equal for recipes that make the same sound with the same buffer length. */
export function soundKey(recipe: Recipe): string {
  let key = keys.get(recipe);
  if (key === undefined) {
    key = JSON.stringify(encodeRecipe(flatten(recipe)));
    keys.set(recipe, key);
  }
  return key;
}

/** The recipe's sound, cooked once per recipe (recipes are never changed in place); not to be changed. */
export function cookedOf(recipe: Recipe): Sound {
  let sound = cooked.get(recipe);
  if (sound === undefined) {
    sound = cook(recipe);
    cooked.set(recipe, sound);
  }
  return sound;
}

/** A file name after how the sound was made (its preset, Randomize, or else "sound") and its seed, as in jump-492621828. */
export function fileBase(recipe: Recipe): string {
  const s = recipe.source;
  const kind = s.kind === 'preset' ? quavix.PRESET_FAMILIES[s.family] : s.kind === 'randomize' ? 'random' : 'sound';
  return `${kind}-${recipe.seed}`;
}

export function randomSeed(): number {
  const word = new Uint32Array(1);
  do crypto.getRandomValues(word);
  while (word[0] === 0);
  return word[0];
}

export class Store {
  readonly timeline: Timeline;
  locks = new Set<number>();
  slots: [Recipe, Recipe];
  slot: 0 | 1 = 0;
  /** Set once A/B has been used: from then on, differences are shown. */
  comparing = false;
  /** Sounds made, oldest first. */
  history: Kept[] = [];
  stars: Kept[] = [];
  last: Rendered | null = null;
  views: Views | null = null;
  /** A seed typed into the seed field, which the next preset or Randomize press uses as it is. */
  seedTypedForNext = false;
  /** The next sound made joins the list of sounds made (not every step of a drag does). */
  historyDue = true;
  rendering = false;
  /** The name a sound is kept under, or null: among the stars here, the library's names where there is one. */
  keptName = (recipe: Recipe): string | null =>
    this.stars.find((k) => soundKey(k.recipe) === soundKey(recipe))?.label ?? null;
  private listeners: ((change: Change) => void)[] = [];

  constructor(first: Recipe, session: Session | null, stars: Kept[]) {
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
    this.stars = stars;
  }

  get recipe(): Recipe {
    return this.timeline.current;
  }

  subscribe(listener: (change: Change) => void): void {
    this.listeners.push(listener);
  }

  emit(change: Change): void {
    for (const listener of this.listeners) listener(change);
  }

  /** Makes a recipe current; `key` merges a run of changes (one drag) into one undo step. */
  change(recipe: Recipe, what: string, key: string | null = null): void {
    this.timeline.push(recipe, key);
    if (key === null) {
      this.timeline.seal();
      this.historyDue = true;
    }
    this.emit({ render: true, what });
  }

  /** A slider let go: its drag is one step of the undo history and one sound in the list. */
  released(): void {
    this.timeline.seal();
    this.historyDue = true;
    if (!this.rendering && this.addToHistory()) this.emit({ render: false });
  }

  toggleLock(index: number): void {
    if (this.locks.has(index)) this.locks.delete(index);
    else this.locks.add(index);
    this.emit({ render: false });
  }

  undo(): void {
    if (this.timeline.undo()) this.emit({ render: true, what: 'Undo' });
  }

  redo(): void {
    if (this.timeline.redo()) this.emit({ render: true, what: 'Redo' });
  }

  toggleSlot(slot: 0 | 1): void {
    if (slot === this.slot) return;
    this.slots[this.slot] = this.recipe;
    this.slot = slot;
    this.comparing = true;
    this.change(this.slots[slot], `Sound ${slot === 0 ? 'A' : 'B'}`);
  }

  /** Puts one slot's sound into the other; the shown slot plays its new sound. */
  copySlot(from: 0 | 1, to: 0 | 1): void {
    this.slots[this.slot] = this.recipe;
    this.slots[to] = this.slots[from];
    this.comparing = true;
    const what = `Copied ${from === 0 ? 'A' : 'B'} to ${to === 0 ? 'A' : 'B'}`;
    if (to === this.slot) this.change(this.slots[to], what);
    else this.emit({ render: false, what });
  }

  /**
   * The name of a sound's files, without extension: a sound made by a preset or Randomize after them and its seed
   * (jump-492621828); another after the name it is kept under, "(edited)" once changed, else after its seed.
   */
  fileName(recipe: Recipe = this.recipe): string {
    const base = fileBase(recipe);
    if (recipe.source.kind !== 'load') return base;
    const kept = this.keptName({ ...recipe, steps: [] });
    return kept === null ? base : fileNameOf(recipe.steps.length > 0 ? `${kept} (edited)` : kept, base);
  }

  describe(recipe: Recipe = this.recipe): string {
    const s = recipe.source;
    const base =
      s.kind === 'preset'
        ? FAMILY_LABELS[s.family]
        : s.kind === 'randomize'
          ? 'Random'
          : s.kind === 'load'
            ? 'Loaded'
            : 'Default';
    return `${base} #${recipe.seed}${recipe.steps.length ? ' (edited)' : ''}`;
  }

  isStarred(): boolean {
    const key = soundKey(this.recipe);
    return this.stars.some((k) => soundKey(k.recipe) === key);
  }

  /** Stars the current sound, or takes its star away; true when it is starred now. */
  toggleStar(storage: Storage | undefined): boolean {
    const key = soundKey(this.recipe);
    const at = this.stars.findIndex((k) => soundKey(k.recipe) === key);
    if (at >= 0) this.stars.splice(at, 1);
    else this.stars.unshift({ label: this.describe(), recipe: flatten(this.recipe), fingerprint: this.last?.sha256 });
    saveStars(storage, this.stars);
    return at < 0;
  }

  /** The current sound joins the list of sounds made, once per change; true when the list changed (the caller redraws). */
  addToHistory(): boolean {
    this.historyDue = false;
    const result = this.last;
    if (!result) return false;
    const newest = this.history[this.history.length - 1];
    if (newest && soundKey(newest.recipe) === soundKey(this.recipe)) {
      newest.fingerprint ??= result.sha256;
      return false;
    }
    this.history.push({ label: this.describe(), recipe: this.recipe, fingerprint: result.sha256 });
    if (this.history.length > KEPT_HISTORY) this.history.shift();
    return true;
  }

  /** Keeps the session for a reload: the slots (the shown one is the current sound), the locks and the sounds made. */
  persist(storage: Storage | undefined): void {
    this.slots[this.slot] = this.recipe;
    saveSession(storage, {
      slots: this.slots,
      slot: this.slot,
      comparing: this.comparing,
      locks: [...this.locks],
      history: this.history,
    });
  }
}

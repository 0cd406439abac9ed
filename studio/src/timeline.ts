// Undo and redo without limit, the list of sounds made since the page opened,
// starred sounds kept in local storage, and the two A/B slots.
import { decodeRecipe, encodeRecipe, PARAM_COUNT, sameRecipe, type Recipe } from './recipe';

export class Timeline {
  private entries: Recipe[];
  private at = 0;
  /** The key of the change that made the top entry, so that one drag is one undo step. */
  private lastKey: string | null = null;

  constructor(first: Recipe) {
    this.entries = [first];
  }

  get current(): Recipe {
    return this.entries[this.at];
  }

  /** Makes `recipe` current; a change with the same key as the previous one replaces it. */
  push(recipe: Recipe, key: string | null = null): void {
    if (sameRecipe(recipe, this.current)) return;
    if (key !== null && key === this.lastKey && this.at === this.entries.length - 1 && this.at > 0) {
      this.entries[this.at] = recipe;
      return;
    }
    this.entries.splice(this.at + 1);
    this.entries.push(recipe);
    this.at = this.entries.length - 1;
    this.lastKey = key;
  }

  /** Ends a run of same-key changes (a slider released). */
  seal(): void {
    this.lastKey = null;
  }

  get canUndo(): boolean {
    return this.at > 0;
  }

  get canRedo(): boolean {
    return this.at < this.entries.length - 1;
  }

  undo(): Recipe | null {
    if (!this.canUndo) return null;
    this.at--;
    this.lastKey = null;
    return this.current;
  }

  redo(): Recipe | null {
    if (!this.canRedo) return null;
    this.at++;
    this.lastKey = null;
    return this.current;
  }
}

export interface Kept {
  label: string;
  recipe: Recipe;
  /** Known only for sounds made on this page: a fingerprint is always computed, never read back. */
  fingerprint?: string;
}

const STARS_KEY = 'quavix-studio.stars';
const SESSION_KEY = 'quavix-studio.session';
/** The sounds of a session kept over a reload: the newest ones. */
export const KEPT_HISTORY = 200;

/** A stored value as plain data: undefined when there is none, null when it is not JSON. */
export function readStored(storage: Storage | undefined, key: string): unknown {
  try {
    const text = storage?.getItem(key);
    return text === null || text === undefined ? undefined : JSON.parse(text);
  } catch {
    return null;
  }
}

export function writeStored(storage: Storage | undefined, key: string, value: unknown): void {
  try {
    storage?.setItem(key, JSON.stringify(value));
  } catch {
    // Storage full or switched off: this page keeps its work until it closes.
  }
}

/** A label as plain text of a sensible length; another value becomes `fallback`. */
export function cleanLabel(value: unknown, fallback: string): string {
  if (typeof value !== 'string') return fallback;
  // Control characters (line breaks among them) become spaces.
  const plain = Array.from(value, (c) => (c.charCodeAt(0) < 0x20 || c === '\u007f' ? ' ' : c)).join('');
  const text = plain.trim().slice(0, 80);
  return text || fallback;
}

/** Kept sounds from plain data, each checked on its own: a bad entry is counted and left out, the others stay. */
function keptList(data: unknown, fallback: string): { kept: Kept[]; refused: number } {
  if (data === undefined) return { kept: [], refused: 0 };
  if (!Array.isArray(data)) return { kept: [], refused: 1 };
  const kept: Kept[] = [];
  let refused = 0;
  for (const entry of data) {
    const recipe =
      typeof entry === 'object' && entry !== null ? decodeRecipe((entry as { recipe?: unknown }).recipe) : 'no recipe';
    if (typeof recipe === 'string') refused++;
    else kept.push({ label: cleanLabel((entry as { label?: unknown }).label, fallback), recipe });
  }
  return { kept, refused };
}

const plainKept = (list: Kept[]) => list.map((k) => ({ label: k.label, recipe: encodeRecipe(k.recipe) }));

/** The starred sounds, and how many stored entries could not be read. */
export function loadStars(storage: Storage | undefined): { stars: Kept[]; refused: number } {
  const { kept, refused } = keptList(readStored(storage, STARS_KEY), 'Starred sound');
  return { stars: kept, refused };
}

export function saveStars(storage: Storage | undefined, stars: Kept[]): void {
  writeStored(storage, STARS_KEY, plainKept(stars));
}

/** What a reload brings back: both slots, which one is shown, the locks and the sounds made. */
export interface Session {
  slots: [Recipe, Recipe];
  slot: 0 | 1;
  comparing: boolean;
  locks: number[];
  history: Kept[];
}

export function saveSession(storage: Storage | undefined, session: Session): void {
  writeStored(storage, SESSION_KEY, {
    slots: session.slots.map(encodeRecipe),
    slot: session.slot,
    comparing: session.comparing,
    locks: session.locks,
    history: plainKept(session.history.slice(-KEPT_HISTORY)),
  });
}

/** The last session, each part checked on its own; `refused` counts what could not be read. */
export function loadSession(storage: Storage | undefined): { session: Session | null; refused: number } {
  const data = readStored(storage, SESSION_KEY);
  if (data === undefined) return { session: null, refused: 0 };
  if (typeof data !== 'object' || data === null) return { session: null, refused: 1 };
  const d = data as Record<string, unknown>;
  let refused = 0;
  const slots = (Array.isArray(d.slots) ? d.slots.slice(0, 2) : []).map((r) => decodeRecipe(r));
  const good = slots.filter((r): r is Recipe => typeof r !== 'string');
  refused += 2 - good.length;
  const history = keptList(d.history, 'Sound');
  refused += history.refused;
  const locks = Array.isArray(d.locks)
    ? [...new Set(d.locks.filter((i): i is number => Number.isInteger(i) && i >= 0 && i < PARAM_COUNT))]
    : [];
  if (good.length === 0) return { session: null, refused };
  const slot = d.slot === 1 && good.length === 2 ? 1 : 0;
  return {
    session: {
      slots: [good[0], good[1] ?? good[0]],
      slot,
      comparing: d.comparing === true,
      locks,
      history: history.kept.slice(-KEPT_HISTORY),
    },
    refused,
  };
}

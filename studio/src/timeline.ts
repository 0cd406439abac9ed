// Undo and redo without limit, the list of sounds made since the page opened,
// starred sounds kept in local storage, and the two A/B slots.
import { decodeRecipe, encodeRecipe, sameRecipe, type Recipe } from './recipe';

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
  fingerprint: string;
}

const STARS_KEY = 'quavix-studio.stars';

export function loadStars(storage: Storage | undefined): Kept[] {
  try {
    const data = JSON.parse(storage?.getItem(STARS_KEY) ?? '[]') as { label: string; recipe: unknown; fingerprint: string }[];
    return data.flatMap((k) => {
      const recipe = decodeRecipe(k.recipe);
      return recipe ? [{ label: String(k.label), recipe, fingerprint: String(k.fingerprint) }] : [];
    });
  } catch {
    return [];
  }
}

export function saveStars(storage: Storage | undefined, stars: Kept[]): void {
  try {
    storage?.setItem(STARS_KEY, JSON.stringify(stars.map((k) => ({ ...k, recipe: encodeRecipe(k.recipe) }))));
  } catch {
    // Storage full or switched off: the stars stay for this page only.
  }
}

// Keeping a sound for later: in the library, starred, where the browser keeps one; otherwise it
// joins the starred sounds kept on this computer.
import type { Recipe } from './recipe';
import { flatten } from './recipe';
import { soundKey, type Store } from './store';
import { saveStars } from './timeline';
import { safeStorage } from './dom';

/** Keeps a sound in the library: true when added, false when it is there already, null without a library. */
export type Keeper = (recipe: Recipe, name: string) => Promise<boolean | null>;

let keeper: Keeper | null = null;

/** Where kept sounds go from now on. */
export function keepWith(k: Keeper): void {
  keeper = k;
}

/** Keeps `recipe` under `name` (once: the same sound again is not added); true when it was added. */
export async function keepSound(store: Store, recipe: Recipe, name: string, fingerprint?: string): Promise<boolean> {
  const exact = flatten(recipe);
  const kept = keeper ? await keeper(exact, name) : null;
  if (kept !== null) return kept;
  const key = soundKey(exact);
  if (store.stars.some((k) => soundKey(k.recipe) === key)) return false;
  store.stars.unshift({ label: name, recipe: exact, fingerprint });
  saveStars(safeStorage(), store.stars);
  return true;
}

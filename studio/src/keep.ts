// Keeping a sound for later: for now it joins the starred sounds on this computer.
import type { Recipe } from './recipe';
import { flatten } from './recipe';
import { soundKey, type Store } from './store';
import { saveStars } from './timeline';
import { safeStorage } from './dom';

/** Keeps `recipe` under `name` (once: the same sound again is not added); true when it was added. */
export function keepSound(store: Store, recipe: Recipe, name: string, fingerprint?: string): boolean {
  const exact = flatten(recipe);
  const key = soundKey(exact);
  if (store.stars.some((k) => soundKey(k.recipe) === key)) return false;
  store.stars.unshift({ label: name, recipe: exact, fingerprint });
  saveStars(safeStorage(), store.stars);
  return true;
}

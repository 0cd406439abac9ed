// Variations of a sound: each an exact recipe, drawn from its own seed. A
// mutation starts from the sound's exact parameters; a new sound of the same
// family runs the preset the sound came from (or Randomize) again.
import { FAMILY_LABELS } from './meta';
import { flatten, startFrom, withMutation, type Recipe, type Source } from './recipe';

export const DEFAULT_VARIATIONS = 8;
export const MOST_VARIATIONS = 32;
export const DEFAULT_AMOUNT = 0.1;

export type VariationMode = 'mutate' | 'family';

/** What "the same family" is for a sound: its preset, Randomize, or why it has none. */
export type Family = { source: Source; label: string; says: string } | { reason: string };

export function familyOf(recipe: Recipe): Family {
  const s = recipe.source;
  if (s.kind === 'preset') {
    const label = FAMILY_LABELS[s.family];
    return { source: s, label, says: `New ${label} sounds: the ${label} preset with new seeds.` };
  }
  if (s.kind === 'randomize') {
    return {
      source: s,
      label: 'Random',
      says: 'New random sounds: a random sound\u2019s family is Randomize, so Randomize with new seeds.',
    };
  }
  return {
    reason:
      s.kind === 'load'
        ? 'This sound was opened from settings, so it has no family: make mutations of it instead.'
        : 'This sound is the defaults, so it has no family: make mutations of it instead.',
  };
}

/**
 * One variation of `current` per seed, the locked values kept. A mutation of `amount` starts from
 * the exact parameters of `current`; 'family' needs a family: by default the sound's own (see familyOf).
 */
export function variationsOf(
  current: Recipe,
  mode: VariationMode,
  amount: number,
  seeds: readonly number[],
  locks: ReadonlySet<number>,
  family: Family = familyOf(current),
): Recipe[] {
  if (mode === 'mutate') {
    const exact = flatten(current);
    return seeds.map((seed) => withMutation({ ...exact, seed: seed >>> 0 }, amount, locks));
  }
  if ('reason' in family) throw new Error(family.reason);
  return seeds.map((seed) => startFrom(current, family.source, locks, seed));
}

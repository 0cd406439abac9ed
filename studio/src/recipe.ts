// A sound in the Studio is a recipe: a seed and the module's steps after it
// ("Load preset", "Randomize", "Mutate sound by", parameter changes). Playing
// it seeds the random source, runs the steps in order and synthesizes with the
// random source as the steps left it, exactly as the module does between
// "Set random seed to %0" and "Generate sound as %0".
import * as quavix from 'quavix';
import type { Params } from 'quavix';

export type Source =
  | { kind: 'defaults' }
  | { kind: 'preset'; family: number }
  | { kind: 'randomize' }
  /** Exact parameters from a settings file, a settings string, a link or the history (105 settings-file bytes). */
  | { kind: 'load'; sfs: Uint8Array };

export type Step =
  | { kind: 'set'; index: number; stored: number }
  | { kind: 'mutate'; amount: number };

export interface Recipe {
  seed: number; // uint32, never 0 (the module's 0 means the clock)
  source: Source;
  steps: Step[];
  bufferLength: number; // whole seconds 1..60, the object's Buffer length property
}

export interface Sound {
  params: Params;
  /** The random state at synthesis. */
  renderState: number;
}

export const PARAM_COUNT = 24;
export const DEFAULT_BUFFER_LENGTH = 5;

export function newRecipe(seed: number, source: Source = { kind: 'defaults' }): Recipe {
  return { seed: seed >>> 0, source, steps: [], bufferLength: DEFAULT_BUFFER_LENGTH };
}

function sourceParams(source: Source, rng: quavix.Random): Params {
  switch (source.kind) {
    case 'defaults':
      return quavix.defaults();
    case 'preset':
      return quavix.preset(source.family, rng);
    case 'randomize':
      return quavix.randomize(rng);
    case 'load':
      return quavix.readSfs(source.sfs);
  }
}

/** Runs the recipe: the parameters it gives and the random state the synthesis starts from. */
export function cook(recipe: Recipe): Sound {
  const rng = quavix.random(recipe.seed);
  let params = sourceParams(recipe.source, rng);
  for (const step of recipe.steps) {
    if (step.kind === 'set') params.setStored(step.index, step.stored);
    else params = quavix.mutate(params, step.amount, rng);
  }
  return { params, renderState: rng.state >>> 0 };
}

/** Stored values of the locked parameters, to put back after a step that draws. */
function lockSteps(before: Params, after: Params, locks: ReadonlySet<number>): Step[] {
  const steps: Step[] = [];
  for (const index of [...locks].sort((a, b) => a - b)) {
    const stored = before.stored(index);
    if (!Object.is(after.stored(index), stored)) steps.push({ kind: 'set', index, stored });
  }
  return steps;
}

/** A new recipe from a preset, randomize or loaded parameters, with the locked values of `current` kept. */
export function startFrom(current: Recipe, source: Source, locks: ReadonlySet<number>): Recipe {
  const next: Recipe = { ...current, source, steps: [] };
  if (locks.size === 0) return next;
  next.steps = lockSteps(cook(current).params, cook(next).params, locks);
  return next;
}

export function withMutation(current: Recipe, amount: number, locks: ReadonlySet<number>): Recipe {
  const before = cook(current).params;
  const next: Recipe = { ...current, steps: [...current.steps, { kind: 'mutate', amount: Math.fround(amount) }] };
  if (locks.size > 0) next.steps.push(...lockSteps(before, cook(next).params, locks));
  return next;
}

/** Sets one parameter's stored value; a change right after a change of the same parameter replaces it. */
export function withValue(current: Recipe, index: number, stored: number): Recipe {
  const steps = [...current.steps];
  const last = steps[steps.length - 1];
  if (last?.kind === 'set' && last.index === index) steps.pop();
  steps.push({ kind: 'set', index, stored: Math.fround(stored) });
  return { ...current, steps };
}

export function withSeed(current: Recipe, seed: number): Recipe {
  return { ...current, seed: seed >>> 0 };
}

/** The exact parameters of the sound as a fresh recipe (no steps), for the history and for links. */
export function flatten(recipe: Recipe): Recipe {
  const sound = cook(recipe);
  return { ...recipe, seed: sound.renderState, source: { kind: 'load', sfs: quavix.writeSfs(sound.params) }, steps: [] };
}

export function sameRecipe(a: Recipe, b: Recipe): boolean {
  return JSON.stringify(encodeRecipe(a)) === JSON.stringify(encodeRecipe(b));
}

// A plain-data form for local storage.
export function encodeRecipe(r: Recipe): unknown {
  const source = r.source.kind === 'load' ? { kind: 'load', sfs: Array.from(r.source.sfs) } : r.source;
  return { seed: r.seed, source, steps: r.steps, bufferLength: r.bufferLength };
}

export function decodeRecipe(data: unknown): Recipe | null {
  try {
    const d = data as { seed: number; source: { kind: string; family?: number; sfs?: number[] }; steps: Step[]; bufferLength: number };
    const source: Source =
      d.source.kind === 'load' ? { kind: 'load', sfs: Uint8Array.from(d.source.sfs ?? []) } : (d.source as Source);
    const recipe: Recipe = { seed: d.seed >>> 0, source, steps: d.steps, bufferLength: d.bufferLength };
    cook(recipe);
    return recipe;
  } catch {
    return null;
  }
}

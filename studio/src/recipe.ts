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

export type Step = { kind: 'set'; index: number; stored: number } | { kind: 'mutate'; amount: number };

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

/**
 * A new recipe from a preset, randomize or loaded parameters, drawn from `seed` (by default the
 * current one), with the locked values of `current` kept.
 */
export function startFrom(current: Recipe, source: Source, locks: ReadonlySet<number>, seed = current.seed): Recipe {
  const next: Recipe = { ...current, seed: seed >>> 0, source, steps: [] };
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
  return {
    ...recipe,
    seed: sound.renderState,
    source: { kind: 'load', sfs: quavix.writeSfs(sound.params) },
    steps: [],
  };
}

export function sameRecipe(a: Recipe, b: Recipe): boolean {
  return JSON.stringify(encodeRecipe(a)) === JSON.stringify(encodeRecipe(b));
}

// A plain-data form for local storage.
export function encodeRecipe(r: Recipe): unknown {
  const source = r.source.kind === 'load' ? { kind: 'load', sfs: Array.from(r.source.sfs) } : r.source;
  // JSON has no NaN or infinities: those stored values are kept as words.
  const steps = r.steps.map((s) =>
    s.kind === 'set' && !Number.isFinite(s.stored) ? { ...s, stored: String(s.stored) } : s,
  );
  return { seed: r.seed, source, steps, bufferLength: r.bufferLength };
}

const SEED_RULE = 'its seed is not a whole number from 1 to 4294967295';
/** A limit on the steps of one recipe, far beyond what a person makes, so that a planted one cannot stall the page. */
export const MAX_STEPS = 10000;

const isWhole = (v: unknown, low: number, high: number): v is number =>
  typeof v === 'number' && Number.isInteger(v) && v >= low && v <= high;

/** Why a recipe's seed cannot be used, or null: 0 is refused, as the module reads it as "use the clock". */
export function seedProblem(seed: unknown): string | null {
  return isWhole(seed, 1, 0xffffffff) ? null : SEED_RULE;
}

function decodeSource(d: unknown): Source | string {
  if (typeof d !== 'object' || d === null) return 'it has no source';
  const s = d as Record<string, unknown>;
  switch (s.kind) {
    case 'defaults':
    case 'randomize':
      return { kind: s.kind };
    case 'preset':
      return isWhole(s.family, 0, quavix.PRESET_FAMILIES.length - 1)
        ? { kind: 'preset', family: s.family }
        : `its preset is not one of the ${quavix.PRESET_FAMILIES.length} families`;
    case 'load': {
      const bytes = s.sfs;
      if (!Array.isArray(bytes) || bytes.length > 4096 || !bytes.every((b) => isWhole(b, 0, 255)))
        return 'its parameters are not a settings file';
      const sfs = Uint8Array.from(bytes as number[]);
      try {
        quavix.readSfs(sfs);
      } catch {
        return 'its parameters are not a settings file';
      }
      return { kind: 'load', sfs };
    }
    default:
      return 'its source is not a preset, Randomize, the defaults or loaded parameters';
  }
}

const NON_FINITE: Record<string, number> = { NaN: NaN, Infinity: Infinity, '-Infinity': -Infinity };

function decodeStep(d: unknown): Step | null {
  if (typeof d !== 'object' || d === null) return null;
  const s = d as Record<string, unknown>;
  const stored = typeof s.stored === 'number' ? s.stored : NON_FINITE[String(s.stored)];
  if (s.kind === 'set' && isWhole(s.index, 0, PARAM_COUNT - 1) && typeof stored === 'number') {
    return { kind: 'set', index: s.index, stored: Math.fround(stored) };
  }
  if (s.kind === 'mutate' && typeof s.amount === 'number' && quavix.checkMutateAmount(Math.fround(s.amount)) === null) {
    return { kind: 'mutate', amount: Math.fround(s.amount) };
  }
  return null;
}

/**
 * A recipe from its plain-data form (storage), checked field by field; anything else than the
 * fields of a recipe is left out. A string says why it cannot be used; a list of more than `maxSteps` changes is
 * refused unread.
 */
export function decodeRecipe(data: unknown, maxSteps = MAX_STEPS): Recipe | string {
  if (typeof data !== 'object' || data === null || Array.isArray(data)) return 'it is not a recipe';
  const d = data as Record<string, unknown>;
  const seedWrong = seedProblem(d.seed);
  if (seedWrong) return seedWrong;
  if (!isWhole(d.bufferLength, 1, 60)) return 'its buffer length is not a whole number of seconds from 1 to 60';
  const source = decodeSource(d.source);
  if (typeof source === 'string') return source;
  if (!Array.isArray(d.steps)) return 'its changes are not a list of changes';
  // Counted before any is read: a planted list of many changes costs nothing.
  if (d.steps.length > maxSteps)
    return `it has ${d.steps.length} changes, more than the ${maxSteps} kept for one sound`;
  const steps: Step[] = [];
  for (const [i, raw] of d.steps.entries()) {
    const step = decodeStep(raw);
    if (!step) {
      const { kind, amount } = (raw ?? {}) as { kind?: unknown; amount?: unknown };
      // A mutation by an amount that the core's rule refuses: its words.
      const problem =
        kind === 'mutate' && typeof amount === 'number' ? quavix.checkMutateAmount(Math.fround(amount)) : null;
      return problem !== null
        ? `its change ${i + 1}: ${problem}`
        : `its change ${i + 1} is not a parameter change or a mutation`;
    }
    steps.push(step);
  }
  return { seed: d.seed as number, source, steps, bufferLength: d.bufferLength };
}

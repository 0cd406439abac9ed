import { beforeAll, expect, test } from 'vitest';
import * as quavix from 'quavix';
import { cook, newRecipe, withValue, type Source } from '../../src/recipe';
import { familyOf, variationsOf } from '../../src/variations';

beforeAll(() => quavix.init());
const index = (name: string) => (quavix.PARAM_NAMES as readonly string[]).indexOf(name);
const SEEDS = [1, 77, 4294967295];

test('a mutation is the sound\u2019s exact parameters mutated from the variation\u2019s own seed, which goes on to the synthesis', () => {
  // An edited Jump from seed 42: its parameters, made here with the package alone.
  const sustain = index('SustainTime');
  const current = withValue(newRecipe(42, { kind: 'preset', family: 5 }), sustain, 0.25);
  const params = quavix.preset(5, quavix.random(42)).setStored(sustain, 0.25);
  const made = variationsOf(current, 'mutate', 0.2, SEEDS, new Set());
  expect(made.length).toBe(SEEDS.length);
  for (const [i, seed] of SEEDS.entries()) {
    const rng = quavix.random(seed);
    const expected = quavix.mutate(params, 0.2, rng);
    const sound = cook(made[i]);
    expect(sound.params.equals(expected), `seed ${seed}`).toBe(true);
    expect(sound.renderState, `seed ${seed}`).toBe(rng.state >>> 0);
    expect(made[i].bufferLength).toBe(current.bufferLength);
  }
});

test('new sounds of the family run the sound\u2019s preset or Randomize from each seed; other sounds have no family', () => {
  const cases: { name: string; source: Source; make: ((seed: number) => quavix.Params) | null }[] = [
    { name: 'Explosion', source: { kind: 'preset', family: 2 }, make: (s) => quavix.preset(2, quavix.random(s)) },
    { name: 'Random', source: { kind: 'randomize' }, make: (s) => quavix.randomize(quavix.random(s)) },
    { name: 'defaults', source: { kind: 'defaults' }, make: null },
    { name: 'loaded', source: { kind: 'load', sfs: quavix.writeSfs(quavix.defaults()) }, make: null },
  ];
  for (const c of cases) {
    const current = withValue(newRecipe(9, c.source), index('Slide'), 0.5);
    const family = familyOf(current);
    if (c.make === null) {
      expect('reason' in family, c.name).toBe(true);
      expect(() => variationsOf(current, 'family', 0, SEEDS, new Set()), c.name).toThrow(/no family/);
      continue;
    }
    expect('label' in family && family.label, c.name).toBe(c.name);
    const made = variationsOf(current, 'family', 0, SEEDS, new Set());
    for (const [i, seed] of SEEDS.entries()) {
      expect(cook(made[i]).params.equals(c.make(seed)), `${c.name} seed ${seed}`).toBe(true);
    }
  }
});

test('locked values stay in every variation of either kind; the others vary', () => {
  const locked = index('StartFreq');
  const current = newRecipe(5, { kind: 'preset', family: 1 });
  const kept = cook(current).params.stored(locked);
  for (const mode of ['mutate', 'family'] as const) {
    const made = variationsOf(current, mode, 0.5, SEEDS, new Set([locked]));
    for (const recipe of made) expect(cook(recipe).params.stored(locked), mode).toBe(kept);
    const sounds = made.map((r) => quavix.toSettingsString(cook(r).params));
    expect(new Set(sounds).size, mode).toBe(SEEDS.length);
  }
});

import { beforeAll, expect, test } from 'vitest';
import * as quavix from 'quavix';
import { cook, decodeRecipe, encodeRecipe, newRecipe, startFrom, withValue, type Recipe } from '../../src/recipe';
import { loadSession, loadStars, saveSession, saveStars, type Kept } from '../../src/timeline';

beforeAll(() => quavix.init());

/** A Storage that keeps its items in a Map. */
function memoryStorage(items: Record<string, string> = {}): Storage {
  const map = new Map(Object.entries(items));
  return {
    get length() {
      return map.size;
    },
    clear: () => map.clear(),
    getItem: (k: string) => map.get(k) ?? null,
    key: (i: number) => [...map.keys()][i] ?? null,
    removeItem: (k: string) => void map.delete(k),
    setItem: (k: string, v: string) => void map.set(k, String(v)),
  };
}

const jump = (seed: number): Recipe => newRecipe(seed, { kind: 'preset', family: 5 });
const plain = (r: Recipe) => JSON.parse(JSON.stringify(encodeRecipe(r)));

test('a press with a fresh seed draws another sound of the preset and keeps the locked values', () => {
  const sustain = quavix.PARAM_NAMES.indexOf('SustainTime');
  const base = withValue(jump(42), sustain, 0.5);
  const locks = new Set([sustain]);
  const same = cook(startFrom(base, { kind: 'preset', family: 5 }, locks));
  const fresh = startFrom(base, { kind: 'preset', family: 5 }, locks, 43);
  expect(fresh.seed).toBe(43);
  expect(cook(fresh).params.stored(sustain)).toBe(Math.fround(0.5));
  expect(cook(fresh).params.equals(same.params)).toBe(false);
  // Without the lock, seed 43 is the tool's --preset jump --seed 43: the preset alone.
  expect(cook(startFrom(base, { kind: 'preset', family: 5 }, new Set(), 43)).params.equals(cook(jump(43)).params)).toBe(
    true,
  );
});

test('a stored recipe is checked field by field', () => {
  const good = plain(withValue(jump(7), 3, 0.25));
  const cases: { name: string; change: (d: Record<string, unknown>) => void; error: RegExp | null }[] = [
    { name: 'as saved', change: () => {}, error: null },
    { name: 'seed 1, the smallest', change: (d) => (d.seed = 1), error: null },
    { name: 'seed 4294967295, the largest', change: (d) => (d.seed = 4294967295), error: null },
    { name: 'seed 0, which the module reads as the clock', change: (d) => (d.seed = 0), error: /seed/ },
    { name: 'seed 4294967296', change: (d) => (d.seed = 4294967296), error: /seed/ },
    { name: 'seed as text', change: (d) => (d.seed = '7'), error: /seed/ },
    { name: 'seed 1.5', change: (d) => (d.seed = 1.5), error: /seed/ },
    { name: 'buffer length 1', change: (d) => (d.bufferLength = 1), error: null },
    { name: 'buffer length 60', change: (d) => (d.bufferLength = 60), error: null },
    { name: 'buffer length 0', change: (d) => (d.bufferLength = 0), error: /buffer length/ },
    { name: 'buffer length 61', change: (d) => (d.bufferLength = 61), error: /buffer length/ },
    { name: 'family 6', change: (d) => (d.source = { kind: 'preset', family: 6 }), error: null },
    { name: 'family 7', change: (d) => (d.source = { kind: 'preset', family: 7 }), error: /preset/ },
    { name: 'family -1', change: (d) => (d.source = { kind: 'preset', family: -1 }), error: /preset/ },
    {
      name: 'family with a script line',
      change: (d) => (d.source = { kind: 'preset', family: '0\nGenerate sound as "boss_music"' }),
      error: /preset/,
    },
    { name: 'an unknown source', change: (d) => (d.source = { kind: 'file', path: '/etc/passwd' }), error: /source/ },
    {
      name: 'settings file bytes that are not bytes',
      change: (d) => (d.source = { kind: 'load', sfs: [300] }),
      error: /settings file/,
    },
    {
      name: 'a settings file of another version',
      change: (d) => (d.source = { kind: 'load', sfs: [1, 0, 0, 0] }),
      error: /settings file/,
    },
    { name: 'steps not a list', change: (d) => (d.steps = 'Randomize'), error: /changes/ },
    { name: 'a step with index 23', change: (d) => (d.steps = [{ kind: 'set', index: 23, stored: 0.5 }]), error: null },
    {
      name: 'a step with index 24',
      change: (d) => (d.steps = [{ kind: 'set', index: 24, stored: 0.5 }]),
      error: /change 1/,
    },
    {
      name: 'a step of another kind',
      change: (d) => (d.steps = [{ kind: 'generate', name: 'boss_music' }]),
      error: /change 1/,
    },
    { name: 'a mutation by NaN', change: (d) => (d.steps = [{ kind: 'mutate', amount: null }]), error: /change 1/ },
    {
      name: 'a stored NaN kept as a word',
      change: (d) => (d.steps = [{ kind: 'set', index: 3, stored: 'NaN' }]),
      error: null,
    },
  ];
  for (const c of cases) {
    const data = structuredClone(good);
    c.change(data);
    const back = decodeRecipe(data);
    if (c.error === null) expect(typeof back, c.name).toBe('object');
    else expect(back, c.name).toMatch(c.error);
  }
  expect(decodeRecipe(plain(withValue(jump(7), 3, NaN))), 'NaN round trip').toMatchObject({
    steps: [{ kind: 'set', index: 3 }],
  });
});

test('one bad starred entry is left out and counted; the good ones around it stay, and a fingerprint is never read back', () => {
  const storage = memoryStorage();
  const stars: Kept[] = [
    { label: 'Jump #1', recipe: jump(1), fingerprint: 'f'.repeat(64) },
    { label: 'Jump #2', recipe: jump(2) },
  ];
  saveStars(storage, stars);
  const list = JSON.parse(storage.getItem('quavix-studio.stars')!);
  expect(list[0].fingerprint).toBeUndefined();
  list.splice(1, 0, { label: 'bad', recipe: { ...list[0].recipe, seed: 0 } }, 'not an entry', null);
  storage.setItem('quavix-studio.stars', JSON.stringify(list));
  const { stars: back, refused } = loadStars(storage);
  expect(refused).toBe(3);
  expect(back.map((k) => [k.label, k.recipe.seed, k.fingerprint])).toEqual([
    ['Jump #1', 1, undefined],
    ['Jump #2', 2, undefined],
  ]);

  const cases = [
    { stored: null, stars: 0, refused: 0 }, // nothing stored yet
    { stored: '{not json', stars: 0, refused: 1 },
    { stored: '{"a":1}', stars: 0, refused: 1 },
    { stored: JSON.stringify([{ label: 12, recipe: plain(jump(3)) }]), stars: 1, refused: 0 },
  ];
  const lines = memoryStorage({
    'quavix-studio.stars': JSON.stringify([{ label: 'a\nGenerate\u007f', recipe: plain(jump(3)) }]),
  });
  expect(loadStars(lines).stars[0].label, 'control characters become spaces').toBe('a Generate');
  for (const c of cases) {
    const s = memoryStorage(c.stored === null ? {} : { 'quavix-studio.stars': c.stored });
    const got = loadStars(s);
    expect([got.stars.length, got.refused], String(c.stored)).toEqual([c.stars, c.refused]);
  }
});

test('a session comes back: both slots, the slot shown, the locks and the sounds made; bad parts are left out', () => {
  const storage = memoryStorage();
  const a = withValue(jump(11), 5, 0.75);
  const b = newRecipe(12, { kind: 'randomize' });
  saveSession(storage, {
    slots: [a, b],
    slot: 1,
    comparing: true,
    locks: [3, 9],
    history: [{ label: 'Jump #11', recipe: a, fingerprint: 'x' }],
  });
  const { session, refused } = loadSession(storage);
  expect(refused).toBe(0);
  expect(session!.slots.map(plain)).toEqual([plain(a), plain(b)]);
  expect([session!.slot, session!.comparing, session!.locks]).toEqual([1, true, [3, 9]]);
  expect(session!.history.map((k) => [k.label, k.fingerprint])).toEqual([['Jump #11', undefined]]);

  const data = JSON.parse(storage.getItem('quavix-studio.session')!);
  data.slots[1].seed = 0;
  data.locks = [3, 24, -1, 'x', 9];
  data.history.push({ label: 'planted', recipe: { ...data.slots[0], steps: [{ kind: 'generate' }] } });
  storage.setItem('quavix-studio.session', JSON.stringify(data));
  const damaged = loadSession(storage);
  expect(damaged.refused).toBe(2);
  expect(damaged.session!.slot).toBe(0); // slot B could not be read: A is shown
  expect(damaged.session!.locks).toEqual([3, 9]);
  expect(damaged.session!.history.length).toBe(1);
});

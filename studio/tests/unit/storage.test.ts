import { beforeAll, expect, test } from 'vitest';
import * as quavix from 'quavix';
import { cook, decodeRecipe, encodeRecipe, newRecipe, startFrom, withValue, type Recipe } from '../../src/recipe';
import { loadSession, loadStars, saveSession, saveStars, type Kept } from '../../src/timeline';
import { encodeLayer, layersOfText, layersText, loadLayers, saveLayers, type MixLayer } from '../../src/layered';

beforeAll(() => Promise.all([quavix.init(), quavix.initLayers()]));

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
  const set = (index: number, stored: unknown) => ({ steps: [{ kind: 'set', index, stored }] });
  const cases: [string, Record<string, unknown>, RegExp | null][] = [
    ['as saved', {}, null],
    ['seed 1, the smallest', { seed: 1 }, null],
    ['seed 4294967295, the largest', { seed: 4294967295 }, null],
    ['seed 0, which the module reads as the clock', { seed: 0 }, /seed/],
    ['seed 4294967296', { seed: 4294967296 }, /seed/],
    ['seed as text', { seed: '7' }, /seed/],
    ['seed 1.5', { seed: 1.5 }, /seed/],
    ['buffer length 1', { bufferLength: 1 }, null],
    ['buffer length 60', { bufferLength: 60 }, null],
    ['buffer length 0', { bufferLength: 0 }, /buffer length/],
    ['buffer length 61', { bufferLength: 61 }, /buffer length/],
    ['family 6', { source: { kind: 'preset', family: 6 } }, null],
    ['family 7', { source: { kind: 'preset', family: 7 } }, /preset/],
    ['family -1', { source: { kind: 'preset', family: -1 } }, /preset/],
    [
      'family with a script line',
      { source: { kind: 'preset', family: '0\nGenerate sound as "boss_music"' } },
      /preset/,
    ],
    ['an unknown source', { source: { kind: 'file', path: '/etc/passwd' } }, /source/],
    ['settings file bytes that are not bytes', { source: { kind: 'load', sfs: [300] } }, /settings file/],
    ['a settings file of another version', { source: { kind: 'load', sfs: [1, 0, 0, 0] } }, /settings file/],
    ['steps not a list', { steps: 'Randomize' }, /changes/],
    ['a step with index 23', set(23, 0.5), null],
    ['a step with index 24', set(24, 0.5), /change 1/],
    ['a step of another kind', { steps: [{ kind: 'generate', name: 'boss_music' }] }, /change 1/],
    ['a mutation by NaN', { steps: [{ kind: 'mutate', amount: null }] }, /change 1/],
    // the core's mutation amounts, 0 to 1
    ['a mutation by 1', { steps: [{ kind: 'mutate', amount: 1 }] }, null],
    [
      'a mutation by 2',
      { steps: [{ kind: 'mutate', amount: 2 }] },
      /^its change 1: mutate 2 is not an amount from 0 to 1$/,
    ],
    ['a mutation by -0.01', { steps: [{ kind: 'mutate', amount: -0.01 }] }, /change 1: mutate -0\.0099/],
    ['a stored NaN kept as a word', set(3, 'NaN'), null],
  ];
  for (const [name, change, error] of cases) {
    const back = decodeRecipe({ ...structuredClone(good), ...change });
    if (error === null) expect(typeof back, name).toBe('object');
    else expect(back, name).toMatch(error);
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

/** A layer of the jump of seed, starting offset samples in, at gainDb. */
const layer = (seed: number, offset: number, gainDb: number, muted = false, solo = false): MixLayer => ({
  name: `Jump ${seed}`,
  recipe: jump(seed),
  offset,
  gainDb,
  muted,
  solo,
});

test('the layers come back after a reload; a planted or broken layer is left out, named, with its reason', () => {
  const kept = [layer(1, 0, 0), layer(2, 2646000, -60, true), layer(3, 5535, 12, false, true)];
  const storage = memoryStorage();
  saveLayers(storage, kept);
  const back = loadLayers(storage);
  expect(back.problems).toEqual([]);
  expect(back.layers.map(encodeLayer)).toEqual(kept.map(encodeLayer));
  const good = encodeLayer(kept[0]);
  const cases: [string, unknown, string[]][] = [
    ['nothing kept', undefined, []],
    ['not JSON', '{', ['they are not a list of layers']],
    ['not a list', { layers: 1 }, ['they are not a list of layers']],
    ['a bad seed', [good, { ...good, seed: 0 }], ['layer 2: its seed is not a whole number from 1 to 4294967295']],
    [
      'a start past 60 s',
      [{ ...good, offset: 2646001 }, good],
      ['layer 1: the start is 0 to 2646000 samples (60 s), not 2646001'],
    ],
    [
      'a gain between steps',
      [good, { ...good, gain_db: 0.05 }],
      ['layer 2: its gain_db is not a number of decibels in steps of 0.1'],
    ],
    ['a script for a name', [{ ...good, name: '<img src=x onerror=alert(1)>'.repeat(9) }], []],
    ['nine layers', Array(9).fill(good), ['layer 9: a layered sound holds at most 8 layers']],
  ];
  for (const [name, data, problems] of cases) {
    const text = typeof data === 'string' ? data : JSON.stringify(data);
    const read = loadLayers(memoryStorage(data === undefined ? {} : { 'quavix-studio.layers': text }));
    expect(read.problems, name).toEqual(problems);
    const count = Array.isArray(data) ? data.length - problems.length : 0;
    expect(read.layers.length, name).toBe(count);
    for (const l of read.layers) expect(l.name.length, name).toBeLessThanOrEqual(80);
  }
});

test('layers go into one line of text and come back as they sound; a broken text names the layer and the field', () => {
  // A Solo travels as the Mute of the layers it silences.
  const text = layersText([
    layer(1, 0, -60, false, false),
    layer(2, 2646000, 12, false, true),
    layer(3, 5535, 0, true, false),
  ]);
  expect(text).toMatch(/^qxl1~[A-Za-z0-9._~,+-]+$/);
  const back = layersOfText(` ${text}\n`);
  if (typeof back === 'string') throw new Error(back);
  const plainOf = (l: MixLayer) => ({ ...encodeLayer(l), name: '' });
  expect(back.map(plainOf)).toEqual(
    [layer(1, 0, -60, true, false), layer(2, 2646000, 12, false, false), layer(3, 5535, 0, true, false)].map(plainOf),
  );
  for (const broken of ['', 'qxl1~', 'qxl2~' + text.slice(5), text.slice(0, -3)]) {
    expect(layersOfText(broken), JSON.stringify(broken)).toMatch(/^[a-z]/);
  }
});

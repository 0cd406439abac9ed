import { beforeAll, expect, test } from 'vitest';
import * as quavix from 'quavix';
import { copyName, matches, parseTags, refusal, type NewEntry } from '../../src/library';
import { PROJECT_FORMAT, projectText, readProject } from '../../src/project';
import { cook, newRecipe, withMutation, withValue } from '../../src/recipe';
import { hex } from '../../src/format';

beforeAll(() => Promise.all([quavix.init(), quavix.initLayers()]));

test('tags are the words between commas, trimmed, each once whatever its letter case', () => {
  const cases = [
    { text: 'jump, Player ,jump', tags: ['jump', 'Player'] },
    { text: 'Coin,coin,COIN', tags: ['Coin'] },
    { text: '', tags: [] },
    { text: ' , ,', tags: [] },
    { text: 'a\nb', tags: ['a b'] }, // a line break is no part of a tag
    { text: 'x'.repeat(41), tags: ['x'.repeat(40)] },
  ];
  for (const c of cases) expect(parseTags(c.text), JSON.stringify(c.text)).toEqual(c.tags);
});

test('a search finds entries whose name or tags hold every word of it', () => {
  const entry = { name: 'Big Jump', tags: ['player', 'Loud'] };
  const cases = [
    { query: '', found: true },
    { query: 'jump', found: true },
    { query: 'JUM', found: true },
    { query: 'loud', found: true },
    { query: 'big loud', found: true }, // one word in the name, one in a tag
    { query: 'big coin', found: false },
    { query: 'playerloud', found: false }, // tags are not joined
    { query: 'enemy', found: false },
  ];
  for (const c of cases) expect(matches(entry, c.query), c.query).toBe(c.found);
});

test('a copy takes the first free copy name', () => {
  const cases = [
    { name: 'Jump', taken: ['Jump'], copy: 'Jump (copy)' },
    { name: 'Jump', taken: ['Jump', 'Jump (copy)'], copy: 'Jump (copy 2)' },
    { name: 'Jump (copy)', taken: ['Jump', 'Jump (copy)'], copy: 'Jump (copy 2)' },
    { name: 'Jump (copy 2)', taken: ['Jump (copy)', 'Jump (copy 2)', 'Jump (copy 3)'], copy: 'Jump (copy 4)' },
  ];
  for (const c of cases) expect(copyName(c.name, c.taken), c.copy).toBe(c.copy);
});

const sample = (): NewEntry[] => [
  { name: 'Coin', tags: ['pickup'], recipe: newRecipe(17, { kind: 'preset', family: 0 }) },
  // Steps after the preset, and a buffer length other than the default.
  {
    name: 'Hurt, edited',
    tags: [],
    recipe: {
      ...withMutation(withValue(newRecipe(4294967295, { kind: 'preset', family: 4 }), 3, 0.25), 0.3, new Set()),
      bufferLength: 60,
    },
  },
];

test('a project holds each sound as the parameters and the seed its synthesis starts from, and reads back exactly', () => {
  const entries = sample();
  const data = JSON.parse(projectText(entries));
  expect(data.format).toBe(PROJECT_FORMAT);
  expect(data.version).toBe(1);
  entries.forEach((e, i) => {
    const sound = cook(e.recipe);
    expect(data.sounds[i]).toEqual({
      name: e.name,
      tags: e.tags,
      seed: sound.renderState,
      sfs: hex(quavix.writeSfs(sound.params)),
      buffer_length: e.recipe.bufferLength,
    });
  });
  const back = readProject(projectText(entries), 'p.json');
  if (typeof back === 'string') throw new Error(back);
  expect(back.problems).toEqual([]);
  back.sounds.forEach((s, i) => {
    const [before, after] = [cook(entries[i].recipe), cook(s.recipe)];
    expect([s.name, s.tags, s.recipe.bufferLength]).toEqual([
      entries[i].name,
      entries[i].tags,
      entries[i].recipe.bufferLength,
    ]);
    expect(quavix.writeSfs(after.params)).toEqual(quavix.writeSfs(before.params));
    expect(after.renderState).toBe(before.renderState);
  });
});

test('a file that is not a project is refused as a whole, with the reason', () => {
  const cases = [
    { text: '{"format": ', message: /“p.json” is not a project file: it is not JSON text/ },
    { text: '[]', message: /has no "format": "quavix-project"/ },
    { text: '{"format": "other", "version": 1, "sounds": []}', message: /has no "format"/ },
    { text: '{"format": "quavix-project", "version": 3}', message: /of version 3; this Studio reads versions 1 and 2/ },
    { text: '{"format": "quavix-project", "version": 2}', message: /has no list of sounds/ },
    { text: '{"format": "quavix-project", "version": "1"}', message: /of version "1"/ },
    { text: '{"format": "quavix-project"}', message: /of no version/ },
    { text: '{"format": "quavix-project", "version": 1}', message: /has no list of sounds/ },
    { text: '{"format": "quavix-project", "version": 1, "sounds": []}', message: /holds no sounds/ },
  ];
  for (const c of cases) expect(readProject(c.text, 'p.json'), c.text).toMatch(c.message);
});

test('a bad sound is left out with the reason; the others are read', () => {
  const good = JSON.parse(projectText(sample().slice(0, 1))).sounds[0];
  const sfs: string = good.sfs;
  const cases = [
    { name: 'seed 1', change: { seed: 1 }, problem: null },
    { name: 'seed 4294967295', change: { seed: 4294967295 }, problem: null },
    { name: 'seed 0', change: { seed: 0 }, problem: /its seed is not a whole number from 1 to 4294967295/ },
    { name: 'seed 4294967296', change: { seed: 4294967296 }, problem: /its seed/ },
    { name: 'buffer 1', change: { buffer_length: 1 }, problem: null },
    { name: 'buffer 60', change: { buffer_length: 60 }, problem: null },
    { name: 'buffer 0', change: { buffer_length: 0 }, problem: /its buffer length/ },
    { name: 'buffer 61', change: { buffer_length: 61 }, problem: /its buffer length/ },
    { name: 'no tags', change: { tags: undefined }, problem: null },
    { name: 'a tag a number', change: { tags: [1] }, problem: /its tags are not a list of words/ },
    { name: 'no name', change: { name: '' }, problem: /^sound 2: it has no name/ },
    { name: 'sfs a byte short', change: { sfs: sfs.slice(2) }, problem: /"sfs" must be its 105 bytes/ },
    { name: 'sfs a byte long', change: { sfs: sfs + '00' }, problem: /"sfs" must be its 105 bytes/ },
    { name: 'sfs not hex', change: { sfs: 'zz' + sfs.slice(2) }, problem: /"sfs" must be its 105 bytes/ },
    {
      name: 'sfs of version 103',
      change: { sfs: '67' + sfs.slice(2) },
      problem: /its parameters are not a settings file/,
    },
  ];
  for (const c of cases) {
    const bad = { ...good, name: 'b', ...c.change };
    const text = JSON.stringify({ format: 'quavix-project', version: 1, sounds: [good, bad, 7] });
    const read = readProject(text, 'p.json');
    if (typeof read === 'string') throw new Error(read);
    const problems = read.problems.filter((p) => !p.startsWith('sound 3: it is not an object'));
    expect(read.problems.length - problems.length, c.name).toBe(1); // 7 is no sound
    const left = [problems.length, read.sounds.map((s) => s.name)];
    expect(left, c.name).toEqual(c.problem === null ? [0, ['Coin', 'b']] : [1, ['Coin']]);
    if (c.problem !== null) expect(problems[0], c.name).toMatch(c.problem);
  }
});

/** A layered entry of the sample's sounds: the second soloed, so that the others are muted in the file. */
const layered = (): NewEntry => {
  const [a, b] = sample().map((e) => e.recipe);
  const layer = (recipe: typeof a, offset: number, gainDb: number, muted: boolean, solo: boolean) => ({
    name: 'x',
    recipe,
    offset,
    gainDb,
    muted,
    solo,
  });
  const layers = [layer(a, 0, 0, false, false), layer(b, 2646000, -60, false, true), layer(a, 5535, 12, true, false)];
  return { name: 'Coin', tags: ['mix'], recipe: a, layers };
};

test('a layered sound makes the file version 2, in the tool\u2019s fields, and reads back as it sounds', () => {
  const data = JSON.parse(projectText([...sample(), layered()]));
  expect(data.version).toBe(2);
  // A layered sound may share no name: the plain Coin keeps its own.
  expect(data.sounds.map((s: { name: string }) => s.name)).toEqual(['Coin', 'Hurt, edited', 'Coin (2)']);
  const fields = data.sounds[2].layers.map((l: Record<string, unknown>) => [l.offset, l.gain_db, l.muted]);
  expect(fields).toEqual([
    [0, 0, true],
    [2646000, -60, false],
    [5535, 12, true],
  ]);
  const sound = cook(sample()[1].recipe);
  expect(data.sounds[2].layers[1]).toMatchObject({ seed: sound.renderState, sfs: hex(quavix.writeSfs(sound.params)) });
  const back = readProject(JSON.stringify(data), 'p.json');
  if (typeof back === 'string') throw new Error(back);
  const read = back.sounds[2].layers!.map((l) => [l.offset, l.gainDb, l.muted, cook(l.recipe).renderState]);
  expect(read).toEqual(fields.map((f: unknown[], i: number) => [...f, cook(sample()[i % 2].recipe).renderState]));
});

test('a bad layer leaves its sound out, naming the layer and the field in the tool\u2019s words', () => {
  const good = JSON.parse(projectText([layered()])).sounds[0];
  const cases: {
    name: string;
    layer?: Record<string, unknown>;
    sound?: Record<string, unknown>;
    problem: RegExp | null;
  }[] = [
    { name: 'offset 2646000', layer: { offset: 2646000 }, problem: null },
    {
      name: 'offset 2646001',
      layer: { offset: 2646001 },
      problem: /^layer 2: the start is 0 to 2646000 samples \(60 s\), not 2646001$/,
    },
    { name: 'offset -1', layer: { offset: -1 }, problem: /^layer 2: the start is 0 to 2646000/ },
    { name: 'offset 1.5', layer: { offset: 1.5 }, problem: /^layer 2: its offset is not a whole number of samples$/ },
    {
      name: 'no offset, gain or muted',
      layer: { offset: undefined, gain_db: undefined, muted: undefined },
      problem: null,
    },
    { name: 'gain +12.0', layer: { gain_db: 12 }, problem: null },
    { name: 'gain -60.0', layer: { gain_db: -60 }, problem: null },
    {
      name: 'gain +12.1',
      layer: { gain_db: 12.1 },
      problem: /^layer 2: the gain is -60.0 to \+12.0 dB in steps of 0.1, not \+12.1 dB$/,
    },
    { name: 'gain -60.1', layer: { gain_db: -60.1 }, problem: /^layer 2: the gain is -60.0 to \+12.0 dB/ },
    {
      name: 'gain -9.55',
      layer: { gain_db: -9.55 },
      problem: /^layer 2: its gain_db is not a number of decibels in steps of 0.1$/,
    },
    { name: 'gain as text', layer: { gain_db: '3' }, problem: /^layer 2: its gain_db/ },
    { name: 'muted 1', layer: { muted: 1 }, problem: /^layer 2: its muted is not true or false$/ },
    { name: 'seed 0', layer: { seed: 0 }, problem: /^layer 2: its seed is not a whole number from 1 to 4294967295$/ },
    { name: 'buffer 61', layer: { buffer_length: 61 }, problem: /^layer 2: its buffer length/ },
    { name: 'no layers', sound: { layers: [] }, problem: /^its layers are not a list of 1 to 8 layers$/ },
    { name: '8 layers', sound: { layers: Array(8).fill(good.layers[0]) }, problem: null },
    {
      name: '9 layers',
      sound: { layers: Array(9).fill(good.layers[0]) },
      problem: /^its layers are not a list of 1 to 8/,
    },
    { name: 'a layer a number', sound: { layers: [7] }, problem: /^layer 1: it is not an object/ },
  ];
  for (const c of cases) {
    const layers = good.layers.map((l: object, i: number) => (i === 1 ? { ...l, ...c.layer } : l));
    const sound = { ...good, layers, ...c.sound };
    const read = readProject(JSON.stringify({ format: 'quavix-project', version: 2, sounds: [sound] }), 'p.json');
    if (typeof read === 'string') throw new Error(read);
    const problems = read.problems.map((p) => p.replace(/^sound 1 \(“Coin”\): /, ''));
    if (c.problem === null) expect([problems, read.sounds.length], c.name).toEqual([[], 1]);
    else expect(problems[0], c.name).toMatch(c.problem);
  }
  // Layers belong to version 2.
  const old = readProject(JSON.stringify({ format: 'quavix-project', version: 1, sounds: [good] }), 'p.json');
  expect(typeof old !== 'string' && old.problems).toEqual([
    'sound 1 (“Coin”): it has layers, which only files of version 2 hold',
  ]);
});

test('a refusal of the browser is said once, in plain words where its name tells what happened', () => {
  const cases = [
    { error: new DOMException('Quota exceeded.', 'QuotaExceededError'), said: /^the browser has no room left/ },
    { error: new DOMException('', 'ClosedError'), said: /^another tab of the Studio closed the library: reloading/ },
    { error: new DOMException('', 'TimeoutError'), said: /^the browser did not open its database within 10 s$/ },
    {
      error: new DOMException('The user denied permission to access the database.', 'InvalidStateError'),
      said: /^the browser refused, saying \u201cThe user denied permission to access the database\u201d$/,
    },
    { error: new DOMException('', 'UnknownError'), said: /^the browser refused, without saying why$/ },
    { error: new Error('  '), said: /^the browser refused, without saying why$/ },
    { error: 'not an error', said: /^the browser refused, without saying why$/ },
  ];
  for (const c of cases) {
    const said = refusal(c.error);
    expect(said, String(c.error)).toMatch(c.said);
    expect(said.match(/refused/g)?.length ?? 0, said).toBeLessThanOrEqual(1);
  }
});

// The package against the native quavix tool: the same WAV, settings file and
// settings string for the same recipe, each format read back by the other
// side, and the same verdict on settings strings.
import assert from 'node:assert/strict';
import { writeFileSync } from 'node:fs';
import { join } from 'node:path';
import test from 'node:test';
import * as quavix from '../node.js';
import { layersOf, native, nativeLayers, nativeRender, scratchDir } from '../testing/native.js';

await quavix.init();

// Each recipe in the tool's options and as package calls (the tool's order:
// seed, source, --set in users' units, --mutate, render).
const recipes = [
  ...quavix.PRESET_FAMILIES.map((family, i) => ({ seed: 11 + i, preset: family })),
  { seed: 5, randomize: true },
  { seed: 1, randomize: true, bufferLength: 1 }, // 81596 samples, cut at 41000
  { seed: 9, preset: 'laser', sets: [['SustainTime', 0.25], ['VibSpeed', 10]], mutate: 0.1 },
  { seed: 4, preset: 'jump', sets: [['WaveType', 2], ['RepeatSpeed', 10]], bufferLength: 2 },
];

function cliArgs(r) {
  return ['--seed', String(r.seed), ...(r.preset ? ['--preset', r.preset] : ['--randomize']),
    ...(r.sets ?? []).flatMap(([name, value]) => ['--set', `${name}=${value}`]),
    ...(r.mutate ? ['--mutate', String(r.mutate)] : []), '--buffer-length', String(r.bufferLength ?? 5)];
}

function jsRender(r) {
  const rng = quavix.random(r.seed);
  let p = r.preset ? quavix.preset(r.preset, rng) : quavix.randomize(rng);
  for (const [name, value] of r.sets ?? []) p.set(name, value);
  if (r.mutate) p = quavix.mutate(p, r.mutate, rng);
  return { p, ...quavix.render(p, rng, { bufferLength: r.bufferLength ?? 5 }) };
}

for (const r of recipes) {
  test(`render ${cliArgs(r).join(' ')}`, () => {
    const want = nativeRender(cliArgs(r));
    const got = jsRender(r);
    assert.ok(Buffer.from(got.wav).equals(want.wav), 'WAV image');
    assert.ok(Buffer.from(quavix.writeSfs(got.p)).equals(want.sfs), 'settings file');
    assert.equal(quavix.toSettingsString(got.p), want.csv);

    // Each side reads the other's settings file and string.
    assert.equal(quavix.toSettingsString(quavix.readSfs(want.sfs)), want.csv);
    const file = join(scratchDir(), 'js.sfs');
    writeFileSync(file, quavix.writeSfs(got.p));
    assert.equal(native(['render', '--sfs', file, '--print-csv']).stdout.trim(), want.csv);
    const seed = String(r.seed + 100);
    const fromText = nativeRender(['--csv', want.csv, '--seed', seed]);
    const rendered = quavix.render(quavix.fromSettingsString(want.csv), quavix.random(Number(seed)));
    assert.ok(Buffer.from(rendered.wav).equals(fromText.wav), 'WAV of the settings string');
  });
}

// The tool accepts exactly the strings the strict check passes, and then
// reads them as the package does.
const texts = ['', '1', ' 1', '1 ', '+.5', '-0.25e-1', '2.5D1', '3.E+2', '1e', '.', '-', '0x10', 'nan', 'inf',
  '1,,,0.3,,0.4', ',,,,,,,,,,,,,,,,,,,,,,,', ',,,,,,,,,,,,,,,,,,,,,,,,', '1,2,x', '1;2', '1e400', '1e-400'];
test('the strict check of a settings string agrees with the tool', () => {
  for (const text of texts) {
    const check = quavix.checkSettingsString(text);
    const run = native(['render', '--csv', text, '--print-csv']);
    assert.equal(check.ok, run.status === 0, `${JSON.stringify(text)}: ${run.stderr}`);
    if (check.ok) assert.equal(quavix.toSettingsString(quavix.fromSettingsString(text)), run.stdout.trim(), text);
  }
});

test('a version-100 settings file reads as the tool reads it', () => {
  const file = join(scratchDir(), 'old.sfs');
  const image = quavix.writeSfs(quavix.preset('explosion', quavix.random(3))).slice(0, 89);
  new DataView(image.buffer).setInt32(0, 100, true);
  writeFileSync(file, image);
  assert.equal(quavix.toSettingsString(quavix.readSfs(image)), native(['render', '--sfs', file, '--print-csv']).stdout.trim());
});

// Layered sounds: the tool mixes the same layers from a version-2 project file.

// The mix by its rule, from each layer's own render: the sum in double, in
// layer order, of the float nearest to 10^(dB / 20) times the sample, rounded
// half away from zero and clamped to 16 bits.
function mixByRule(layers) {
  const sounding = layers.filter((l) => !l.muted).map((l) => ({ ...l,
    samples: quavix.render(l.params, l.random.clone(), { bufferLength: l.bufferLength ?? 5 }).samples }));
  const sums = new Float64Array(Math.max(0, ...sounding.map((l) => (l.offset ?? 0) + l.samples.length)));
  for (const l of sounding) {
    const gain = Math.fround(10 ** ((l.gainDb ?? 0) / 20));
    l.samples.forEach((x, n) => { sums[(l.offset ?? 0) + n] += gain * x; });
  }
  const rounded = [...sums].map((x) => Math.sign(x) * Math.round(Math.abs(x)) + 0); // + 0: no -0
  return { samples: rounded.map((x) => Math.min(32767, Math.max(-32768, x))),
    clipped: rounded.filter((x) => x < -32768 || x > 32767).length, floats: [...sums].map((x) => Math.fround(x / 32768)) };
}

await quavix.initLayers();
const mixes = [
  { name: 'one layer', layers: [{ preset: 'laser', seed: 42 }] },
  { name: 'eight layers, each later and quieter', layers: [...quavix.PRESET_FAMILIES, 'coin']
    .map((preset, i) => ({ preset, seed: 20 + i, offset: 1500 * i, gainDb: -1.5 * i })) },
  { name: 'the latest start', layers: [{ preset: 'blip', seed: 3, offset: 2646000 }] },
  { name: 'the lowest and the highest gain', layers: [{ preset: 'coin', seed: 1, gainDb: -60 }, { preset: 'hurt', seed: 2, gainDb: 12 }] },
  { name: 'a muted layer', layers: [{ preset: 'jump', seed: 4 }, { preset: 'explosion', seed: 5, offset: 90000, muted: true }] },
  { name: 'clipping', layers: [{ preset: 'explosion', seed: 6, gainDb: 12 }, { preset: 'explosion', seed: 6, gainDb: 6.5, offset: 7 }] },
  { name: 'buffer lengths', layers: [{ preset: 'powerup', seed: 8, bufferLength: 1 }, { preset: 'laser', seed: 9, bufferLength: 60, offset: 3 }] },
];
test('layered sounds mix as the tool\'s render --layers and as their rule', () => {
  for (const { name, layers: recipes } of mixes) {
    const layers = layersOf(recipes);
    const states = layers.map((l) => l.random.state);
    const got = quavix.renderLayers(layers);
    const tool = nativeLayers(layers);
    assert.ok(Buffer.from(got.wav).equals(tool.wav), `${name}: the tool's WAV`);
    const want = mixByRule(layers);
    assert.deepEqual([[...got.samples], got.clipped], [want.samples, want.clipped], `${name}: the rule`);
    const withFloats = quavix.renderLayers(layers, { floats: true });
    assert.ok(Buffer.from(withFloats.wav).equals(tool.wav) && !('floats' in got), `${name}: the WAV beside the floats`);
    assert.deepEqual([...withFloats.floats], want.floats, `${name}: the floats by the rule`);
    assert.equal(got.clipped, Number(tool.stderr.match(/(\d+) samples are clipped in the mix/)?.[1] ?? 0), `${name}: clipped`);
    assert.deepEqual(layers.map((l) => l.random.state), states, `${name}: the random sources stay as they were`);
    // the same text as the tool's, and the text makes the same sound
    const text = quavix.layersToText(layers);
    assert.equal(text, tool.text, `${name}: the text`);
    assert.ok(Buffer.from(quavix.renderLayers(quavix.layersFromText(`\n${text} `)).wav).equals(tool.wav), `${name}: from the text`);
  }
  const [back] = quavix.layersFromText(quavix.layersToText([{ params: quavix.defaults(), seed: 7, gainDb: -6.1, muted: true, offset: 3 }]));
  assert.deepEqual({ ...back, params: back.params.equals(quavix.defaults()) },
    { params: true, seed: 7, bufferLength: 5, offset: 3, gainDb: -6.1, muted: true });
  const [one, latest, muted, clipping] = [0, 2, 4, 5].map((i) => quavix.renderLayers(layersOf(mixes[i].layers)));
  const alone = (recipe) => { const [l] = layersOf([recipe]); return quavix.render(l.params, l.random); };
  assert.ok(Buffer.from(one.wav).equals(Buffer.from(alone(mixes[0].layers[0]).wav)), 'one layer at 0 dB is its render');
  assert.equal(latest.sampleCount, 2646000 + alone(mixes[2].layers[0]).sampleCount);
  assert.deepEqual([...muted.samples], [...alone(mixes[4].layers[0]).samples], 'a muted layer adds nothing');
  assert.ok(clipping.clipped > 0 && clipping.peak === 32768);
});

// What the package refuses, naming the layer; where the tool reads the same
// layers from a project file, it refuses them in the same words.
const refusals = [ // [layers, the error's class, its message, the tool's words or null]
  [[], RangeError, 'a layered sound has 1 to 8 layers, not 0'],
  [Array(9).fill({ preset: 'coin', seed: 1 }), RangeError, 'a layered sound has 1 to 8 layers, not 9'],
  [Array(12).fill({ preset: 'coin', seed: 1 }), RangeError, 'a layered sound has 1 to 8 layers, not 12', null],
  [[{ preset: 'coin', seed: 1 }, { preset: 'coin', seed: 1, offset: 2646001 }], RangeError,
    'layer 2: the start is 0 to 2646000 samples (60 s), not 2646001'],
  [[{ preset: 'coin', seed: 1, offset: -1 }], RangeError, 'layer 1: the start is 0 to 2646000 samples (60 s), not -1', null],
  [[{ preset: 'coin', seed: 1, offset: 2 ** 40 }], RangeError, `layer 1: the start is 0 to 2646000 samples (60 s), not ${2 ** 40}`, null],
  [[{ preset: 'coin', seed: 1, gainDb: 12.1 }], RangeError, 'layer 1: the gain is -60.0 to +12.0 dB in steps of 0.1, not +12.1 dB'],
  [[{ preset: 'coin', seed: 1, gainDb: -60.1 }], RangeError, 'layer 1: the gain is -60.0 to +12.0 dB in steps of 0.1, not -60.1 dB'],
  [[{ preset: 'coin', seed: 1, gainDb: 0.05 }], RangeError, 'layer 1: gainDb 0.05 is not a number of decibels in steps of 0.1',
    'layer 1: its gain_db is not a number of decibels in steps of 0.1'],
  [[{ preset: 'coin', seed: 1, gainDb: NaN }], RangeError, 'layer 1: gainDb NaN is not a number of decibels in steps of 0.1', null],
  [[{ preset: 'coin', seed: 1, offset: 1.5 }], RangeError, 'layer 1: offset 1.5 is not a whole number of samples', null],
  [[{ preset: 'coin', seed: 1, bufferLength: 61 }], RangeError, 'bufferLength 61 is out of range (0 to 60)', null],
  [[{ preset: 'coin', seed: 1, muted: 1 }], TypeError, 'layer 1: muted is true or false', null],
  [[{ preset: 'coin', seed: 1, ['g'.repeat(50)]: 1 }], TypeError,
    `layer 1 has no field '${'g'.repeat(40)}...' (its fields: params, random, seed, bufferLength, offset, gainDb, muted)`, null],
];
test('bad layers are refused, naming the layer, in the tool\'s words', () => {
  for (const [recipes, type, message, toolWords = message] of refusals) {
    const layers = layersOf(recipes);
    assert.throws(() => quavix.renderLayers(layers), (e) => e instanceof type && e.message === `quavix: ${message}`, message);
    if (toolWords === null) continue;
    const tool = nativeLayers(layers);
    assert.ok(tool.status !== 0 && tool.stderr.includes(toolWords), `${message}: the tool says ${tool.stderr}`);
  }
  const p = quavix.defaults();
  for (const [text, type, message] of [
    ['qxl1~', RangeError, 'a layered sound has 1 to 8 layers, not 0'],
    ['coin', RangeError, 'it does not begin with "qxl1~", as a layered sound\'s text does'],
    [quavix.layersToText([{ params: p, seed: 1 }]).replace(',1,5,', ',0,5,'), RangeError,
      'layer 1: its seed is not a whole number from 1 to 4294967295'],
    [7, TypeError, 'layersFromText takes a string, not number'],
  ]) {
    assert.throws(() => quavix.layersFromText(text), (e) => e instanceof type && e.message === `quavix: ${message}`, message);
  }
  for (const [layers, message] of [[[{ params: p, seed: 0 }], 'layer 1: its seed is not a whole number from 1 to 4294967295'],
    [[{ params: p, seed: 1, bufferLength: 0 }], 'layer 1: its buffer length is not a whole number of seconds from 1 to 60'],
    [[{ params: p, seed: 1, gainDb: 12.1 }], 'layer 1: the gain is -60.0 to +12.0 dB in steps of 0.1, not +12.1 dB']]) {
    assert.throws(() => quavix.layersToText(layers), (e) => e instanceof RangeError && e.message === `quavix: ${message}`, message);
  }
  for (const [layers, type] of [[{}, TypeError], [[{ params: {}, seed: 1 }], TypeError], [[{ params: p }], TypeError],
    [[{ params: p, seed: 1, random: quavix.random(1) }], TypeError], [[{ params: p, seed: 1.5 }], RangeError], [[null], TypeError]]) {
    assert.throws(() => quavix.renderLayers(layers), type, JSON.stringify(layers));
  }
  assert.throws(() => quavix.renderLayers([{ params: p, seed: 1 }], { float: true }),
    { message: "quavix: renderLayers has no option 'float' (its option: floats)" });
  assert.throws(() => quavix.renderLayers([{ params: p, seed: 1 }], { floats: 1 }), TypeError);
});

// The package's own contract: loading, its errors, and what it adds to the C
// API (expected values from the C API's documented formulas, derived here).
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import test from 'node:test';
import * as quavix from '../node.js';

const bytes = readFileSync(new URL('../quavix.wasm', import.meta.url));

test('calls before init() throw; init() loads any source once and the module imports nothing', async () => {
  for (const call of [() => quavix.defaults(), () => quavix.random(1), () => quavix.freqHz(440)]) {
    assert.throws(call, { message: 'quavix: call await init() first' });
  }
  await assert.rejects(quavix.init(42), TypeError); // a failed load may be tried again
  const module = new WebAssembly.Module(bytes);
  assert.equal(WebAssembly.Module.imports(module).length, 0);
  const first = quavix.init(module);
  assert.equal(quavix.init(bytes), first);
  await first;
  assert.equal(quavix.toSettingsString(quavix.defaults()), '1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,');
});

test('bad names, indexes, families, lengths and types throw before anything is drawn', async () => {
  await quavix.init();
  const p = quavix.defaults();
  const rng = quavix.random(1);
  const cases = [[() => p.get('Loudness'), RangeError], [() => p.set(24, 1), RangeError],
    [() => p.setStored(1.5, 0), RangeError], [() => p.get('Volume\0'), RangeError],
    [() => quavix.preset('bell', rng), RangeError], [() => quavix.preset(7, rng), RangeError],
    [() => quavix.fromJSON({ Pitch: 1 }), RangeError], [() => quavix.render(p, rng, { bufferLength: 61 }), RangeError],
    [() => quavix.freqHz(440.5), RangeError], [() => quavix.render({}, rng), TypeError],
    [() => quavix.preset('coin', 1), TypeError], [() => p.set('Volume', '1'), TypeError]];
  for (const [call, type] of cases) assert.throws(call, type, String(call));
  assert.equal(rng.state, 1);
  assert.ok(quavix.preset('COIN', quavix.random(3)).equals(quavix.preset(0, quavix.random(3))), 'case-blind');
});

test('values cross into float32 as the module rounds them', async () => {
  await quavix.init();
  const p = quavix.defaults();
  assert.equal(p.set('sustaintime', 0.3).stored(3), Math.fround(Math.sqrt(Math.fround(0.3) / 2.2675)));
  assert.equal(p.setStored('WaveType', -2.9).get('WaveType'), -2);
  for (const hz of [3528, 440, 20]) assert.equal(quavix.freqHz(hz), Math.fround(Math.sqrt(100 / (44100 / (hz * 0.125)))));
  const rng = quavix.random(42);
  const copy = rng.clone();
  const state = (42 * 214013 + 2531011) >>> 0;
  assert.deepEqual([rng.draw(), rng.state, copy.state, quavix.random(-1).state], [(state >>> 16) & 0x7fff, state, 42, 2 ** 32 - 1]);
});

test('parameters copy, compare and travel through JSON bit for bit', async () => {
  await quavix.init();
  const rng = quavix.random(8);
  const p = quavix.preset('powerup', rng);
  const mutated = quavix.mutate(p, 0.2, rng); // also changes VibReserved, which JSON does not carry
  assert.ok(!mutated.equals(p) && mutated.clone().equals(mutated) && quavix.fromJSON(p.toJSON()).equals(p));
  assert.ok(quavix.fromJSON({ LPCutoff: 0.5 }).equals(quavix.defaults().setStored(19, 0.5)));
});

test('a render reports its samples, peak, clamp and silence', async () => {
  await quavix.init();
  const cases = [[quavix.defaults(), false, false], [quavix.defaults().setStored('WaveType', 4), true, false],
    [quavix.defaults().setStored('Volume', 100), false, true]];
  for (const [p, silent, clipped] of cases) {
    const r = quavix.render(p, quavix.random(1));
    assert.deepEqual([r.sampleCount, r.wav.length, r.durationSeconds, quavix.SAMPLE_RATE], [25003, 44 + 2 * 25003, 25003 / 44100, 44100]);
    assert.deepEqual([r.silent, r.clipped > 0], [silent, clipped]);
    assert.deepEqual([r.peak, r.clipped], [Math.max(...r.samples.map(Math.abs)), r.samples.filter((s) => Math.abs(s) === 32000).length]);
  }
});

test('bad settings files throw the C API\'s message and status', async () => {
  await quavix.init();
  const image = quavix.writeSfs(quavix.defaults());
  assert.throws(() => quavix.readSfs(image.slice(0, 3)), { status: -7, message: /version is not 100, 101 or 102/ });
  assert.throws(() => quavix.readSfs(image.slice(0, 50)), { status: -8, message: /ends inside its fields/ });
  assert.ok(quavix.readSfs(image.buffer).equals(quavix.defaults()));
});

test('paramInfo() is the core\'s table: names, groups, units, defaults and ranges', async () => {
  await quavix.init();
  const all = quavix.paramInfo();
  assert.deepEqual(all.map((i) => i.name), [...quavix.PARAM_NAMES]);
  const sustain = quavix.paramInfo('sustaintime');
  // The default stores 0.3 (as float) and reads 0.3 x 0.3 x 2.2675 seconds.
  assert.deepEqual([sustain.index, sustain.group, sustain.unit, sustain.whole, sustain.defaultStored, sustain.default],
    [3, 'envelope', 'seconds', false, Math.fround(0.3), Math.fround(Math.fround(0.3) * Math.fround(0.3) * Math.fround(2.2675))]);
  assert.equal(sustain.valid.min, 0);
  assert.ok(Math.abs(sustain.valid.max - 60 * 41000 / 100000 * 2.2675) < 0.01);
  assert.deepEqual([quavix.paramInfo(1).whole, quavix.paramInfo(1).valid.max, quavix.paramInfo(6).frequency], [true, 3, true]);
  assert.equal(quavix.paramInfo('ChangeSpeed').groupTitle, 'Pitch jump');
  assert.equal(quavix.paramInfo('Slide').valid.min, -Infinity);
  for (const info of all) {
    assert.equal(quavix.defaults().stored(info.index), info.defaultStored, info.name);
    assert.ok(info.typical.min < info.typical.max && info.help.length > 0, info.name);
  }
});

test('set() refuses what the core\'s rule refuses, naming the parameter; setStored() stays raw', async () => {
  await quavix.init();
  const p = quavix.defaults();
  const cases = [
    ['SustainTime', -5, /^quavix: SustainTime -5: a time cannot be negative$/],
    ['DecayTime', 56, /^quavix: DecayTime 56: longer than the longest possible sound \(55\.78 s\)$/],
    ['VibSpeed', -1, /VibSpeed -1: a speed cannot be negative/],
    ['RepeatSpeed', -0.5, /a speed cannot be negative/],
    ['WaveType', 4, /WaveType 4: the wave type is 0 square, 1 sawtooth, 2 sine or 3 noise/],
    ['WaveType', 1.5, /the wave type/],
    ['Volume', NaN, /Volume NaN: a value must be a finite number/],
  ];
  for (const [name, value, message] of cases) {
    assert.throws(() => p.set(name, value), { name: 'RangeError', message }, `${name} ${value}`);
    assert.ok(p.equals(quavix.defaults()), 'nothing changes');
  }
  for (const [name, value] of [['SustainTime', 0], ['DecayTime', 55], ['WaveType', 3], ['Slide', -1e30], ['RepeatSpeed', 0]]) {
    assert.equal(quavix.checkUserValue(name, value), null, `${name} ${value}`);
    p.set(name, value);
  }
  assert.ok(Number.isNaN(quavix.defaults().setStored('SustainTime', NaN).stored('SustainTime')));
  assert.equal(quavix.defaults().setStored('SustainTime', -5).stored('SustainTime'), -5);
});

test('pitch helpers: the period of a stored frequency and the closest achievable pitch', async () => {
  await quavix.init();
  // 100 / (0.3^2 + 0.001) = 1098.9 subsamples; 352800 / 440 = 801.8, and 802 sounds closer than 801.
  assert.deepEqual([quavix.startPeriod(0.3), quavix.startPeriod(0), quavix.startPeriod(100)], [1098, 100000, 8]);
  assert.equal(quavix.pitchOf(0.3), 352800 / 1098);
  const f = quavix.freqForPitch(440);
  assert.equal(quavix.startPeriod(f), 802);
  assert.ok(Math.abs(12 * Math.log2(quavix.pitchOf(f) / 440)) < 0.25);
  assert.throws(() => quavix.freqForPitch(3), { name: 'RangeError', message: /between 3\.528 and 44100 Hz/ });
  assert.equal(quavix.soundLengthBound(quavix.defaults()), 25003);
  assert.equal(quavix.soundLengthBound(quavix.defaults(), { bufferLength: 0 }), 0);
  assert.deepEqual([quavix.bufferSamples(0), quavix.bufferSamples(1), quavix.bufferSamples(60)], [0, 41000, 60 * 41000]);
});

// The package's own contract: loading, its errors, and values the C API's
// documentation gives (expected numbers derived here, not read back).
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import test from 'node:test';
import * as quavix from '../index.js';

const wasmBytes = readFileSync(new URL('../quavix.wasm', import.meta.url));

test('every call before init() throws, then init() loads from any source once', async () => {
  for (const call of [() => quavix.defaults(), () => quavix.random(1), () => quavix.freqHz(440)]) {
    assert.throws(call, { message: 'quavix: call await init() first' });
  }
  await assert.rejects(quavix.init(42), TypeError); // a failed load may be tried again
  const module = new WebAssembly.Module(wasmBytes);
  assert.equal(WebAssembly.Module.imports(module).length, 0, 'the module imports nothing');
  const first = quavix.init(module);
  assert.equal(quavix.init(wasmBytes), first);
  await first;
  assert.equal(quavix.toSettingsString(quavix.defaults()), '1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,');
});

test('bad names, indexes, families and lengths throw RangeError', async () => {
  await quavix.init();
  const p = quavix.defaults();
  const rng = quavix.random(1);
  for (const call of [() => p.get('Loudness'), () => p.set(24, 1), () => p.stored(-1), () => p.setStored(1.5, 0),
    () => p.get('Volume\0'), () => quavix.preset('bell', rng), () => quavix.preset(7, rng), () => quavix.preset(-1, rng),
    () => quavix.fromJSON({ Pitch: 1 }), () => quavix.render(p, rng, { bufferLength: 61 }),
    () => quavix.render(p, rng, { bufferLength: 0.5 }), () => quavix.freqHz(440.5)]) {
    assert.throws(call, RangeError);
  }
  assert.equal(rng.state, 1, 'nothing drawn');
  assert.throws(() => quavix.render({}, rng), TypeError);
  assert.throws(() => quavix.preset('coin', 1), TypeError);
});

test('names and families are case-blind, as the C API', async () => {
  await quavix.init();
  assert.ok(quavix.preset('COIN', quavix.random(3)).equals(quavix.preset(0, quavix.random(3))));
  assert.equal(quavix.defaults().set('sustaintime', 2.2675).stored('SustainTime'), 1);
});

test('units, frequencies and the generator follow their formulas', async () => {
  await quavix.init();
  const p = quavix.defaults();
  assert.equal(p.set('SustainTime', 0.3).stored(3), Math.fround(Math.sqrt(Math.fround(0.3) / 2.2675)));
  assert.equal(p.setStored('WaveType', -2.9).get('WaveType'), -2);
  assert.equal(quavix.paramUnit('RepeatSpeed'), 'repeats per second');
  assert.equal(quavix.paramUnit(0), '');
  for (const hz of [3528, 440, 20]) assert.equal(quavix.freqHz(hz), Math.fround(Math.sqrt(100 / (44100 / (hz * 0.125)))));
  const rng = quavix.random(42);
  const copy = rng.clone();
  const state = (42 * 214013 + 2531011) >>> 0;
  assert.equal(rng.draw(), (state >>> 16) & 0x7fff);
  assert.equal(rng.state, state);
  assert.equal(copy.state, 42, 'a clone draws on its own');
  assert.equal(quavix.random(-1).state, 0xffffffff);
});

test('parameters copy, compare and travel through JSON bit for bit', async () => {
  await quavix.init();
  const rng = quavix.random(8);
  const p = quavix.preset('powerup', rng);
  const mutated = quavix.mutate(p, 0.2, rng); // also changes VibReserved, which JSON does not carry
  assert.ok(!mutated.equals(p) && mutated.clone().equals(mutated) && quavix.fromJSON(p.toJSON()).equals(p));
  assert.ok(quavix.fromJSON(JSON.parse(JSON.stringify({ LPCutoff: 0.5 }))).equals(quavix.defaults().setStored(19, 0.5)));
  assert.ok(quavix.fromJSON({}).equals(quavix.defaults()));
});

test('a render reports its samples, peak, clamp and silence', async () => {
  await quavix.init();
  const loud = quavix.defaults().setStored('Volume', 100);
  const cases = [
    { p: quavix.defaults(), count: 25003, silent: false, clipped: false },
    { p: quavix.defaults().setStored('WaveType', 4), count: 25003, silent: true, clipped: false },
    { p: loud, count: 25003, silent: false, clipped: true },
  ];
  for (const c of cases) {
    const r = quavix.render(c.p, quavix.random(1));
    assert.equal(r.sampleCount, c.count);
    assert.equal(r.wav.length, 44 + 2 * c.count);
    assert.equal(r.durationSeconds, c.count / 44100);
    assert.equal(r.silent, c.silent);
    assert.equal(r.clipped > 0, c.clipped);
    assert.equal(r.peak, Math.max(...r.samples.map(Math.abs)));
  }
});

test('bad settings files throw the C API\'s message', async () => {
  await quavix.init();
  const image = quavix.writeSfs(quavix.defaults());
  assert.equal(new DataView(image.buffer).getInt32(0, true), 102);
  assert.throws(() => quavix.readSfs(image.slice(0, 3)), { status: -7, message: /version is not 100, 101 or 102/ });
  assert.throws(() => quavix.readSfs(image.slice(0, 50)), { status: -8, message: /ends inside its fields/ });
  assert.ok(quavix.readSfs(image.buffer).equals(quavix.defaults()));
});

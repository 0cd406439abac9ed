// The package against the native quavix tool: the same WAV, settings file and
// settings string for the same recipe, each format read back by the other
// side, and the same verdict on settings strings.
import assert from 'node:assert/strict';
import { writeFileSync } from 'node:fs';
import { join } from 'node:path';
import test from 'node:test';
import * as quavix from '../node.js';
import { native, nativeRender, scratchDir } from '../testing/native.js';

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

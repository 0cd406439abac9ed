// What the JavaScript tests share: the native quavix tool they compare with
// and the reference sounds. The test command builds the tool first (release
// preset), so a missing tool is a failure, not a skip.
import { execFileSync, spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import * as quavix from '../node.js';

const root = new URL('../../', import.meta.url);
export const NATIVE_CLI = process.env.QUAVIX_NATIVE_CLI ?? new URL('build/release/cli/quavix', root).pathname;
export const REFERENCE_SOUNDS =
  process.env.QUAVIX_REFERENCE_SOUNDS ?? new URL('tests/reference_sounds.txt', root).pathname;

if (!existsSync(NATIVE_CLI)) {
  throw new Error(`the native tool ${NATIVE_CLI} is missing: build the release preset first`);
}

export const scratchDir = () => mkdtempSync(join(tmpdir(), 'quavix-js-'));

// Runs the native tool; returns { status, stdout, stderr }.
export function native(args) {
  const run = spawnSync(NATIVE_CLI, args, { encoding: 'utf8' });
  if (run.error) throw run.error;
  return run;
}

// The native tool's render of args: its WAV, settings file and settings string.
export function nativeRender(args) {
  const dir = scratchDir();
  const wav = join(dir, 'out.wav');
  const sfs = join(dir, 'out.sfs');
  const csv = execFileSync(NATIVE_CLI, ['render', ...args, '-o', wav, '--save-sfs', sfs, '--print-csv'],
    { encoding: 'utf8' }).trim();
  return { wav: readFileSync(wav), sfs: readFileSync(sfs), csv };
}

// Layers of the package (renderLayers) from layers as quavix/audio's
// renderLayered takes them: a preset family designed from the source its render
// then continues, or a settings string rendered from seed; with the layer's
// own fields. Needs init() of node.js.
export function layersOf(recipes) {
  return recipes.map(({ preset, settings, seed, ...fields }) => {
    const rng = quavix.random(seed);
    return { params: preset === undefined ? quavix.fromSettingsString(settings) : quavix.preset(preset, rng), random: rng, ...fields };
  });
}

// The native tool's mix of a layered sound (layers of the package), from a
// version-2 project file that holds each layer's settings file in hex and the
// random state its render starts from: { status, wav (null when refused), stderr }.
export function nativeLayers(layers) {
  const dir = scratchDir();
  const project = join(dir, 'sounds.json');
  const file = (l) => ({ seed: l.random.state, sfs: Buffer.from(quavix.writeSfs(l.params)).toString('hex'),
    buffer_length: l.bufferLength ?? 5, offset: l.offset, gain_db: l.gainDb, muted: l.muted });
  writeFileSync(project, JSON.stringify({ format: 'quavix-project', version: 2, sounds: [{ name: 'Mix', layers: layers.map(file) }] }));
  const wav = join(dir, 'mix.wav');
  const run = native(['render', '--layers', project, '--sound', 'Mix', '-o', wav]);
  if (run.status !== 0) return { status: run.status, wav: null, stderr: run.stderr };
  // and the layered sound's text, as info --layers shows it
  const { text } = JSON.parse(native(['info', '--layers', project, '--json']).stdout);
  return { status: 0, wav: readFileSync(wav), stderr: run.stderr, text };
}

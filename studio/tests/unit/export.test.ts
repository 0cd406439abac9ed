import { beforeAll, describe, expect, test } from 'vitest';
import * as quavix from 'quavix';
import { spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { audibleRange, DEFAULT_CEILING_DBTP, DEFAULT_TRIM_DB, EXPORT_LIMITS } from '../../src/export/export-sound';
import { exportRates, exportSound, fadeOut, PLAIN_EXPORT, type ExportOptions } from '../../src/export/export-sound';
import { quantize } from '../../src/export/sample-format';
import { wavFile } from '../../src/export/wav-file';
import { buildPack, exportWords, packNames } from '../../src/export/pack';
import { newRecipe } from '../../src/recipe';

beforeAll(() => Promise.all([quavix.init(), quavix.initLayers()]));

describe('integer samples: x x 2^(bits-1), rounded half away from zero, clamped', () => {
  test.each([
    { name: '16: half scale', x: 0.5, bits: 16, v: 16384, clipped: 0 },
    { name: '16: -1 is the lowest value', x: -1, bits: 16, v: -32768, clipped: 0 },
    { name: '16: +1 clamps to 32767', x: 1, bits: 16, v: 32767, clipped: 1 },
    { name: '16: 32766.5 rounds up', x: 32766.5 / 32768, bits: 16, v: 32767, clipped: 0 },
    { name: '16: -32766.5 rounds down', x: -32766.5 / 32768, bits: 16, v: -32767, clipped: 0 },
    { name: '16: 32767.5 rounds to 32768, clamped', x: 32767.5 / 32768, bits: 16, v: 32767, clipped: 1 },
    { name: '8: a quarter', x: 0.25, bits: 8, v: 32, clipped: 0 },
    { name: '8: NaN is the lowest value', x: NaN, bits: 8, v: -128, clipped: 1 },
    { name: '24: the smallest step', x: 2 ** -23, bits: 24, v: 1, clipped: 0 },
  ])('$name', ({ x, bits, v, clipped }) => {
    const q = quantize(Float32Array.of(x), bits);
    expect(q.values[0]).toBe(v);
    expect(q.stored[0]).toBe(v / 2 ** (bits - 1));
    expect(q.clipped).toBe(clipped);
  });
});

test('WAV files: format, rates, widths and the data of each sample format', () => {
  const cases = [
    ['8', Int32Array.of(-128, 0, 127), 1, 1, [0, 128, 255]],
    ['16', Int32Array.of(-2, 1), 1, 2, [0xfe, 0xff, 1, 0]],
    ['24', Int32Array.of(-2, 0x123456), 1, 3, [0xfe, 0xff, 0xff, 0x56, 0x34, 0x12]],
    ['32f', Float32Array.of(-0.5), 3, 4, [0, 0, 0, 0xbf]],
  ] as const;
  for (const [bits, values, format, width, samples] of cases) {
    const bytes = wavFile(values, 48000, bits);
    const view = new DataView(bytes.buffer);
    const tag = (at: number) => String.fromCharCode(...bytes.subarray(at, at + 4));
    expect([tag(0), tag(8), tag(12)], bits).toEqual(['RIFF', 'WAVE', 'fmt ']);
    expect(view.getUint32(4, true), bits).toBe(bytes.length - 8);
    expect(view.getUint16(20, true), bits).toBe(format);
    expect(view.getUint32(24, true), bits).toBe(48000);
    expect(view.getUint32(28, true), bits).toBe(48000 * width);
    expect(view.getUint16(32, true), bits).toBe(width);
    const data = bytes.length - samples.length - (samples.length % 2) - 8;
    expect(tag(data), bits).toBe('data');
    expect(view.getUint32(data + 4, true), bits).toBe(samples.length);
    expect([...bytes.subarray(data + 8, data + 8 + samples.length)], bits).toEqual(samples);
    // a float file tells its frames in a fact chunk
    if (format === 3) expect([tag(38), view.getUint32(46, true)]).toEqual(['fact', 1]);
  }
});

test('trimming keeps the first to the last sample that reaches the threshold; the fade ends at 0', () => {
  // -60 dBFS is 0.001: the float nearest 0.001 is just above it, 0.0009 below.
  const cases = [
    { samples: [0, 0.001, 0.5, 0.0009, 0], range: [1, 3] },
    { samples: [0.0009, -0.001, 0], range: [1, 2] },
    { samples: [0.0009, 0, 0], range: [0, 0] },
  ];
  for (const c of cases) expect(audibleRange(Float32Array.from(c.samples), -60), String(c.samples)).toEqual(c.range);
  const faded = new Float32Array(5).fill(1);
  fadeOut(faded, 4);
  expect([...faded]).toEqual([1, 0.75, 0.5, 0.25, 0]);
});

test('pack names are file-safe and distinct', () => {
  expect(packNames(['Jump #12 (edited)', 'jump-12-edited', '../x', '', 'Café'])).toEqual([
    'Jump-12-edited',
    'jump-12-edited-2',
    'x',
    'sound',
    'Cafe',
  ]);
});

describe('the tool\u2019s options for each export', () => {
  const base: ExportOptions = { ...PLAIN_EXPORT, rate: 44100 }; // the table is made before the module loads
  test.each([
    { name: 'plain: none', o: base, words: '' },
    { name: 'rate only', o: { ...base, rate: 48000 }, words: '--format wav --bits 16 --rate 48000' },
    {
      name: 'match with its ceiling, trim and fade',
      o: { ...base, normalize: { kind: 'match', lufs: -16 }, ceilingDbtp: -1.5, trimDb: -50, fadeOutMs: 20 },
      words: '--format wav --bits 16 --rate 44100 --normalize lufs:-16 --true-peak -1.5 --trim -50 --fade-out 20',
    },
    {
      name: 'peak: no ceiling',
      o: { ...base, format: 'flac', bits: '24', normalize: { kind: 'peak', dbfs: -1 } },
      words: '--format flac --bits 24 --rate 44100 --normalize peak:-1',
    },
    { name: 'ogg: no bits', o: { ...base, format: 'ogg' }, words: '--format ogg --rate 44100' },
  ] as { name: string; o: ExportOptions; words: string }[])('$name', ({ o, words }) => {
    expect(exportWords(o).join(' ')).toBe(words);
  });
});

test('a peak target lands on the sample peak; a loudness target stops at the ceiling', async () => {
  const recipe = newRecipe(5, { kind: 'preset', family: 0 });
  const cooked = (await import('../../src/recipe')).cook(recipe);
  const rng = quavix.random(0);
  rng.state = cooked.renderState;
  const samples = quavix.render(cooked.params, rng).samples.slice();
  const level = (normalize: ExportOptions['normalize'], ceilingDbtp = -3) =>
    exportSound(samples, { ...PLAIN_EXPORT, bits: '32f', normalize, ceilingDbtp });
  const peak = await level({ kind: 'peak', dbfs: -6 }, PLAIN_EXPORT.ceilingDbtp);
  expect(Math.abs(peak.after.samplePeakDbfs + 6)).toBeLessThan(1e-4);
  // 0 LUFS is out of reach under a -3 dBTP ceiling: the true peak ends at the ceiling, marked as limited.
  const [loud, quiet] = [await level({ kind: 'loudness', lufs: 0 }), await level({ kind: 'loudness', lufs: -40 })];
  expect([loud.limited, quiet.limited]).toEqual([true, false]);
  expect(loud.after.truePeakDbtp).toBeLessThanOrEqual(-3);
  expect(loud.after.truePeakDbtp).toBeGreaterThan(-3.05);
  expect(Math.abs(quiet.after.integratedLufs + 40)).toBeLessThan(0.01);
});

test('a plain pack holds the module\u2019s own WAV, its settings file, host script, command and manifest; a layered sound its mix and project file', async () => {
  const recipe = newRecipe(42, { kind: 'preset', family: 0 });
  const layers = [
    { name: 'a', recipe, offset: 0, gainDb: 0, muted: false, solo: false },
    {
      name: 'b',
      recipe: newRecipe(7, { kind: 'preset', family: 2 }),
      offset: 4410,
      gainDb: -9.5,
      muted: true,
      solo: false,
    },
  ];
  const pack = await buildPack(
    [
      { name: 'Coin 42', recipe },
      { name: "Coin's mix", recipe, layers },
    ],
    PLAIN_EXPORT,
  );
  const { unzipSync } = await import('fflate');
  const files = unzipSync(pack.zip);
  expect(Object.keys(files).sort()).toEqual([
    'Coin-42.host.txt',
    'Coin-42.sfs',
    'Coin-42.wav',
    'Coin-s-mix.layers.json',
    'Coin-s-mix.wav',
    'commands.sh',
    'manifest.json',
  ]);
  const rng = quavix.random(42);
  const made = quavix.render(quavix.preset('coin', rng), rng);
  expect(files['Coin-42.wav']).toEqual(made.wav);
  // The second layer is muted: the mix is the first alone, at gain 1.
  expect(files['Coin-s-mix.wav']).toEqual(made.wav);
  expect(new TextDecoder().decode(files['commands.sh'])).toContain(
    'quavix render --preset coin --seed 42 -o Coin-42.wav\n' +
      "quavix render --layers Coin-s-mix.layers.json --sound 'Coin'\\''s mix' -o Coin-s-mix.wav\n",
  );
  const project = JSON.parse(new TextDecoder().decode(files['Coin-s-mix.layers.json']));
  expect([project.version, project.sounds[0].name, project.sounds[0].layers.length]).toEqual([2, "Coin's mix", 2]);
  expect(pack.manifest.sounds).toEqual([
    expect.objectContaining({ file: 'Coin-42.wav', seed: 42, samples: made.sampleCount, peak: made.peak }),
    expect.objectContaining({
      file: 'Coin-s-mix.wav',
      seed: null,
      settings: null,
      sfs: null,
      buffer_length: null,
      samples: made.sampleCount,
      layers: 2,
      mix_clipped: 0,
    }),
  ]);
});

test("the export ranges and defaults are the tool's: each edge taken, just beyond refused with the same range", () => {
  const cli =
    process.env.QUAVIX_NATIVE_CLI ?? fileURLToPath(new URL('../../../build/release/cli/quavix', import.meta.url));
  expect(existsSync(cli), `no tool at ${cli}: build it (cmake --preset release) or set QUAVIX_NATIVE_CLI`).toBe(true);
  const out = join(mkdtempSync(join(tmpdir(), 'quavix-ranges-')), 'coin.wav');
  const run = (words: string[]) =>
    spawnSync(cli, ['render', '--seed', '1', '--preset', 'coin', '--format', 'wav', '-o', out, ...words], {
      encoding: 'utf8',
    });
  const rates = exportRates();
  const limits = { ...EXPORT_LIMITS, rate: { min: rates[0], max: rates[rates.length - 1], open: false } };
  const words: Record<keyof typeof limits, (v: string) => string[]> = {
    trim: (v) => ['--trim', v],
    fade: (v) => ['--fade-out', v],
    peak: (v) => ['--normalize', `peak:${v}`],
    lufs: (v) => ['--normalize', `lufs:${v}`],
    ceiling: (v) => ['--normalize', 'lufs:-16', '--true-peak', v],
    rate: (v) => ['--rate', v],
  };
  for (const [name, l] of Object.entries(limits) as [keyof typeof limits, (typeof limits)['rate']][]) {
    const step = name === 'fade' || name === 'rate' ? 1 : 0.001;
    for (const v of [l.min, l.open ? l.max - step : l.max])
      expect(run(words[name](String(v))).status, `${name} ${v}`).toBe(0);
    for (const v of [l.min - step, l.open ? l.max : l.max + step]) {
      const refused = run(words[name](String(v)));
      expect(
        [refused.status, refused.stderr.includes(`${l.min} to ${l.open ? 'below ' : ''}${l.max}`)],
        `${name} ${v}`,
      ).toEqual([2, true]);
    }
  }
  const help = run(['--help']).stdout;
  for (const [option, value] of [
    ['--trim', DEFAULT_TRIM_DB],
    ['--true-peak', DEFAULT_CEILING_DBTP],
    ['--rate', quavix.SAMPLE_RATE],
  ]) {
    expect(help, String(option)).toMatch(new RegExp(`\\n  ${option} .*\\(default ${value}\\)\\n`));
  }
});

/** Names as hostile as a person may type them, and the key each gets in the generated files. */
const HOSTILE = [
  { name: 'Coin "quoted" \\ back\\', key: 'Coin "quoted" \\ back\\' },
  { name: 'line\nbreak\r\ttab\u0000\u007f\u0085', key: 'line\nbreak\r\ttab\u0000\u007f\u0085' },
  { name: ']]--[[ ]=] </script><img src=x onerror=alert(1)>', key: ']]--[[ ]=] </script><img src=x onerror=alert(1)>' },
  { name: 'Caf\u00e9 \u65e5\u672c \ud83c\udfb5 \u2028\u2029', key: 'Caf\u00e9 \u65e5\u672c \ud83c\udfb5 \u2028\u2029' },
  { name: 'coin', key: 'coin' },
  { name: 'Coin', key: 'Coin' },
  { name: 'coin', key: 'coin (2)' },
  { name: '__proto__', key: '__proto__' },
  { name: "'); os.exit(1) -- ${x} `", key: "'); os.exit(1) -- ${x} `" },
  { name: 'lone \ud800', key: 'lone \ufffd' },
  { name: '', key: '' },
];
const hexOf = (key: string) => Buffer.from(key, 'utf8').toString('hex');

test('the engines\u2019 files name each sound as written and load each file of the pack, in Node, LÖVE and Godot', async () => {
  const recipe = newRecipe(3, { kind: 'preset', family: 6 });
  const pack = await buildPack(
    HOSTILE.map((h) => ({ name: h.name, recipe })),
    PLAIN_EXPORT,
    () => {},
    ['web', 'godot', 'love'],
  );
  await expect(
    buildPack([{ name: 'a', recipe }], { ...PLAIN_EXPORT, format: 'flac' }, () => {}, ['godot']),
  ).rejects.toThrow('Godot does not import FLAC files');
  const { unzipSync } = await import('fflate');
  const files = unzipSync(pack.zip);
  const dir = mkdtempSync(join(tmpdir(), 'quavix-engines-'));
  const game = join(dir, 'game');
  // the LÖVE game and the Godot project hold the pack in a folder of their own
  for (const [name, bytes] of Object.entries(files)) {
    for (const path of [join(dir, name), join(game, 'sfx', name)]) {
      mkdirSync(dirname(path), { recursive: true });
      writeFileSync(path, bytes);
    }
  }
  const wavs = pack.sounds.map((s) => s.file);
  expect(wavs).toContain('Coin-2.wav');
  expect(
    Object.keys(files)
      .filter((f) => f.startsWith('godot/'))
      .sort(),
  ).toEqual([...wavs.map((f) => `godot/${f}`), 'godot/quavix_sounds.gd'].sort());
  for (const f of wavs) expect(files[`godot/${f}`], f).toEqual(files[f]);
  const samples = (pack.manifest.sounds as { samples: number }[]).map((s) => s.samples);

  // Node: the module's URLs are the files beside it; an unknown name is refused, cut at 40 characters
  const node = spawnSync(
    process.execPath,
    [
      '--input-type=module',
      '-e',
      `const m = await import(${JSON.stringify(pathToFileURL(join(dir, 'sounds.js')).href)});
       const refused = await m.load('x'.repeat(41)).catch((e) => e.message);
       console.log(JSON.stringify({ sounds: Object.entries(m.sounds), same: m.default === m.sounds, refused }));`,
    ],
    { encoding: 'utf8' },
  );
  expect(node.stderr).toBe('');
  const web = JSON.parse(node.stdout);
  expect(web.sounds).toEqual(HOSTILE.map((h, i) => [h.key, pathToFileURL(join(dir, wavs[i])).href]));
  expect(web.same).toBe(true);
  expect(web.refused).toBe(`There is no sound named "${'x'.repeat(40)}..." in sounds.js`);
  for (const [, url] of web.sounds) expect(readFileSync(fileURLToPath(url)).length).toBeGreaterThan(44);

  // LÖVE, without window or sound card as the binding's tests run it: a static source of each file, by name
  const conf = fileURLToPath(new URL('../../../tests/bindings/love/conf.lua', import.meta.url));
  writeFileSync(join(game, 'conf.lua'), readFileSync(conf));
  writeFileSync(
    join(game, 'main.lua'),
    `local sounds = require("sfx.sounds")
local keys = {}
for k in pairs(sounds) do keys[#keys + 1] = k end
table.sort(keys)
for _, k in ipairs(keys) do
  local s = sounds[k]
  io.write(k:gsub(".", function(c) return string.format("%02x", c:byte()) end), " ", s:getType(), " ",
    s:getDuration("samples"), "\\n")
end
io.flush()
love.event.quit(0)
`,
  );
  const env = {
    ...process.env,
    ALSOFT_DRIVERS: 'null',
    HOME: dir,
    XDG_DATA_HOME: join(dir, 'data'),
    XDG_RUNTIME_DIR: dir,
  };
  // killed after 120 s: LÖVE's error screen outlives SIGTERM
  const love = spawnSync('love', [game], { env, encoding: 'utf8', timeout: 120000, killSignal: 'SIGKILL' });
  expect(love.error, 'love: install it with scripts/setup.sh').toBeUndefined();
  expect(love.status, love.stdout + love.stderr).toBe(0);
  const byKey = HOSTILE.map((h, i) => [hexOf(h.key), samples[i]] as const).sort(([a], [b]) => (a < b ? -1 : 1));
  expect(love.stdout.split('\n').filter((l) => l !== '')).toEqual(byKey.map(([k, n]) => `${k} static ${n}`));

  // Godot 3 headless: the editor imports the folder's files, then a script prints each key and its stream
  writeFileSync(join(game, 'project.godot'), 'config_version=4\n\n[application]\n\nconfig/name="pack"\n');
  writeFileSync(
    join(game, 'print_sounds.gd'),
    `extends SceneTree
func _init():
	var sounds = load("res://sfx/godot/quavix_sounds.gd").SOUNDS
	for k in sounds.keys():
		print("sound ", k.to_utf8().hex_encode(), " ", sounds[k].get_class(), " ", sounds[k].data.size())
	quit()
`,
  );
  const godot = (...words: string[]) =>
    spawnSync('godot3-server', ['--path', game, ...words], {
      env: { ...env, LANG: 'C.UTF-8', XDG_CONFIG_HOME: join(dir, 'config'), XDG_CACHE_HOME: join(dir, 'cache') },
      encoding: 'utf8',
      timeout: 120000,
      killSignal: 'SIGKILL',
    });
  const imported = godot('--editor', '--quit');
  expect(imported.error, 'godot3-server: install it with scripts/setup.sh').toBeUndefined();
  const printed = godot('--script', 'print_sounds.gd');
  expect(printed.stdout + printed.stderr).not.toMatch(/SCRIPT ERROR|Parse Error/);
  expect(printed.stdout.split('\n').filter((l) => l.startsWith('sound '))).toEqual(
    HOSTILE.map((h, i) => `sound ${hexOf(h.key)} AudioStreamSample ${samples[i] * 2}`),
  );
}, 300000);

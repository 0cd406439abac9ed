// Export and packs in headless Chromium, from the single HTML file (file://):
// the pack's files against the quavix tool's, made by the pack's own commands,
// and measured by the tool's `info` (libebur128).
import { after, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, symlinkSync, writeFileSync, copyFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { createServer } from 'node:http';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { unzipSync } from 'fflate';
import { CLI, singleFile, click, typeInto, axeViolations, session, downloaded, reload } from './page-steps.mjs';
import { openPage } from './browser.mjs';

const scratch = mkdtempSync(join(tmpdir(), 'quavix-studio-export-'));
const bin = join(scratch, 'bin');
mkdirSync(bin);
symlinkSync(CLI, join(bin, 'quavix'));

/** The three starred sounds, named after their labels (Laser #1234 (edited)): a short one, a long noisy one and a quiet one. */
const SOUNDS = [
  { name: 'Blip-11', seed: '11', family: 6 },
  { name: 'Explosion-7', seed: '7', family: 2 },
  { name: 'Laser-1234-edited', seed: '1234', family: 1, volume: '0.03' },
];

let packs = 0;
/** Makes a pack of the starred sounds with these dialog settings; its files land in a folder of their own. */
async function makePack(page, settings) {
  await page.click('#export-open');
  await page.check(`input[name=export-which][value=${settings.which ?? 'starred'}]`);
  await page.selectOption('#export-format', settings.format ?? 'wav');
  if (settings.bits) await page.selectOption('#export-bits', settings.bits);
  await page.selectOption('#export-rate', String(settings.rate ?? 44100));
  await page.setChecked('#export-trim-on', settings.trim !== undefined);
  if (settings.trim !== undefined) await page.fill('#export-trim', String(settings.trim));
  await page.fill('#export-fade', String(settings.fade ?? 0));
  await page.selectOption('#export-level', settings.level ?? 'none');
  if (settings.target !== undefined) await page.fill('#export-target', String(settings.target));
  if (settings.ceiling !== undefined) await page.fill('#export-ceiling', String(settings.ceiling));
  for (const engine of ['web', 'godot', 'love']) {
    await page.setChecked(`#export-engine-${engine}`, settings.engines?.includes(engine) ?? false);
  }
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#export-make')]);
  const zip = readFileSync(await download.path());
  await page.waitForSelector('#export-results table');
  const rows = await page.$$eval('#export-results tbody tr', (all) =>
    all.map((tr) => ({ file: tr.querySelector('th').textContent, note: tr.lastChild.textContent })),
  );
  await page.click('#export-close');
  const dir = join(scratch, `pack-${++packs}`);
  mkdirSync(join(dir, 'godot'), { recursive: true });
  const files = unzipSync(new Uint8Array(zip));
  for (const [name, bytes] of Object.entries(files)) writeFileSync(join(dir, name), bytes);
  return { dir, files, rows, manifest: JSON.parse(new TextDecoder().decode(files['manifest.json'])) };
}

/** The pack's commands.sh run by the tool in a fresh folder; the folder. */
function runCommands(pack) {
  const dir = join(pack.dir, 'again');
  mkdirSync(dir);
  copyFileSync(join(pack.dir, 'commands.sh'), join(dir, 'commands.sh'));
  execFileSync('sh', ['commands.sh'], {
    cwd: dir,
    env: { ...process.env, PATH: `${bin}:${process.env.PATH}` },
    stdio: 'pipe',
  });
  return dir;
}

const info = (path) => JSON.parse(execFileSync(CLI, ['info', '--json', path], { encoding: 'utf8' }));

let page;
const s = session(singleFile, {}, async (s) => {
  page = s.page;
  for (const sound of SOUNDS) {
    await typeInto(page, '#seed', sound.seed);
    await click(page, `[data-family="${sound.family}"]`);
    if (sound.volume) await typeInto(page, '#p-Volume-value', sound.volume);
    await page.click('#star');
    // The library keeps it in the browser's database, which answers later.
    await page.waitForSelector('#star[aria-pressed="true"]');
  }
});
after(() => rmSync(scratch, { recursive: true, force: true }));

test('keyboard only: the current sound as FLAC; the open dialog has no accessibility violations', async () => {
  await page.focus('#export-open');
  await page.keyboard.press('Enter');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'export-format');
  await page.keyboard.press('ArrowDown'); // WAV -> FLAC
  assert.deepEqual(await axeViolations(page, '#export-dialog'), []);
  for (let i = 0; i < 20 && (await page.evaluate(() => document.activeElement.id)) !== 'export-make'; i++) {
    await page.keyboard.press('Tab');
  }
  const [download] = await Promise.all([page.waitForEvent('download'), page.keyboard.press('Enter')]);
  const files = unzipSync(new Uint8Array(readFileSync(await download.path())));
  const names = Object.keys(files);
  assert.equal(names.filter((f) => f.endsWith('.flac')).length, 1, names.join(' '));
  assert.match(download.suggestedFilename(), /-pack\.zip$/);
  // the current sound's command is the one the Exchange panel shows, with the export options
  const command = new TextDecoder().decode(files['commands.sh']).trim().split('\n').pop();
  const shown = await page.$eval('#command', (e) => e.value);
  assert.equal(command, shown.replace(/ -o (\S+)\.wav$/, ' --format flac --bits 16 --rate 44100 -o $1.flac'));
  await page.keyboard.press('Escape');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'export-open');
  assert.equal(await page.$eval('#export-dialog', (d) => d.open), false);
});

test('a plain pack holds the module\u2019s WAVs, which its own commands make again byte for byte', async () => {
  const pack = await makePack(page, {});
  const again = runCommands(pack);
  const names = SOUNDS.map((s) => `${s.name}.wav`).sort();
  assert.deepEqual(pack.manifest.sounds.map((s) => s.file).sort(), names);
  for (const { file, seed, command } of pack.manifest.sounds) {
    const name = file.replace(/\.wav$/, '');
    assert.ok(Buffer.from(pack.files[file]).equals(readFileSync(join(again, file))), name);
    // the settings file makes the same sound, as the tool reads it
    const fromSfs = join(pack.dir, `${name}-sfs.wav`);
    execFileSync(CLI, ['render', '--sfs', join(pack.dir, `${name}.sfs`), '--seed', String(seed), '-o', fromSfs]);
    if (!/--preset|--randomize/.test(command)) {
      assert.ok(Buffer.from(pack.files[file]).equals(readFileSync(fromSfs)), `${name} from its .sfs`);
    }
    const script = new TextDecoder().decode(pack.files[`${name}.host.txt`]);
    assert.match(script, new RegExp(`^Set random seed to .*\\n[\\s\\S]*Generate sound as "${name}"\\n$`), name);
  }
  assert.equal(pack.manifest.export, undefined);
  assert.deepEqual(s.problems, []);
});

test('a pack for game engines: sounds.js names each file, in Node and in Chromium over http, decoded by Web Audio', async () => {
  // Godot does not import FLAC: its box is disabled, and says why
  await page.click('#export-open');
  await page.selectOption('#export-format', 'flac');
  assert.equal(await page.isDisabled('#export-engine-godot'), true);
  assert.match(await page.textContent('#export-engines-why'), /Godot does not import FLAC/);
  await page.selectOption('#export-format', 'wav');
  assert.equal(await page.textContent('#export-engines-why'), '');
  // the boxes by keyboard: Enter ticks the one focused, as every box of the page
  assert.equal(await page.isChecked('#export-engine-web'), false, 'checked before');
  await page.focus('#export-engine-web');
  await page.keyboard.press('Enter');
  assert.equal(await page.isChecked('#export-engine-web'), true);
  await page.click('#export-close');

  const pack = await makePack(page, { engines: ['web', 'godot', 'love'] });
  const names = pack.manifest.sounds.map((s) => s.name);
  const wavs = pack.manifest.sounds.map((s) => s.file);
  assert.deepEqual(
    Object.keys(pack.files)
      .filter((f) => /^(godot\/|sounds\.)/.test(f))
      .sort(),
    [...wavs.map((f) => `godot/${f}`), 'godot/quavix_sounds.gd', 'sounds.js', 'sounds.lua'].sort(),
  );
  const lua = new TextDecoder().decode(pack.files['sounds.lua']);
  for (const f of wavs) assert.match(lua, new RegExp(`newSource\\(prefix \\.\\. "${f}", "static"\\)`), f);

  // Node: each URL is the pack's file beside the module
  const module = await import(pathToFileURL(join(pack.dir, 'sounds.js')).href);
  assert.deepEqual(Object.keys(module.sounds), names);
  for (const [i, url] of Object.values(module.sounds).entries()) {
    assert.ok(readFileSync(fileURLToPath(url)).equals(Buffer.from(pack.files[wavs[i]])), url);
  }

  // Chromium: module scripts from file:// are refused, so the unpacked folder is served on 127.0.0.1
  const types = { '.js': 'text/javascript', '.wav': 'audio/wav', '.html': 'text/html' };
  const server = createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname.slice(1)) || 'game.html';
    if (name !== 'game.html' && !Object.hasOwn(pack.files, name)) return void response.writeHead(404).end();
    const body =
      name === 'game.html'
        ? '<!doctype html><link rel=icon href="data:,"><title>A game</title>'
        : readFileSync(join(pack.dir, name));
    response.writeHead(200, { 'Content-Type': types[name.slice(name.lastIndexOf('.'))] }).end(body);
  });
  await new Promise((listening) => server.listen(0, '127.0.0.1', listening));
  try {
    const game = await openPage(s.browser.context, `http://127.0.0.1:${server.address().port}/`, { ready: false });
    const decoded = await game.page.evaluate(async () => {
      const { sounds, load, play } = await import('./sounds.js');
      const out = [];
      for (const name of Object.keys(sounds)) {
        const buffer = await load(name, new OfflineAudioContext(1, 1, 44100));
        out.push([name, buffer.length, buffer.sampleRate, buffer.numberOfChannels]);
      }
      const node = await play(Object.keys(sounds)[0]);
      const refused = await load('no such sound').catch((e) => e.message);
      return { out, played: node instanceof AudioBufferSourceNode, refused };
    });
    assert.deepEqual(
      decoded.out,
      pack.manifest.sounds.map((s) => [s.name, s.samples, 44100, 1]),
    );
    assert.equal(decoded.played, true);
    assert.equal(decoded.refused, 'There is no sound named "no such sound" in sounds.js');
    assert.deepEqual(game.problems, []);
    await game.page.close();
  } finally {
    server.close();
  }
});

test('each file decodes to the length of the tool\u2019s file for the same command, its loudness the tool\u2019s', async () => {
  // The manifest's loudness is the browser's measure; the tool's `info` is libebur128's.
  const cases = [
    { name: 'wav trimmed', settings: { trim: -60 }, lu: 0.1 },
    { name: 'wav 24-bit, 48 kHz, faded', settings: { bits: '24', rate: 48000, fade: 50 }, lu: 0.1 },
    // lossy: each encoding lands a little differently, both near the target
    { name: 'ogg', settings: { format: 'ogg', rate: 22050, trim: -50, level: 'loudness', target: -20 }, lu: 0.5 },
    { name: 'flac', settings: { format: 'flac', bits: '24', rate: 32000 }, lu: 0.1 },
    { name: 'flac 8-bit', settings: { format: 'flac', bits: '8' }, lu: 0.1 },
    // matched: each file at the target, or marked as limited by the true-peak ceiling
    { name: 'matched', settings: { rate: 48000, level: 'match', target: -14, ceiling: -1 }, lu: 0.5 },
  ];
  let reached = 0;
  for (const c of cases) {
    const pack = await makePack(page, c.settings);
    const again = runCommands(pack);
    for (const sound of pack.manifest.sounds) {
      const ours = info(join(pack.dir, sound.file));
      const tool = info(join(again, sound.file));
      assert.equal(ours.frames, tool.frames, `${c.name}, ${sound.file}`);
      assert.equal(ours.frames, sound.frames, `${c.name}, ${sound.file}`);
      assert.equal(ours.rate, c.settings.rate ?? 44100, `${c.name}, ${sound.file}`);
      assert.ok(Number.isFinite(ours.loudness_lufs), `${c.name}, ${sound.file}`);
      const pair = `${c.name}, ${sound.file}: ${ours.loudness_lufs} against ${tool.loudness_lufs}`;
      assert.ok(Math.abs(ours.loudness_lufs - tool.loudness_lufs) < c.lu, pair);
      const measured = `${c.name}, ${sound.file}: ${sound.loudness_after_lufs} measured, ${ours.loudness_lufs}`;
      assert.ok(Math.abs(sound.loudness_after_lufs - ours.loudness_lufs) < c.lu, measured);
      if (c.settings.target !== undefined && !sound.gain_limited) {
        assert.ok(Math.abs(ours.loudness_lufs - c.settings.target) < 0.5, `${c.name}, ${sound.file}`);
      }
      if (c.settings.ceiling === undefined) continue;
      if (!sound.gain_limited) reached++;
      const note = pack.rows.find((r) => r.file === sound.file).note;
      assert.equal(/limited by the ceiling/.test(note), sound.gain_limited === true, `${c.name}, ${sound.file}`);
      assert.ok(ours.loudness_lufs < c.settings.target + 0.5, `${c.name}, ${sound.file}`);
      assert.ok(ours.true_peak_dbtp < c.settings.ceiling + 0.1, `${c.name}, ${sound.file}: ${ours.true_peak_dbtp}`);
      assert.match(sound.command, / --normalize lufs:-14 --true-peak -1 -o /, sound.file);
      assert.deepEqual(
        [pack.manifest.export.match_loudness_lufs, pack.manifest.export.true_peak_ceiling_dbtp],
        [-14, -1],
      );
    }
  }
  assert.ok(reached > 0, 'no matched sound reached the target');
});

/**
 * Three presets as layers; each start in whole samples at 44.1 per millisecond, rounded (125.5 ms is 5534.55
 * samples, so 5535; 200.02 ms is 8820.882, so 8821).
 */
const LAYERS = [
  { family: 1, seed: '41', start: '0', offset: 0, gain: '0', gainDb: 0, muted: false },
  { family: 2, seed: '42', start: '125.5', offset: 5535, gain: '-6.5', gainDb: -6.5, muted: true },
  { family: 6, seed: '43', start: '200.02', offset: 8821, gain: '3', gainDb: 3, muted: false },
];

test('a mix of layers downloads as the bytes the tool renders from a project file of the same layers', async () => {
  const layers = [];
  for (const [i, l] of LAYERS.entries()) {
    await typeInto(page, '#seed', l.seed);
    await click(page, `[data-family="${l.family}"]`);
    // The layer's recipe as the page gives it: its settings file, and the seed its share link starts from.
    const sfs = await downloaded(page, () => page.click('#save-sfs'));
    const link = new URL(await page.inputValue('#link'));
    const fields = new URLSearchParams(link.hash.slice(1));
    layers.push({
      seed: Number(fields.get('seed')),
      sfs: sfs.toString('hex'),
      buffer_length: Number(fields.get('length') ?? 5), // a link leaves out the default, 5 s
      offset: l.offset,
      gain_db: l.gainDb,
      muted: l.muted,
    });
    await page.click('#layer-add');
    const row = `#layer-rows li:nth-child(${i + 1})`;
    await typeInto(page, `${row} .layer-start`, l.start);
    await typeInto(page, `${row} .layer-gain`, l.gain);
    if (l.muted) await page.click(`${row} .layer-muted`);
  }
  assert.deepEqual(await axeViolations(page, '.panel.layers'), []);
  const mix = await downloaded(page, () => page.click('#mix-download'));
  /** The tool's render of a version 2 project file holding these layers as one sound. */
  const toolMix = (layers) => {
    const project = join(scratch, 'layers.json');
    const sounds = [{ name: 'Three layers', layers }];
    writeFileSync(project, JSON.stringify({ format: 'quavix-project', version: 2, sounds }));
    const out = join(scratch, 'layers.wav');
    execFileSync(CLI, ['render', '--layers', project, '--sound', 'Three layers', '-o', out]);
    return readFileSync(out);
  };
  assert.ok(mix.length > 44 + 2 * 8821, `${mix.length} bytes`);
  assert.ok(mix.equals(toolMix(layers)), 'the mix differs from the tool\u2019s');

  // Solo on the third layer: the others are muted in the mix.
  await page.click('#layer-rows li:nth-child(3) .layer-solo');
  const solo = await downloaded(page, () => page.click('#mix-download'));
  const soloed = layers.map((l, i) => ({ ...l, muted: i !== 2 }));
  assert.ok(solo.equals(toolMix(soloed)), 'the soloed mix differs from the tool\u2019s');
  assert.ok(!solo.equals(mix));
  await page.click('#layer-rows li:nth-child(3) .layer-solo');

  // Each field on both sides of its edge: the refused value is said beside the field, and the mix stays.
  for (const [field, ok, refused, said] of [
    ['start', '60000', '60001', /0 to 60,000 ms/],
    ['gain', '12', '12.1', /-60\.0 to \+12\.0 dB/],
    ['gain', '-60', '-60.1', /-60\.0 to \+12\.0 dB/],
  ]) {
    const row = '#layer-rows li:nth-child(1)';
    await typeInto(page, `${row} .layer-${field}`, ok);
    assert.equal(await page.textContent(`${row} [id$="-${field}-error"]`), '');
    const before = await downloaded(page, () => page.click('#mix-download'));
    await typeInto(page, `${row} .layer-${field}`, refused);
    assert.match(await page.textContent(`${row} [id$="-${field}-error"]`), said);
    assert.equal(await page.getAttribute(`${row} .layer-${field}`, 'aria-invalid'), 'true');
    assert.ok((await downloaded(page, () => page.click('#mix-download'))).equals(before), `${field} ${refused}`);
  }

  // Loud enough to clip: the count shown is that of the samples held at the 16-bit ends.
  await typeInto(page, '#layer-rows li:nth-child(1) .layer-start', '0');
  await typeInto(page, '#layer-rows li:nth-child(1) .layer-gain', '12');
  const loud = await downloaded(page, () => page.click('#mix-download'));
  const samples = new Int16Array(loud.buffer.slice(loud.byteOffset + 44, loud.byteOffset + loud.length));
  const held = samples.filter((v) => v === 32767 || v === -32768).length;
  assert.ok(held > 0, 'the loud mix does not clip');
  assert.equal(await page.textContent('#mix-clipped'), `${held.toLocaleString('en')} samples clipped`);

  // Dragged 60 px to the right, the third layer's span moves it later, its Start field says to where.
  const span = await page.$('#layer-spans .layer-lane:nth-child(3) .layer-span').then((e) => e.boundingBox());
  await page.mouse.move(span.x + 4, span.y + span.height / 2);
  await page.mouse.down();
  await page.mouse.move(span.x + 64, span.y + span.height / 2, { steps: 4 });
  await page.mouse.up();
  const ms = Number(await page.inputValue('#layer-rows li:nth-child(3) .layer-start'));
  assert.ok(Number.isInteger(ms) && ms > 200, `${ms} ms`);
  const dragged = layers.map((l, i) => ({
    ...l,
    offset: [0, l.offset, Math.round(ms * 44.1)][i],
    gain_db: [12, l.gain_db, 3][i],
  }));
  assert.ok(
    (await downloaded(page, () => page.click('#mix-download'))).equals(toolMix(dragged)),
    `dragged to ${ms} ms`,
  );

  // Up to eight layers; then the button is disabled and says why.
  for (let n = LAYERS.length; n < 8; n++) {
    assert.equal(await page.isDisabled('#layer-add'), false, `${n} layers`);
    await page.click('#layer-add');
  }
  assert.equal(await page.$$eval('#layer-rows li', (all) => all.length), 8);
  assert.equal(await page.isDisabled('#layer-add'), true);
  assert.match(await page.textContent('#layer-add-why'), /at most 8 layers/);
  await page.click('#layer-rows li:nth-child(8) .layer-remove');
  assert.equal(await page.isDisabled('#layer-add'), false);
});

test('walk-through: three layers saved to the library, back after a reload, in a pack whose commands make it again', async () => {
  while (await page.$('#layer-rows li')) await page.click('#layer-rows li:first-child .layer-remove');
  // Layer 1 the current sound, layer 2 a sound of the library, layer 3 a cell of the variations grid.
  await typeInto(page, '#seed', '51');
  await click(page, '[data-family="5"]');
  await page.click('#layer-add');
  await typeInto(page, '#seed', '52');
  await click(page, '[data-family="0"]');
  await page.fill('#library-name', 'Walk coin');
  await page.click('#library-add');
  await page.click('#library-list button[aria-label="Add as layer: \u201cWalk coin\u201d"]');
  await page.click('#make-variations');
  await page.waitForSelector('#variations .variation:nth-child(2)[data-state="ready"]');
  await page.click('#variations button[aria-label="Add variation 2 as a layer"]');
  const rows = () => page.$$eval('#layer-rows .layer-name', (all) => all.map((e) => e.textContent));
  assert.equal((await rows()).length, 3);
  for (const [i, [start, gain]] of [
    ['0', '0'],
    ['125.5', '-6.5'],
    ['310', '3'],
  ].entries()) {
    await typeInto(page, `#layer-rows li:nth-child(${i + 1}) .layer-start`, start);
    await typeInto(page, `#layer-rows li:nth-child(${i + 1}) .layer-gain`, gain);
  }
  await page.click('#layer-rows li:nth-child(1) .layer-muted');
  // Each change plays the mix again, as a change of the sound plays it.
  await page.waitForSelector('html[data-playing="mix"]');
  // Layer 2 opened in the editor, made louder there, and taken back: the mix changes.
  const before = await downloaded(page, () => page.click('#mix-download'));
  await page.click('#layer-rows li:nth-child(2) .layer-edit');
  await typeInto(page, '#p-Volume-value', '0.9');
  await page.click('#layer-update');
  assert.match((await rows())[1], /\(edited\)/);
  const mix = await downloaded(page, () => page.click('#mix-download'));
  assert.ok(!mix.equals(before), 'the edited layer left the mix as it was');
  assert.deepEqual(await axeViolations(page, '.panel.layers'), []);

  await page.fill('#layers-name', 'Walk mix');
  await page.fill('#layers-tags', 'walk, layered');
  await page.click('#layers-keep');
  await page.waitForSelector('#library-list .tag.layered');
  await reload(page);
  await page.waitForSelector('#layer-rows li:nth-child(3)');
  const fields = await page.$$eval('#layer-rows li', (all) =>
    all.map((li) => [
      li.querySelector('.layer-start').value,
      li.querySelector('.layer-gain').value,
      li.querySelector('.layer-muted').getAttribute('aria-pressed'),
    ]),
  );
  assert.deepEqual(fields, [
    ['0', '0.0', 'true'],
    ['125.5', '-6.5', 'false'], // 5535 samples: 125.5 ms is the shortest text that rounds to them
    ['310', '3.0', 'false'],
  ]);
  assert.ok((await downloaded(page, () => page.click('#mix-download'))).equals(mix), 'the mix after the reload');
  await page.click('#library-list button.sound-item:has-text("Walk mix")');
  assert.ok((await downloaded(page, () => page.click('#mix-download'))).equals(mix), 'the mix opened from the library');

  // Copy link: the link opens the same layers on a page of its own, and a broken text is refused with its reason.
  await page.evaluate(() => (navigator.clipboard.writeText = async (text) => void (window.copied = text)));
  await page.click('#layers-link');
  const link = await page.evaluate(() => window.copied);
  assert.match(link, /#layers=qxl1~/);
  const linked = (await openPage(s.browser.context, link)).page;
  await linked.waitForSelector('#layer-rows li:nth-child(3)');
  assert.ok((await downloaded(linked, () => linked.click('#mix-download'))).equals(mix), 'the mix of the link');
  assert.doesNotMatch(new URL(linked.url()).hash, /layers=/, 'the link is opened once, not again on a reload');
  await linked.fill('#layers-text', link.replace(/~(.)/, '~$1$1'));
  await linked.click('#layers-open');
  assert.match(await linked.textContent('#layers-text-error'), /^These layers cannot be opened: /);
  assert.equal(await linked.getAttribute('#layers-text', 'aria-invalid'), 'true');
  assert.equal(await linked.$$eval('#layer-rows li', (all) => all.length), 3);
  await linked.close();
  const hostile = (
    await openPage(s.browser.context, `${singleFile}#layers=${encodeURIComponent('<img src=x onerror=alert(1)>')}`)
  ).page;
  await hostile.waitForSelector('#notices .notice');
  assert.match(await hostile.textContent('#notices'), /These layers cannot be opened: /);
  assert.equal(await hostile.$$eval('#layer-rows li', (all) => all.length), 3, 'the kept layers stay');
  assert.equal(await hostile.$$eval('img', (all) => all.length), 0);
  await hostile.close();

  // The Studio's project file: the tool renders its layered sound, alone and in a batch, to the Studio's mix.
  const project = join(scratch, 'walk-project.json');
  writeFileSync(project, await downloaded(page, () => page.click('#project-export')));
  const alone = join(scratch, 'walk.wav');
  execFileSync(CLI, ['render', '--layers', project, '--sound', 'Walk mix', '-o', alone]);
  assert.ok(readFileSync(alone).equals(mix), 'quavix render --layers');
  execFileSync(CLI, ['batch', '--project', project, '--out-dir', join(scratch, 'walk-batch')], { stdio: 'pipe' });
  assert.ok(readFileSync(join(scratch, 'walk-batch', 'Walk-mix.wav')).equals(mix), 'quavix batch --project');

  // Packs of it, plain and with export options: commands.sh, run in the unpacked folder, makes each file again.
  for (const settings of [
    {},
    { trim: -50, fade: 20, level: 'peak', target: -3 },
    { level: 'loudness', target: -16, ceiling: -1 },
  ]) {
    const pack = await makePack(page, { ...settings, which: 'layers' });
    assert.deepEqual(Object.keys(pack.files).sort(), [
      'Walk-mix.layers.json',
      'Walk-mix.wav',
      'commands.sh',
      'manifest.json',
    ]);
    if (!settings.level) assert.ok(Buffer.from(pack.files['Walk-mix.wav']).equals(mix), 'the plain file is the mix');
    assert.deepEqual(
      [pack.manifest.sounds[0].layers, pack.manifest.sounds[0].seed, pack.manifest.sounds[0].buffer_length],
      [3, null, null],
    );
    execFileSync('bash', ['commands.sh'], {
      cwd: pack.dir,
      env: { ...process.env, PATH: `${bin}:${process.env.PATH}` },
      stdio: 'pipe',
    });
    for (const [name, bytes] of Object.entries(pack.files)) {
      assert.ok(
        readFileSync(join(pack.dir, name)).equals(Buffer.from(bytes)),
        `${name} with ${JSON.stringify(settings)}`,
      );
    }
  }
});

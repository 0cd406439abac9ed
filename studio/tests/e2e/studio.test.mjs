// The Studio in headless Chromium, from the single HTML file (file://), against
// the native quavix tool's files.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { openPage } from './browser.mjs';
import { CLI, singleFile, sha256, toolWav, commandWav, settle, fingerprint, click, typeInto } from './page-steps.mjs';
import { downloaded, session, reload, tabTo } from './page-steps.mjs';

const scratch = mkdtempSync(join(tmpdir(), 'quavix-studio-e2e-'));
let page;
const s = session(singleFile, {}, (s) => (page = s.page));

test('the downloaded WAV is the tool\u2019s file byte for byte', async () => {
  await typeInto(page, '#seed', '1234');
  await click(page, '[data-family="1"]');
  await typeInto(page, '#p-SustainTime-value', '0.25');
  const wav = await downloaded(page, () => page.click('#download'));
  assert.ok(wav.equals(toolWav('--preset', 'laser', '--seed', '1234', '--set', 'SustainTime=0.25')));
});

test('a lock survives Randomize and Mutate; the shared link and the copied command make the same sound', async () => {
  await click(page, '[data-family="3"]');
  await typeInto(page, '#p-DecayTime-value', '0.5');
  const decay = await page.textContent('#p-DecayTime-stored');
  await page.click('[data-param="DecayTime"] .lock');
  await click(page, '#randomize');
  await click(page, '#mutate');
  assert.equal(await page.textContent('#p-DecayTime-stored'), decay);
  const sound = await fingerprint(page);
  assert.equal(sha256(await commandWav(page)), sound, await page.inputValue('#command'));
  const fresh = await openPage(s.browser.context, await page.inputValue('#link'));
  assert.equal(await fingerprint(fresh.page), sound);
  assert.deepEqual(fresh.problems, []);
  await fresh.page.close();
});

test('a typed sustain of -3 s is refused beside its field and the last good value stays', async () => {
  await click(page, '[data-family="0"]');
  const before = await page.textContent('#p-SustainTime-stored');
  await typeInto(page, '#p-SustainTime-value', '-3');
  const shown = async () => [
    await page.getAttribute('#p-SustainTime-value', 'aria-invalid'),
    await page.textContent('#p-SustainTime-error'),
    (await page.textContent('#p-SustainTime-stored')) === before,
  ];
  assert.deepEqual(await shown(), ['true', 'a time cannot be negative', true]);
  await typeInto(page, '#p-SustainTime-value', '0.2');
  assert.deepEqual(await shown(), [null, '', false]);
});

test('a settings file opened through the file chooser gives the tool\u2019s sound for that file', async () => {
  const sfs = join(scratch, 'odd.sfs');
  execFileSync(CLI, ['render', '--randomize', '--seed', '99', '--mutate', '0.2', '--save-sfs', sfs]);
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click('#open')]);
  await chooser.setFiles(sfs);
  await page.waitForFunction(() => /odd\.sfs/.test(document.getElementById('status').textContent));
  const seed = await page.inputValue('#seed');
  assert.equal(await fingerprint(page), sha256(toolWav('--sfs', sfs, '--seed', seed)));
});

test('keyboard only: a preset, a slider and the download', async () => {
  await tabTo(page, '[data-family="6"]');
  await page.keyboard.press('Enter');
  await settle(page);
  const before = await page.textContent('#p-SquareDuty-stored');
  await tabTo(page, '#p-SquareDuty');
  await page.keyboard.press('ArrowRight');
  await page.keyboard.press('ArrowRight');
  await settle(page);
  assert.notEqual(await page.textContent('#p-SquareDuty-stored'), before);
  const outline = await page.evaluate(() => getComputedStyle(document.activeElement).outlineStyle);
  assert.notEqual(outline, 'none', 'the focused slider shows its focus');
  await tabTo(page, '#download');
  const wav = await downloaded(page, () => page.keyboard.press('Enter'));
  assert.equal(sha256(wav), await fingerprint(page));
});

test('every preset or Randomize press is a new sound of the tool\u2019s, its seed shown; Shift+click or a typed seed repeats one', async () => {
  for (const lock of await page.$$('.lock[aria-pressed="true"]')) await lock.click();
  // Explosion is noise: the random state carries on from the preset into the sound.
  for (const c of [
    { button: '[data-family="2"]', options: ['--preset', 'explosion'] },
    { button: '#randomize', options: ['--randomize'] },
  ]) {
    const sounds = new Map();
    for (let i = 0; i < 3; i++) {
      await click(page, c.button);
      sounds.set(await page.inputValue('#seed'), await fingerprint(page));
    }
    assert.equal(sounds.size, 3, `${c.button}: three presses, three seeds`);
    assert.equal(new Set(sounds.values()).size, 3, `${c.button}: three presses, three sounds`);
    const [seed, sound] = [...sounds].at(-1);
    assert.equal(sound, sha256(toolWav(...c.options, '--seed', seed)), `${c.button}: the seed shown is the sound's`);
    await click(page, c.button, { modifiers: ['Shift'] });
    assert.deepEqual([await page.inputValue('#seed'), await fingerprint(page)], [seed, sound], `${c.button} + Shift`);
    await typeInto(page, '#seed', '4294967295');
    await click(page, c.button);
    assert.equal(await page.inputValue('#seed'), '4294967295', `${c.button} after a typed seed`);
    assert.equal(await fingerprint(page), sha256(toolWav(...c.options, '--seed', '4294967295')), c.button);
    await click(page, c.button);
    assert.notEqual(await page.inputValue('#seed'), '4294967295', `${c.button}: the typed seed is used once`);
  }
  // Mutate draws on from the seed of the sound: the seed stays.
  const seed = await page.inputValue('#seed');
  await click(page, '#mutate');
  assert.equal(await page.inputValue('#seed'), seed);
});

test('a reload keeps both slots, the locks, the typed seed and the sounds made', async () => {
  await typeInto(page, '#seed', '555');
  await click(page, '[data-family="2"]');
  const a = await fingerprint(page);
  await click(page, '#slot-B');
  await typeInto(page, '#seed', '556');
  await click(page, '[data-family="4"]');
  await page.click('[data-param="Volume"] .lock');
  const b = await fingerprint(page);
  const made = await page.$$eval('#history li', (all) => all.length);
  assert.equal(await reload(page), b);
  const kept = [
    await page.inputValue('#seed'),
    await page.getAttribute('#slot-B', 'aria-pressed'),
    await page.getAttribute('[data-param="Volume"] .lock', 'aria-pressed'),
    await page.$$eval('#history li', (all) => all.length),
  ];
  assert.deepEqual(kept, ['556', 'true', 'true', made]);
  await click(page, '#slot-A');
  assert.deepEqual([await fingerprint(page), await page.inputValue('#seed')], [a, '555']);
});

test('no console errors and no request off this machine', () => {
  assert.deepEqual(s.problems, []);
});

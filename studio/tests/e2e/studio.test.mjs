// The Studio in headless Chromium, from the single HTML file (file://) and
// from the local server, against the native quavix tool's files.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { mkdirSync, mkdtempSync, readFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { openBrowser, openPage } from './browser.mjs';
import { serve } from '../../scripts/serve.mjs';
import { settle, fingerprint, click, downloaded } from './page-steps.mjs';

const studio = fileURLToPath(new URL('../..', import.meta.url));
const repo = join(studio, '..');
const CLI = process.env.QUAVIX_NATIVE_CLI ?? join(repo, 'build/release/cli/quavix');
const shots = join(repo, 'build/studio');
const scratch = mkdtempSync(join(tmpdir(), 'quavix-studio-e2e-'));
const sha256 = (bytes) => createHash('sha256').update(bytes).digest('hex');

/** The WAV the tool writes for these options. */
function toolWav(...options) {
  const out = join(scratch, `tool-${Math.random().toString(36).slice(2)}.wav`);
  execFileSync(CLI, ['render', ...options, '-o', out]);
  return readFileSync(out);
}

const storedValues = (page) => page.$$eval('.stored', (all) => all.map((e) => e.textContent));
async function typeInto(page, selector, text) {
  await page.fill(selector, text);
  await page.press(selector, 'Tab');
  await settle(page);
}

const origins = [
  {
    name: 'single HTML file',
    url: async () => ({ url: pathToFileURL(join(studio, 'dist/quavix-studio.html')).href, stop() {} }),
  },
  {
    name: 'local server',
    url: async () => {
      const { server, url } = await serve(join(studio, 'dist'));
      return { url, stop: () => server.close() };
    },
  },
];

for (const origin of origins) {
  describe(origin.name, () => {
    let browser;
    let site;
    let page;
    let problems;
    before(async () => {
      site = await origin.url();
      browser = await openBrowser();
      ({ page, problems } = await openPage(browser.context, site.url));
    });
    after(async () => {
      await browser?.close();
      site?.stop();
    });

    test('a preset or Randomize with a seed has the fingerprint of the tool\u2019s file for that recipe', async () => {
      const cases = [
        { button: '[data-family="0"]', seed: '42', options: ['--preset', 'coin', '--seed', '42'] },
        { button: '[data-family="2"]', seed: '7', options: ['--preset', 'explosion', '--seed', '7'] }, // noise: the random state carries on
        { button: '#randomize', seed: '4294967295', options: ['--randomize', '--seed', '4294967295'] },
      ];
      for (const c of cases) {
        await typeInto(page, '#seed', c.seed);
        await click(page, c.button);
        assert.equal(await fingerprint(page), sha256(toolWav(...c.options)), c.options.join(' '));
      }
    });

    test('the downloaded WAV is the tool\u2019s file byte for byte', async () => {
      await typeInto(page, '#seed', '1234');
      await click(page, '[data-family="1"]');
      await typeInto(page, '#p-SustainTime-value', '0.25');
      const wav = await downloaded(page, () => page.click('#download'));
      assert.ok(wav.equals(toolWav('--preset', 'laser', '--seed', '1234', '--set', 'SustainTime=0.25')));
    });

    test('undo and redo restore the exact parameters', async () => {
      await click(page, '[data-family="5"]');
      const jump = await storedValues(page);
      await typeInto(page, '#p-Slide-value', '-0.3');
      const slid = await storedValues(page);
      await click(page, '#randomize');
      await page.keyboard.press('Control+z');
      await page.keyboard.press('Control+z');
      await settle(page);
      assert.deepEqual(await storedValues(page), jump);
      await page.keyboard.press('Control+y');
      await settle(page);
      assert.deepEqual(await storedValues(page), slid);
      await page.keyboard.press('Control+Shift+z');
      await settle(page);
      assert.notDeepEqual(await storedValues(page), slid);
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

      const command = await page.inputValue('#command');
      const wav = execFileSync(
        'bash',
        ['-c', command.replace('quavix render', `"$QUAVIX" render`).replace(/-o \S+\.wav$/, '-o -')],
        { env: { ...process.env, QUAVIX: CLI }, maxBuffer: 1 << 26 },
      );
      assert.equal(sha256(wav), sound, command);

      const fresh = await openPage(browser.context, await page.inputValue('#link'));
      assert.equal(await fingerprint(fresh.page), sound);
      assert.deepEqual(fresh.problems, []);
      await fresh.page.close();
    });

    test('440 Hz typed plays the closest achievable pitch: the tool\u2019s info of the shared recipe is within a quarter semitone', async () => {
      await click(page, '[data-family="6"]');
      for (const hz of [440, 110]) {
        await typeInto(page, '#p-StartFreq-hz', String(hz));
        await fingerprint(page);
        const shown = await page.textContent('#p-StartFreq-pitch');
        const fresh = await openPage(browser.context, await page.inputValue('#link'));
        await fingerprint(fresh.page);
        const command = await fresh.page.inputValue('#command');
        await fresh.page.close();
        const sfs = join(scratch, `pitch-${hz}.sfs`);
        execFileSync(
          'bash',
          [
            '-c',
            command.replace('quavix render', `"$QUAVIX" render --save-sfs "$SFS"`).replace('-o sound.wav', '-o "$WAV"'),
          ],
          { env: { ...process.env, QUAVIX: CLI, SFS: sfs, WAV: join(scratch, 'pitch.wav') } },
        );
        const info = JSON.parse(execFileSync(CLI, ['info', '--json', sfs]).toString());
        // A semitone is a factor of 2^(1/12): a quarter of one is 25 cents.
        const cents = 1200 * Math.log2(info.start_pitch_hz / hz);
        assert.ok(Math.abs(cents) < 25, `${info.start_pitch_hz} Hz is ${cents} cents from ${hz} Hz`);
        // The closest a whole period of 8 x 44100 / period Hz gets: both neighbouring periods are farther.
        const miss = (period) => Math.abs((8 * 44100) / period - hz);
        const period = info.start_period;
        assert.ok(
          miss(period) <= miss(period - 1) && miss(period) <= miss(period + 1),
          `period ${period} for ${hz} Hz`,
        );
        assert.equal(shown, `sounds at ${info.start_pitch_hz.toFixed(1)} Hz`);
      }
    });

    test('a typed sustain of -3 s is refused beside its field and the last good value stays', async () => {
      await click(page, '[data-family="0"]');
      const before = await page.textContent('#p-SustainTime-stored');
      await typeInto(page, '#p-SustainTime-value', '-3');
      assert.equal(await page.getAttribute('#p-SustainTime-value', 'aria-invalid'), 'true');
      assert.equal(await page.textContent('#p-SustainTime-error'), 'a time cannot be negative');
      assert.equal(await page.textContent('#p-SustainTime-stored'), before);
      await typeInto(page, '#p-SustainTime-value', '0.2');
      assert.equal(await page.getAttribute('#p-SustainTime-value', 'aria-invalid'), null);
      assert.equal(await page.textContent('#p-SustainTime-error'), '');
      assert.notEqual(await page.textContent('#p-SustainTime-stored'), before);
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
      const tabTo = async (selector) => {
        for (let i = 0; i < 300; i++) {
          await page.keyboard.press('Tab');
          if (await page.evaluate((s) => document.activeElement?.matches(s), selector)) return;
        }
        assert.fail(`Tab never reached ${selector}`);
      };
      await tabTo('[data-family="6"]');
      await page.keyboard.press('Enter');
      await settle(page);
      const before = await page.textContent('#p-SquareDuty-stored');
      await tabTo('#p-SquareDuty');
      await page.keyboard.press('ArrowRight');
      await page.keyboard.press('ArrowRight');
      await settle(page);
      assert.notEqual(await page.textContent('#p-SquareDuty-stored'), before);
      const outline = await page.evaluate(() => getComputedStyle(document.activeElement).outlineStyle);
      assert.notEqual(outline, 'none', 'the focused slider shows its focus');
      await tabTo('#download');
      const wav = await downloaded(page, () => page.keyboard.press('Enter'));
      assert.equal(sha256(wav), await fingerprint(page));
    });

    test('every preset or Randomize press is a new sound, its seed shown; Shift+click or a typed seed repeats one', async () => {
      for (const lock of await page.$$('.lock[aria-pressed="true"]')) await lock.click();
      for (const c of [
        { button: '[data-family="5"]', options: ['--preset', 'jump'] },
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
        assert.equal(
          sound,
          sha256(toolWav(...c.options, '--seed', seed)),
          `${c.button}: the seed shown is the sound's`,
        );
        await page.click(c.button, { modifiers: ['Shift'] });
        await settle(page);
        assert.deepEqual(
          [await page.inputValue('#seed'), await fingerprint(page)],
          [seed, sound],
          `${c.button} with Shift`,
        );
        await typeInto(page, '#seed', '1000');
        await click(page, c.button);
        assert.equal(await page.inputValue('#seed'), '1000', `${c.button} after a typed seed`);
        await click(page, c.button);
        assert.notEqual(await page.inputValue('#seed'), '1000', `${c.button}: the typed seed is used once`);
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
      await page.reload();
      await page.waitForSelector('html[data-ready="true"]');
      assert.equal(await fingerprint(page), b);
      assert.equal(await page.inputValue('#seed'), '556');
      assert.equal(await page.getAttribute('#slot-B', 'aria-pressed'), 'true');
      assert.equal(await page.getAttribute('[data-param="Volume"] .lock', 'aria-pressed'), 'true');
      assert.equal(await page.$$eval('#history li', (all) => all.length), made);
      await click(page, '#slot-A');
      assert.equal(await fingerprint(page), a);
      assert.equal(await page.inputValue('#seed'), '555');
      await page.click('[data-param="Volume"] .lock');
    });

    test('no accessibility violation of any impact, in light and dark, at 1280 and 360 px', async () => {
      // The checker comes through the test's own channel: the page's policy admits no other script.
      await page.evaluate(readFileSync(join(studio, 'node_modules/axe-core/axe.min.js'), 'utf8'));
      mkdirSync(shots, { recursive: true });
      await typeInto(page, '#seed', '2024');
      await click(page, '[data-family="1"]');
      await page.evaluate(() => {
        document.activeElement?.blur();
        window.scrollTo(0, 0);
      });
      for (const [width, height] of [
        [1280, 800],
        [360, 740],
      ]) {
        await page.setViewportSize({ width, height });
        for (const colorScheme of ['light', 'dark']) {
          await page.emulateMedia({ colorScheme });
          const result = await page.evaluate(() => window.axe.run(document));
          const bad = result.violations;
          assert.deepEqual(
            bad.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`),
            [],
            `${width} px, ${colorScheme}`,
          );
          const horizontal = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
          assert.ok(horizontal <= 0, `${width} px: the page scrolls sideways by ${horizontal} px`);
          if (origin.name === 'local server')
            await page.screenshot({
              path: join(shots, `screenshot-${width}${colorScheme === 'dark' ? '-dark' : ''}.png`),
            });
        }
      }
      await page.emulateMedia({ colorScheme: 'light' });
      await page.setViewportSize({ width: 1280, height: 800 });
    });

    test('no console errors and no request off this machine', () => {
      assert.deepEqual(problems, []);
    });
  });
}

// Variations, the notes of the frequencies, loop and stop, and help in place,
// from the single HTML file opened from disk, against the native quavix tool's files.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import * as quavix from '../../../js/index.js';
import { singleFile, sha256, commandWav, fingerprint, click, typeInto, downloaded } from './page-steps.mjs';
import { axeViolations, sideways, session, reload } from './page-steps.mjs';

async function makeVariations(page, { mode, amount, count }) {
  await page.check(`#variation-${mode}`);
  if (amount !== undefined) await page.fill('#variation-amount', String(amount));
  await page.selectOption('#variation-count', String(count));
  await page.click('#make-variations');
  await page.waitForFunction((n) => {
    const all = [...document.querySelectorAll('#variations .variation')];
    return all.length === n && all.every((e) => e.dataset.state === 'ready');
  }, count);
  return page.$$eval('#variations .variation', (all) => all.map((e) => e.dataset.sha256));
}

// Every sound the page starts: its length in samples and whether it loops.
let page;
const init = () => {
  window.played = [];
  const start = AudioBufferSourceNode.prototype.start;
  AudioBufferSourceNode.prototype.start = function (...a) {
    window.played.push({ samples: this.buffer.length, loop: this.loop });
    return start.apply(this, a);
  };
};
const s = session(singleFile, { init }, (s) => (page = s.page));

test('each candidate is the tool\u2019s file for its recipe; keys 1 to 9 play them; Pick makes one current, Undo goes back', async () => {
  await typeInto(page, '#seed', '42');
  await click(page, '[data-family="0"]');
  const coin = await fingerprint(page);
  const cases = [
    { mode: 'mutate', amount: 0.3, count: 9 },
    { mode: 'family', count: 3 },
  ];
  for (const c of cases) {
    const grid = await makeVariations(page, c);
    assert.equal(new Set(grid).size, c.count, `${c.mode}: every candidate a different sound`);
    let previous = coin;
    for (const [i, sha] of grid.entries()) {
      const name = `${c.mode} ${i + 1}`;
      // The key plays the candidate: one sound more, of its length.
      await page.focus('#variations .variation-play');
      const before = await page.evaluate(() => window.played.length);
      await page.keyboard.press(String(i + 1));
      const played = await page.evaluate(() => window.played);
      await click(page, `#variations .variation:nth-child(${i + 1}) button[aria-label^="Pick"]`);
      assert.equal(await fingerprint(page), sha, `${name}: picked, it is the current sound`);
      const tool = await commandWav(page);
      assert.equal(sha256(tool), sha, `${name}: the tool's file of the recipe`);
      assert.ok((await downloaded(page, () => page.click('#download'))).equals(tool), `${name}: the downloaded WAV`);
      assert.equal(played.length, before + 1, `${name}: key ${i + 1} plays`);
      assert.deepEqual(played.at(-1), { samples: (tool.length - 44) / 2, loop: false }, `${name}: key ${i + 1}`);
      if (i === 1) {
        await page.keyboard.press('Control+z');
        assert.equal(await fingerprint(page), previous, `${name}: Undo`);
        await page.keyboard.press('Control+y');
        assert.equal(await fingerprint(page), sha, `${name}: Redo`);
      }
      previous = sha;
    }
  }
});

test('a sound opened from settings has no family: only mutations, with the reason said', async () => {
  // The current sound's own settings string, loaded: the same sound, now from settings.
  await click(page, '#load-csv');
  assert.equal(await page.isDisabled('#variation-family'), true);
  assert.match(await page.textContent('#variation-family-note'), /opened from settings, so it has no family/);
  assert.equal(await page.isChecked('#variation-mutate'), true);
  await click(page, '[data-family="4"]');
  assert.equal(await page.isDisabled('#variation-family'), false);
  assert.match(await page.textContent('#variation-family-note'), /New Hurt sounds/);
});

test("an amount that is no number, or outside the core's 0 to 1, is refused beside its field; the grid stays", async () => {
  const grid = await page.$$eval('#variations .variation', (all) => all.map((e) => e.dataset.sha256));
  const cases = [
    { amount: '', message: /^The amount is a number/ },
    { amount: '1.5', message: /^Choose another amount: mutate 1\.5 is not an amount from 0 to 1\.$/ },
  ];
  for (const c of cases) {
    await page.check('#variation-mutate');
    await page.fill('#variation-amount', c.amount);
    await page.click('#make-variations');
    assert.match(await page.textContent('#variation-error'), c.message, c.amount);
    assert.equal(await page.getAttribute('#variation-amount', 'aria-invalid'), 'true', c.amount);
    assert.deepEqual(await page.$$eval('#variations .variation', (all) => all.map((e) => e.dataset.sha256)), grid);
  }
  await page.fill('#variation-amount', '0.1');
});

test('kept variations join the kept sounds and stay after a reload', async () => {
  const grid = await makeVariations(page, { mode: 'mutate', amount: 0.1, count: 4 });
  for (const n of [2, 4]) await page.click(`#variations .variation:nth-child(${n}) button[aria-label^="Keep"]`);
  // The library keeps them in the browser's database, which answers later, after a reload too.
  const kept = async () => {
    await page.waitForFunction(() => document.querySelectorAll('#stars .sound-item').length === 2);
    return page.$$eval('#stars .sound-item', (all) => all.map((e) => e.firstChild.textContent.replace(/ #\d+$/, '')));
  };
  assert.deepEqual(await kept(), ['Hurt variation 4', 'Hurt variation 2']);
  await reload(page);
  assert.deepEqual(await kept(), ['Hurt variation 4', 'Hurt variation 2']);
  await click(page, '#stars .sound-item');
  assert.equal(await fingerprint(page), grid[3], 'the newest kept is variation 4');
});

test('the start frequency as a note, snapped to it; Loop plays on until Stop', async () => {
  await typeInto(page, '#seed', '7');
  await click(page, '[data-family="6"]');
  await typeInto(page, '#p-StartFreq-hz', '445');
  // 445 Hz is 1200 log2(445/440) = 19.6 cents above A4; the nearest whole period sounds within a cent of that.
  assert.match(await page.textContent('#p-StartFreq-note'), /^A4 \+(19|20) \u00a2/);
  assert.equal(await page.textContent('#p-StartFreq-snap'), 'Snap to A4 (start frequency, the note A 4)');
  await click(page, '#p-StartFreq-snap');
  // A4 as the core can play it: the period 352800 / 440 = 801.8 subsamples becomes 802, 439.9 Hz.
  assert.match(await page.textContent('#p-StartFreq-pitch'), /sounds at 439\.9 Hz/);
  assert.match(await page.textContent('#p-StartFreq-note'), /^A4 \+0 \u00a2/);
  assert.equal(await page.isDisabled('#p-StartFreq-snap'), true, 'already on the note');

  await page.click('#loop');
  assert.equal(await page.getAttribute('#loop', 'aria-pressed'), 'true');
  await page.click('#play');
  assert.equal((await page.evaluate(() => window.played.at(-1))).loop, true);
  assert.equal(await page.isDisabled('#stop'), false);
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => document.getElementById('stop').disabled);
  await page.click('#loop');
  await page.click('#play');
  assert.equal((await page.evaluate(() => window.played.at(-1))).loop, false);
});

test('no accessibility violation with a grid and with the shortcuts list, in light and dark, at 1280 and 360 px', async () => {
  await makeVariations(page, { mode: 'family', count: 8 });
  for (const [width, height] of [
    [1280, 800],
    [360, 740],
  ]) {
    await page.setViewportSize({ width, height });
    for (const colorScheme of ['light', 'dark']) {
      await page.emulateMedia({ colorScheme });
      await page.evaluate(() => document.activeElement?.blur());
      for (const shown of ['grid', 'shortcuts']) {
        const at = `${width} px, ${colorScheme}, ${shown}`;
        if (shown === 'shortcuts') await page.keyboard.press('?');
        assert.deepEqual(await axeViolations(page), [], at);
        const horizontal = await sideways(page);
        assert.ok(horizontal <= 0, `${at}: the page scrolls sideways by ${horizontal} px`);
      }
      await page.keyboard.press('Escape');
    }
  }
  await page.emulateMedia({ colorScheme: 'light' });
  await page.setViewportSize({ width: 1280, height: 800 });
});

test('? opens the list of every key the page names, Escape closes it; a dismissed hint stays away', async () => {
  await page.evaluate(() => localStorage.clear());
  for (const visit of ['the first visit', 'a reload alone does not dismiss it']) {
    await reload(page);
    assert.equal(await page.isVisible('#first-hint'), true, visit);
  }
  assert.equal(await page.isVisible('#shortcuts'), false);
  await page.keyboard.press('?');
  assert.equal(await page.isVisible('#shortcuts'), true, '? opens the list');
  const listed = await page.textContent('#shortcuts dl');
  // Every shortcut a control announces is in the list, in the list's words.
  const announced = await page.$$eval('[aria-keyshortcuts]', (all) =>
    all.flatMap((e) => e.getAttribute('aria-keyshortcuts').split(' ')),
  );
  for (const key of new Set(announced)) {
    const words = /^[1-9]$/.test(key) ? '1 to 9' : key.replace('Control+', 'Ctrl+').replace('Escape', 'Esc');
    assert.ok(listed.includes(words), `${key} is listed`);
  }
  await page.keyboard.press('Escape');
  assert.equal(await page.isVisible('#shortcuts'), false, 'Escape closes it');
  await page.click('#shortcuts-open');
  assert.equal(await page.isVisible('#shortcuts'), true, 'the button opens it');
  await page.click('#shortcuts-close');
  assert.equal(await page.isVisible('#shortcuts'), false);
  await page.click('#first-hint-dismiss');
  assert.equal(await page.isVisible('#first-hint'), false);
  await reload(page);
  assert.equal(await page.isVisible('#first-hint'), false, 'dismissed for good');
});

test('each parameter\u2019s control carries its help text from the core\u2019s table as a tooltip', async () => {
  await quavix.init();
  const rows = await page.$$eval('.param', (all) =>
    all.map((row) => ({
      name: row.dataset.param,
      tips: [...row.querySelectorAll('label, input[type=range], [id$="-value"], select')].map((e) => e.title),
    })),
  );
  assert.equal(rows.length, 24);
  for (const r of rows) {
    // The table's line as a sentence: a capital first and a full stop.
    const help = quavix.paramInfo(r.name).help;
    const sentence = help.charAt(0).toUpperCase() + help.slice(1) + '.';
    assert.deepEqual(r.tips, Array(r.name === 'WaveType' ? 2 : 3).fill(sentence), r.name);
  }
});

test('no console errors and no request off this machine', () => {
  assert.deepEqual(s.problems, []);
});

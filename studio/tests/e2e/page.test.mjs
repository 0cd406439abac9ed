// What the page says and how it behaves for people: notes, messages, A/B,
// history, file names, sound only after a gesture, names for assistive
// technology, and hostile links, stored values and files. From the single file
// opened from disk, as most people open it; the policy also from the server.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { openBrowser, openPage } from './browser.mjs';
import { serve } from '../../scripts/serve.mjs';
import { settle, fingerprint } from './page-steps.mjs';

const studio = fileURLToPath(new URL('../..', import.meta.url));
const CLI = process.env.QUAVIX_NATIVE_CLI ?? join(studio, '../build/release/cli/quavix');
const singleFile = pathToFileURL(join(studio, 'dist/quavix-studio.html')).href;
const scratch = mkdtempSync(join(tmpdir(), 'quavix-studio-page-'));
const planterFile = pathToFileURL(join(scratch, 'planter.html')).href;
writeFileSync(join(scratch, 'planter.html'), '<!doctype html><title>Another local page</title>');

async function typeInto(page, selector, text) {
  await page.fill(selector, text);
  await page.press(selector, 'Tab');
  await settle(page);
}
async function click(page, selector, options) {
  await page.click(selector, options);
  await settle(page);
}
const notices = (page) => page.$$eval('#notices .notice p', (all) => all.map((e) => e.textContent));
/** Drops files (name and bytes) on the page as a person's drag would. */
async function drop(page, files) {
  await page.evaluate(
    (files) => {
      const data = new DataTransfer();
      for (const f of files) data.items.add(new File([new Uint8Array(f.bytes)], f.name));
      for (const type of ['dragenter', 'dragover', 'drop'])
        document.body.dispatchEvent(new DragEvent(type, { dataTransfer: data, bubbles: true, cancelable: true }));
    },
    files.map((f) => ({ name: f.name, bytes: [...f.bytes] })),
  );
}

let browser;
let site;
before(async () => {
  browser = await openBrowser();
  site = await serve(join(studio, 'dist'));
});
after(async () => {
  await browser?.close();
  site?.server.close();
});

test('both builds run under a policy with no inline, data: or blob: script, and the core allowed as wasm only', async () => {
  for (const url of [singleFile, site.url]) {
    const { page, problems } = await openPage(browser.context, url);
    const policy = await page.$eval('meta[http-equiv="Content-Security-Policy"]', (m) => m.content);
    const scriptSrc = policy
      .split(';')
      .map((d) => d.trim())
      .find((d) => d.startsWith('script-src'));
    assert.ok(scriptSrc, url);
    assert.doesNotMatch(scriptSrc, /'unsafe-inline'|'unsafe-eval'|data:|blob:|\*/, url);
    assert.match(scriptSrc, /'wasm-unsafe-eval'/, url);
    assert.match(policy, /worker-src blob:/, url);
    assert.deepEqual(problems, [], url);
    // An inline script a hostile text might smuggle in does not run.
    const ran = await page.evaluate(() => {
      window.smuggled = false;
      const s = document.createElement('script');
      s.textContent = 'window.smuggled = true';
      document.body.append(s);
      return window.smuggled;
    });
    assert.equal(ran, false, url);
    assert.ok(
      problems.every((p) => /inline script violates|script-src-elem/.test(p)),
      `${url}: ${problems}`,
    );
    await page.close();
  }
});

describe('from disk', () => {
  let page;
  let problems;
  before(async () => {
    ({ page, problems } = await openPage(browser.context, singleFile));
    await page.evaluate(() => localStorage.clear());
  });

  test('no sound before a gesture: the page makes no audio output until it is used', async () => {
    const fresh = await browser.context.newPage();
    await fresh.addInitScript(() => {
      window.audioOutputs = 0;
      const Real = window.AudioContext;
      window.AudioContext = class extends Real {
        constructor(...a) {
          super(...a);
          window.audioOutputs++;
        }
      };
    });
    await fresh.goto(singleFile);
    await fresh.waitForFunction(() => document.getElementById('fingerprint')?.dataset.sha256);
    assert.equal(await fresh.evaluate(() => window.audioOutputs), 0);
    await fresh.click('#play');
    assert.equal(await fresh.evaluate(() => window.audioOutputs), 1);
    await fresh.close();
  });

  test('a note says when the buffer length cuts the sound, with the length the whole sound needs', async () => {
    await typeInto(page, '#seed', '8');
    await click(page, '[data-family="0"]');
    await typeInto(page, '#p-SustainTime-value', '5');
    await page.waitForSelector('#cut:not([hidden])');
    const note = await page.textContent('#cut-text');
    const [, seconds] = note.match(/cuts this sound at 5 s: all of it needs a buffer length of (\d+) s/) ?? [];
    assert.ok(seconds, note);
    // The tool's whole sound, from the longest buffer: 41000 samples a second of buffer length.
    const command = (await page.inputValue('#command'))
      .replace('quavix render', `"$QUAVIX" render --buffer-length 60`)
      .replace(/-o \S+\.wav$/, '-o -');
    const wav = execFileSync('bash', ['-c', command], { env: { ...process.env, QUAVIX: CLI }, maxBuffer: 1 << 28 });
    const samples = (wav.length - 44) / 2;
    assert.equal(Number(seconds), Math.ceil(samples / 41000));
    await click(page, '#cut-fix');
    assert.equal(await page.inputValue('#buffer'), seconds);
    assert.equal(await page.isHidden('#cut'), true, 'the whole sound fits');
    await page.selectOption('#buffer', String(Number(seconds) - 1));
    await settle(page);
    assert.equal(await page.isHidden('#cut'), false, 'one second less cuts it again');
    await page.selectOption('#buffer', '5');
    await settle(page);
  });

  test('files that are not settings files get a message in plain words that stays; a drop zone shows while dragging', async () => {
    await page.evaluate(() => {
      const data = new DataTransfer();
      data.items.add(new File(['x'], 'a.sfs'));
      document.body.dispatchEvent(new DragEvent('dragenter', { dataTransfer: data, bubbles: true }));
    });
    assert.equal(await page.isVisible('#dropzone'), true);
    assert.match(await page.textContent('#dropzone'), /Drop a settings file/);
    await page.evaluate(() => {
      const data = new DataTransfer();
      data.items.add(new File(['x'], 'a.sfs'));
      document.body.dispatchEvent(new DragEvent('dragleave', { dataTransfer: data, bubbles: true }));
    });
    assert.equal(await page.isHidden('#dropzone'), true);

    const wav = execFileSync(CLI, ['render', '--preset', 'coin', '--seed', '1', '-o', '-']);
    const cases = [
      {
        name: 'coin.wav',
        bytes: wav,
        message: /\u201ccoin\.wav\u201d is a sound file \(WAV\)\. Open reads settings files \(\.sfs\)/,
      },
      { name: 'empty.sfs', bytes: Buffer.alloc(0), message: /\u201cempty\.sfs\u201d is empty/ },
      {
        name: 'notes.txt',
        bytes: Buffer.from('hello, this is text'),
        message: /\u201cnotes\.txt\u201d is not a settings file \(\.sfs\) that Quavix can read/,
      },
      {
        name: 'short.sfs',
        bytes: Buffer.from([102, 0, 0, 0, 1, 0]),
        message: /\u201cshort\.sfs\u201d is not a settings file/,
      },
    ];
    for (const c of cases) {
      const before = await fingerprint(page);
      await drop(page, [c]);
      await page.waitForFunction((n) => document.getElementById('notices').textContent.includes(n), c.name);
      const all = await notices(page);
      const text = all.find((t) => t.includes(c.name));
      assert.match(text, c.message, c.name);
      assert.doesNotMatch(text, /version|100, 101|SustainTime|status/i, c.name);
      assert.equal(await fingerprint(page), before, `${c.name}: the sound stays`);
    }
    assert.equal(await page.isHidden('#dropzone'), true);
    await page.waitForTimeout(6500); // longer than a confirmation stays
    assert.equal((await notices(page)).length, cases.length, 'the messages stay until dismissed');
    for (const b of await page.$$('#notices .dismiss')) await b.click();
    assert.deepEqual(await notices(page), []);
  });

  test('A/B: copy either way, the other slot\u2019s value beside each differing parameter, the count announced', async () => {
    await typeInto(page, '#seed', '21');
    await click(page, '[data-family="3"]');
    await click(page, '#copy-a-b');
    assert.equal(await page.getAttribute('#differences', 'aria-live'), 'polite');
    assert.equal(await page.textContent('#differences'), 'A and B are the same sound');
    await typeInto(page, '#p-Slide-value', '0.5');
    await typeInto(page, '#p-VibDepth-value', '0.25');
    assert.equal(await page.textContent('#differences'), '2 parameters differ between A and B');
    const marked = await page.$$eval('.other:not([hidden])', (all) => all.map((e) => e.id));
    assert.deepEqual(marked, ['p-Slide-other', 'p-VibDepth-other']);
    const vibratoOfB = (await page.textContent('#p-VibDepth-other')).match(/^\u2260 B: (\S+)$/)?.[1];
    assert.ok(vibratoOfB && vibratoOfB !== '0.25');
    assert.match(await page.getAttribute('#p-VibDepth', 'aria-describedby'), /p-VibDepth-other/);
    const a = await fingerprint(page);
    await click(page, '#slot-B');
    assert.equal(await page.textContent('#p-VibDepth-other'), '\u2260 A: 0.25');
    assert.equal(await page.inputValue('#p-VibDepth-value'), vibratoOfB);
    await click(page, '#copy-a-b'); // B shown: it becomes A
    assert.equal(await fingerprint(page), a);
    assert.equal(await page.textContent('#differences'), 'A and B are the same sound');
    await typeInto(page, '#p-Slide-value', '-0.5');
    const b = await fingerprint(page);
    await click(page, '#copy-b-a');
    await click(page, '#slot-A');
    assert.equal(await fingerprint(page), b);
    assert.equal(await page.textContent('#differences'), 'A and B are the same sound');
  });

  test('one slider drag is one history entry and one undo step; downloads are named after the sound', async () => {
    await typeInto(page, '#seed', '492621828');
    await click(page, '[data-family="5"]');
    const before = await page.textContent('#p-Slide-stored');
    const made = await page.$$eval('#history li', (all) => all.length);
    await page.locator('#p-Slide').scrollIntoViewIfNeeded();
    const box = await page.locator('#p-Slide').boundingBox();
    const y = box.y + box.height / 2;
    await page.mouse.move(box.x + 4, y);
    await page.mouse.down();
    for (let i = 1; i <= 12; i++) {
      await page.mouse.move(box.x + 4 + (i * (box.width - 8)) / 12, y);
      await settle(page);
    }
    await page.mouse.up();
    await settle(page);
    assert.notEqual(await page.textContent('#p-Slide-stored'), before);
    assert.equal(await page.$$eval('#history li', (all) => all.length), made + 1);
    await page.keyboard.press('Control+z');
    await settle(page);
    assert.equal(await page.textContent('#p-Slide-stored'), before);
    const names = [];
    for (const id of ['#download', '#save-sfs']) {
      const [download] = await Promise.all([page.waitForEvent('download'), page.click(id)]);
      names.push(download.suggestedFilename());
    }
    assert.deepEqual(names, ['jump-492621828.wav', 'jump-492621828.sfs']);
    assert.match(await page.inputValue('#command'), /-o jump-492621828\.wav$/);
  });

  test('names for assistive technology: unambiguous, no glyphs, a named fingerprint, a skip link, everything in landmarks', async () => {
    const count = (role, name) => page.getByRole(role, { name, exact: true }).count();
    const cases = [
      { role: 'slider', name: 'Vibrato depth', count: 1 },
      { role: 'button', name: 'Lock vibrato depth', count: 1 },
      { role: 'slider', name: 'Phaser offset', count: 1 },
      { role: 'button', name: 'Lock jump amount', count: 1 },
      { role: 'button', name: 'Play', count: 1 },
      { role: 'button', name: 'Star', count: 1 },
      ...['Depth', 'Speed', 'Amount', 'Offset', 'Sweep', 'Time', 'Duty'].flatMap((name) => [
        { role: 'slider', name, count: 0 },
        { role: 'button', name: `Lock ${name}`, count: 0 },
      ]),
    ];
    for (const c of cases) assert.equal(await count(c.role, c.name), c.count, `${c.role} "${c.name}"`);
    const sha = await fingerprint(page);
    assert.equal(
      await page.getAttribute('#fingerprint', 'aria-label'),
      `Fingerprint ${sha.slice(0, 12)}, copies the whole SHA-256`,
    );
    const fresh = (await openPage(browser.context, singleFile)).page;
    await fresh.keyboard.press('Tab');
    assert.equal(await fresh.evaluate(() => document.activeElement.textContent), 'Skip to the parameters');
    await fresh.keyboard.press('Enter');
    await fresh.keyboard.press('Tab');
    assert.equal(await fresh.evaluate(() => document.activeElement.getAttribute('aria-label')), 'Lock wave type');
    await fresh.close();
    await page.evaluate(readFileSync(join(studio, 'node_modules/axe-core/axe.min.js'), 'utf8'));
    const result = await page.evaluate(() =>
      window.axe.run(document, { runOnly: ['region', 'landmark-one-main', 'landmark-unique'] }),
    );
    assert.deepEqual(
      result.violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`),
      [],
    );
  });

  test('at 360 px no message or note covers the fields', async () => {
    await page.setViewportSize({ width: 360, height: 740 });
    await page.evaluate(() => (document.getElementById('csv').value = 'x'));
    await page.click('#load-csv');
    const fixed = await page.$$eval('body *', (all) =>
      all
        .filter((e) => {
          const style = getComputedStyle(e);
          return (
            (style.position === 'fixed' || style.position === 'sticky') &&
            style.display !== 'none' &&
            e.getClientRects().length > 0
          );
        })
        .map((e) => e.id || e.className),
    );
    assert.deepEqual(fixed, []);
    const spilling = await page.$$eval('.param', (all) =>
      all
        .filter((p) => {
          const box = p.closest('fieldset').getBoundingClientRect();
          return [...p.querySelectorAll('*')].some((e) => e.getBoundingClientRect().right > box.right + 0.5);
        })
        .map((p) => p.dataset.param),
    );
    assert.deepEqual(spilling, [], 'parameters wider than their group');
    for (const b of await page.$$('#notices .dismiss')) await b.click();
    await page.setViewportSize({ width: 1280, height: 800 });
  });

  test('hostile links are refused with a message; the page goes on', async () => {
    const cases = [
      { fragment: '#seed=5&csv=%', message: /% sign/ },
      { fragment: '#seed=%E0%A4%A&csv=1', message: /% sign/ },
      { fragment: '#seed=5&csv=1&sfs=%', message: /% sign/ },
      { fragment: '#seed=5&csv=1&length=%', message: /% sign/ },
      { fragment: '#seed=0&csv=1', message: /no usable seed/ },
      { fragment: '#seed=-1&csv=1', message: /no usable seed/ },
      { fragment: '#seed=4294967296&csv=1', message: /no usable seed/ },
      { fragment: '#csv=1', message: /no usable seed/ },
      {
        fragment: `#seed=5&csv=${encodeURIComponent('<img src=x onerror=alert(1)>')}`,
        message: /parameter values cannot be read/,
      },
      {
        fragment: `#seed=5&csv=${encodeURIComponent('1\nGenerate sound as "boss_music"')}`,
        message: /parameter values cannot be read/,
      },
      { fragment: '#seed=5&csv=1&sfs=00', message: /exact parameter values/ },
      { fragment: '#seed=5&csv=1&length=0', message: /buffer length/ },
      { fragment: '#seed=5&csv=1&length=61', message: /buffer length/ },
    ];
    for (const c of cases) {
      const { page: linked, problems: found } = await openPage(browser.context, singleFile + c.fragment);
      let dialogs = 0;
      linked.on('dialog', (d) => {
        dialogs++;
        void d.dismiss();
      });
      const all = await notices(linked);
      assert.equal(all.length, 1, c.fragment);
      assert.match(all[0], c.message, c.fragment);
      assert.match(all[0], /is shown instead/, c.fragment);
      assert.doesNotMatch(await linked.inputValue('#script'), /boss_music|<img/, c.fragment);
      assert.equal(dialogs, 0, c.fragment);
      assert.deepEqual(found, [], c.fragment);
      await linked.close();
    }
  });

  test('hostile stored stars and sessions: each bad entry refused, the good ones kept, no fingerprint read back', async () => {
    const good = (seed) => ({ seed, source: { kind: 'preset', family: 1 }, steps: [], bufferLength: 5 });
    const stars = [
      { label: 'Laser one', recipe: good(101) },
      { label: '<img src=x onerror=alert(1)>', recipe: good(102) },
      {
        label: 'planted',
        recipe: { ...good(103), source: { kind: 'preset', family: '0\nGenerate sound as "boss_music"' } },
      },
      { label: 'seed 0', recipe: good(0) },
      { label: 'huge buffer', recipe: { ...good(104), bufferLength: 1e9 } },
      { label: 'steps not a list', recipe: { ...good(105), steps: 'Randomize' } },
      { label: 'extra action', recipe: { ...good(106), steps: [{ kind: 'generate', name: 'boss_music' }] } },
      'not an entry',
      { label: 'Laser two', recipe: good(107), fingerprint: 'deadbeef'.repeat(8) },
    ];
    const cases = [
      {
        name: 'stars with bad entries',
        items: { 'quavix-studio.stars': JSON.stringify(stars) },
        labels: ['Laser one', '<img src=x onerror=alert(1)>', 'Laser two'],
        refused: 6,
      },
      { name: 'stars that are not JSON', items: { 'quavix-studio.stars': '[{"label":' }, labels: [], refused: 1 },
      {
        name: 'a session with a planted slot',
        items: {
          'quavix-studio.session': JSON.stringify({
            slots: [stars[2].recipe, good(108)],
            slot: 0,
            locks: [99, 'x'],
            history: [{ label: 'h', recipe: good(0) }],
          }),
        },
        labels: [],
        refused: 2,
      },
      { name: 'a session that is not JSON', items: { 'quavix-studio.session': '{' }, labels: [], refused: 1 },
    ];
    // Another local HTML file plants the values: every page opened from disk shares one storage.
    const plant = async (items) => {
      const planter = await browser.context.newPage();
      await planter.goto(planterFile);
      await planter.evaluate(async (items) => {
        localStorage.clear();
        for (const [k, v] of Object.entries(items)) localStorage.setItem(k, v);
        // The library too, into which the stars move.
        await new Promise((done) => (indexedDB.deleteDatabase('quavix-studio').onsuccess = done));
      }, items);
      await planter.close();
    };
    await page.close();
    for (const c of cases) {
      await plant(c.items);
      const opened = await openPage(browser.context, singleFile);
      page = opened.page;
      let dialogs = 0;
      page.on('dialog', (d) => {
        dialogs++;
        void d.dismiss();
      });
      const all = await notices(page);
      await page.waitForFunction(() => !document.getElementById('library-add').disabled);
      assert.equal(all.length, 1, c.name);
      assert.match(
        all[0],
        c.refused === 1
          ? /^One sound kept on this computer could not be read and was left out/
          : new RegExp(`^${c.refused} sounds kept`),
        c.name,
      );
      assert.deepEqual(
        await page.$$eval('#stars .sound-item', (all) => all.map((b) => b.firstChild.textContent)),
        c.labels,
        c.name,
      );
      assert.doesNotMatch(await page.textContent('body'), /deadbeef/, c.name);
      for (const item of await page.$$('#stars .sound-item')) {
        await item.click();
        await settle(page);
        assert.doesNotMatch(await page.inputValue('#script'), /boss_music/, c.name);
      }
      assert.doesNotMatch(await page.inputValue('#script'), /boss_music/, c.name);
      assert.equal(dialogs, 0, c.name);
      assert.deepEqual(opened.problems, [], c.name);
      await page.close();
    }
    // The next star joins the good entries that were there, which have moved into the library.
    await plant({ 'quavix-studio.stars': JSON.stringify(stars) });
    page = (await openPage(browser.context, singleFile)).page;
    await page.waitForFunction(() => !document.getElementById('library-add').disabled);
    await click(page, '[data-family="6"]');
    await page.click('#star');
    await page.waitForFunction(() => document.querySelectorAll('#stars .sound-item').length === 4);
    const kept = await page.$$eval('#stars .sound-item', (all) => all.map((b) => b.firstChild.textContent));
    assert.deepEqual(kept.slice(1), ['Laser one', '<img src=x onerror=alert(1)>', 'Laser two']);
    assert.equal(await page.evaluate(() => localStorage.getItem('quavix-studio.stars')), '[]');
    for (const b of await page.$$('#notices .dismiss')) await b.click();
    await page.evaluate(() => localStorage.clear());
    await page.evaluate(() => new Promise((done) => (indexedDB.deleteDatabase('quavix-studio').onsuccess = done)));
  });

  test('a hostile file name is shown as text', async () => {
    let dialogs = 0;
    page.on('dialog', (d) => {
      dialogs++;
      void d.dismiss();
    });
    await drop(page, [{ name: '<img src=x onerror=alert(1)>.sfs', bytes: Buffer.from('<script>alert(1)</script>') }]);
    await page.waitForFunction(() => document.querySelector('#notices .notice'));
    assert.match((await notices(page))[0], /^\u201c<img src=x onerror=alert\(1\)>\.sfs\u201d is not a settings file/);
    assert.equal(await page.$$eval('#notices img, #notices script', (all) => all.length), 0);
    assert.equal(dialogs, 0);
    for (const b of await page.$$('#notices .dismiss')) await b.click();
  });

  test('no console errors, policy violations or requests off this machine', () => {
    assert.deepEqual(problems, []);
  });
});

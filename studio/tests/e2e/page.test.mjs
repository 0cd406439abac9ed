// What the page says and how it behaves for people: notes, messages, A/B,
// history, file names, sound only after a gesture, names for assistive
// technology, and hostile links, stored values and files. From the single file
// opened from disk, as most people open it.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { openPage } from './browser.mjs';
import { singleFile, toolWav, commandWav, settle, fingerprint, click, typeInto, notices } from './page-steps.mjs';
import { dismissNotices, countDialogs, axeViolations, session, plant } from './page-steps.mjs';

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

let page;
const s = session(singleFile, {}, async (s) => {
  page = s.page;
  await page.evaluate(() => localStorage.clear());
});

test('no sound before a gesture; a skip link first, then the parameters by keyboard', async () => {
  const init = () => {
    window.audioOutputs = 0;
    const Real = window.AudioContext;
    window.AudioContext = class extends Real {
      constructor(...a) {
        super(...a);
        window.audioOutputs++;
      }
    };
  };
  const fresh = (await openPage(s.browser.context, singleFile, { init })).page;
  assert.equal(await fresh.evaluate(() => window.audioOutputs), 0);
  await fresh.keyboard.press('Tab');
  assert.equal(await fresh.evaluate(() => document.activeElement.textContent), 'Skip to the parameters');
  await fresh.keyboard.press('Enter');
  await fresh.keyboard.press('Tab');
  assert.equal(await fresh.evaluate(() => document.activeElement.getAttribute('aria-label')), 'Lock wave type');
  assert.equal(await fresh.evaluate(() => window.audioOutputs), 0, 'moving the focus is no use of the sound');
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
  const wav = await commandWav(page, '--buffer-length 60');
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

test('files that are not settings files get a message in plain words that stays, a hostile name as text; a drop zone shows while dragging', async () => {
  const drag = (type) =>
    page.evaluate((type) => {
      const data = new DataTransfer();
      data.items.add(new File(['x'], 'a.sfs'));
      document.body.dispatchEvent(new DragEvent(type, { dataTransfer: data, bubbles: true }));
    }, type);
  await drag('dragenter');
  assert.equal(await page.isVisible('#dropzone'), true);
  assert.match(await page.textContent('#dropzone'), /Drop a settings file/);
  await drag('dragleave');
  assert.equal(await page.isHidden('#dropzone'), true);
  const dialogs = countDialogs(page);
  const cases = [
    {
      name: 'coin.wav',
      bytes: toolWav('--preset', 'coin', '--seed', '1'),
      message: /^\u201ccoin\.wav\u201d is a sound file \(WAV\)\. Open reads settings files \(\.sfs\)/,
    },
    {
      name: '<img src=x onerror=alert(1)>.sfs',
      bytes: Buffer.from('<script>alert(1)</script>'),
      message: /^\u201c<img src=x onerror=alert\(1\)>\.sfs\u201d is not a settings file/,
    },
  ];
  for (const c of cases) {
    const before = await fingerprint(page);
    await drop(page, [c]);
    await page.waitForFunction((n) => document.getElementById('notices').textContent.includes(n), c.name);
    const text = (await notices(page)).find((t) => t.includes(c.name));
    assert.match(text, c.message, c.name);
    assert.doesNotMatch(text, /version|100, 101|SustainTime|status/i, c.name);
    assert.equal(await fingerprint(page), before, `${c.name}: the sound stays`);
  }
  assert.equal(await page.$$eval('#notices img, #notices script', (all) => all.length), 0);
  assert.equal(dialogs.count, 0);
  assert.equal(await page.isHidden('#dropzone'), true);
  // A confirmation (Loop off) goes by itself; the messages outlast it.
  await page.click('#loop');
  await page.click('#loop');
  await page.waitForFunction(() => document.getElementById('status').textContent === '');
  assert.equal((await notices(page)).length, cases.length, 'the messages stay until dismissed');
  await dismissNotices(page);
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

test('Space plays the sound wherever a click left the focus, Enter presses the focused button, Space types in a text field', async () => {
  await page.evaluate(() => {
    window.plays = 0;
    document.addEventListener('studio-playing', () => window.plays++);
  });
  // What the page is: the recipe (its share link), the sounds made, the plays so far.
  const state = async () => ({
    link: await page.inputValue('#link'),
    made: await page.$$eval('#history li', (all) => all.length),
    plays: await page.evaluate(() => window.plays),
  });
  const cases = [
    { clicked: '[data-family="1"]', key: 'Space', plays: 1, newSound: false },
    { clicked: '#mutate', key: 'Space', plays: 1, newSound: false },
    { clicked: '#loop', key: 'Space', plays: 1, newSound: false, then: '#loop' },
    { clicked: '[data-family="1"]', key: 'Enter', plays: 1, newSound: true }, // a new sound plays once made
    { clicked: '#mutate', key: 'Enter', plays: 1, newSound: true },
  ];
  for (const c of cases) {
    const name = `${c.key} after a click on ${c.clicked}`;
    await click(page, c.clicked);
    assert.equal(await page.evaluate((s) => document.activeElement.matches(s), c.clicked), true, name);
    const before = await state();
    await page.keyboard.press(c.key);
    await settle(page);
    const after = await state();
    assert.equal(after.plays - before.plays, c.plays, name);
    assert.equal(after.link !== before.link, c.newSound, `${name}: the recipe`);
    assert.equal(after.made - before.made, c.newSound ? 1 : 0, `${name}: the sounds made`);
    if (c.then) await click(page, c.then);
  }
  // A box: Space plays, Enter ticks or clears it (and sends no form).
  await page.click('#export-open');
  await page.focus('#export-trim-on');
  for (const [key, plays, ticked] of [
    ['Space', 1, false],
    ['Enter', 0, true],
    ['Enter', 0, false],
  ]) {
    const before = await state();
    await page.keyboard.press(key);
    assert.equal((await state()).plays - before.plays, plays, `${key} on the box`);
    assert.equal(await page.isChecked('#export-trim-on'), ticked, `${key} on the box`);
    assert.equal(await page.isVisible('#export-dialog'), true, `${key} on the box: the dialog stays`);
  }
  await page.click('#export-close');
  for (const field of ['#library-name', '#library-search']) {
    await page.click(field);
    const before = await state();
    await page.keyboard.type('big jump');
    assert.equal(await page.inputValue(field), 'big jump', field);
    assert.deepEqual(await state(), before, `${field}: nothing played`);
    await page.fill(field, '');
  }
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
  const dragged = await page.textContent('#p-Slide-stored');
  await page.keyboard.press('Control+z');
  await settle(page);
  assert.equal(await page.textContent('#p-Slide-stored'), before);
  await page.keyboard.press('Control+Shift+z');
  await settle(page);
  assert.equal(await page.textContent('#p-Slide-stored'), dragged, 'Ctrl+Shift+Z redoes');
  const names = [];
  for (const id of ['#download', '#save-sfs']) {
    const [download] = await Promise.all([page.waitForEvent('download'), page.click(id)]);
    names.push(download.suggestedFilename());
  }
  assert.deepEqual(names, ['jump-492621828.wav', 'jump-492621828.sfs']);
  assert.match(await page.inputValue('#command'), /-o jump-492621828\.wav$/);
});

test('names for assistive technology: unambiguous, no glyphs, a named fingerprint, everything in landmarks', async () => {
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
  assert.deepEqual(await axeViolations(page, null, ['region', 'landmark-one-main', 'landmark-unique']), []);
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
  await dismissNotices(page);
  await page.setViewportSize({ width: 1280, height: 800 });
});

test('hostile links are refused with a message; the page goes on', async () => {
  const cases = [
    { fragment: '#seed=%E0%A4%A&csv=1', message: /% sign/ },
    { fragment: '#seed=5&csv=%FF%FE', message: /not valid text \(UTF-8\)/ },
    { fragment: '#csv=1', message: /no usable seed/ },
    {
      fragment: `#seed=5&csv=${encodeURIComponent('<img src=x onerror=alert(1)>')}`,
      message: /parameter values cannot be read/,
    },
    {
      fragment: `#seed=5&csv=${encodeURIComponent('1\nGenerate sound as "boss_music"')}`,
      message: /parameter values cannot be read/,
    },
  ];
  for (const c of cases) {
    const { page: linked, problems: found } = await openPage(s.browser.context, singleFile + c.fragment);
    const dialogs = countDialogs(linked);
    const all = await notices(linked);
    assert.equal(all.length, 1, c.fragment);
    assert.match(all[0], c.message, c.fragment);
    assert.match(all[0], /is shown instead/, c.fragment);
    assert.doesNotMatch(await linked.inputValue('#script'), /boss_music|<img/, c.fragment);
    assert.equal(dialogs.count, 0, c.fragment);
    assert.deepEqual(found, [], c.fragment);
    await linked.close();
  }
});

test('a pasted settings string has one number per parameter: more or fewer fields are refused', async () => {
  await dismissNotices(page);
  const full = '1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,'; // the defaults' 24 fields
  const cases = [
    {
      text: `${full},1`,
      notice: /^The settings string cannot be read: it has 25 fields, and a settings string has 24\. /,
    },
    { text: '1,2,3', notice: /^The settings string cannot be read: it has 3 fields, and a settings string has 24\. / },
    { text: full.replace(/^[^,]*/, '0.5000'), status: 'Settings string' },
  ];
  for (const c of cases) {
    const before = await fingerprint(page);
    await page.fill('#csv', c.text);
    await click(page, '#load-csv');
    if (c.notice) {
      const all = await notices(page);
      assert.equal(all.length, 1, c.text);
      assert.match(all[0], c.notice, c.text);
      assert.equal(await fingerprint(page), before, c.text);
      await dismissNotices(page);
    } else {
      assert.equal(await page.textContent('#status'), c.status, c.text);
      assert.equal(await page.inputValue('#csv'), c.text, c.text);
    }
  }
});

test('hostile stored stars and sessions: each bad entry refused, the good ones kept, no fingerprint read back', async () => {
  const good = (seed) => ({ seed, source: { kind: 'preset', family: 1 }, steps: [], bufferLength: 5 });
  const planted = { ...good(103), source: { kind: 'preset', family: '0\nGenerate sound as "boss_music"' } };
  const stars = [
    { label: 'Laser one', recipe: good(101) },
    { label: '<img src=x onerror=alert(1)>', recipe: good(102) },
    { label: 'planted', recipe: planted },
    'not an entry',
    { label: 'Laser two', recipe: good(107), fingerprint: 'deadbeef'.repeat(8) },
  ];
  const session = {
    slots: [planted, good(108)],
    slot: 0,
    locks: [99, 'x'],
    history: [{ label: 'h', recipe: good(0) }],
  };
  // A layer as the page keeps it: the fields of a project file's layer (the laser of docs/project-file.md).
  const layer = {
    name: '<img src=x onerror=alert(1)>',
    solo: false,
    seed: 42,
    sfs: '66000000010000000000803f1e03f23eed2aa43d514e14bf000000004625b53d7a19453d000000000000000000000000000000004911993e96210e3e1b868f3d00000000000000803f0000000000000000000000000000000000000000000000000000000000000000',
    buffer_length: 5,
    offset: 2205,
    gain_db: -9.5,
    muted: false,
  };
  // Both counted: two bad stars, a bad slot and a bad history entry.
  const cases = [
    {
      name: 'bad stars and a session with a planted slot',
      items: { 'quavix-studio.stars': JSON.stringify(stars), 'quavix-studio.session': JSON.stringify(session) },
      labels: ['Laser one', '<img src=x onerror=alert(1)>', 'Laser two'],
      notice: /^4 sounds kept on this computer could not be read and were left out/,
    },
    {
      name: 'a session that is not JSON',
      items: { 'quavix-studio.session': '{' },
      labels: [],
      notice: /^One sound kept on this computer could not be read and was left out/,
    },
    {
      name: 'layers with a script for a name and one starting past 60 s',
      items: {
        'quavix-studio.layers': JSON.stringify([layer, { ...layer, offset: 2646001 }, { ...layer, gain_db: 0.05 }]),
      },
      labels: [],
      layers: ['1. <img src=x onerror=alert(1)>'],
      notice:
        /^Some layers kept on this computer could not be read and were left out \(layer 2: the start is 0 to 2646000 samples \(60 s\), not 2646001; layer 3: its gain_db is not a number of decibels in steps of 0\.1\); the others are here\.$/,
    },
  ];
  await page.close();
  for (const c of cases) {
    await plant(s.browser.context, c.items);
    const opened = await openPage(s.browser.context, singleFile);
    page = opened.page;
    const dialogs = countDialogs(page);
    await page.waitForFunction(() => !document.getElementById('library-add').disabled);
    // The layers come back once their module has started.
    await page.waitForFunction(() => !document.getElementById('layer-add-why').textContent.startsWith('Starting'));
    const all = await notices(page);
    assert.equal(all.length, 1, c.name);
    assert.match(all[0], c.notice, c.name);
    assert.deepEqual(
      await page.$$eval('#stars .sound-item', (all) => all.map((b) => b.firstChild.textContent)),
      c.labels,
      c.name,
    );
    assert.doesNotMatch(await page.textContent('body'), /deadbeef/, c.name);
    const rows = () => page.$$eval('#layer-rows .layer-name', (all) => all.map((e) => e.textContent));
    assert.deepEqual(await rows(), c.layers ?? [], c.name);
    for (const item of await page.$$('#stars .sound-item')) {
      await item.click();
      await settle(page);
      assert.doesNotMatch(await page.inputValue('#script'), /boss_music/, c.name);
    }
    assert.doesNotMatch(await page.inputValue('#script'), /boss_music/, c.name);
    assert.equal(dialogs.count, 0, c.name);
    assert.deepEqual(opened.problems, [], c.name);
    await page.close();
  }
});

test('no console errors, policy violations or requests off this machine', () => {
  assert.deepEqual(s.problems, []);
});

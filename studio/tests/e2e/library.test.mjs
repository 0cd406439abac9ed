// The library from the single HTML file (file://): kept over a reload, its
// project file rendered by the native tool byte for byte, imported into
// another browser, the old stars moved into it, and a browser without a
// database still making sounds.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { openPage } from './browser.mjs';
import {
  CLI,
  singleFile as url,
  sha256,
  fingerprint,
  click,
  downloaded,
  session,
  reload,
  notices,
} from './page-steps.mjs';
import { plant, dismissNotices } from './page-steps.mjs';

const scratch = mkdtempSync(join(tmpdir(), 'quavix-studio-library-'));
// Two browsers: one person's, and another's into which the project is imported.
const mine = session();
const other = session();

const libraryOpen = (page) => page.waitForFunction(() => !document.getElementById('library-add')?.disabled);
const listed = (page) =>
  page.$$eval('#library-list .library-entry', (rows) =>
    rows.map((r) => [
      r.querySelector('.entry-name').textContent,
      [...r.querySelectorAll('.tag')].map((t) => t.textContent),
    ]),
  );
async function saveAs(page, name, tags) {
  await page.fill('#library-name', name);
  await page.fill('#library-tags', tags);
  const before = (await listed(page)).length;
  await page.press('#library-tags', 'Enter'); // the form is sent by keyboard
  await page.waitForFunction((n) => document.querySelectorAll('#library-list .library-entry').length === n, before + 1);
}
async function openEntry(page, name) {
  await click(page, `#library-list .sound-item:has(.entry-name:text-is("${name}"))`);
}

test('the library survives a reload, and its project file renders, by the tool, the Studio\u2019s WAVs', async () => {
  {
    const { page, problems } = await openPage(mine.browser.context, url);
    await libraryOpen(page);
    await click(page, '[data-family="0"]');
    const coin = await fingerprint(page);
    await saveAs(page, 'Coin / big', 'pickup, loud');
    await click(page, '[data-family="5"]');
    await click(page, '#mutate'); // a recipe with a step after its preset
    const jump = await fingerprint(page);
    await saveAs(page, 'Jump', 'player');
    await reload(page);
    await libraryOpen(page);
    assert.deepEqual(await listed(page), [
      ['Coin / big', ['pickup', 'loud']],
      ['Jump', ['player']],
    ]);
    await page.fill('#library-search', 'LOUD');
    assert.deepEqual(await listed(page), [['Coin / big', ['pickup', 'loud']]]);
    await page.fill('#library-search', '');

    await openEntry(page, 'Coin / big');
    assert.equal(await fingerprint(page), coin);
    const coinWav = await downloaded(page, () => page.click('#download'));
    await click(page, '#mutate');
    const edited = await downloaded(page, () => page.click('#download'));
    await openEntry(page, 'Jump');
    assert.equal(await fingerprint(page), jump);
    const jumpWav = await downloaded(page, () => page.click('#download'));
    // Files and packs are named after the sound, or after the search that chose them.
    assert.deepEqual(
      [coinWav.name, edited.name, jumpWav.name],
      ['Coin _ big.wav', 'Coin _ big (edited).wav', 'Jump.wav'],
    );
    const packs = [
      { which: 'library', search: 'p', name: 'library-p.zip' }, // both sounds: "p" in Jump and in "pickup"
      { which: 'library', search: 'LOUD', name: 'Coin _ big-pack.zip' }, // one sound: after it
      { which: 'library', search: '', name: 'library-sounds.zip' },
      { which: 'current', search: '', name: 'Jump-pack.zip' },
    ];
    for (const c of packs) {
      await page.fill('#library-search', c.search);
      await page.click('#export-open');
      await page.check(`input[name=export-which][value=${c.which}]`);
      assert.equal((await downloaded(page, () => page.click('#export-make'))).name, c.name, JSON.stringify(c));
      await page.click('#export-close');
    }

    const project = await downloaded(page, () => page.click('#project-export'));
    const file = join(scratch, 'quavix-project.json');
    writeFileSync(file, project);
    const out = join(scratch, 'out');
    execFileSync(CLI, ['batch', '--project', file, '--out-dir', out], { stdio: 'pipe' });
    assert.ok(readFileSync(join(out, 'Coin-big.wav')).equals(coinWav), 'Coin-big.wav');
    assert.ok(readFileSync(join(out, 'Jump.wav')).equals(jumpWav), 'Jump.wav');
    assert.equal(sha256(jumpWav), jump);
    assert.deepEqual(problems, []);

    // Rename by keyboard, duplicate, delete with its second press.
    await page.click('#library-list button[aria-label="Rename \u201cJump\u201d"]');
    await page.fill('#library-list input[name="name"]', 'Hop');
    await page.press('#library-list input[name="name"]', 'Enter');
    await page.waitForSelector('#library-list .sound-item:has(.entry-name:text-is("Hop"))');
    await page.click('#library-list button[aria-label="Duplicate \u201cHop\u201d"]');
    await page.waitForSelector('#library-list .sound-item:has(.entry-name:text-is("Hop (copy)"))');
    await page.click('#library-list button[aria-label="Delete \u201cCoin / big\u201d"]');
    assert.equal((await listed(page)).length, 3, 'one press only asks');
    await page.click('#library-list button[aria-label="Delete \u201cCoin / big\u201d for good"]');
    await page.waitForFunction(() => document.querySelectorAll('#library-list .library-entry').length === 2);
    assert.deepEqual(await listed(page), [
      ['Hop', ['player']],
      ['Hop (copy)', ['player']],
    ]);
  }

  // Another browser imports the project: the same sounds; a second import adds nothing; a bad file is named.
  {
    const { page, problems } = await openPage(other.browser.context, url);
    await libraryOpen(page);
    const file = join(scratch, 'quavix-project.json');
    for (let round = 0; round < 2; round++) {
      await page.setInputFiles('#project-file', file);
      await page.waitForFunction(() => document.querySelectorAll('#library-list .library-entry').length === 2);
    }
    assert.match(await page.textContent('#status'), /Imported 0 sounds .* 2 sounds were already in the library/);
    await openEntry(page, 'Coin / big');
    assert.equal(sha256(readFileSync(join(scratch, 'out/Coin-big.wav'))), await fingerprint(page));

    const data = JSON.parse(readFileSync(file, 'utf8'));
    const later = JSON.stringify({ ...data, version: 3 });
    await page.setInputFiles('#project-file', {
      name: 'later.json',
      mimeType: 'application/json',
      buffer: Buffer.from(later),
    });
    await page.waitForFunction(() => document.getElementById('notices').textContent.includes('later.json'));
    assert.match(
      await page.textContent('#notices'),
      /is a project file of version 3; this Studio reads versions 1 and 2/,
    );
    assert.equal((await listed(page)).length, 2);
    assert.deepEqual(problems, []);
    await page.close();
  }
});

test('stars kept before the library move into it once, and the star button keeps sounds there', async () => {
  // Another local page plants them, with no library yet.
  const recipe = { seed: 5, source: { kind: 'preset', family: 0 }, steps: [], bufferLength: 5 };
  await plant(other.browser.context, { 'quavix-studio.stars': JSON.stringify([{ label: 'Old star', recipe }]) });
  const { page, problems } = await openPage(other.browser.context, url);
  for (let round = 0; round < 2; round++) {
    await reload(page);
    await libraryOpen(page);
    assert.deepEqual(await listed(page), [['Old star', ['starred']]], `load ${round + 1}`);
  }
  assert.equal(await page.evaluate(() => localStorage.getItem('quavix-studio.stars')), '[]');
  assert.equal(await page.$$eval('#stars li', (items) => items.map((li) => li.textContent).join()), 'Old star');

  await click(page, '[data-family="6"]');
  await page.click('#star');
  await page.waitForFunction(() => document.getElementById('star').getAttribute('aria-pressed') === 'true');
  assert.equal((await listed(page)).filter(([, tags]) => tags.includes('starred')).length, 2);
  await page.click('#star'); // the star goes, the sound stays
  await page.waitForFunction(() => document.getElementById('star').getAttribute('aria-pressed') === 'false');
  assert.equal((await listed(page)).length, 2);
  assert.deepEqual(problems, []);
  await page.close();
});

test('a browser that refuses its database says so, and the Studio still makes, plays and stars sounds', async () => {
  const refuse = () => {
    IDBFactory.prototype.open = () => {
      throw new DOMException('The user denied permission to access the database.', 'InvalidStateError');
    };
  };
  const { page, problems } = await openPage(other.browser.context, url, { init: refuse });
  await page.waitForSelector('#library-unavailable:not([hidden])');
  assert.match(await page.textContent('#library-unavailable'), /cannot be kept in this browser.*denied permission/);
  assert.equal(await page.$eval('#library-add', (b) => b.disabled), true);
  await click(page, '[data-family="1"]');
  assert.match(await fingerprint(page), /^[0-9a-f]{64}$/);
  await page.click('#star');
  await page.waitForFunction(() => (localStorage.getItem('quavix-studio.stars') ?? '[]') !== '[]');
  assert.deepEqual(problems, []);
  await page.close();
});

// What another local page may plant under the library's name, and what the Studio says of it.
const row = (id, name, steps = []) => ({
  id,
  name,
  tags: [],
  recipe: { seed: 7, source: { kind: 'preset', family: 2 }, steps, bufferLength: 5 },
});
const counted = { keyPath: 'id', autoIncrement: true }; // the library's first form: the database counted the ids
const given = { keyPath: 'id' };

/** Save, Star, Duplicate and Import do their work; no message says otherwise. */
async function stillWorks(page, label) {
  const before = (await notices(page)).length;
  await click(page, '[data-family="3"]');
  await saveAs(page, 'After', 'kept');
  await page.click('#star');
  await page.waitForFunction(() => document.getElementById('star').getAttribute('aria-pressed') === 'true');
  await page.click('#library-list button[aria-label="Duplicate \u201cAfter\u201d"]');
  await page.waitForSelector('#library-list .entry-name:text-is("After (copy)")');
  const project = JSON.parse(await downloaded(page, () => page.click('#project-export')));
  const sounds = project.sounds.filter((s) => s.name === 'After').map((s) => ({ ...s, name: 'Imported' }));
  await page.setInputFiles('#project-file', {
    name: 'back.json',
    mimeType: 'application/json',
    buffer: Buffer.from(JSON.stringify({ ...project, sounds })),
  });
  await page.waitForSelector('#library-list .entry-name:text-is("Imported")');
  assert.deepEqual((await notices(page)).slice(before), [], label);
}

const database = (version, stores) => ({ version, stores });
const unreadable = (n, why) =>
  new RegExp(
    `^${n} sounds of the library could not be read and are left out \\(the first: ${why}\\); the others are here\\.$`,
  );
const hostile = [
  {
    name: 'ids of 2^53 and Infinity, which used up the first form\u2019s counting',
    database: database(1, [
      { name: 'library', options: counted, rows: [row(1, 'Old'), row(2 ** 53, 'x'), row(Infinity, 'y')] },
    ]),
    listed: ['Old'],
    notice: unreadable(2, 'its id is not a whole number from 1 to 9007199254740991'),
    rows: 3, // every kept row stays
  },
  {
    name: 'the same ids in the Studio\u2019s own form, and the greatest id it gives',
    database: database(2, [
      { name: 'library', options: given, rows: [row(2 ** 53 - 1, 'Last'), row(2 ** 53, 'x'), row(Infinity, 'y')] },
    ]),
    listed: ['Last'],
    notice: unreadable(2, 'its id is not a whole number from 1 to 9007199254740991'),
    rows: 3,
  },
  {
    name: '200 sounds of 10,000 changes each',
    database: database(2, [
      {
        name: 'library',
        options: given,
        copies: 200,
        copy: row(0, 'Slow', Array(10000).fill({ kind: 'mutate', amount: 0.05 })),
      },
    ]),
    listed: [],
    notice: unreadable(200, 'it has 10000 changes, more than the 100 kept for one sound'),
    rows: 200,
  },
  {
    name: 'a store of another name',
    database: database(1, [{ name: 'x'.repeat(60), options: given }]),
    unavailable: `The library cannot be opened: the browser\u2019s database \u201cquavix-studio\u201d has no store of sounds (it holds \u201c${'x'.repeat(40)}...\u201d instead).`,
  },
  {
    name: 'sounds kept under another key',
    database: database(1, [{ name: 'library', options: { keyPath: 'key' } }]),
    unavailable:
      'The library cannot be opened: the browser\u2019s database \u201cquavix-studio\u201d keeps its sounds by \u201ckey\u201d, not by their ids.',
  },
  {
    name: 'sounds kept without a key, in the Studio\u2019s version',
    database: database(2, [
      { name: 'library', options: {}, rows: [] },
      { name: 'more', options: {} },
    ]),
    unavailable:
      'The library cannot be opened: the browser\u2019s database \u201cquavix-studio\u201d keeps its sounds without a key, not by their ids.',
  },
  {
    name: 'a newer version',
    database: database(9, [{ name: 'library', options: given }]),
    unavailable:
      'The library cannot be opened: the browser keeps a database under the library\u2019s name in a newer form than this Studio reads',
  },
];

test('a database planted under the library\u2019s name: its bad sounds left out, or an offer to start afresh; Save, Star, Duplicate and Import work after', async () => {
  for (const c of hostile) {
    await plant(other.browser.context, {}, c.database);
    const { page, problems } = await openPage(other.browser.context, url);
    if (c.unavailable) {
      await page.waitForSelector('#library-unavailable:not([hidden])');
      assert.ok((await page.textContent('#library-unavailable')).startsWith(c.unavailable), c.name);
      // The first press asks; the second deletes the old database and opens an empty library.
      await page.click('#library-afresh');
      assert.equal(await page.textContent('#library-afresh'), 'Delete the old database and start afresh', c.name);
      assert.equal(await page.$eval('#library-add', (b) => b.disabled), true, c.name);
      await page.click('#library-afresh');
      await libraryOpen(page);
      assert.equal(await page.$eval('#library-unavailable', (n) => n.hidden), true, c.name);
      assert.deepEqual(await listed(page), [], c.name);
    } else {
      await libraryOpen(page);
      const all = await notices(page);
      assert.equal(all.length, 1, c.name);
      assert.match(all[0], c.notice, c.name);
      assert.deepEqual(
        (await listed(page)).map(([name]) => name),
        c.listed,
        c.name,
      );
    }
    await stillWorks(page, c.name);
    if (c.rows !== undefined) {
      // The rows it could not read are still kept, beside the three sounds added (Star marks the one saved), in a
      // store whose ids the Studio gives.
      const kept = await page.evaluate(
        () =>
          new Promise((done) => {
            const request = indexedDB.open('quavix-studio');
            request.onsuccess = () => {
              const store = request.result.transaction('library').objectStore('library');
              const count = store.count();
              count.onsuccess = () => done({ rows: count.result, counting: store.autoIncrement });
            };
          }),
      );
      assert.deepEqual(kept, { rows: c.rows + 3, counting: false }, c.name);
    }
    assert.deepEqual(problems, [], c.name);
    await page.close();
  }
});

test('a library past its 2000 sounds: the first 2000 shown, Save refused until Delete selected makes room; a project is imported in chunks, within the limits', async () => {
  await plant(
    other.browser.context,
    {},
    database(2, [{ name: 'library', options: given, copies: 2001, copy: row(0, 'Full') }]),
  );
  const { page, problems } = await openPage(other.browser.context, url);
  await libraryOpen(page);
  assert.deepEqual(await notices(page), [
    'The library holds more than 2000 sounds, the most it shows: the first 2000 are here, the others stay kept, unread.',
  ]);
  assert.equal(await page.textContent('#library-count'), '2000 sounds');
  await dismissNotices(page);
  await page.fill('#library-name', 'One more');
  await page.press('#library-name', 'Enter');
  await page.waitForSelector('#notices .notice');
  assert.deepEqual(await notices(page), [
    'The library could not keep this sound: the library holds at most 2000 sounds and has room for 0 more, not 1: deleting sounds makes room. Nothing was changed.',
  ]);
  await dismissNotices(page);

  // One ticked by keyboard (Enter, as every box of the page: Space plays), twelve more by a search and Select all
  // shown: the ticks outlast the search.
  await page.focus('#library-list input[aria-label="Select \u201cFull 1\u201d"]');
  await page.keyboard.press('Enter');
  await page.fill('#library-search', '199');
  assert.equal((await listed(page)).length, 12);
  await page.click('#library-select-all');
  assert.equal(await page.textContent('#library-delete-selected'), 'Delete 13 sounds');
  await page.focus('#library-delete-selected');
  await page.keyboard.press('Enter');
  assert.equal(await page.textContent('#library-delete-selected'), 'Delete 13 sounds for good');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.getElementById('library-count').textContent === '0 of 1987 sounds');
  await page.fill('#library-search', '');
  assert.equal(await page.$eval('#library-delete-selected', (b) => b.disabled), true);

  const project = JSON.parse(await downloaded(page, () => page.click('#project-export')));
  const many = (n) =>
    Buffer.from(
      JSON.stringify({
        ...project,
        sounds: Array.from({ length: n }, (_, i) => ({ ...project.sounds[0], name: `Bulk ${i + 1}` })),
      }),
    );
  const refusals = [
    {
      name: 'many.json',
      buffer: many(2001),
      notice: '\u201cmany.json\u201d holds 2001 sounds; the library holds at most 2000. Nothing was imported.',
    },
    {
      name: 'more.json',
      buffer: many(500),
      notice:
        'The library could not import the project: the library holds at most 2000 sounds and has room for 13 more, not 500: deleting sounds makes room. Nothing was changed.',
    },
    {
      name: 'big.json',
      buffer: Buffer.alloc(33 * 1024 * 1024, 32),
      notice:
        '\u201cbig.json\u201d is 33 MB; a project file the Studio imports is at most 32 MB. Nothing was imported.',
    },
  ];
  for (const c of refusals) {
    await page.setInputFiles('#project-file', { name: c.name, mimeType: 'application/json', buffer: c.buffer });
    await page.waitForSelector('#notices .notice');
    assert.deepEqual(await notices(page), [c.notice], c.name);
    await dismissNotices(page);
  }
  assert.equal(await page.textContent('#library-count'), '1987 sounds');

  // Room made for 500: all deleted at once, then imported in chunks, how far it got shown on the way.
  await page.click('#library-select-all');
  await page.click('#library-delete-selected');
  await page.click('#library-delete-selected');
  await page.waitForFunction(() => document.getElementById('library-count').textContent === '0 sounds');
  await page.evaluate(() => {
    window.counts = [];
    const count = document.getElementById('library-count');
    new MutationObserver(() => window.counts.push(count.textContent)).observe(count, { childList: true });
  });
  await page.setInputFiles('#project-file', { name: 'more.json', mimeType: 'application/json', buffer: many(500) });
  await page.waitForFunction(() => document.getElementById('library-count').textContent === '500 sounds');
  const steps = (await page.evaluate(() => window.counts)).filter((t) => t.endsWith('\u2026'));
  assert.deepEqual(steps, [
    ...[100, 200, 300, 400, 500].map((n) => `Reading \u201cmore.json\u201d: ${n} of 500 sounds\u2026`),
    ...[200, 400].map((n) => `Importing \u201cmore.json\u201d: ${n} of 500 sounds\u2026`),
  ]);
  await stillWorks(page, 'after the import');
  assert.deepEqual(problems, []);
  await page.close();
});

// Steps the browser tests take on the Studio's page, and the native tool they compare with.
import { after, before } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { openBrowser, openPage } from './browser.mjs';

export const studio = fileURLToPath(new URL('../..', import.meta.url));
export const CLI = process.env.QUAVIX_NATIVE_CLI ?? join(studio, '../build/release/cli/quavix');
/** The single HTML file, opened from disk as most people open it. */
export const singleFile = pathToFileURL(join(studio, 'dist/quavix-studio.html')).href;
export const sha256 = (bytes) => createHash('sha256').update(bytes).digest('hex');

/** The WAV the tool writes for these options of `quavix render`. */
export const toolWav = (...options) => execFileSync(CLI, ['render', ...options, '-o', '-'], { maxBuffer: 1 << 28 });

/** The WAV the tool writes for the page's command line, run by a shell as copied; `extra` options go first. */
export async function commandWav(page, extra = '') {
  const command = (await page.inputValue('#command'))
    .replace('quavix render', `"$QUAVIX" render ${extra}`)
    .replace(/-o \S+\.wav$/, '-o -');
  return execFileSync('bash', ['-c', command], { env: { ...process.env, QUAVIX: CLI }, maxBuffer: 1 << 28 });
}

/**
 * A browser opened before the tests (of the file, or of the suite this is called in) and closed after them; with a
 * `url`, its page there: `{ browser, page, problems }`, filled in once the tests start, then `setUp(s)` run.
 */
export function session(url = null, options = {}, setUp = () => {}) {
  const s = {};
  before(async () => {
    s.browser = await openBrowser();
    if (url) Object.assign(s, await openPage(s.browser.context, url, options));
    await setUp(s);
  });
  after(() => s.browser?.close());
  return s;
}

/** Reloads the page and waits until it has made its sound again; its fingerprint. */
export async function reload(page) {
  await page.reload();
  await page.waitForSelector('html[data-ready="true"]');
  return fingerprint(page);
}

/**
 * Another local HTML file clears the storage and the library, then plants these items: every page opened from disk
 * shares them. A `database` is planted under the library's name: `{ version, stores: [{ name, options, rows, copies,
 * copy }] }`, each store with its rows and `copies` copies of the row `copy`, ids from 1.
 */
export async function plant(context, items, database = null) {
  const dir = mkdtempSync(join(tmpdir(), 'quavix-studio-planter-'));
  writeFileSync(join(dir, 'planter.html'), '<!doctype html><title>Another local page</title>');
  const planter = await context.newPage();
  await planter.goto(pathToFileURL(join(dir, 'planter.html')).href);
  await planter.evaluate(
    async ([items, database]) => {
      localStorage.clear();
      for (const [k, v] of Object.entries(items)) localStorage.setItem(k, v);
      await new Promise((done) => (indexedDB.deleteDatabase('quavix-studio').onsuccess = done));
      if (!database) return;
      await new Promise((done, fail) => {
        const request = indexedDB.open('quavix-studio', database.version);
        request.onupgradeneeded = () => {
          for (const s of database.stores) {
            const store = request.result.createObjectStore(s.name, s.options);
            for (const row of s.rows ?? []) store.put(row);
            for (let i = 0; i < (s.copies ?? 0); i++)
              store.put({ ...s.copy, id: i + 1, name: `${s.copy.name} ${i + 1}` });
          }
        };
        request.onsuccess = () => done(request.result.close());
        request.onerror = () => fail(request.error);
      });
    },
    [items, database],
  );
  await planter.close();
}

/** Presses Tab until the focus is on `selector`. */
export async function tabTo(page, selector) {
  for (let i = 0; i < 300; i++) {
    await page.keyboard.press('Tab');
    if (await page.evaluate((s) => document.activeElement?.matches(s), selector)) return;
  }
  assert.fail(`Tab never reached ${selector}`);
}

/** Waits until the page has made and shown its sound. */
export const settle = (page) => page.waitForFunction(() => document.documentElement.dataset.busy === 'false');

/** The SHA-256 of the current sound's WAV, once the page has settled. */
export const fingerprint = async (page) => (await settle(page), page.$eval('#fingerprint', (e) => e.dataset.sha256));

/** Clicks and waits until the page has settled. */
export async function click(page, selector, options) {
  await page.click(selector, options);
  await settle(page);
}

/** Types into a field, leaves it and waits until the page has settled. */
export async function typeInto(page, selector, text) {
  await page.fill(selector, text);
  await page.press(selector, 'Tab');
  await settle(page);
}

/** The bytes of the download that start() begins, with the file name it is offered under as `name`. */
export async function downloaded(page, start) {
  const [download] = await Promise.all([page.waitForEvent('download'), start()]);
  return Object.assign(readFileSync(await download.path()), { name: download.suggestedFilename() });
}

/** The texts of the messages shown, and a way to dismiss them all. */
export const notices = (page) => page.$$eval('#notices .notice p', (all) => all.map((e) => e.textContent));
export async function dismissNotices(page) {
  for (const b of await page.$$('#notices .dismiss')) await b.click();
}

/** Counts the dialogs a page opens (alert() from a smuggled script), dismissing each. */
export function countDialogs(page) {
  const seen = { count: 0 };
  page.on('dialog', (d) => {
    seen.count++;
    void d.dismiss();
  });
  return seen;
}

/**
 * The accessibility checker's violations in `context` (all rules, or `rules`), one line each. The checker comes
 * through the test's own channel: the page's policy admits no other script.
 */
export async function axeViolations(page, context = null, rules = null) {
  if (!(await page.evaluate(() => 'axe' in window)))
    await page.evaluate(readFileSync(join(studio, 'node_modules/axe-core/axe.min.js'), 'utf8'));
  const result = await page.evaluate(
    ([context, rules]) => window.axe.run(context ?? document, rules ? { runOnly: rules } : {}),
    [context, rules],
  );
  return result.violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`);
}

/** How far the page scrolls sideways (0 or less: not at all). */
export const sideways = (page) => page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);

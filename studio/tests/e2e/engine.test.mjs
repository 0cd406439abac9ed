// How the Studio starts its core as people open it, in a browser with default
// flags: from disk and from a server, with and without a worker, and what the
// page says when the core cannot start at all.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { mkdtempSync, readFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { openBrowser, openPage, readsNeighbourFiles } from './browser.mjs';
import { serve } from '../../scripts/serve.mjs';

const studio = fileURLToPath(new URL('../..', import.meta.url));
const CLI = process.env.QUAVIX_NATIVE_CLI ?? join(studio, '../build/release/cli/quavix');
const scratch = mkdtempSync(join(tmpdir(), 'quavix-studio-engine-'));
const sha256 = (bytes) => createHash('sha256').update(bytes).digest('hex');
const singleFile = pathToFileURL(join(studio, 'dist/quavix-studio.html')).href;

function toolSha(...options) {
  const out = join(scratch, `tool-${Math.random().toString(36).slice(2)}.wav`);
  execFileSync(CLI, ['render', ...options, '-o', out]);
  return sha256(readFileSync(out));
}

describe('starting the core', () => {
  let browser;
  let site;
  before(async () => {
    browser = await openBrowser();
    const { server, url } = await serve(join(studio, 'dist'));
    site = { server, url };
  });
  after(async () => {
    await browser?.close();
    site?.server.close();
  });

  test('the browser is as a person has it: a page from disk cannot read the files beside it', async () => {
    assert.equal(await readsNeighbourFiles(browser.context), false);
  });

  const origins = () => [
    { name: 'single file from disk', url: singleFile },
    { name: 'static folder over http', url: site.url },
  ];

  test('from disk and over http the core runs in a worker and a preset has the tool\u2019s fingerprint', async () => {
    for (const origin of origins()) {
      const { page, problems } = await openPage(browser.context, `${origin.url}#seed=1&csv=`);
      await page.fill('#seed', '31337');
      await page.press('#seed', 'Tab');
      await page.click('[data-family="5"]');
      await page.waitForFunction(() => document.documentElement.dataset.busy === 'false');
      assert.equal(await page.$eval('html', (e) => e.dataset.engine), 'worker', origin.name);
      assert.equal(
        await page.$eval('#fingerprint', (e) => e.dataset.sha256),
        toolSha('--preset', 'jump', '--seed', '31337'),
        origin.name,
      );
      assert.deepEqual(problems, [], origin.name);
      await page.close();
    }
  });

  test('where no worker starts, the page makes the sound itself, the same sound', async () => {
    for (const origin of origins()) {
      const page = await browser.context.newPage();
      await page.addInitScript(() => {
        window.Worker = class {
          constructor() {
            throw new Error('workers are switched off');
          }
        };
      });
      await page.goto(origin.url);
      await page.waitForFunction(() => document.getElementById('fingerprint')?.dataset.sha256);
      await page.fill('#seed', '77');
      await page.press('#seed', 'Tab');
      await page.click('[data-family="0"]');
      await page.waitForFunction(() => document.documentElement.dataset.busy === 'false');
      assert.equal(await page.$eval('html', (e) => e.dataset.engine), 'page', origin.name);
      assert.equal(
        await page.$eval('#fingerprint', (e) => e.dataset.sha256),
        toolSha('--preset', 'coin', '--seed', '77'),
        origin.name,
      );
      await page.close();
    }
  });

  test('when the core cannot start, the page says so and offers no controls that do nothing', async () => {
    const blocks = [
      {
        name: 'the wasm file refused by the network',
        url: () => site.url,
        block: (page) => page.route('**/*.wasm', (r) => r.abort()),
      },
      {
        name: 'WebAssembly refused in the single file',
        url: () => singleFile,
        block: (page) =>
          page.addInitScript(() => {
            WebAssembly.compile = () => Promise.reject(new Error('WebAssembly is switched off'));
          }),
      },
    ];
    for (const b of blocks) {
      const page = await browser.context.newPage();
      await b.block(page);
      await page.goto(b.url());
      await page.waitForSelector('html[data-engine="failed"]');
      const alert = await page.textContent('[role="alert"]');
      assert.match(alert, /sound engine could not start/, b.name);
      assert.match(alert, /cannot make, play or download sounds/, b.name);
      assert.equal(await page.$$eval('button, input, select, textarea', (all) => all.length), 0, b.name);
      await page.close();
    }
  });
});

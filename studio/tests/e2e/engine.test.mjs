// How the Studio starts its core as people open it, in a browser with default
// flags: from disk and from a server, with and without a worker, and what the
// page says when the core cannot start at all.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { openBrowser, openPage, readsNeighbourFiles } from './browser.mjs';
import { serve } from '../../scripts/serve.mjs';
import { studio, singleFile, sha256, toolWav, fingerprint, click, typeInto } from './page-steps.mjs';

/** Where no worker can start. */
const noWorker = () => {
  window.Worker = class {
    constructor() {
      throw new Error('workers are switched off');
    }
  };
};

describe('starting the core', () => {
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

  test('the browser is as a person has it: a page from disk cannot read the files beside it', async () => {
    assert.equal(await readsNeighbourFiles(browser.context), false);
  });

  test('from disk and over http the core runs in a worker, or where none starts in the page: the tool\u2019s sound', async () => {
    const cases = [
      { name: 'single file from disk', url: () => singleFile, engine: 'worker', family: 5, preset: 'jump' },
      { name: 'static folder over http', url: () => site.url, engine: 'worker', family: 5, preset: 'jump' },
      {
        name: 'single file, no worker',
        url: () => singleFile,
        init: noWorker,
        engine: 'page',
        family: 0,
        preset: 'coin',
      },
      { name: 'over http, no worker', url: () => site.url, init: noWorker, engine: 'page', family: 0, preset: 'coin' },
    ];
    for (const c of cases) {
      const { page, problems } = await openPage(browser.context, `${c.url()}#seed=1&csv=`, { init: c.init });
      await typeInto(page, '#seed', '31337');
      await click(page, `[data-family="${c.family}"]`);
      assert.equal(await page.$eval('html', (e) => e.dataset.engine), c.engine, c.name);
      assert.equal(await fingerprint(page), sha256(toolWav('--preset', c.preset, '--seed', '31337')), c.name);
      assert.deepEqual(problems, [], c.name);
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

// How the Studio starts its core as people open it, in a browser with default
// flags: from disk and from a server, under its policy, with and without a
// worker, and what the page says when the core cannot start at all.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { openPage } from './browser.mjs';
import { serve } from '../../scripts/serve.mjs';
import { studio, singleFile, sha256, toolWav, fingerprint, click, typeInto, session } from './page-steps.mjs';

/** Where no worker can start. */
const noWorker = () => {
  window.Worker = class {
    constructor() {
      throw new Error('workers are switched off');
    }
  };
};

const s = session();
let site;
before(async () => (site = await serve(join(studio, 'dist'))));
after(() => site?.server.close());

test('both builds run under a policy with no inline, data: or blob: script, and the core allowed as wasm only', async () => {
  for (const url of [singleFile, site.url]) {
    const { page, problems } = await openPage(s.browser.context, url);
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

test('from disk and over http the core runs in a worker, or where none starts in the page: the tool\u2019s sound', async () => {
  for (const [where, url] of [
    ['single file', singleFile],
    ['over http', site.url],
  ]) {
    for (const [init, engine, family, preset] of [
      [undefined, 'worker', 5, 'jump'],
      [noWorker, 'page', 0, 'coin'],
    ]) {
      const name = `${where}, ${engine}`;
      const { page, problems } = await openPage(s.browser.context, `${url}#seed=1&csv=`, { init });
      await typeInto(page, '#seed', '31337');
      await click(page, `[data-family="${family}"]`);
      assert.equal(await page.$eval('html', (e) => e.dataset.engine), engine, name);
      assert.equal(await fingerprint(page), sha256(toolWav('--preset', preset, '--seed', '31337')), name);
      assert.deepEqual(problems, [], name);
      await page.close();
    }
  }
});

test('when the core cannot start, the page says so and offers no controls that do nothing', async () => {
  const blocks = [
    {
      name: 'the wasm file refused by the network',
      url: site.url,
      block: (page) => page.route('**/*.wasm', (r) => r.abort()),
    },
    {
      name: 'WebAssembly refused in the single file',
      url: singleFile,
      block: (page) =>
        page.addInitScript(() => {
          WebAssembly.compile = () => Promise.reject(new Error('WebAssembly is switched off'));
        }),
    },
  ];
  for (const b of blocks) {
    const page = await s.browser.context.newPage();
    await b.block(page);
    await page.goto(b.url);
    await page.waitForSelector('html[data-engine="failed"]');
    const alert = await page.textContent('[role="alert"]');
    assert.match(alert, /sound engine could not start/, b.name);
    assert.match(alert, /cannot make, play or download sounds/, b.name);
    assert.equal(await page.$$eval('button, input, select, textarea', (all) => all.length), 0, b.name);
    await page.close();
  }
});

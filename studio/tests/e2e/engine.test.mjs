// How the Studio starts its core as people open it, in a browser with default
// flags: from disk and from a server, under its policy, with and without a
// worker, and what the page says when the core cannot start at all; and what
// the server answers to hostile requests.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { connect } from 'node:net';
import { mkdtempSync, rmSync, symlinkSync, writeFileSync, mkdirSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { openPage } from './browser.mjs';
import { MAX_PATH, serve } from '../../scripts/serve.mjs';
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

/** One request as bytes on a socket, `target` sent as it is: the status, the headers and the body of the answer. */
function rawRequest(port, target, { method = 'GET', host = `127.0.0.1:${port}` } = {}) {
  return new Promise((resolve, reject) => {
    const socket = connect(port, '127.0.0.1');
    const chunks = [];
    socket.setTimeout(5000, () => socket.destroy(new Error(`no answer to ${method} ${target.slice(0, 40)}`)));
    socket.on('data', (c) => chunks.push(c));
    socket.on('error', reject);
    socket.on('close', () => {
      const text = Buffer.concat(chunks).toString('latin1');
      const [head, ...body] = text.split('\r\n\r\n');
      const [statusLine, ...lines] = head.split('\r\n');
      const headers = Object.fromEntries(
        lines.map((l) => [l.slice(0, l.indexOf(':')).toLowerCase(), l.slice(l.indexOf(':') + 1).trim()]),
      );
      resolve({ status: Number(statusLine.split(' ')[1]), headers, body: body.join('\r\n\r\n') });
    });
    socket.write(`${method} ${target} HTTP/1.1\r\nHost: ${host}\r\nConnection: close\r\n\r\n`);
  });
}

test('the server answers any request path without stopping, never from outside its folder, with its policy and headers', async () => {
  // A folder of its own, beside a secret: a link in the folder leads to it.
  const top = mkdtempSync(join(tmpdir(), 'quavix-studio-serve-'));
  const folder = join(top, 'site');
  mkdirSync(join(folder, 'assets'), { recursive: true });
  writeFileSync(join(top, 'secret.txt'), 'SECRET');
  writeFileSync(join(folder, 'assets', 'a.js'), 'export {};');
  const policy = "default-src 'self'; script-src 'self'";
  writeFileSync(
    join(folder, 'index.html'),
    `<!doctype html><meta http-equiv="Content-Security-Policy" content="${policy}" /><title>t</title>`,
  );
  symlinkSync(join(top, 'secret.txt'), join(folder, 'link.txt'));
  const local = await serve(folder);
  const port = local.server.address().port;
  const cases = [
    { target: '/%', status: 400 },
    { target: '/%zz', status: 400 },
    { target: '/index.html%', status: 400 },
    { target: '/%E0%A4', status: 400 }, // a % escape of bytes that are not UTF-8
    { target: '/%C0%AF', status: 400 },
    { target: '/index.html%00', status: 400 },
    { target: '/%00/../secret.txt', status: 400 },
    { target: '/../secret.txt', status: 404 },
    { target: '/assets/../../secret.txt', status: 404 },
    { target: '/..%2Fsecret.txt', status: 404 },
    { target: '/%2e%2e/secret.txt', status: 404 },
    { target: '/%2E%2E%2F%2E%2E%2Fetc%2Fpasswd', status: 404 },
    { target: '/link.txt', status: 404 }, // the link leads out of the folder
    { target: '/assets', status: 404 }, // a folder is no file
    { target: '/nothing-here.html', status: 404 },
    { target: `/${'a'.repeat(MAX_PATH - 1)}`, status: 404 }, // as long as a path may be
    { target: `/${'a'.repeat(MAX_PATH)}`, status: 400 },
    { target: `/${'%'.repeat(8000)}`, status: 400 },
    { target: `/${'a'.repeat(20000)}`, status: 431 }, // beyond Node's own limit for a request's head: its answer
    { target: 'http://example.com/index.html', status: 400 }, // only a path is served
    { target: '*', status: 400 },
    { target: '/index.html', method: 'POST', status: 405 },
    { target: '/index.html', host: 'example.com', status: 421 }, // another name pointed at this machine
    { target: '/', status: 200 },
    { target: '/index.html?x=%', status: 200 },
    { target: '/assets/a.js', status: 200 },
  ];
  try {
    for (const c of cases) {
      const name = `${c.method ?? 'GET'} ${c.target.slice(0, 40)}${c.host ? ` to ${c.host}` : ''}`;
      const got = await rawRequest(port, c.target, c);
      assert.equal(got.status, c.status, name);
      assert.doesNotMatch(got.body, /SECRET/, name);
      if (c.status === 431) continue; // Node's answer, before the server's code
      assert.equal(got.headers['x-content-type-options'], 'nosniff', name);
      assert.equal(got.headers['referrer-policy'], 'no-referrer', name);
      const page = c.status === 200 && c.target !== '/assets/a.js';
      assert.equal(
        got.headers['content-security-policy'],
        page
          ? `${policy}; frame-ancestors 'none'`
          : "default-src 'none'; frame-ancestors 'none'; base-uri 'none'; form-action 'none'",
        name,
      );
      if (page) assert.match(got.body, /<title>t<\/title>/, name);
    }
  } finally {
    local.server.close();
    rmSync(top, { recursive: true, force: true });
  }
  // The Studio's own page: its policy, with frame-ancestors, that the browser tests here run under.
  const page = await fetch(site.url);
  assert.equal(page.status, 200);
  const header = page.headers.get('content-security-policy');
  const meta = (await page.text()).match(/http-equiv="Content-Security-Policy"\s+content="([^"]*)"/)[1];
  assert.equal(header, `${meta}; frame-ancestors 'none'`);
});

test('the static folder\u2019s page opened from disk says to open the single file, and that link opens the Studio', async () => {
  const page = await s.browser.context.newPage();
  await page.goto(pathToFileURL(join(studio, 'dist/index.html')).href);
  await page.waitForSelector('html[data-engine="from-disk"]');
  const alert = await page.textContent('[role="alert"]');
  assert.match(alert, /does not work opened from disk/);
  assert.match(alert, /Open quavix-studio\.html instead/);
  assert.doesNotMatch(await page.textContent('body'), /Loading/);
  await page.click('a[href="./quavix-studio.html"]');
  await page.waitForSelector('html[data-ready="true"]');
  assert.equal(page.url().replace(/#.*/, ''), singleFile);
  await page.close();
});

// What the browser tests share: Chromium through playwright-core (from the
// test tools' folder, test/consumers) with its default flags, and a static
// file server for a folder on 127.0.0.1.
import { createReadStream, existsSync, statSync } from 'node:fs';
import { createServer } from 'node:http';
import { createRequire } from 'node:module';
import { extname, join, normalize } from 'node:path';
import test from 'node:test';

export const CONSUMERS = new URL('../test/consumers/', import.meta.url).pathname;
export const CHROMIUM = process.env.QUAVIX_CHROMIUM ?? '/usr/bin/chromium';

for (const [what, where] of [['the test tools (npm ci in js/test/consumers)', join(CONSUMERS, 'node_modules')],
  ['Chromium', CHROMIUM]]) {
  if (!existsSync(where)) throw new Error(`${what} missing: ${where}`);
}

export const consumerRequire = createRequire(join(CONSUMERS, 'package.json'));
export const bin = (name) => join(CONSUMERS, 'node_modules', '.bin', name);

export async function launch() {
  const { chromium } = consumerRequire('playwright-core');
  return chromium.launch({ executablePath: CHROMIUM });
}

const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript', '.cjs': 'text/javascript',
  '.wasm': 'application/wasm', '.json': 'application/json', '.css': 'text/css' };

/** Chromium and, given root, a server of it for one test file, both closed after its tests. */
export async function session(root) {
  const browser = await launch();
  const server = root === undefined ? null : await serve(root);
  test.after(async () => {
    await browser.close();
    await server?.close();
  });
  return { browser, server };
}

/** Serves root (symbolic links followed) until close(); resolves to { url, close }. */
export function serve(root) {
  const server = createServer((request, response) => {
    const path = normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname));
    if (path === '/favicon.ico') { // what every page asks for; none of the tests' business
      response.writeHead(204).end();
      return;
    }
    if (path === '/blank.html') { // a page of the server's origin for tests that import modules into it
      response.writeHead(200, { 'content-type': 'text/html' }).end('<!doctype html><title>blank</title>');
      return;
    }
    let file = join(root, path);
    if (existsSync(file) && statSync(file).isDirectory()) file = join(file, 'index.html');
    if (!file.startsWith(root) || !existsSync(file)) {
      response.writeHead(404).end('not found');
      return;
    }
    response.writeHead(200, { 'content-type': TYPES[extname(file)] ?? 'application/octet-stream' });
    createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve({
    url: `http://127.0.0.1:${server.address().port}/`,
    close: () => new Promise((done) => server.close(done)),
  })));
}

/** Opens url in a new page, collecting the page's uncaught errors and console errors in errors, its console notes in notes. */
export async function open(browser, url) {
  const page = await browser.newPage();
  const errors = [];
  const notes = [];
  page.on('pageerror', (error) => errors.push(error.message));
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(`${message.text()} ${message.location().url ?? ''}`.trim());
    if (message.type() === 'info') notes.push(message.text());
  });
  await page.goto(url);
  return { page, errors, notes };
}

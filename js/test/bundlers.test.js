// The README's bundler recipes, built for the browser by Vite, webpack and
// esbuild from test/consumers/apps (with the versions of the committed
// lockfile): no warning, no import of a Node module in the bundle, and in Chromium the
// bundle renders the coin the native tool renders, with render() and with
// renderInWorker(): in the package's Worker where the bundler bundles it (Vite,
// webpack), on the main thread with one note where it does not (esbuild).
import assert from 'node:assert/strict';
import { cpSync, readFileSync, readdirSync } from 'node:fs';
import { join } from 'node:path';
import test from 'node:test';
import { CONSUMERS, consumerRequire, open, serve, session } from '../testing/browser.js';
import { nativeRender, scratchDir } from '../testing/native.js';

const apps = join(CONSUMERS, 'apps');
const readme = readFileSync(new URL('../README.md', import.meta.url), 'utf8');

// Whether the bundler bundles `new Worker(new URL('./worker.js', import.meta.url), ...)`.
const bundlesWorkers = { webpack: true, vite: true, esbuild: false };

const builders = {
  async webpack(app, out) {
    const webpack = consumerRequire('webpack');
    const stats = await new Promise((resolve, reject) => webpack({
      mode: 'production', context: app, entry: './main.js', target: 'web',
      output: { path: out, filename: 'main.js' },
    }, (error, result) => (error ? reject(error) : resolve(result))));
    const { warnings, errors } = stats.toJson({ all: false, warnings: true, errors: true });
    return [...warnings, ...errors].map((w) => w.message);
  },
  async vite(app, out) {
    const { build, createLogger } = await import(consumerRequire.resolve('vite'));
    const said = [];
    const logger = createLogger('warn', { allowClearScreen: false });
    logger.warn = (message) => said.push(message);
    logger.warnOnce = (message) => said.push(message);
    logger.error = (message) => said.push(message);
    await build({ root: app, configFile: false, customLogger: logger, cacheDir: join(out, '..', 'vite-cache'),
      build: { outDir: out, emptyOutDir: true, target: 'es2022' } });
    return said;
  },
  async esbuild(app, out) {
    const esbuild = consumerRequire('esbuild');
    const result = await esbuild.build({ entryPoints: [join(app, 'main.js')], bundle: true, format: 'esm', platform: 'browser',
      target: 'es2022', outdir: out, loader: { '.wasm': 'file' }, logLevel: 'silent' });
    return [...result.warnings, ...result.errors].map((w) => w.text);
  },
};

const { browser } = await session();
const want = nativeRender(['--preset', 'coin', '--seed', '1']).wav;

for (const [name, buildWith] of Object.entries(builders)) {
  test(`${name} builds the recipe without a warning, and the bundle renders as the native tool`, async () => {
    const app = join(apps, name);
    // the README gives the recipe's loading lines as the app has them
    for (const line of readFileSync(join(app, 'main.js'), 'utf8').split('\n')) {
      if (/wasmUrl|init\(/.test(line) && !line.startsWith('//')) assert.ok(readme.includes(line.trim()), `${name}: the README has ${line}`);
    }
    const out = join(scratchDir(), 'dist');
    const warnings = await buildWith(app, out);
    assert.deepEqual(warnings, [], name);
    const files = readdirSync(out, { recursive: true }).map(String);
    assert.ok(files.some((f) => f.endsWith('.wasm')), `${name} emits the module: ${files}`);
    for (const f of files.filter((f) => f.endsWith('.js'))) {
      assert.doesNotMatch(readFileSync(join(out, f), 'utf8'), /(from|import\(|require\()\s*["'`]node:/, `${name}: ${f}`);
    }
    if (name !== 'vite') cpSync(join(app, 'index.html'), join(out, 'index.html'));
    const site = await serve(out);
    try {
      const { page, errors, notes } = await open(browser, `${site.url}index.html`);
      await page.waitForFunction(() => window.worker !== undefined, null, { timeout: 20000 }).catch(() => {});
      assert.deepEqual(errors, [], name);
      assert.ok(Buffer.from(await page.evaluate(() => window.result ?? [])).equals(want), `${name}: the coin`);
      assert.ok(Buffer.from(await page.evaluate(() => window.worker ?? [])).equals(want), `${name}: the coin of renderInWorker`);
      const mainThread = notes.filter((n) => n.includes('renderInWorker renders on the main thread'));
      assert.equal(mainThread.length, bundlesWorkers[name] ? 0 : 1, `${name}: ${notes}`);
    } finally {
      await site.close();
    }
  });
}

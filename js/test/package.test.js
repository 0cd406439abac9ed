// What the package ships: the files npm packs, the licence, the changelog of
// this version, and the sizes its README states.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import test from 'node:test';
import { gzipSync } from 'node:zlib';

const js = new URL('..', import.meta.url);
const read = (name) => readFileSync(new URL(name, js));
const pkg = JSON.parse(read('package.json'));

test('npm packs exactly the package\'s files', () => {
  const [{ files }] = JSON.parse(execFileSync('npm', ['pack', '--dry-run', '--json', '--offline', '--silent'],
    { cwd: js, encoding: 'utf8' }));
  assert.deepEqual(files.map((f) => f.path).sort(), [
    'CHANGELOG.md', 'LICENSE', 'README.md', 'audio.d.ts', 'audio.js', 'examples/jumper.html', 'global.d.ts', 'index.d.ts', 'index.js',
    'node.cjs', 'node.js', 'package.json', 'play.d.ts', 'play.js', 'quavix-layers.wasm', 'quavix.global.js', 'quavix.wasm', 'worker.js',
  ]);
  // every file an entry point names is packed
  const named = JSON.stringify(pkg.exports).match(/\.\/[\w./-]+\.\w+/g).map((f) => f.slice(2));
  for (const file of new Set([...named, pkg.main.slice(2)])) assert.ok(files.some((f) => f.path === file), file);
});

test('the package carries the project\'s MIT licence and a changelog entry for its version', () => {
  assert.equal(pkg.license, 'MIT');
  assert.ok(read('LICENSE').equals(read('../LICENSE')), 'js/LICENSE is the repository\'s LICENSE');
  assert.match(read('LICENSE').toString(), /^MIT License\n\nCopyright \(c\) 2026 the Quavix developers\n/);
  const changelog = read('CHANGELOG.md').toString();
  const versions = [...changelog.matchAll(/^## (\d+\.\d+\.\d+)$/gm)].map((m) => m[1]);
  assert.equal(versions[0], pkg.version, 'the newest entry is this version');
  assert.match(changelog, /semantic versioning/);
});

test('the README states the modules\' sizes and gzipped sizes as they are', () => {
  const group = (n) => n.toLocaleString('en-US'); // 55198 -> 55,198
  const readme = read('README.md').toString();
  for (const name of ['quavix.wasm', 'quavix-layers.wasm']) {
    const wasm = read(name);
    const stated = readme.match(new RegExp(`\`${name.replace('.', '\\.')}\`, ([\\d,]+) bytes, ([\\d,]+) gzipped`));
    assert.ok(stated, `the README states the sizes of ${name}`);
    assert.deepEqual([stated[1], stated[2]], [group(wasm.length), group(gzipSync(wasm, { level: 9 }).length)], name);
  }
});

test('node.cjs, the entry point of require() on older Node versions, has every export of the ES module', async () => {
  const esm = await import('../node.js');
  const { createRequire } = await import('node:module');
  const cjs = createRequire(import.meta.url)('../node.cjs');
  assert.deepEqual(Object.keys(cjs).sort(), Object.keys(esm).sort());
  assert.throws(() => cjs.SAMPLE_RATE, { message: 'quavix: call await init() first' });
  await cjs.init();
  assert.equal(cjs.Params, esm.Params, 'one instance of the module for both');
  assert.ok(cjs.defaults() instanceof esm.Params);
});

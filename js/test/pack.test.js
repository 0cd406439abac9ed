// The packed tarball installs into an empty project without the network and
// renders the seed-1 coin as the native tool does.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import test from 'node:test';
import { nativeRender, scratchDir } from '../testing/native.js';

const npm = (args, cwd) => execFileSync('npm', [...args, '--offline', '--no-audit', '--no-fund', '--silent'],
  { cwd, encoding: 'utf8' }).trim();

test('the packed package installs offline and renders the seed-1 coin', () => {
  const packDir = scratchDir();
  const [{ filename, files }] = JSON.parse(npm(['pack', '--json', '--pack-destination', packDir],
    new URL('..', import.meta.url).pathname));
  assert.deepEqual(files.map((f) => f.path).sort(),
    ['README.md', 'index.d.ts', 'index.js', 'package.json', 'play.d.ts', 'play.js', 'quavix.wasm']);

  const project = scratchDir();
  writeFileSync(join(project, 'package.json'), '{ "name": "consumer", "private": true, "type": "module" }');
  npm(['install', join(packDir, filename)], project);
  writeFileSync(join(project, 'coin.js'), `import * as quavix from 'quavix';
    await quavix.init();
    const rng = quavix.random(1);
    process.stdout.write(quavix.render(quavix.preset('coin', rng), rng).wav);`);
  const wav = execFileSync('node', ['coin.js'], { cwd: project });
  assert.ok(wav.equals(nativeRender(['--preset', 'coin', '--seed', '1']).wav));
  assert.equal(JSON.parse(readFileSync(join(project, 'node_modules/quavix/package.json'))).dependencies, undefined);
});

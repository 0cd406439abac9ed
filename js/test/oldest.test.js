// The oldest Node the package supports (QUAVIX_OLDEST_NODE, Node 18) loads it
// as an ES module and through require(), and renders what the native tool does.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync, symlinkSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import test from 'node:test';
import { nativeRender, scratchDir } from '../testing/native.js';

const oldest = process.env.QUAVIX_OLDEST_NODE;
const supported = JSON.parse(execFileSync(process.execPath, ['-p', 'JSON.stringify(require("./package.json").engines)'],
  { cwd: new URL('..', import.meta.url), encoding: 'utf8' })).node;

test('the oldest supported Node runs the package both ways', { skip: oldest === undefined && 'QUAVIX_OLDEST_NODE unset' }, () => {
  const major = execFileSync(oldest, ['-p', 'process.versions.node.split(".")[0]'], { encoding: 'utf8' }).trim();
  assert.equal(`>=${major}`, supported, 'the package claims this Node as its oldest');
  const project = scratchDir();
  mkdirSync(join(project, 'node_modules'));
  symlinkSync(new URL('..', import.meta.url).pathname, join(project, 'node_modules', 'quavix'));
  const coin = `const rng = quavix.random(42);
    process.stdout.write(quavix.render(quavix.preset('coin', rng).set('SustainTime', 0.25), rng).wav);`;
  writeFileSync(join(project, 'esm.mjs'), `import * as quavix from 'quavix';\nawait quavix.init();\n${coin}`);
  writeFileSync(join(project, 'cjs.cjs'), `const quavix = require('quavix');\nquavix.init().then(() => {\n${coin}\n});`);
  const want = nativeRender(['--preset', 'coin', '--seed', '42', '--set', 'SustainTime=0.25']).wav;
  for (const file of ['esm.mjs', 'cjs.cjs']) {
    assert.ok(execFileSync(oldest, [file], { cwd: project }).equals(want), file);
  }
});

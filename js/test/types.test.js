// The declarations type-check as programs use them, with the DOM library and
// without it (ES2022 and @types/node, library files checked too), and refuse
// the mistakes test/types marks with expect-error directives.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { existsSync, readFileSync, symlinkSync } from 'node:fs';
import { join } from 'node:path';
import test from 'node:test';
import { CONSUMERS, bin } from '../testing/browser.js';

const dir = new URL('types/', import.meta.url).pathname;
// the folder resolves 'quavix' and the compiler's libraries through the test tools' node_modules
if (!existsSync(join(dir, 'node_modules'))) symlinkSync(join(CONSUMERS, 'node_modules'), join(dir, 'node_modules'));

const configs = [
  { name: 'ES2022 with @types/node, no DOM', file: 'tsconfig.node.json', lib: ['es2022'] },
  { name: 'ES2022 with the DOM, bundler resolution', file: 'tsconfig.dom.json', lib: ['es2022', 'dom'] },
];

test('the declarations check, and every marked mistake is an error', () => {
  const marked = readFileSync(join(dir, 'usage.ts'), 'utf8').match(/@ts-expect-error/g).length;
  assert.ok(marked >= 10, `${marked} marked mistakes`);
  for (const c of configs) {
    const config = JSON.parse(readFileSync(join(dir, c.file), 'utf8')).compilerOptions;
    assert.deepEqual(config.lib, c.lib, c.name);
    assert.equal(config.skipLibCheck, false, c.name);
    const run = spawnSync(bin('tsc'), ['-p', c.file], { cwd: dir, encoding: 'utf8' });
    assert.equal(run.status, 0, `${c.name}:\n${run.stdout}${run.stderr}`);
  }
});

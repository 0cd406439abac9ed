// The declarations type-check as programs use them, with the DOM library and
// without it (ES2022 and @types/node, library files checked too), and refuse
// the mistakes test/types marks with expect-error directives; a misspelt name's
// error lists the names there are.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { existsSync, readFileSync, rmSync, symlinkSync, writeFileSync } from 'node:fs';
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

// The errors a program sees: each names what would be right.
const mistakes = [
  { code: "quavix.preset('coins', rng);", says: /"coin" \| "laser" \| "explosion" \| "powerup" \| "hurt" \| "jump" \| "blip"/ },
  { code: "quavix.defaults().set('SustainTme', 1);", says: /"Volume" \| "WaveType" \| "AttackTime" \| "SustainTime"/ },
  { code: "quavix.defaults().stored('volume ');", says: /"Volume" \| "WaveType"/ },
];

test('a misspelt family or parameter name\'s error lists the names', () => {
  const file = join(dir, 'mistakes.ts');
  const lines = mistakes.map((m) => m.code);
  writeFileSync(file, `import * as quavix from 'quavix';\nconst rng = quavix.random(1);\n${lines.join('\n')}\nexport {};\n`);
  try {
    const run = spawnSync(bin('tsc'), ['--noEmit', '--strict', '--target', 'es2022', '--module', 'nodenext', '--types', 'node', file],
      { cwd: dir, encoding: 'utf8' });
    const errors = run.stdout.split(/\n(?=mistakes\.ts\()/);
    for (const [i, m] of mistakes.entries()) {
      const error = errors.find((e) => e.startsWith(`mistakes.ts(${i + 3},`));
      assert.ok(error, `line ${i + 3}, ${m.code}, is an error:\n${run.stdout}`);
      assert.match(error, m.says, m.code);
    }
  } finally {
    rmSync(file);
  }
});

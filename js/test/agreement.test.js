// The cross-binding cases (tests/bindings/agreement_cases.json): the package,
// run by test/agree.mjs, answers each as the native quavix tool does.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import test from 'node:test';
import { NATIVE_CLI } from '../testing/native.js';

test('every case of the cross-binding table agrees with the quavix tool', () => {
  const run = spawnSync('python3', ['../tests/bindings/agreement.py', NATIVE_CLI, process.execPath, 'test/agree.mjs', '{cases}'],
    { cwd: new URL('..', import.meta.url), encoding: 'utf8' });
  assert.equal(run.status, 0, `${run.stdout}${run.stderr}`);
  assert.match(run.stdout, /^(\d+) of \1 cases agree with the tool$/m);
});

// A failed load names the path or URL it tried, and may be tried again.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { createServer } from 'node:http';
import test from 'node:test';
import * as quavix from '../node.js';

test('a failed load names the path or URL it tried', async () => {
  const server = createServer((request, response) => response.writeHead(404).end());
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const http = `http://127.0.0.1:${server.address().port}/assets/quavix.wasm`;
  const cases = [
    { name: 'a path', source: '/nowhere/quavix.wasm', names: "cannot read the module from /nowhere/quavix.wasm" },
    { name: 'a relative path', source: 'nowhere/quavix.wasm', names: 'cannot read the module from nowhere/quavix.wasm' },
    { name: 'a file URL', source: new URL('file:///nowhere/q.wasm'), names: 'cannot read the module from /nowhere/q.wasm' },
    { name: 'an HTTP URL', source: http, names: `cannot load the module from ${http}: HTTP 404` },
    { name: 'a Response', source: fetch(http), names: `cannot load the module from ${http}: HTTP 404` },
    { name: 'no server', source: 'http://127.0.0.1:1/quavix.wasm', names: 'cannot load the module from http://127.0.0.1:1/quavix.wasm' },
  ];
  try {
    for (const c of cases) {
      await assert.rejects(quavix.init(c.source), (e) => e.message.includes(c.names), c.name);
    }
  } finally {
    server.close();
  }
  await quavix.init(); // then the package's own file loads
  assert.equal(quavix.defaults().get('SustainTime') > 0, true);
});

test('the browser entry point, run by Node 20.16 or later (as test runners do), reads its own module from disk', () => {
  const script = "import * as q from './index.js'; await q.init(); process.stdout.write(q.toSettingsString(q.defaults()));";
  const run = spawnSync(process.execPath, ['--input-type=module', '-e', script], { cwd: new URL('..', import.meta.url), encoding: 'utf8' });
  assert.equal(run.stderr, '');
  assert.equal(run.stdout, '1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,');
});

// The example game works opened from disk and from a local server: its sounds
// are made at load time (the native tool's coin, sample for sample), the
// square jumps, and a coin on the ground is collected.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import test from 'node:test';
import { open, session } from '../testing/browser.js';
import { nativeRender } from '../testing/native.js';

const js = new URL('..', import.meta.url).pathname;
execFileSync(process.execPath, ['tools/build-global.mjs'], { cwd: js });
const coin = nativeRender(['--preset', 'coin', '--seed', '42']).wav;
const want = Array.from({ length: (coin.length - 44) / 2 }, (_, i) => coin.readInt16LE(44 + 2 * i) / 32768);

const { browser, server } = await session(js);

for (const [way, url] of [['from disk', `file://${js}examples/jumper.html`], ['from a local server', `${server.url}examples/jumper.html`]]) {
  test(`the game works ${way}`, async () => {
    const { page, errors } = await open(browser, url);
    await page.waitForFunction(() => window.game?.ready === true, null, { timeout: 20000 });
    const samples = await page.evaluate(() => Array.from(window.game.sounds.coin.buffer.getChannelData(0)));
    assert.deepEqual(samples, want, 'the coin sound');
    await page.keyboard.press('Space');
    assert.equal(await page.evaluate(() => window.game.jumps), 1);
    // every third coin comes along the ground, into the square's way
    await page.waitForFunction(() => window.game.score >= 1, null, { timeout: 30000 });
    assert.match(await page.textContent('#status'), /^Score: [1-9]/);
    assert.deepEqual(errors, []);
    await page.close();
  });
}

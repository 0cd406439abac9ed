// Benchmark (not a test): in headless Chromium, from the single HTML file, the
// time from pressing Make variations to the whole grid shown, for 8 and 32
// candidates of a short sound (Coin) and of a long one (Explosion).
// Run after `npm run build`: node bench/variations.mjs
import { pathToFileURL, fileURLToPath } from 'node:url';
import { join } from 'node:path';
import { openBrowser, openPage } from '../tests/e2e/browser.mjs';

const studio = fileURLToPath(new URL('..', import.meta.url));
const settle = (page) => page.waitForFunction(() => document.documentElement.dataset.busy === 'false');
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

const browser = await openBrowser();
try {
  const { page } = await openPage(browser.context, pathToFileURL(join(studio, 'dist/quavix-studio.html')).href);
  await page.fill('#seed', '1');
  await page.press('#seed', 'Tab');
  for (const [family, label] of [
    [0, 'Coin'],
    [2, 'Explosion'],
  ]) {
    await page.click(`[data-family="${family}"]`);
    await settle(page);
    const length = await page.$eval('#length', (e) => e.textContent);
    for (const count of [8, 32]) {
      await page.selectOption('#variation-count', String(count));
      const times = [];
      for (let run = 0; run < 5; run++) {
        times.push(
          await page.evaluate(
            (n) =>
              new Promise((resolve) => {
                const start = performance.now();
                document.getElementById('make-variations').click();
                const check = () => {
                  const all = [...document.querySelectorAll('#variations .variation')];
                  if (all.length === n && all.every((e) => e.dataset.state !== 'waiting'))
                    resolve(performance.now() - start);
                  else requestAnimationFrame(check);
                };
                check();
              }),
            count,
          ),
        );
      }
      console.log(`${label} (${length}), ${count} variations: median ${median(times).toFixed(0)} ms over 5 grids`);
    }
  }
} finally {
  await browser.close();
}

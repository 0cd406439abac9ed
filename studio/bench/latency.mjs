// Benchmark (not a test): in headless Chromium, from the single HTML file,
// 1. the median time from a parameter change to the start of playback for a 1-second sound;
// 2. the longest main-thread task while a 60-second sound renders (and plays).
// Run after `npm run build`: node bench/latency.mjs
import { pathToFileURL, fileURLToPath } from 'node:url';
import { join } from 'node:path';
import { openBrowser, openPage } from '../tests/e2e/browser.mjs';

const studio = fileURLToPath(new URL('..', import.meta.url));
const settle = (page) => page.waitForFunction(() => document.documentElement.dataset.busy === 'false');
async function set(page, selector, value) {
  await page.fill(selector, value);
  await page.press(selector, 'Tab');
  await settle(page);
}
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

const browser = await openBrowser();
try {
  const { page } = await openPage(browser.context, pathToFileURL(join(studio, 'dist/quavix-studio.html')).href);
  await set(page, '#seed', '1');
  await page.click('[data-family="0"]');
  await settle(page);
  for (const [name, value] of [
    ['AttackTime', '0'],
    ['SustainTime', '0.5'],
    ['DecayTime', '0.5'],
    ['SustainPunch', '0'],
  ]) {
    await set(page, `#p-${name}-value`, value);
  }
  const seconds = await page.$eval('#length', (e) => e.textContent);

  // A slider moved as a person drags it: the input event, then the time until the sound starts.
  const times = [];
  for (let i = 0; i < 41; i++) {
    times.push(
      await page.evaluate(
        (value) =>
          new Promise((resolve) => {
            const slider = document.getElementById('p-Slide');
            document.addEventListener('studio-playing', () => resolve(performance.now() - t0), { once: true });
            const t0 = performance.now();
            slider.value = String(value);
            slider.dispatchEvent(new Event('input', { bubbles: true }));
          }),
        (i % 2 ? 0.1 : -0.1) + i * 0.001,
      ),
    );
    await settle(page);
  }
  console.log(
    `change to playback, 1-s sound (${seconds}): median ${median(times).toFixed(1)} ms over ${times.length} changes (min ${Math.min(...times).toFixed(1)}, max ${Math.max(...times).toFixed(1)})`,
  );

  // A 60-second sound: two 30-s envelope stages in the 60-s buffer. A probe task every 0 ms measures
  // the longest gap in the page's event loop; long-task entries (50 ms and more) are recorded as well.
  await page.selectOption('#buffer', '60');
  await settle(page);
  await set(page, '#p-SustainTime-value', '30');
  const long = await page.evaluate(
    () =>
      new Promise((resolve) => {
        const entries = [];
        new PerformanceObserver((list) => entries.push(...list.getEntries().map((e) => e.duration))).observe({
          type: 'longtask',
        });
        let last = performance.now();
        let worst = 0;
        const channel = new MessageChannel();
        let running = true;
        channel.port1.onmessage = () => {
          const now = performance.now();
          worst = Math.max(worst, now - last);
          last = now;
          if (running) channel.port2.postMessage(0);
        };
        channel.port2.postMessage(0);
        const t0 = performance.now();
        document.addEventListener(
          'studio-playing',
          () =>
            setTimeout(() => {
              running = false;
              resolve({
                worst,
                entries,
                measures: performance
                  .getEntriesByType('measure')
                  .slice(-3)
                  .map((m) => `${m.name} ${m.duration.toFixed(1)} ms`),
                total: performance.now() - t0,
                length: document.getElementById('length').textContent,
              });
            }, 100),
          { once: true },
        );
        const field = document.getElementById('p-DecayTime-value');
        field.value = '30';
        field.dispatchEvent(new Event('change', { bubbles: true }));
      }),
  );
  console.log(
    `60-s sound (${long.length}): longest main-thread task ${long.worst.toFixed(1)} ms; ` +
      `long tasks (>= 50 ms): ${long.entries.length ? long.entries.map((d) => d.toFixed(0)).join(', ') : 'none'}; ` +
      `change to playback ${long.total.toFixed(0)} ms`,
  );
  console.log(long.measures.join('; '));
} finally {
  await browser.close();
}

// Memory over 10,000 renders: in Node (Params and render results, dropped after
// use) and in Chromium (a Sound of quavix/audio made of each render, dropped
// after use), measured after a garbage collection at 1,000 and at 10,000.
// Not a test: it measures.   node --expose-gc js/bench/memory.mjs
import { launch, serve } from '../testing/browser.js';
import * as quavix from '../node.js';

const MB = (bytes) => `${(bytes / 1048576).toFixed(1)} MB`;
const COUNT = 10000;

await quavix.init();
if (typeof gc !== 'function') throw new Error('run with node --expose-gc');
const node = {};
const rng = quavix.random(1);
for (let i = 1; i <= COUNT; i++) {
  const p = quavix.preset(quavix.PRESET_FAMILIES[i % 7], rng);
  quavix.render(p, rng);
  if (i === 1000 || i === COUNT) {
    gc();
    const { rss, heapUsed, arrayBuffers } = process.memoryUsage();
    node[i] = { rss: MB(rss), heapUsed: MB(heapUsed), arrayBuffers: MB(arrayBuffers) };
  }
}
console.log(`Node ${process.version}, ${COUNT} presets rendered:`, node);

const server = await serve(new URL('..', import.meta.url).pathname);
const browser = await launch();
const page = await browser.newPage();
await page.goto(`${server.url}blank.html`);
const cdp = await page.context().newCDPSession(page);
await page.evaluate(async () => {
  window.quavix = await import('/index.js');
  window.audio = await import('/audio.js');
  await window.quavix.init();
  window.context = new OfflineAudioContext(1, 1, window.quavix.SAMPLE_RATE);
  window.rng = quavix.random(1);
  window.made = 0;
  window.some = async (n) => {
    for (let i = 0; i < n; i++) {
      const p = quavix.preset(quavix.PRESET_FAMILIES[i % 7], rng);
      const sound = audio.Sound.fromRender(context, quavix.render(p, rng));
      if (sound.buffer.length === 0) throw new Error('empty');
      made++;
    }
  };
});
const browserUse = {};
for (const upTo of [1000, COUNT]) {
  await page.evaluate((n) => window.some(n - window.made), upTo);
  await cdp.send('HeapProfiler.collectGarbage');
  const { usedSize } = await cdp.send('Runtime.getHeapUsage');
  const metrics = Object.fromEntries((await cdp.send('Performance.getMetrics').catch(() => ({ metrics: [] }))).metrics.map((m) => [m.name, m.value]));
  browserUse[upTo] = { jsHeapUsed: MB(usedSize), ...(metrics.JSHeapTotalSize ? { jsHeapTotal: MB(metrics.JSHeapTotalSize) } : {}) };
}
console.log(`Chromium, ${COUNT} Sounds made of renders:`, browserUse);
await browser.close();
await server.close();

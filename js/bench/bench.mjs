// Samples per second (of CPU time) of quavix.render() in Node for the cases of bench/
// (synth_bench.cpp), beside the native benchmark's numbers when its binary is
// built (build/release/bench/quavix_bench). Not a test: it measures.
//   node js/bench/bench.mjs [--seconds S]   (S: time per case, default 1)
import { execFileSync } from 'node:child_process';
import { existsSync } from 'node:fs';
import * as quavix from '../node.js';

const secondsArg = process.argv.indexOf('--seconds');
const budget = secondsArg > 0 ? Number(process.argv[secondsArg + 1]) : 1;
const nativeBench = process.env.QUAVIX_NATIVE_BENCH ??
  new URL('../../build/release/bench/quavix_bench', import.meta.url).pathname;

await quavix.init();
const long = (p) => p.setStored('SustainTime', 4.9);

// name: [buffer seconds (5 s = 205000 samples, 60 s = 2460000), parameters]
const cases = {
  Default: [5, (p) => p],
  Noise: [5, (p) => p.setStored('WaveType', 3)],
  LowPassResonance: [5, (p) => p.setStored('LPCutoff', 0.5).setStored('LPResonance', 0.5)],
  SineVibrato: [5, (p) => p.setStored('WaveType', 2).setStored('VibDepth', 0.5).setStored('VibSpeed', 0.3)],
  Long_SquareBypass: [60, (p) => long(p)],
  Long_Noise: [60, (p) => long(p).setStored('WaveType', 3)],
  Long_FilterPhaserRepeat: [60, (p) => long(p).setStored('LPCutoff', 0.5).setStored('LPResonance', 0.5)
    .setStored('PhaserOffset', 0.3).setStored('PhaserSweep', 0.1).setStored('RepeatSpeed', 0.5)],
  Long_Sine: [60, (p) => long(p).setStored('WaveType', 2)],
  Long_SineVibrato: [60, (p) => long(p).setStored('WaveType', 2).setStored('VibDepth', 0.5).setStored('VibSpeed', 0.3)],
};

// Mixed_OneByOne: 16 short sounds of every wave type, one after another.
function mixedSounds() {
  const pick = quavix.random(7);
  const f = (range) => pick.fraction(range);
  return Array.from({ length: 16 }, (_, i) => {
    const p = quavix.defaults().setStored('WaveType', i % 4);
    p.setStored('StartFreq', 0.2 + f(0.6)).setStored('Slide', f(0.4) - 0.2);
    p.setStored('LPCutoff', i % 2 === 0 ? 1 : 0.3 + f(0.6)).setStored('LPResonance', f(0.8));
    p.setStored('PhaserOffset', f(0.4)).setStored('SustainTime', 0.2 + f(0.3)).setStored('DecayTime', 0.2 + f(0.3));
    return p;
  });
}

// Samples per second of this process's CPU time, as the native benchmark
// counts its rates, so that other work on the machine does not count.
function measure(renderOnce) {
  renderOnce(); // warm-up
  let samples = 0;
  const start = process.cpuUsage();
  let elapsed = 0;
  do {
    samples += renderOnce();
    const used = process.cpuUsage(start);
    elapsed = (used.user + used.system) / 1e6;
  } while (elapsed < budget);
  return samples / elapsed;
}

const js = {};
for (const [name, [bufferLength, configure]] of Object.entries(cases)) {
  const p = configure(quavix.defaults());
  const rng = quavix.random(1);
  js[name] = measure(() => quavix.render(p, rng, { bufferLength }).sampleCount);
}
const mixed = mixedSounds();
const mixedRng = quavix.random(1);
js.Mixed_OneByOne = measure(() => mixed.reduce((n, p) => n + quavix.render(p, mixedRng).sampleCount, 0));

// Layers_Eight_2s: a layered sound of eight layers of about 2 s, as synth_bench.cpp mixes it.
await quavix.initLayers();
const layers = Array.from({ length: 8 }, (_, i) => ({
  params: quavix.defaults().setStored('WaveType', i % 4).setStored('SustainTime', 0.84)
    .setStored('StartFreq', Math.fround(Math.fround(0.2) + Math.fround(Math.fround(0.05) * i))),
  seed: i + 1, gainDb: -9,
}));
js.Layers_Eight_2s = measure(() => quavix.renderLayers(layers).sampleCount);

const native = {};
if (existsSync(nativeBench)) {
  const report = JSON.parse(execFileSync(nativeBench, ['--benchmark_format=json', `--benchmark_min_time=${budget}`,
    `--benchmark_filter=^BM_(${Object.keys(js).join('|')})$`], { encoding: 'utf8', maxBuffer: 1 << 24 }));
  for (const b of report.benchmarks) native[b.name.replace(/^BM_/, '')] = b.items_per_second;
} else {
  console.log(`(no native benchmark at ${nativeBench}: build the release preset for the ratio)`);
}

const m = (x) => (x / 1e6).toFixed(2).padStart(7);
console.log(`Node ${process.version}, quavix.render() in WebAssembly; native: quavix_bench (M samples/s)`);
console.log('case                       wasm   native  wasm/native');
for (const [name, rate] of Object.entries(js)) {
  const n = native[name];
  console.log(`${name.padEnd(24)} ${m(rate)}  ${n ? m(n) : '      -'}  ${n ? (rate / n).toFixed(2).padStart(8) : ''}`);
}

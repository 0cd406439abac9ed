// quavix/audio: sounds for games. A Sound keeps the AudioBuffer of one render
// and plays it any number of times, with volume, pan, rate and loop, into any
// node; a SoundCache makes each recipe once; renderInWorker renders long
// sounds off the main thread. Needs the Web Audio API (a browser).
import {
  PRESET_FAMILIES, bufferSamples, checkSettingsString, fromSettingsString, preset, random, readSfs, render, renderLayers,
  wasmModule, writeSfs,
} from './index.js';
import { wavToAudioBuffer } from './play.js';

const WHERE = 'quavix/audio';

function checkKeys(options, keys, call) {
  if (options === undefined) return {};
  if (options === null || typeof options !== 'object') throw new TypeError(`${WHERE}: the options of ${call}() are an object`);
  for (const key of Object.keys(options)) {
    if (!keys.includes(key)) throw new TypeError(`${WHERE}: ${call}() has no option ${JSON.stringify(key)} (its options: ${keys.join(', ')})`);
  }
  return options;
}

function finiteIn(name, value, min, max) {
  if (typeof value !== 'number') throw new TypeError(`${WHERE}: ${name} is a number`);
  if (!(value >= min && value <= max)) throw new RangeError(`${WHERE}: ${name} ${value} is outside ${min} to ${max}`);
  return value;
}

function checkContext(context) {
  if (context === null || typeof context !== 'object' || typeof context.createBuffer !== 'function') {
    throw new TypeError(`${WHERE}: expected an AudioContext`);
  }
  return context;
}

/** An AudioBuffer of a render result (or a WAV image) on context. */
export function toAudioBuffer(context, result) {
  return wavToAudioBuffer(checkContext(context), result, WHERE);
}

/** A playing Sound: stop() it, or await ended. */
class Playing {
  #source;
  constructor(source, gain, panner) {
    this.#source = source;
    this.source = source;
    this.gain = gain;
    this.panner = panner;
    this.ended = new Promise((resolve) => source.addEventListener('ended', () => resolve(), { once: true }));
  }

  /** Stops the sound (again: nothing happens). */
  stop() {
    try {
      this.#source.stop();
    } catch {
      // already stopped
    }
  }
}

const PLAY_OPTIONS = ['volume', 'pan', 'rate', 'loop', 'destination'];

/** One rendered sound, kept as an AudioBuffer to play many times. */
export class Sound {
  constructor(context, buffer, result = null) {
    this.context = checkContext(context);
    if (typeof AudioBuffer === 'function' && !(buffer instanceof AudioBuffer)) throw new TypeError(`${WHERE}: expected an AudioBuffer`);
    this.buffer = buffer;
    /** The render it was made from, when there was one. */
    this.result = result;
  }

  /** A Sound of a render result on context. */
  static fromRender(context, result) {
    return new Sound(context, toAudioBuffer(context, result), result);
  }

  get duration() {
    return this.buffer.duration;
  }

  /**
   * Starts the sound: volume 0..10 (1 as rendered), pan -1 (left) .. 1 (right),
   * rate 1/16..16 (1 as rendered; 2 is an octave up and half as long), loop,
   * and the destination node (the context's by default). Returns a handle
   * with stop() and the promise ended.
   */
  play(options) {
    const { volume = 1, pan = 0, rate = 1, loop = false, destination = this.context.destination } =
      checkKeys(options, PLAY_OPTIONS, 'play');
    finiteIn('volume', volume, 0, 10);
    finiteIn('pan', pan, -1, 1);
    finiteIn('rate', rate, 1 / 16, 16);
    if (typeof loop !== 'boolean') throw new TypeError(`${WHERE}: loop is true or false`);
    if (destination === null || typeof destination !== 'object' || destination.context !== this.context) {
      throw new TypeError(`${WHERE}: destination is an AudioNode of the sound's context`);
    }
    if (this.context.state === 'suspended') void this.context.resume();
    const source = this.context.createBufferSource();
    source.buffer = this.buffer;
    source.loop = loop;
    source.playbackRate.value = rate;
    const gain = this.context.createGain();
    gain.gain.value = volume;
    const panner = this.context.createStereoPanner();
    panner.pan.value = pan;
    source.connect(gain).connect(panner).connect(destination);
    source.start();
    return new Playing(source, gain, panner);
  }
}

// ---- Recipes: how a sound is made ----------------------------------------------------------

const RECIPE_KEYS = ['preset', 'seed', 'settings', 'link', 'bufferLength'];

function fromHex(text) {
  if (!/^([0-9a-f]{2})*$/i.test(text)) throw new RangeError(`${WHERE}: the link's sfs field is not hexadecimal bytes`);
  return Uint8Array.from(text.match(/../g) ?? [], (pair) => parseInt(pair, 16));
}

/**
 * The render of a recipe: { preset, seed } (a family as preset() takes it),
 * { settings, seed } (a settings string), or { link } (a Quavix Studio share
 * link or its fragment, '#seed=...&csv=...'); bufferLength (seconds) as
 * render() takes it. The same recipe gives the same bytes.
 */
export function renderRecipe(recipe) {
  const { params, seed, bufferLength } = readRecipe(recipe);
  return render(params, random(seed), { bufferLength });
}

function readRecipe(recipe) {
  const r = checkKeys(recipe, RECIPE_KEYS, 'a recipe');
  const kinds = ['preset', 'settings', 'link'].filter((k) => r[k] !== undefined);
  if (kinds.length !== 1) throw new TypeError(`${WHERE}: a recipe has one of preset, settings or link`);
  let { bufferLength } = r; // undefined: render()'s default
  if (r.link !== undefined) {
    if (r.seed !== undefined) throw new TypeError(`${WHERE}: a link carries its own seed`);
    if (typeof r.link !== 'string') throw new TypeError(`${WHERE}: a link is a string`);
    const at = r.link.indexOf('#');
    const fields = new Map();
    for (const part of r.link.slice(at + 1).split('&')) {
      const eq = part.indexOf('=');
      if (eq > 0) fields.set(part.slice(0, eq), decodeURIComponent(part.slice(eq + 1)));
    }
    if (!fields.has('seed')) throw new TypeError(`${WHERE}: the link has no seed`);
    const seed = random(Number(fields.get('seed'))).seed;
    let params;
    if (fields.has('sfs')) {
      params = readSfs(fromHex(fields.get('sfs')));
    } else {
      const csv = fields.get('csv') ?? '';
      const check = checkSettingsString(csv);
      if (!check.ok) throw new RangeError(`${WHERE}: the link's settings string: ${check.error}`);
      params = fromSettingsString(csv);
    }
    if (fields.has('length') && r.bufferLength === undefined) bufferLength = Number(fields.get('length'));
    return { params, seed, bufferLength, key: `link:${seed}:${bufferSamples(bufferLength)}:${writeSfs(params).join(',')}` };
  }
  if (r.seed === undefined) throw new TypeError(`${WHERE}: a recipe of ${kinds[0]} has a seed`);
  const rng = random(r.seed); // refuses a seed the quavix tool's --seed refuses, in its words
  const { seed } = rng;
  const samples = bufferSamples(bufferLength); // the same for bufferLength 5 and none
  if (r.preset !== undefined) {
    // the design draws from the same source as the synthesis, as the module's actions do
    const params = preset(r.preset, rng);
    const family = typeof r.preset === 'number' ? PRESET_FAMILIES[r.preset] : r.preset.toLowerCase();
    return { params, seed: rng.state, bufferLength, key: `preset:${family}:${seed}:${samples}` };
  }
  if (typeof r.settings !== 'string') throw new TypeError(`${WHERE}: settings is a settings string`);
  const check = checkSettingsString(r.settings);
  if (!check.ok) throw new RangeError(`${WHERE}: the settings string: ${check.error}`);
  const params = fromSettingsString(r.settings);
  return { params, seed, bufferLength, key: `settings:${seed}:${samples}:${writeSfs(params).join(',')}` };
}

/** A Sound of a recipe (see renderRecipe). */
export function soundOf(context, recipe) {
  return Sound.fromRender(context, renderRecipe(recipe));
}

/** A Sound of a preset family and seed: `fromPreset(context, 'coin', 42)`. */
export const fromPreset = (context, family, seed, options) => soundOf(context, { ...options, preset: family, seed });
/** A Sound of a settings string rendered from a seed. */
export const fromSettings = (context, settings, seed, options) => soundOf(context, { ...options, settings, seed });
/** A Sound of a Quavix Studio share link or its fragment. */
export const fromLink = (context, link) => soundOf(context, { link });

// ---- Layered sounds ------------------------------------------------------------------------

/**
 * The mix of a layered sound whose layers are recipes (see renderRecipe), each
 * with its offset (samples), gainDb and muted as quavix.renderLayers() takes
 * them: [{ preset: 'laser', seed: 42 }, { preset: 'explosion', seed: 7, offset: 2205, gainDb: -9.5 }].
 * Needs init() and initLayers().
 */
export function renderLayered(layers) {
  if (!Array.isArray(layers)) throw new TypeError(`${WHERE}: a layered sound is an array of layers`);
  return renderLayers(layers.map((layer, i) => {
    const { offset, gainDb, muted, ...recipe } = layer ?? {};
    let read;
    try {
      read = readRecipe(recipe);
    } catch (error) {
      throw new error.constructor(error.message.replace(/^(quavix[^:]*: )/, `$1layer ${i + 1}: `), { cause: error });
    }
    return { params: read.params, seed: read.seed, bufferLength: read.bufferLength, offset, gainDb, muted };
  }));
}

/** A Sound of a layered sound (see renderLayered). */
export const fromLayers = (context, layers) => Sound.fromRender(context, renderLayered(layers));

/** Sounds by recipe: each recipe renders once per cache. */
export class SoundCache {
  #sounds = new Map();
  constructor(context) {
    this.context = checkContext(context);
  }

  /** The Sound of a recipe, made on first use. */
  get(recipe) {
    const read = readRecipe(recipe);
    let sound = this.#sounds.get(read.key);
    if (sound === undefined) {
      sound = Sound.fromRender(this.context, render(read.params, random(read.seed), { bufferLength: read.bufferLength }));
      this.#sounds.set(read.key, sound);
    }
    return sound;
  }

  get size() {
    return this.#sounds.size;
  }

  clear() {
    this.#sounds.clear();
  }
}

// ---- Rendering in a Worker ------------------------------------------------------------------

let worker = null; // the render Worker once started; false where none can run
let nextId = 1;
const waiting = new Map(); // id -> { job, resolve, reject }

// Renders here what the Worker could not, and says once why the main thread does it.
function renderHere(reason) {
  if (worker !== false) {
    console.info(`${WHERE}: renderInWorker renders on the main thread: ${reason}`);
    worker = false;
  }
  for (const [id, { job, resolve, reject }] of waiting) {
    waiting.delete(id);
    try {
      resolve(render(readSfs(job.sfs), random(job.seed), { bufferLength: job.bufferLength }));
    } catch (error) {
      reject(error);
    }
  }
}

function renderWorker() {
  if (worker !== null) return worker;
  if (typeof Worker !== 'function') {
    renderHere('this platform has no Worker');
    return false;
  }
  try {
    // this form, whole, is what Vite, webpack and other bundlers recognise and bundle as a worker
    worker = new Worker(new URL('./worker.js', import.meta.url), { type: 'module' });
  } catch (error) {
    renderHere(`the worker does not start (${error.message})`);
    return false;
  }
  worker.onmessage = ({ data }) => {
    const job = waiting.get(data.id);
    if (job === undefined) return;
    waiting.delete(data.id);
    if (data.error !== undefined) job.reject(new Error(data.error));
    else job.resolve(data.result);
  };
  worker.onerror = (event) => {
    event.preventDefault?.();
    worker.terminate();
    renderHere(`the worker script did not load${event.message ? ` (${event.message})` : ''}`);
  };
  return worker;
}

/**
 * Renders a recipe (see renderRecipe) in a Worker, keeping the main thread
 * free: resolves to the same result as renderRecipe(recipe). Where no Worker
 * can start (no Worker in the platform, a bundle without the package's
 * worker.js, a page opened from disk), it renders on the main thread instead
 * and says so once on the console. Call init() first.
 */
export function renderInWorker(recipe) {
  const { params, seed, bufferLength } = readRecipe(recipe);
  const module = wasmModule();
  const job = { sfs: writeSfs(params), seed, bufferLength };
  const id = nextId++;
  return new Promise((resolve, reject) => {
    waiting.set(id, { job, resolve, reject });
    const running = renderWorker();
    if (running === false) renderHere();
    else running.postMessage({ id, module, ...job });
  });
}

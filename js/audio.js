// quavix/audio: sounds for games. A Sound keeps the AudioBuffer of one render
// and plays it any number of times, with volume, pan, rate and loop, into any
// node; a SoundCache makes each recipe once; renderInWorker renders long
// sounds off the main thread. Needs the Web Audio API (a browser).
import {
  PRESET_FAMILIES, checkSettingsString, fromSettingsString, preset, random, readSfs, render, wasmModule,
  writeSfs,
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

function checkSeed(seed) {
  if (!Number.isInteger(seed) || seed < 0 || seed > 0xffffffff) {
    throw new RangeError(`${WHERE}: seed ${seed}: a seed is a whole number from 0 to 4294967295`);
  }
  return seed;
}

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
  let bufferLength = r.bufferLength ?? 5;
  if (r.link !== undefined) {
    if (r.seed !== undefined) throw new TypeError(`${WHERE}: a link carries its own seed`);
    if (typeof r.link !== 'string') throw new TypeError(`${WHERE}: a link is a string`);
    const at = r.link.indexOf('#');
    const fields = new Map();
    for (const part of r.link.slice(at + 1).split('&')) {
      const eq = part.indexOf('=');
      if (eq > 0) fields.set(part.slice(0, eq), decodeURIComponent(part.slice(eq + 1)));
    }
    const seed = checkSeed(Number(fields.get('seed') ?? NaN));
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
    return { params, seed, bufferLength, key: `link:${seed}:${bufferLength}:${writeSfs(params).join(',')}` };
  }
  const seed = checkSeed(r.seed ?? NaN);
  if (r.preset !== undefined) {
    // the design draws from the same source as the synthesis, as the module's actions do
    const rng = random(seed);
    const params = preset(r.preset, rng);
    const family = typeof r.preset === 'number' ? PRESET_FAMILIES[r.preset] : r.preset.toLowerCase();
    return { params, seed: rng.state, bufferLength, key: `preset:${family}:${seed}:${bufferLength}` };
  }
  if (typeof r.settings !== 'string') throw new TypeError(`${WHERE}: settings is a settings string`);
  const check = checkSettingsString(r.settings);
  if (!check.ok) throw new RangeError(`${WHERE}: the settings string: ${check.error}`);
  const params = fromSettingsString(r.settings);
  return { params, seed, bufferLength, key: `settings:${seed}:${bufferLength}:${writeSfs(params).join(',')}` };
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

let worker = null;
let nextId = 1;
const waiting = new Map();

function renderWorker() {
  if (worker === null) {
    const url = new URL('./worker.js', import.meta.url);
    worker = new Worker(url, { type: 'module' });
    worker.onmessage = ({ data }) => {
      const job = waiting.get(data.id);
      waiting.delete(data.id);
      if (data.error !== undefined) job.reject(new Error(data.error));
      else job.resolve(data);
    };
    worker.onerror = (event) => {
      const why = event.message ? `: ${event.message}` : ' to start';
      for (const job of waiting.values()) job.reject(new Error(`${WHERE}: the render worker ${url.href} failed${why}`));
      waiting.clear();
      worker = null;
    };
  }
  return worker;
}

/**
 * Renders a recipe (see renderRecipe) in a Worker, keeping the main thread
 * free: resolves to the same result as renderRecipe(recipe). Call init() first.
 */
export function renderInWorker(recipe) {
  const { params, seed, bufferLength } = readRecipe(recipe);
  const module = wasmModule();
  const id = nextId++;
  return new Promise((resolve, reject) => {
    waiting.set(id, { resolve, reject });
    renderWorker().postMessage({ id, module, sfs: writeSfs(params), seed, bufferLength });
  }).then(({ result }) => result);
}

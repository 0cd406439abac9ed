// quavix: the Quavix sound-effect synthesizer in JavaScript. The core runs as
// the WebAssembly module quavix.wasm (the C API of the native library), so a
// sound is byte for byte the one every other Quavix build makes.
//
// `await init()` once; every other call is synchronous. This file is the
// entry point for browsers and bundlers and imports nothing; Node programs get
// node.js (and node.cjs for require), which reads the module from disk.

/** The sample rate of every sound, from the module once init() has finished. */
export let SAMPLE_RATE;
/** The largest magnitude a sample reaches; a sample there is clipped. From the module, as SAMPLE_RATE. */
export let CLIP_LEVEL;
/** The most layers a layered sound has. From the module, as SAMPLE_RATE. */
export let MAX_LAYERS;

export const PARAM_NAMES = Object.freeze([
  'Volume', 'WaveType', 'AttackTime', 'SustainTime', 'SustainPunch', 'DecayTime',
  'StartFreq', 'MinFreq', 'Slide', 'DeltaSlide', 'VibDepth', 'VibSpeed',
  'ChangeAmount', 'ChangeSpeed', 'SquareDuty', 'DutySweep', 'RepeatSpeed', 'PhaserOffset',
  'PhaserSweep', 'LPCutoff', 'LPCutoffSweep', 'LPResonance', 'HPCutoff', 'HPCutoffSweep',
]);

export const PRESET_FAMILIES = Object.freeze(['coin', 'laser', 'explosion', 'powerup', 'hurt', 'jump', 'blip']);

// The sizes and offsets of the C API's records, as the module reports them
// (quavix_wasm_layout), and where a call's records lie in the scratch area,
// from its start; all set when the module loads.
let PARAMS_SIZE = 0;
let PADDING_START = 0; // the bytes between FlagReserved and VibReserved
let PADDING_END = 0;
let SETTINGS_FILE_SIZE = 0;
let WAV_HEADER_SIZE = 0;
let INFO = null; // { size, fields: { name: offset } } of quavix_param_description
const AT_PARAMS = 0;
let AT_RANDOM = 0;
let AT_VALUE = 0;
let AT_DATA = 0;

const OWN = Symbol('quavix'); // the bytes of a Params; the token of an empty Random
const WITH = Symbol('quavix.with'); // runs a call with a record in the scratch area
let wasm = null; // the module's exports once init() has finished
let compiled = null; // the WebAssembly.Module, for workers
const encoder = new TextEncoder();
// The longest text copied into the module: a settings string of 24 of the
// longest numbers "%.4f" writes (3.4e38 has 39 digits) is under 1200 characters.
const LONGEST_TEXT = 65536;
const decoder = new TextDecoder();

function api() {
  if (wasm === null) throw new Error('quavix: call await init() first');
  return wasm;
}

// The scratch area for a call needing `bytes` behind AT_DATA; returns its start.
function scratch(bytes = 0) {
  const base = api().quavix_wasm_scratch(AT_DATA + bytes);
  if (base === 0) throw new RangeError('quavix: the module has no memory left');
  return base;
}

const memory = () => new DataView(wasm.memory.buffer);
const bytesAt = (at, size) => new Uint8Array(wasm.memory.buffer, at, size);

function textAt(pointer, exports = wasm) {
  const all = new Uint8Array(exports.memory.buffer);
  let end = pointer;
  while (all[end] !== 0) end++;
  return decoder.decode(all.subarray(pointer, end));
}

// Writes text with its terminator behind AT_DATA (a fresh scratch area);
// returns the area's start and the text's length in bytes.
function putCounted(text) {
  if (typeof text !== 'string') throw new TypeError('quavix: expected a string');
  if (text.length > LONGEST_TEXT) {
    throw new RangeError(`quavix: a text of ${text.length} characters: the module takes at most ${LONGEST_TEXT}`);
  }
  const encoded = encoder.encode(text);
  const base = scratch(encoded.length + 1);
  bytesAt(base + AT_DATA, encoded.length).set(encoded);
  bytesAt(base + AT_DATA + encoded.length, 1)[0] = 0;
  return [base, encoded.length];
}

const putText = (text) => putCounted(text)[0];

const errorText = (status) => textAt(wasm.quavix_strerror(status));

// A text a person gave, quoted for a message: at most 40 characters, then "...".
const LONGEST_QUOTE = 40;
const quote = (text) => `'${text.length > LONGEST_QUOTE ? `${text.slice(0, LONGEST_QUOTE)}...` : text}'`;

function fail(status) {
  const error = new Error(`quavix: ${errorText(status)}`);
  error.status = status;
  throw error;
}

// ---- Loading -----------------------------------------------------------------

// Where a load came from, for its error messages.
function describe(source) {
  if (typeof source === 'string') {
    try {
      return new URL(source, globalThis.location?.href).href; // a relative reference as the page resolves it
    } catch {
      return source;
    }
  }
  if (source instanceof URL) return source.href;
  if (typeof Response === 'function' && source instanceof Response) return source.url || 'a Response';
  return 'the given source';
}

// A file: URL given as a URL or as a string, else null.
function fileURL(source) {
  try {
    const url = new URL(source);
    return url.protocol === 'file:' ? url : null;
  } catch {
    return null;
  }
}

async function compileFrom(source) {
  if (source !== null && typeof source === 'object' && typeof source.then === 'function') {
    return compileFrom(await source);
  }
  if (source instanceof WebAssembly.Module) return source;
  if (source instanceof ArrayBuffer || ArrayBuffer.isView(source)) return WebAssembly.compile(source);
  if (typeof Response === 'function' && source instanceof Response) {
    if (!source.ok) throw new Error(`quavix: cannot load the module from ${describe(source)}: HTTP ${source.status}`);
    return WebAssembly.compile(await source.arrayBuffer());
  }
  if (typeof source === 'string' || source instanceof URL) {
    const file = fileURL(source);
    const builtin = globalThis.process?.getBuiltinModule; // Node 20.16 and later: no import for bundlers to see
    if (file !== null && typeof builtin === 'function') {
      let bytes;
      try {
        bytes = await builtin('node:fs/promises').readFile(file);
      } catch (error) {
        throw new Error(`quavix: cannot read the module from ${file.href}: ${error.message}`, { cause: error });
      }
      return WebAssembly.compile(bytes);
    }
    let response;
    try {
      response = await fetch(source);
    } catch (error) {
      throw new Error(`quavix: cannot load the module from ${describe(source)}: ${error.message}`, { cause: error });
    }
    if (!response.ok) throw new Error(`quavix: cannot load the module from ${describe(source)}: HTTP ${response.status}`);
    return WebAssembly.compile(await response.arrayBuffer());
  }
  throw new TypeError('quavix: init() takes a URL, a string, bytes, a Response, a WebAssembly.Module or a promise of one');
}

async function load(source) {
  const module = await compileFrom(source ?? new URL('./quavix.wasm', import.meta.url));
  const { exports } = await WebAssembly.instantiate(module, {});
  exports._initialize?.();
  if (exports.quavix_version() >>> 16 !== 1) throw new Error('quavix: the module is of another major version');
  PARAM_NAMES.forEach((name, index) => {
    if (textAt(exports.quavix_param_name(index), exports) !== name) {
      throw new Error(`quavix: the module does not name parameter ${index} ${name}`);
    }
  });
  readLayout(exports);
  compiled = module;
  wasm = exports;
  infos = null;
}

// Asks the module for the size or offset of each name it lays out.
function readLayout(exports) {
  const base = exports.quavix_wasm_scratch(256);
  if (base === 0) throw new RangeError('quavix: the module has no memory left');
  const ask = (name) => {
    const encoded = encoder.encode(name);
    const text = new Uint8Array(exports.memory.buffer, base, encoded.length + 1);
    text.set(encoded);
    text[encoded.length] = 0;
    const value = exports.quavix_wasm_layout(base);
    if (value < 0) throw new Error(`quavix: the module does not lay out ${name}`);
    return value;
  };
  PARAMS_SIZE = ask('params.size');
  PADDING_START = ask('params.padding_start');
  PADDING_END = ask('params.padding_end');
  SETTINGS_FILE_SIZE = ask('settings_file.size');
  WAV_HEADER_SIZE = ask('wav_header.size');
  SAMPLE_RATE = ask('sample_rate');
  CLIP_LEVEL = ask('clip_level');
  MAX_LAYERS = ask('most_layers');
  INFO = { size: ask('info.size'), fields: {} };
  for (const field of [...INFO_TEXTS, ...INFO_WHOLES, ...INFO_FLOATS]) INFO.fields[field] = ask(`info.${field}`);
  const align = (n, to) => Math.ceil(n / to) * to;
  AT_RANDOM = align(AT_PARAMS + PARAMS_SIZE, 8);
  AT_VALUE = AT_RANDOM + align(ask('random.size'), 8);
  AT_DATA = align(AT_VALUE + Math.max(8, INFO.size), 16);
}

// A loader that runs once: later calls get the same promise (and their source
// is ignored); a failed load may be tried again.
function loadOnce(load) {
  let loading = null;
  return (source) => {
    if (loading === null) {
      loading = load(source).catch((error) => {
        loading = null;
        throw error;
      });
    }
    return loading;
  };
}

/**
 * Loads the module once; later calls return the same promise (and ignore their
 * source). Without a source the module is fetched from next to this file.
 */
export const init = loadOnce(load);

/** The compiled module once init() has finished: post it to a Worker and init() there with it. */
export function wasmModule() {
  api();
  return compiled;
}

// ---- The random source ------------------------------------------------------------

export class Random {
  #state = 0;
  #seed = 0;

  constructor(seed) {
    if (seed === OWN) return;
    const base = scratch();
    this.#seed = seed === undefined ? globalThis.crypto.getRandomValues(new Uint32Array(1))[0] : checkSeed(seed);
    wasm.quavix_random_seed(base + AT_RANDOM, this.#seed);
    this.#state = memory().getUint32(base + AT_RANDOM, true);
  }

  get state() {
    return this.#state;
  }

  set state(value) {
    this.#state = checkSeed(value, 'state');
  }

  get seed() {
    return this.#seed;
  }

  clone() {
    const copy = new Random(OWN);
    copy.#seed = this.#seed;
    copy.#state = this.#state;
    return copy;
  }

  draw() {
    return this[WITH]((base) => wasm.quavix_random_draw(base + AT_RANDOM));
  }

  fraction(range) {
    return this[WITH]((base) => wasm.quavix_random_fraction(base + AT_RANDOM, range));
  }

  // Runs call(base) with the state at base + AT_RANDOM and keeps what it draws.
  [WITH](call, base = scratch()) {
    memory().setUint32(base + AT_RANDOM, this.#state, true);
    const result = call(base);
    this.#state = memory().getUint32(base + AT_RANDOM, true);
    return result;
  }
}

// The seeds the quavix tool's --seed takes: whole numbers from -2147483648 to
// 4294967295, a negative one naming the same 32 bits as seed + 2^32.
const LOWEST_SEED = -2147483648;
const HIGHEST_SEED = 4294967295;

// A seed (or a state, which takes the same numbers) as its 32 bits.
function checkSeed(seed, what = 'seed') {
  if (typeof seed !== 'number') throw new TypeError(`quavix: a ${what} is a number, not ${typeof seed}`);
  if (!Number.isInteger(seed)) throw new RangeError(`quavix: ${what} ${seed} is not a whole number`);
  if (seed < LOWEST_SEED || seed > HIGHEST_SEED) {
    throw new RangeError(`quavix: ${what} ${seed} is out of range (${LOWEST_SEED} to ${HIGHEST_SEED})`);
  }
  return seed >>> 0;
}

/**
 * The random source of a sequence of operations: with a seed (a whole number from
 * -2147483648 to 4294967295, as the quavix tool's --seed), exactly the module's
 * seed; without, 32 bits from crypto.getRandomValues.
 */
export const random = (seed) => new Random(seed);

function checkRandom(rng) {
  if (!(rng instanceof Random)) throw new TypeError('quavix: expected a Random (quavix.random(seed))');
  return rng;
}

// ---- Parameters -----------------------------------------------------------------

const indexCache = new Map();
const LONGEST_NAME = 64; // longer names are no name of the module's and are not copied into it

function paramIndex(nameOrIndex) {
  if (typeof nameOrIndex === 'number') {
    if (Number.isInteger(nameOrIndex) && nameOrIndex >= 0 && nameOrIndex < PARAM_NAMES.length) return nameOrIndex;
    throw new RangeError(`quavix: parameter index ${nameOrIndex} is outside 0 to ${PARAM_NAMES.length - 1}`);
  }
  if (typeof nameOrIndex !== 'string') throw new TypeError('quavix: a parameter is a name or an index');
  let index = indexCache.get(nameOrIndex);
  if (index === undefined) {
    index = nameOrIndex.includes('\0') || nameOrIndex.length > LONGEST_NAME ? -1
      : wasm.quavix_param_index(putText(nameOrIndex) + AT_DATA);
    if (index < 0) throw new RangeError(`quavix: unknown parameter ${quote(nameOrIndex)}`);
    indexCache.set(nameOrIndex, index);
  }
  return index;
}

export class Params {
  constructor(bytes) {
    this[OWN] = new Uint8Array(PARAMS_SIZE);
    if (bytes instanceof Uint8Array && bytes.length === PARAMS_SIZE) {
      this[OWN].set(bytes);
    } else {
      const base = scratch();
      wasm.quavix_params_default(base + AT_PARAMS);
      this[OWN].set(bytesAt(base + AT_PARAMS, PARAMS_SIZE));
    }
  }

  // Runs call(base) with these parameters at base + AT_PARAMS; keeps changes when asked.
  [WITH](call, { keep = false, base = scratch() } = {}) {
    bytesAt(base + AT_PARAMS, PARAMS_SIZE).set(this[OWN]);
    const result = call(base);
    if (keep) this[OWN].set(bytesAt(base + AT_PARAMS, PARAMS_SIZE));
    return result;
  }

  #read(nameOrIndex, getter) {
    api();
    const index = paramIndex(nameOrIndex);
    return this[WITH]((base) => {
      getter(base + AT_PARAMS, index, base + AT_VALUE);
      return memory().getFloat32(base + AT_VALUE, true);
    });
  }

  #write(nameOrIndex, value, setter) {
    api();
    const index = paramIndex(nameOrIndex);
    if (typeof value !== 'number') throw new TypeError('quavix: a parameter value is a number');
    this[WITH]((base) => setter(base + AT_PARAMS, index, value), { keep: true });
    return this;
  }

  get(nameOrIndex) {
    return this.#read(nameOrIndex, (...a) => wasm.quavix_param_get_user(...a));
  }

  /** Sets a value a person gives in the users' unit; throws a RangeError when it breaks the parameter's rule. */
  set(nameOrIndex, value) {
    api();
    if (typeof value !== 'number') throw new TypeError('quavix: a parameter value is a number');
    const problem = checkUserValue(nameOrIndex, value);
    if (problem !== null) throw new RangeError(`quavix: ${problem}`);
    return this.#write(nameOrIndex, value, (...a) => wasm.quavix_param_set_user(...a));
  }

  stored(nameOrIndex) {
    return this.#read(nameOrIndex, (...a) => wasm.quavix_param_get(...a));
  }

  setStored(nameOrIndex, value) {
    return this.#write(nameOrIndex, value, (...a) => wasm.quavix_param_set(...a));
  }

  clone() {
    return new Params(this[OWN]);
  }

  equals(other) {
    if (!(other instanceof Params)) return false;
    const a = this[OWN];
    const b = other[OWN];
    for (let i = 0; i < PARAMS_SIZE; i++) {
      if (a[i] !== b[i] && (i < PADDING_START || i >= PADDING_END)) return false;
    }
    return true;
  }

  /** The 24 stored values by name: numbers, and 'NaN', 'Infinity' or '-Infinity' for those JSON has no number for. */
  toJSON() {
    return Object.fromEntries(PARAM_NAMES.map((name, index) => [name, jsonValue(this.stored(index))]));
  }
}

const NON_FINITE = new Map([['NaN', NaN], ['Infinity', Infinity], ['-Infinity', -Infinity]]);
const jsonValue = (value) => (Number.isFinite(value) ? value : String(value));

function checkParams(p) {
  if (!(p instanceof Params)) throw new TypeError('quavix: expected Params');
  return p;
}

/** The default parameters. */
export function defaults() {
  api();
  return new Params();
}

/** Parameters from toJSON()'s object (or a copy of it); missing names keep the defaults. */
export function fromJSON(object) {
  const p = defaults();
  if (object === null || typeof object !== 'object' || Array.isArray(object)) {
    throw new TypeError('quavix: fromJSON takes an object of stored values by parameter name');
  }
  for (const [name, value] of Object.entries(object)) {
    const number = typeof value === 'string' ? NON_FINITE.get(value) : value;
    if (typeof number !== 'number') {
      const given = typeof value === 'string' ? quote(value) : value === null ? 'null' : typeof value;
      throw new TypeError(`quavix: ${quote(name)}: a stored value is a number, 'NaN', 'Infinity' or '-Infinity', not ${given}`);
    }
    p.setStored(name, number);
  }
  return p;
}

// ---- The parameter table ------------------------------------------------------------

const INFO_TEXTS = ['name', 'label', 'group_id', 'group_title', 'unit', 'help', 'setter_text'];
const INFO_WHOLES = ['index', 'group', 'whole', 'frequency'];
const INFO_FLOATS = ['default_stored', 'default_user', 'typical_stored_min', 'typical_stored_max',
  'typical_user_min', 'typical_user_max', 'valid_user_min', 'valid_user_max'];
let infos = null; // the 24 descriptions, read once

function readInfos() {
  const count = wasm.quavix_param_count();
  const list = [];
  for (let index = 0; index < count; index++) {
    const base = scratch(INFO.size);
    const at = base + AT_DATA;
    if (wasm.quavix_param_info(index, at) !== 0) throw new Error(`quavix: no description of parameter ${index}`);
    const view = memory();
    const field = (name) => at + INFO.fields[name];
    const text = (name) => textAt(view.getUint32(field(name), true));
    const whole = (name) => view.getInt32(field(name), true);
    const float = (name) => view.getFloat32(field(name), true);
    list.push(Object.freeze({
      index: whole('index'),
      name: text('name'),
      label: text('label'),
      group: text('group_id'),
      groupIndex: whole('group'),
      groupTitle: text('group_title'),
      unit: text('unit'),
      whole: whole('whole') !== 0,
      frequency: whole('frequency') !== 0,
      default: float('default_user'),
      defaultStored: float('default_stored'),
      typical: Object.freeze({ min: float('typical_user_min'), max: float('typical_user_max') }),
      typicalStored: Object.freeze({ min: float('typical_stored_min'), max: float('typical_stored_max') }),
      valid: Object.freeze({ min: float('valid_user_min'), max: float('valid_user_max') }),
      help: text('help'),
      setterText: text('setter_text'),
    }));
  }
  return Object.freeze(list);
}

/**
 * The description of a parameter (name or index) from the core's parameter
 * table, or all of them in index order when called without an argument.
 */
export function paramInfo(nameOrIndex) {
  api();
  infos ??= readInfos();
  return nameOrIndex === undefined ? infos : infos[paramIndex(nameOrIndex)];
}

/**
 * What is wrong with a value a person gives in the users' unit of a parameter,
 * as "SustainTime -5: a time cannot be negative", or null when nothing is.
 * The rule is the core's (the quavix tool's --set refuses the same values).
 */
export function checkUserValue(nameOrIndex, value) {
  api();
  const index = paramIndex(nameOrIndex);
  if (typeof value !== 'number') throw new TypeError('quavix: a parameter value is a number');
  const base = scratch();
  if (wasm.quavix_param_check_user(index, value, base + AT_VALUE) === 0) return null;
  let rule = textAt(memory().getUint32(base + AT_VALUE, true));
  const info = paramInfo(index);
  // A finite time that is not negative breaks the rule only by its length.
  if (info.unit === 'seconds' && Number.isFinite(info.valid.max) && Number.isFinite(value) && value >= 0) {
    rule += ` (${info.valid.max.toFixed(2)} s)`;
  }
  return `${info.name} ${value}: ${rule}`;
}

/** The oscillator period in subsamples that a stored frequency starts with (at least 8). */
export function startPeriod(storedFreq) {
  api();
  if (typeof storedFreq !== 'number') throw new TypeError('quavix: a stored frequency is a number');
  return wasm.quavix_start_period(storedFreq);
}

/** The pitch in Hertz a stored frequency starts with: 8 x 44100 / its period. */
export function pitchOf(storedFreq) {
  api();
  if (typeof storedFreq !== 'number') throw new TypeError('quavix: a stored frequency is a number');
  return wasm.quavix_pitch_of_freq(0, storedFreq);
}

/** The stored frequency whose period sounds closest to hz (3.528 to 44100 Hz). */
export function freqForPitch(hz) {
  api();
  if (typeof hz !== 'number') throw new TypeError('quavix: a pitch is a number');
  const stored = wasm.quavix_freq_for_pitch(0, hz);
  if (Number.isNaN(stored)) {
    const low = wasm.quavix_pitch_of_period(0, wasm.quavix_start_period(0));
    const high = wasm.quavix_pitch_of_period(0, wasm.quavix_start_period(Infinity));
    throw new RangeError(`quavix: a pitch of ${hz} Hz: the oscillator's pitch lies between ${low} and ${high} Hz`);
  }
  return stored;
}

/** The samples a wave buffer of bufferLength seconds holds (the longest sound it can take). */
export function bufferSamples(bufferLength = DEFAULT_BUFFER_SECONDS) {
  api();
  checkBufferLength(bufferLength);
  return (wasm.quavix_wav_buffer_size(bufferLength) - WAV_HEADER_SIZE) / 2;
}

/** At most how many samples p makes with a buffer of bufferLength seconds. */
export function soundLengthBound(p, options) {
  api();
  const { bufferLength = DEFAULT_BUFFER_SECONDS } = checkOptions(options, ['bufferLength'], 'soundLengthBound');
  checkParams(p);
  checkBufferLength(bufferLength);
  return p[WITH]((base) => wasm.quavix_sound_length_bound(base + AT_PARAMS, bufferLength));
}

/** The users' unit of a parameter: 'seconds', 'cycles per second', 'repeats per second' or ''. */
export function paramUnit(nameOrIndex) {
  return textAt(api().quavix_param_unit(paramIndex(nameOrIndex)));
}

// ---- Sound design ---------------------------------------------------------------

function familyIndex(family) {
  if (typeof family === 'number' && Number.isInteger(family) && family >= 0 && family < PRESET_FAMILIES.length) {
    return family;
  }
  const index = typeof family === 'string' && !family.includes('\0') && family.length <= LONGEST_NAME
    ? wasm.quavix_preset_family_of(putText(family) + AT_DATA) : -1;
  if (index < 0) {
    const given = typeof family === 'string' ? quote(family) : String(family);
    throw new RangeError(`quavix: unknown preset family ${given}: one of ${PRESET_FAMILIES.join(', ')} or 0 to 6`);
  }
  return index;
}

// Runs design(paramsAt, randomAt) on a copy of p (the defaults when p is null).
function design(p, rng, change) {
  checkRandom(rng);
  const result = p === null ? new Params() : checkParams(p).clone();
  result[WITH]((base) => rng[WITH](() => change(base + AT_PARAMS, base + AT_RANDOM), base), { keep: true });
  return result;
}

/** A fresh sound of a preset family (name or 0..6), drawn from rng. */
export function preset(family, rng) {
  api();
  const index = familyIndex(family);
  return design(null, rng, (at, randomAt) => wasm.quavix_preset(at, index, randomAt));
}

/** Random parameters drawn from rng. */
export function randomize(rng) {
  api();
  return design(null, rng, (at, randomAt) => wasm.quavix_randomize(at, randomAt));
}

/**
 * What is wrong with a mutation amount, as "mutate 2 is not an amount from 0 to 1", or null
 * when nothing is. The rule is the core's (the quavix tool's --mutate refuses the same amounts).
 */
export function checkMutateAmount(amount) {
  api();
  if (typeof amount !== 'number') throw new TypeError('quavix: a mutation amount is a number');
  const base = scratch();
  if (wasm.quavix_mutate_check(amount, base + AT_VALUE) === 0) return null;
  return `mutate ${amount} is not ${textAt(memory().getUint32(base + AT_VALUE, true))}`;
}

/** A copy of p with 22 parameters nudged by up to +-0.5 * amount (0 to 1). */
export function mutate(p, amount, rng) {
  const problem = checkMutateAmount(amount);
  if (problem !== null) throw new RangeError(`quavix: ${problem}`);
  return design(p, rng, (at, randomAt) => wasm.quavix_mutate(at, amount, randomAt));
}

/** The stored StartFreq / MinFreq value of a whole frequency in Hertz. */
export function freqHz(hz) {
  api();
  if (typeof hz !== 'number') throw new TypeError('quavix: a frequency in Hertz is a number');
  if (!Number.isInteger(hz) || hz < 0 || hz > 2147483647) {
    throw new RangeError(`quavix: freqHz hz ${hz}: a frequency in Hertz is a whole number from 0 to 2147483647`);
  }
  const base = scratch();
  wasm.quavix_params_default(base + AT_PARAMS);
  return wasm.quavix_freq_hz(base + AT_PARAMS, hz);
}

// ---- Synthesis ------------------------------------------------------------------

const MAX_BUFFER_SECONDS = 60;
// The buffer length of every call that takes one, when none is given, as the quavix tool's --buffer-length.
const DEFAULT_BUFFER_SECONDS = 5;

// The options object of a call: undefined or an object with only the keys named.
function checkOptions(options, keys, call) {
  if (options === undefined) return {};
  if (options === null || typeof options !== 'object') throw new TypeError(`quavix: the options of ${call}() are an object`);
  for (const key of Object.keys(options)) {
    if (!keys.includes(key)) {
      throw new TypeError(`quavix: ${call}() has no option ${quote(key)} (its options: ${keys.join(', ')})`);
    }
  }
  return options;
}

function checkBufferLength(bufferLength) {
  if (typeof bufferLength !== 'number') throw new TypeError(`quavix: bufferLength is a number of seconds, not ${typeof bufferLength}`);
  if (!Number.isInteger(bufferLength)) throw new RangeError(`quavix: bufferLength ${bufferLength} is not a whole number`);
  if (bufferLength < 0 || bufferLength > MAX_BUFFER_SECONDS) {
    throw new RangeError(`quavix: bufferLength ${bufferLength} is out of range (0 to ${MAX_BUFFER_SECONDS})`);
  }
  return bufferLength;
}

/** Synthesizes p, drawing from rng, as the module's "Generate sound" with a buffer of bufferLength seconds. */
export function render(p, rng, options) {
  api();
  const { bufferLength = DEFAULT_BUFFER_SECONDS } = checkOptions(options, ['bufferLength'], 'render');
  checkParams(p);
  checkRandom(rng);
  checkBufferLength(bufferLength);
  const size = wasm.quavix_wav_buffer_size(bufferLength);
  const base = scratch(size);
  const length = p[WITH](() => rng[WITH](() => wasm.quavix_render_wav(
    base + AT_PARAMS, base + AT_RANDOM, bufferLength, base + AT_DATA, size), base), { base });
  if (length < 0) fail(length);
  const wav = bytesAt(base + AT_DATA, length).slice();
  const sampleCount = (length - WAV_HEADER_SIZE) / 2;
  const samples = new Int16Array(wav.buffer, WAV_HEADER_SIZE, sampleCount);
  wasm.quavix_wasm_levels(base + AT_DATA + WAV_HEADER_SIZE, sampleCount, base + AT_VALUE);
  const [peak, clipped] = [memory().getInt32(base + AT_VALUE, true), memory().getInt32(base + AT_VALUE + 4, true)];
  return { wav, samples, sampleCount, durationSeconds: sampleCount / SAMPLE_RATE, peak, clipped, silent: peak === 0 };
}

// ---- Exchange -------------------------------------------------------------------

/** The settings string: 24 comma-separated values as "%.4f", empty for 0. */
export function toSettingsString(p) {
  api();
  checkParams(p);
  for (let capacity = 256; ; capacity *= 4) {
    const base = scratch(capacity);
    const length = p[WITH](() => wasm.quavix_settings_string_ex(base + AT_PARAMS, base + AT_DATA, capacity, 1), { base });
    if (length < capacity) return decoder.decode(bytesAt(base + AT_DATA, length));
  }
}

/** Reads a settings string leniently into a copy of base (as the module, up to a NUL). */
export function fromSettingsString(text, base = defaults()) {
  checkParams(base);
  if (typeof text !== 'string') throw new TypeError('quavix: a settings string is a string');
  const [at, length] = putCounted(text);
  const result = base.clone();
  result[WITH]((b) => wasm.quavix_settings_string_import_n(b + AT_PARAMS, b + AT_DATA, length), { keep: true, base: at });
  return result;
}

/**
 * The strict check of a settings string, the core's (the quavix tool's --csv
 * refuses the same texts): { ok, badField (-1 when none), error }, the error
 * naming the field, as "field 0 'abc': a settings-string field is not a number".
 */
export function checkSettingsString(text) {
  api();
  if (typeof text !== 'string') throw new TypeError('quavix: a settings string is a string');
  if (text.length > LONGEST_TEXT) {
    return { ok: false, badField: -1, error: `a settings string of ${text.length} characters: at most ${LONGEST_TEXT} are read` };
  }
  const [base, length] = putCounted(text);
  const status = wasm.quavix_settings_string_check_n(base + AT_DATA, length, base + AT_VALUE);
  const badField = memory().getInt32(base + AT_VALUE, true);
  if (status === 0) return { ok: true, badField, error: null };
  const field = badField >= 0 && badField < PARAM_NAMES.length ? `field ${badField} ${quote(text.split(',')[badField] ?? '')}: ` : '';
  return { ok: false, badField, error: `${field}${errorText(status)}` };
}

/** The 105 bytes of a version-102 settings file (*.sfs). */
export function writeSfs(p) {
  api();
  checkParams(p);
  const base = scratch(SETTINGS_FILE_SIZE);
  p[WITH](() => wasm.quavix_settings_file_encode(base + AT_PARAMS, base + AT_DATA), { base });
  return bytesAt(base + AT_DATA, SETTINGS_FILE_SIZE).slice();
}

/** Parameters from a settings file image of version 100, 101 or 102. */
export function readSfs(bytes) {
  api();
  if (bytes instanceof ArrayBuffer) bytes = new Uint8Array(bytes);
  if (!ArrayBuffer.isView(bytes)) throw new TypeError('quavix: readSfs takes a Uint8Array or an ArrayBuffer');
  // The module ignores the bytes after the last field, so only a file's worth is copied.
  const data = new Uint8Array(bytes.buffer, bytes.byteOffset, Math.min(bytes.byteLength, SETTINGS_FILE_SIZE));
  const base = scratch(data.length);
  bytesAt(base + AT_DATA, data.length).set(data);
  const result = new Params();
  const status = result[WITH]((b) => wasm.quavix_settings_file_decode(b + AT_PARAMS, b + AT_DATA, data.length),
    { keep: true, base });
  if (status < 0) fail(status);
  return result;
}

// ---- Layered sounds -------------------------------------------------------------
//
// The layered sounds' calls live in a module of their own, quavix-layers.wasm,
// loaded by initLayers(). They allocate their working memory, so a call's
// records lie in memory from that module's malloc (never in a scratch area).

let layered = null; // { module, exports } of quavix-layers.wasm once initLayers() has finished
const LAYER_CALLS = ['quavix_version', 'quavix_params_size', 'quavix_layer_gain_tenths', 'quavix_layers_check',
  'quavix_render_layers_floats', 'quavix_layers_text', 'quavix_layers_from_text', 'malloc', 'free'];
// quavix_layer in the module's memory: the parameters, then five 32-bit fields.
const LAYER_FIELDS = ['random_state', 'buffer_seconds', 'offset', 'gain_tenths', 'muted'];
const layerSize = () => PARAMS_SIZE + 4 * LAYER_FIELDS.length;
const PROBLEM_CAPACITY = 256;
// The records written: up to the most layers and one; the core refuses a larger count before it reads any.
const layersRead = () => MAX_LAYERS + 1;

function startLayers(module, instance) {
  const { exports } = instance;
  for (const name of LAYER_CALLS) {
    if (typeof exports[name] !== 'function') throw new Error('quavix: the layered sounds\' module is not quavix-layers.wasm');
  }
  exports._initialize?.();
  if (exports.quavix_version() >>> 16 !== 1) throw new Error('quavix: the layered sounds\' module is of another major version');
  layered = { module, exports };
}

async function loadLayers(source) {
  const module = await compileFrom(source ?? new URL('./quavix-layers.wasm', import.meta.url));
  startLayers(module, await WebAssembly.instantiate(module, {}));
}

/**
 * Loads quavix-layers.wasm, the module of renderLayers(), once; later calls
 * return the same promise. Without a source it is fetched from next to this file.
 */
export const initLayers = loadOnce(loadLayers);

const LAYER_KEYS = ['params', 'random', 'seed', 'bufferLength', 'offset', 'gainDb', 'muted'];

// A layer as the record's numbers: { params, fields }, refusing what the
// record cannot carry; the ranges are the core's to check.
function readLayer(layer, number) {
  const where = `layer ${number}`;
  if (layer === null || typeof layer !== 'object' || Array.isArray(layer)) {
    throw new TypeError(`quavix: ${where} is an object with params and a seed or a random source`);
  }
  for (const key of Object.keys(layer)) {
    if (!LAYER_KEYS.includes(key)) throw new TypeError(`quavix: ${where} has no field ${quote(key)} (its fields: ${LAYER_KEYS.join(', ')})`);
  }
  const { params, random: rng, seed, bufferLength = DEFAULT_BUFFER_SECONDS, offset = 0, gainDb = 0, muted = false } = layer;
  if (!(params instanceof Params)) throw new TypeError(`quavix: ${where}: params is a Params`);
  if ((rng === undefined) === (seed === undefined)) throw new TypeError(`quavix: ${where} has a seed or a random source, one of them`);
  const state = rng === undefined ? checkSeed(seed) : checkRandom(rng).state;
  checkBufferLength(bufferLength);
  if (typeof offset !== 'number') throw new TypeError(`quavix: ${where}: offset is a number of samples, not ${typeof offset}`);
  if (!Number.isInteger(offset)) throw new RangeError(`quavix: ${where}: offset ${offset} is not a whole number of samples`);
  if (typeof gainDb !== 'number') throw new TypeError(`quavix: ${where}: gainDb is a number of decibels, not ${typeof gainDb}`);
  const tenths = withMemory(8, (exports, at) =>
    exports.quavix_layer_gain_tenths(gainDb, at) === 0 ? new DataView(exports.memory.buffer).getInt32(at, true) : null);
  if (tenths === null) {
    throw new RangeError(`quavix: ${where}: gainDb ${gainDb} is not a number of decibels in steps of 0.1`);
  }
  if (typeof muted !== 'boolean') throw new TypeError(`quavix: ${where}: muted is true or false`);
  // an offset beyond 32 bits goes in as -1, which the core refuses as it refuses any offset out of range
  const fits = offset >= -(2 ** 31) && offset < 2 ** 31;
  return { params, bufferLength, offset, fits, fields: [state, bufferLength, fits ? offset : -1, tenths, muted ? 1 : 0] };
}

// Writes the records of read layers at at.
function putLayers(exports, at, read) {
  const size = layerSize();
  const view = new DataView(exports.memory.buffer);
  read.forEach(({ params, fields }, i) => {
    new Uint8Array(exports.memory.buffer, at + i * size, PARAMS_SIZE).set(params[OWN]);
    fields.forEach((value, k) => view.setUint32(at + i * size + PARAMS_SIZE + 4 * k, value >>> 0, true));
  });
}

// Runs call(exports, at) with bytes of the layered sounds' module's memory at at.
function withMemory(bytes, call) {
  const { exports } = layered;
  const at = exports.malloc(bytes);
  if (at === 0) throw new RangeError('quavix: the layered sounds\' module has no memory left');
  try {
    return call(exports, at);
  } catch (error) {
    if (!(error instanceof WebAssembly.RuntimeError)) throw error;
    // a call that ran out of memory ends in a trap: the instance is made anew
    startLayers(layered.module, new WebAssembly.Instance(layered.module, {}));
    throw new RangeError('quavix: the layered sound needs more memory than there is', { cause: error });
  } finally {
    if (layered.exports === exports) exports.free(at);
  }
}

// The layers' module, once it matches quavix.wasm.
function layersModule() {
  api();
  if (layered === null) throw new Error('quavix: call await initLayers() first');
  if (layered.exports.quavix_version() !== wasm.quavix_version() || layered.exports.quavix_params_size() !== PARAMS_SIZE) {
    throw new Error('quavix: quavix-layers.wasm and quavix.wasm are of different builds');
  }
  return layered.exports;
}

// A problem of the core's about read layers, naming an offset beyond 32 bits by its own value.
function layersProblem(read, bad, text) {
  return bad < 0 || read[bad].fits ? text : text.replace(/not -1$/, `not ${read[bad].offset}`);
}

// The layers read and checked by the core (check is quavix_layers_check or a call of its form).
function checkedLayers(layers, what, check = (exports, ...args) => exports.quavix_layers_check(...args)) {
  layersModule();
  if (!Array.isArray(layers)) throw new TypeError(`quavix: ${what} takes an array of layers`);
  const read = layers.slice(0, layersRead()).map((layer, i) => readLayer(layer, i + 1));
  const records = read.length * layerSize();
  const problem = withMemory(records + 8 + PROBLEM_CAPACITY, (exports, at) => {
    putLayers(exports, at, read);
    const badAt = at + records;
    const problemAt = badAt + 8;
    if (check(exports, at, layers.length, badAt, problemAt, PROBLEM_CAPACITY) >= 0) return null;
    return layersProblem(read, new DataView(exports.memory.buffer).getInt32(badAt, true), textAt(problemAt, exports));
  });
  if (problem !== null) throw new RangeError(`quavix: ${problem}`);
  return read;
}

/**
 * Mixes a layered sound as the quavix tool's render --layers does: 1 to 8
 * layers, each { params, seed (the random state its render starts from) or
 * random (a Random whose state it starts from, which stays as it is),
 * bufferLength = 5, offset = 0 (samples), gainDb = 0 (-60 to +12 in steps of
 * 0.1), muted = false }. With { floats: true } the result has floats too: the
 * mix before its 16-bit rounding, each sum / 32768 as a float, not clamped,
 * as the tool's export steps take it. Needs init() and initLayers().
 */
export function renderLayers(layers, { floats = false, ...rest } = {}) {
  const read = checkedLayers(layers, 'renderLayers');
  const unknown = Object.keys(rest)[0];
  if (unknown !== undefined) throw new TypeError(`quavix: renderLayers has no option ${quote(unknown)} (its option: floats)`);
  if (typeof floats !== 'boolean') throw new TypeError('quavix: renderLayers: floats is true or false');
  const records = read.length * layerSize();
  // at most as long as the latest end of a layer that sounds
  const bound = Math.max(0, ...read.filter(({ fields }) => fields[4] === 0)
    .map(({ params, bufferLength, offset }) => offset + soundLengthBound(params, { bufferLength })));
  const [data, clipped, sums] = withMemory(records + 8 + (floats ? 6 * bound + 4 : 2 * bound), (exports, at) => {
    putLayers(exports, at, read);
    const clippedAt = at + records;
    const outAt = clippedAt + 8;
    const floatsAt = floats ? outAt + 2 * bound + (2 * bound) % 4 : 0;
    const count = Number(exports.quavix_render_layers_floats(at, read.length, outAt, floatsAt, bound, clippedAt));
    if (count < 0 || count > bound) throw new Error(`quavix: the layered sound did not mix (${count})`);
    const after = new DataView(exports.memory.buffer);
    return [new Uint8Array(exports.memory.buffer, outAt, 2 * count).slice(), Number(after.getBigInt64(clippedAt, true)),
      floats ? new Float32Array(exports.memory.buffer, floatsAt, count).slice() : null];
  });
  const result = mixResult(data, clipped);
  return floats ? { ...result, floats: sums } : result;
}

// The longest text of a layered sound: its start, and 8 layers of 140 + 34 characters and "~".
const LAYERS_TEXT_CAPACITY = 2048;

/**
 * The layered sound as one line of text ("qxl1~..."), for a link or the
 * clipboard: each layer's settings file in base64url, its seed, buffer
 * length, offset and gain. Throws as renderLayers() does, and for a seed that
 * leaves the random state at 0 or a bufferLength of 0, which the text does not
 * carry. Needs init() and initLayers().
 */
export function layersToText(layers) {
  const read = checkedLayers(layers, 'layersToText',
    (exports, at, count, badAt, problemAt, capacity) => exports.quavix_layers_text(at, count, 0, 0, badAt, problemAt, capacity));
  const records = read.length * layerSize();
  return withMemory(records + LAYERS_TEXT_CAPACITY, (exports, at) => {
    putLayers(exports, at, read);
    const length = Number(exports.quavix_layers_text(at, read.length, at + records, LAYERS_TEXT_CAPACITY, 0, 0, 0));
    if (length < 0 || length >= LAYERS_TEXT_CAPACITY) throw new Error(`quavix: the layered sound's text was not written (${length})`);
    return textAt(at + records, exports);
  });
}

/**
 * The layers of a layered sound's text, as renderLayers() takes them: each
 * { params, seed, bufferLength, offset, gainDb, muted }. Spaces and line ends
 * around the text are ignored; a text that cannot be used throws a RangeError
 * naming the layer and its field. Needs init() and initLayers().
 */
export function layersFromText(text) {
  const exports = layersModule();
  if (typeof text !== 'string') throw new TypeError(`quavix: layersFromText takes a string, not ${typeof text}`);
  if (text.length > LONGEST_TEXT) {
    throw new RangeError(`quavix: a text of ${text.length} characters: the module takes at most ${LONGEST_TEXT}`);
  }
  const bytes = new TextEncoder().encode(text);
  const records = MAX_LAYERS * layerSize();
  return withMemory(records + 8 + PROBLEM_CAPACITY + bytes.length, (_, at) => {
    const badAt = at + records;
    const problemAt = badAt + 8;
    const inputAt = problemAt + PROBLEM_CAPACITY;
    new Uint8Array(exports.memory.buffer, inputAt, bytes.length).set(bytes);
    const count = Number(exports.quavix_layers_from_text(inputAt, bytes.length, at, MAX_LAYERS, badAt, problemAt, PROBLEM_CAPACITY));
    if (count < 0) throw new RangeError(`quavix: ${textAt(problemAt, exports)}`);
    const view = new DataView(exports.memory.buffer);
    return Array.from({ length: count }, (_, i) => {
      const base = at + i * layerSize();
      const [state, bufferLength, offset, tenths, muted] = LAYER_FIELDS.map((_, k) => view.getInt32(base + PARAMS_SIZE + 4 * k, true));
      return {
        params: new Params(new Uint8Array(exports.memory.buffer, base, PARAMS_SIZE).slice()),
        seed: state >>> 0,
        bufferLength,
        offset,
        gainDb: tenths / 10,
        muted: muted !== 0,
      };
    });
  });
}

// A render result of the mix's little-endian samples: behind the header of
// quavix_wav_header, with the peak as quavix_wasm_levels measures it and the
// samples the clamp changed.
function mixResult(data, clipped) {
  const sampleCount = data.length / 2;
  const base = scratch(WAV_HEADER_SIZE + data.length);
  wasm.quavix_params_default(base + AT_PARAMS);
  const status = wasm.quavix_wav_header(base + AT_PARAMS, data.length, base + AT_DATA);
  if (status < 0) fail(status);
  bytesAt(base + AT_DATA + WAV_HEADER_SIZE, data.length).set(data);
  wasm.quavix_wasm_levels(base + AT_DATA + WAV_HEADER_SIZE, sampleCount, base + AT_VALUE);
  const peak = memory().getInt32(base + AT_VALUE, true);
  const wav = bytesAt(base + AT_DATA, WAV_HEADER_SIZE + data.length).slice();
  const samples = new Int16Array(wav.buffer, WAV_HEADER_SIZE, sampleCount);
  return { wav, samples, sampleCount, durationSeconds: sampleCount / SAMPLE_RATE, peak, clipped, silent: peak === 0 };
}

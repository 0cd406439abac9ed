// Types of the quavix package. Every call but init() is synchronous and needs
// init() to have finished; before that it throws Error("quavix: call await init() first").

export type ParamName =
  | 'Volume' | 'WaveType' | 'AttackTime' | 'SustainTime' | 'SustainPunch' | 'DecayTime'
  | 'StartFreq' | 'MinFreq' | 'Slide' | 'DeltaSlide' | 'VibDepth' | 'VibSpeed'
  | 'ChangeAmount' | 'ChangeSpeed' | 'SquareDuty' | 'DutySweep' | 'RepeatSpeed' | 'PhaserOffset'
  | 'PhaserSweep' | 'LPCutoff' | 'LPCutoffSweep' | 'LPResonance' | 'HPCutoff' | 'HPCutoffSweep';

/**
 * A parameter by name or by index 0..23 (an index outside throws a RangeError).
 * The names are the module's; at run time ASCII case is ignored, so a name
 * read from elsewhere may be cast: `p.get(text as ParamName)`.
 */
export type ParamKey = ParamName | number;

/**
 * A whole-number argument: a literal that is not one of Allowed does not
 * compile, while a computed `number` does (and is checked at run time).
 */
type Checked<N extends number, Allowed extends number> = number extends N ? N : N extends Allowed ? N : never;
/** The parameter indexes 0..23. */
export type ParamIndex =
  | 0 | 1 | 2 | 3 | 4 | 5 | 6 | 7 | 8 | 9 | 10 | 11 | 12 | 13 | 14 | 15 | 16 | 17 | 18 | 19 | 20 | 21 | 22 | 23;
/** The preset family numbers 0..6. */
export type PresetNumber = 0 | 1 | 2 | 3 | 4 | 5 | 6;

export type PresetFamily = 'coin' | 'laser' | 'explosion' | 'powerup' | 'hurt' | 'jump' | 'blip';

export type ParamUnit = 'seconds' | 'cycles per second' | 'repeats per second' | '';

// The platform's types where the program's libraries declare them (the DOM
// library, or @types/node for Response), and nothing otherwise, so that these
// declarations check with and without the DOM library.
type PlatformResponse = typeof globalThis extends { Response: { prototype: infer R } } ? R : never;
type CompiledModule = typeof globalThis extends { WebAssembly: { Module: { prototype: infer M } } } ? M : never;

/** Where init() reads the module from, or a promise of it (e.g. `init(fetch(url))`). */
export type ModuleSource = URL | string | ArrayBuffer | ArrayBufferView | PlatformResponse | (CompiledModule & object);

/**
 * Loads quavix.wasm: from `source`, or by default from next to this module
 * (fetch in browsers, the file system in Node, where a path or file: URL is
 * read from disk). Later calls return the first call's promise; a failed load
 * may be tried again. A failed load's Error names the URL or path it tried.
 */
export function init(source?: ModuleSource | PromiseLike<ModuleSource>): Promise<void>;

/**
 * The compiled module once init() has finished (a WebAssembly.Module): post it
 * to a Worker and call init() there with it, which compiles nothing again.
 */
export function wasmModule(): CompiledModule;

/** The sample rate of every sound (44100), from the module once init() has finished. */
export const SAMPLE_RATE: number;
/** The largest magnitude a sample reaches (32000); a sample there is clipped. From the module once init() has finished. */
export const CLIP_LEVEL: number;
/** The most layers a layered sound has (8), from the module once init() has finished. */
export const MAX_LAYERS: number;
/** The 24 parameter names in index order. */
export const PARAM_NAMES: readonly ParamName[];
/** The preset families; the index is the family number. */
export const PRESET_FAMILIES: readonly PresetFamily[];

/** The users' unit of a parameter ('' when it is the stored unit). */
export function paramUnit(param: ParamKey): ParamUnit;

export type ParamGroupId =
  | 'wave' | 'envelope' | 'pitch' | 'vibrato' | 'change' | 'duty' | 'repeat' | 'phaser' | 'filters' | 'volume';

export interface ValueRange {
  readonly min: number;
  readonly max: number;
}

/** One parameter as the core's parameter table describes it. */
export interface ParamInfo {
  readonly index: number;
  readonly name: ParamName;
  /** The parameter in a person's words, e.g. 'Attack time'. */
  readonly label: string;
  readonly group: ParamGroupId;
  /** The group's place in the order the groups are shown, 0..9. */
  readonly groupIndex: number;
  readonly groupTitle: string;
  readonly unit: ParamUnit;
  /** Only whole numbers are meant (WaveType). */
  readonly whole: boolean;
  /** A stored frequency (StartFreq, MinFreq): see freqForPitch. */
  readonly frequency: boolean;
  /** The default in the users' unit, and stored. */
  readonly default: number;
  readonly defaultStored: number;
  /** The typical range (what presets and randomize produce), in the users' unit and stored. */
  readonly typical: ValueRange;
  readonly typicalStored: ValueRange;
  /** The values set() accepts in the users' unit (-/+Infinity when unbounded). */
  readonly valid: ValueRange;
  /** One line: what the parameter does. */
  readonly help: string;
  /** The module's action, e.g. "Set attack time to %0". */
  readonly setterText: string;
}

/** All 24 descriptions in index order, or the one of a parameter. */
export function paramInfo(): readonly ParamInfo[];
export function paramInfo(param: ParamKey): ParamInfo;

/**
 * What is wrong with a value a person gives in the users' unit, as
 * 'SustainTime -5: a time cannot be negative', or null. The quavix tool's
 * --set refuses the same values.
 */
export function checkUserValue(param: ParamKey, value: number): string | null;

/** The oscillator period in subsamples a stored frequency starts with (at least 8). */
export function startPeriod(storedFreq: number): number;
/** The pitch in Hertz a stored frequency starts with: 8 x 44100 / its period. */
export function pitchOf(storedFreq: number): number;
/** The stored frequency whose period sounds closest to hz; RangeError outside 3.528..44100 Hz. */
export function freqForPitch(hz: number): number;

/** The one explicit random source: the module's 32-bit generator. */
export class Random {
  private constructor();
  /** The generator's state, an unsigned 32-bit integer; set it with a number random() takes as a seed (else a RangeError). */
  state: number;
  /** The seed it was made with. */
  readonly seed: number;
  /** An independent copy that continues the same sequence. */
  clone(): Random;
  /** One draw, 0..32767. */
  draw(): number;
  /** One draw mapped to 0..range in steps of range / 10000, as a float32 value. */
  fraction(range: number): number;
}

/**
 * A random source seeded with a whole number from -2147483648 to 4294967295
 * (a negative seed is the same as seed + 2^32), as the quavix tool's --seed
 * takes it; another number throws a RangeError in the tool's words ("seed 1.5
 * is not a whole number"). Without a seed, 32 bits from crypto.getRandomValues.
 */
export function random(seed?: number): Random;

/** A stored value as JSON carries it: a number, or the name of a value JSON has no number for. */
export type StoredJSONValue = number | 'NaN' | 'Infinity' | '-Infinity';
/** Stored values of the 24 parameters, as toJSON() gives them: plain data for JSON, structuredClone and postMessage. */
export type ParamsJSON = Record<ParamName, StoredJSONValue>;

/** One sound's parameters (every field of the C record, bit for bit). */
export class Params {
  private constructor();
  /** The value in the users' unit (seconds, cycles/s, repeats/s; others as stored). */
  // (each name overload comes last, and `& string` spells the names out, so
  // that a misspelt name's error lists the names)
  get<N extends number>(index: N & Checked<N, ParamIndex>): number;
  get(name: ParamName & string): number;
  /**
   * Sets a value a person gives in the users' unit (rounded to float32 as the
   * module rounds). Throws a RangeError naming the parameter and the rule when
   * the core's rule refuses it (see checkUserValue); nothing changes then. A
   * repeat or jump too rare or too fast for the synthesis to count stores the
   * nearest value that keeps it (the longest count, or one sample).
   */
  set<N extends number>(index: N & Checked<N, ParamIndex>, value: number): this;
  set(name: ParamName & string, value: number): this;
  /** The stored value (a float32 as a number; WaveType as a whole number). */
  stored<N extends number>(index: N & Checked<N, ParamIndex>): number;
  stored(name: ParamName & string): number;
  /** Sets a stored value (rounded to float32; WaveType truncated toward zero). */
  setStored<N extends number>(index: N & Checked<N, ParamIndex>, value: number): this;
  setStored(name: ParamName & string, value: number): this;
  clone(): Params;
  /** Bit-for-bit equality of every field (NaN equals NaN of the same bits). */
  equals(other: Params): boolean;
  /**
   * The 24 stored values by name, non-finite ones as 'NaN', 'Infinity' or
   * '-Infinity' (not the reserved fields: use writeSfs for a complete copy).
   * A Params itself is not plain data: post `p.toJSON()` and read it with fromJSON.
   */
  toJSON(): ParamsJSON;
}

/** The default parameters. */
export function defaults(): Params;
/**
 * Parameters from stored values by name (toJSON()'s object, or a copy of it);
 * missing names keep the defaults, unknown names throw RangeError, values of
 * another kind TypeError.
 */
export function fromJSON(values: Partial<Record<ParamName, StoredJSONValue>>): Params;

/**
 * A fresh sound of a family, by number 0..6 or by name (another throws a
 * RangeError), drawn from rng. The name comes last, and `& string` spells the
 * names out, so that a misspelt one's error lists the families.
 */
export function preset<N extends number>(familyNumber: N & Checked<N, PresetNumber>, rng: Random): Params;
export function preset(family: PresetFamily & string, rng: Random): Params;
/** Random parameters drawn from rng (about one in five renders silence: WaveType 4). */
export function randomize(rng: Random): Params;
/**
 * What is wrong with a mutation amount, as 'mutate 2 is not an amount from 0 to 1', or null.
 * The quavix tool's --mutate refuses the same amounts.
 */
export function checkMutateAmount(amount: number): string | null;
/**
 * A copy of p with 22 parameters nudged by up to +-0.5 * amount; p is unchanged.
 * A RangeError for an amount checkMutateAmount refuses (anything but 0 to 1).
 */
export function mutate(p: Params, amount: number, rng: Random): Params;
/** The stored StartFreq / MinFreq value of a whole frequency in Hertz; a RangeError for NaN, fractions and negative numbers. */
export function freqHz(hz: number): number;

/** The options of render() and soundLengthBound(); another key throws a TypeError. */
export interface RenderOptions {
  /** The module's buffer length in whole seconds, 0..60 (default 5): at most bufferSamples(bufferLength) samples. */
  bufferLength?: number;
}

export interface RenderResult {
  /** The WAV image: a 44-byte header and the 16-bit little-endian mono samples. */
  wav: Uint8Array;
  /** The samples (a view into wav). */
  samples: Int16Array;
  sampleCount: number;
  /** sampleCount / 44100. */
  durationSeconds: number;
  /** The largest magnitude of a sample, 0..32000. */
  peak: number;
  /** How many samples are at the clamp, +-32000. */
  clipped: number;
  /** True when every sample is 0 (for instance WaveType 4). */
  silent: boolean;
}

/** Synthesizes p, drawing from rng, as the module's "Generate sound". */
export function render(p: Params, rng: Random, options?: RenderOptions): RenderResult;

/** The samples a wave buffer of bufferLength seconds (0..60, default 5) holds: the longest sound it takes. */
export function bufferSamples(bufferLength?: number): number;

/** At most how many samples p makes with the buffer length of options (default 5 seconds). */
export function soundLengthBound(p: Params, options?: RenderOptions): number;

/** The settings string: 24 comma-separated "%.4f" values, empty for 0. */
export function toSettingsString(p: Params): string;
/** Reads a settings string leniently into a copy of base (default: the defaults). */
export function fromSettingsString(text: string, base?: Params): Params;
/**
 * The strict check of a settings string, the core's, as the quavix tool's
 * --csv reads it (up to a NUL): at most 24 fields, each empty or one number.
 * An empty text passes (all values 0: a silent sound). The error names the
 * field: "field 0 'abc': a settings-string field is not a number".
 */
export function checkSettingsString(text: string): { ok: boolean; badField: number; error: string | null };
/** The 105 bytes of a version-102 settings file (*.sfs). */
export function writeSfs(p: Params): Uint8Array;
/**
 * Parameters from a settings file image of version 100, 101 or 102. Throws an
 * Error with the C API's message (and its status as `.status`) for another
 * version or data that end inside the fields.
 */
export function readSfs(bytes: Uint8Array | ArrayBuffer | ArrayBufferView): Params;

/**
 * Loads quavix-layers.wasm, the module renderLayers() mixes with (fetch in
 * browsers, the file system in Node, as init() loads quavix.wasm). Later calls
 * return the first call's promise; a failed load may be tried again.
 */
export function initLayers(source?: ModuleSource | PromiseLike<ModuleSource>): Promise<void>;

/** One layer of a layered sound; another key throws a TypeError. */
export type Layer = {
  /** The recipe. */
  params: Params;
  /** Where the layer starts in the mix, in samples: 0..2646000 (60 s; default 0). */
  offset?: number;
  /** Its gain in decibels, -60 to +12 in steps of 0.1 (default 0). */
  gainDb?: number;
  /** A muted layer adds nothing and does not make the mix longer (default false). */
  muted?: boolean;
  /** The buffer length of its render in whole seconds, 0..60 (default 5), as render() takes it. */
  bufferLength?: number;
} & (
  /** The random state its render starts from: a number random() takes as a seed. */
  | { seed: number; random?: never }
  /** A random source whose state the render starts from (as render() would continue it); it stays as it is. */
  | { random: Random; seed?: never }
);

/** A layered sound's mix, as render()'s result. */
export interface LayersResult extends RenderResult {
  /** The largest magnitude of a sample, 0..32768. */
  peak: number;
  /** How many samples the clamp to -32768..32767 changed. */
  clipped: number;
}

/**
 * Mixes 1 to 8 layers as the quavix tool's `render --layers` does, byte for
 * byte: each layer rendered alone, scaled by its gain, placed at its offset,
 * summed in double, rounded and clamped to 16 bits. Bad layers throw a
 * RangeError or TypeError naming the layer, in the core's words. Needs init()
 * and initLayers().
 */
export function renderLayers(layers: readonly Layer[], options?: { floats?: false }): LayersResult;
/**
 * The mix with floats too: the sums before their 16-bit rounding, each sum /
 * 32768 rounded to a float and not clamped (beyond -1..1 where the mix
 * clips), which the quavix tool's export steps take for a layered sound.
 */
export function renderLayers(layers: readonly Layer[], options: { floats: true }): LayersResult & { floats: Float32Array };

/**
 * The layered sound as one line of text ("qxl1~..."), for a link or the
 * clipboard, which `quavix render --layers FILE` also reads from a file. Throws
 * as renderLayers() does, and for a seed that leaves the random state at 0 or
 * a bufferLength of 0, which the text does not carry. Needs init() and
 * initLayers().
 */
export function layersToText(layers: readonly Layer[]): string;

/** A layer as layersFromText() gives it back: every field present. */
export type LayerFromText = { params: Params; seed: number; bufferLength: number; offset: number; gainDb: number; muted: boolean };

/**
 * The layers of a layered sound's text; spaces and line ends around it are
 * ignored. A text that cannot be used throws a RangeError naming the layer and
 * its field, e.g. "quavix: layer 2: its seed is not a whole number from 1 to
 * 4294967295". Needs init() and initLayers().
 */
export function layersFromText(text: string): LayerFromText[];

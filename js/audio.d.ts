// quavix/audio: sounds for games, through the Web Audio API (browsers).
import type { LayersResult, PresetFamily, RenderResult } from './index.js';

/** How a sound is made; the same recipe gives the same bytes. */
export type Recipe =
  /** A preset family, designed and rendered from one random source seeded with seed. */
  | { preset: PresetFamily | number; seed: number; bufferLength?: number; settings?: never; link?: never }
  /** A settings string rendered from seed. */
  | { settings: string; seed: number; bufferLength?: number; preset?: never; link?: never }
  /** A Quavix Studio share link, or its fragment '#seed=...&csv=...'. */
  | { link: string; bufferLength?: number; seed?: never; preset?: never; settings?: never };

export interface PlayOptions {
  /** Gain, 0..10 (default 1: as rendered). */
  volume?: number;
  /** Stereo position, -1 (left) .. 1 (right) (default 0). */
  pan?: number;
  /** Playback rate, 1/16..16 (default 1; 2 is an octave up and half as long). */
  rate?: number;
  /** Repeat until stopped (default false). */
  loop?: boolean;
  /** Where the sound goes (default: the context's destination). */
  destination?: AudioNode;
}

/** A sound that plays: stop() it, or wait for ended. */
export interface Playing {
  readonly source: AudioBufferSourceNode;
  readonly gain: GainNode;
  readonly panner: StereoPannerNode;
  /** Resolves when the sound ends or is stopped. */
  readonly ended: Promise<void>;
  /** Stops the sound; again, nothing happens. */
  stop(): void;
}

/** One rendered sound, kept as an AudioBuffer to play many times. */
export class Sound {
  constructor(context: BaseAudioContext, buffer: AudioBuffer, result?: RenderResult | null);
  static fromRender(context: BaseAudioContext, result: RenderResult): Sound;
  readonly context: BaseAudioContext;
  readonly buffer: AudioBuffer;
  /** The render it was made from, when there was one. */
  readonly result: RenderResult | null;
  /** Seconds. */
  readonly duration: number;
  /** Starts it; an unknown option throws a TypeError, a value out of range a RangeError. */
  play(options?: PlayOptions): Playing;
}

/** An AudioBuffer of a render result (or WAV image) on context. */
export function toAudioBuffer(context: BaseAudioContext, result: RenderResult | Uint8Array | ArrayBuffer): AudioBuffer;

/** The render of a recipe (after init()). */
export function renderRecipe(recipe: Recipe): RenderResult;
/** A Sound of a recipe. */
export function soundOf(context: BaseAudioContext, recipe: Recipe): Sound;
/** A Sound of a preset family and seed: `fromPreset(context, 'coin', 42)`. */
export function fromPreset(context: BaseAudioContext, family: PresetFamily | number, seed: number, options?: { bufferLength?: number }): Sound;
/** A Sound of a settings string rendered from seed. */
export function fromSettings(context: BaseAudioContext, settings: string, seed: number, options?: { bufferLength?: number }): Sound;
/** A Sound of a Quavix Studio share link or its fragment. */
export function fromLink(context: BaseAudioContext, link: string): Sound;

/** A layer of a layered sound: a recipe, with where it starts, its gain and whether it is muted (see quavix.renderLayers). */
export type LayeredRecipe = Recipe & {
  /** Where the layer starts in the mix, in samples: 0..2646000 (default 0). */
  offset?: number;
  /** Its gain in decibels, -60 to +12 in steps of 0.1 (default 0). */
  gainDb?: number;
  /** A muted layer adds nothing and does not make the mix longer (default false). */
  muted?: boolean;
};

/** The mix of 1 to 8 layers, byte for byte the quavix tool's render --layers (after init() and initLayers()). */
export function renderLayered(layers: readonly LayeredRecipe[]): LayersResult;
/** A Sound of a layered sound. */
export function fromLayers(context: BaseAudioContext, layers: readonly LayeredRecipe[]): Sound;

/** Sounds by recipe: each recipe renders once per cache. */
export class SoundCache {
  constructor(context: BaseAudioContext);
  readonly context: BaseAudioContext;
  /** The Sound of a recipe, made on first use. */
  get(recipe: Recipe): Sound;
  readonly size: number;
  clear(): void;
}

/** Renders a recipe in a Worker (the main thread stays free): the same result as renderRecipe(recipe). */
export function renderInWorker(recipe: Recipe): Promise<RenderResult>;

declare module 'quavix' {
  export const PARAM_NAMES: readonly string[];
  export const PRESET_FAMILIES: readonly string[];
  export const SAMPLE_RATE: number;
  export function init(source?: unknown): Promise<void>;
  export function paramUnit(name: string): string;
  export class Random { state: number; readonly seed: number; clone(): Random; draw(): number; fraction(range: number): number; }
  export function random(seed?: number): Random;
  export class Params {
    get(n: string | number): number; set(n: string | number, v: number): Params;
    stored(n: string | number): number; setStored(n: string | number, v: number): Params;
    clone(): Params; equals(o: Params): boolean; toJSON(): Record<string, number>;
  }
  export function defaults(): Params;
  export function fromJSON(o: Record<string, number>): Params;
  export function preset(family: string | number, rng: Random): Params;
  export function randomize(rng: Random): Params;
  export function mutate(p: Params, amount: number, rng: Random): Params;
  export function freqHz(hz: number): number;
  export interface Rendered { wav: Uint8Array; samples: Int16Array; sampleCount: number; durationSeconds: number; peak: number; clipped: number; silent: boolean; }
  export function render(p: Params, rng: Random, options?: { bufferLength?: number }): Rendered;
  export function toSettingsString(p: Params): string;
  export function fromSettingsString(text: string, base?: Params): Params;
  export function checkSettingsString(text: string): { ok: boolean; badField: number; error: string | null };
  export function writeSfs(p: Params): Uint8Array;
  export function readSfs(bytes: Uint8Array): Params;
}

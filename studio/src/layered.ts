// A layered sound: 1 to 8 exact recipes on one time axis, each with its start
// in samples, its gain in tenths of a decibel, Mute and Solo. The layers
// module mixes it as `quavix render --layers` does, with the export's input
// (each sum / 32768 as a float, unclamped) when asked.
import * as quavix from 'quavix';
import { cook, decodeRecipe, type Recipe } from './recipe';
import { projectLayer, readLayer } from './project';
import { cleanLabel, readStored, writeStored } from './timeline';

export interface MixLayer {
  name: string;
  /** An exact recipe: loaded parameters, the random state its render starts from, its buffer length. */
  recipe: Recipe;
  /** Where it starts, in samples. */
  offset: number;
  gainDb: number;
  muted: boolean;
  solo: boolean;
}

/** The layers that add to the mix: not muted, and soloed when any layer is. */
export function soundingOf(layers: readonly MixLayer[]): boolean[] {
  const soloing = layers.some((l) => l.solo);
  return layers.map((l) => !l.muted && (!soloing || l.solo));
}

/** What renderLayers takes (a muted or unsoloed layer is muted). */
export function toMix(layers: readonly MixLayer[]): quavix.Layer[] {
  const sounding = soundingOf(layers);
  return layers.map((l, i) => {
    const sound = cook(l.recipe);
    return {
      params: sound.params,
      seed: sound.renderState,
      bufferLength: l.recipe.bufferLength,
      offset: l.offset,
      gainDb: l.gainDb,
      muted: !sounding[i],
    };
  });
}

const LAYERS_KEY = 'quavix-studio.layers';
const TITLE_KEY = 'quavix-studio.layers-name';

/** The layered sound's name kept for a reload (null: none). */
export function loadTitle(storage: Storage | undefined): string | null {
  const name = cleanLabel(readStored(storage, TITLE_KEY), '');
  return name === '' ? null : name;
}

export function saveTitle(storage: Storage | undefined, name: string | null): void {
  writeStored(storage, TITLE_KEY, name);
}

/** A layer as plain data: the project file's fields, with its name and Solo. */
export const encodeLayer = (l: MixLayer) => ({ name: l.name, solo: l.solo, ...projectLayer(l) });

/** A layer from plain data, checked field by field, or what is wrong with it. */
export function decodeLayer(data: unknown): MixLayer | string {
  const layer = readLayer(data);
  if (typeof layer === 'string') return layer;
  const d = data as Record<string, unknown>;
  return { ...layer, name: cleanLabel(d.name, 'Layer'), solo: d.solo === true };
}

/** Keeps the current layers for a reload. */
export function saveLayers(storage: Storage | undefined, layers: readonly MixLayer[]): void {
  writeStored(storage, LAYERS_KEY, layers.map(encodeLayer));
}

/** The layers kept on this computer; a layer that cannot be read is left out, and `problems` says why. */
export function loadLayers(storage: Storage | undefined): { layers: MixLayer[]; problems: string[] } {
  const data = readStored(storage, LAYERS_KEY);
  if (data === undefined) return { layers: [], problems: [] };
  if (!Array.isArray(data)) return { layers: [], problems: ['they are not a list of layers'] };
  const layers: MixLayer[] = [];
  const problems: string[] = [];
  data.forEach((item: unknown, i) => {
    const layer =
      i < quavix.MAX_LAYERS ? decodeLayer(item) : `a layered sound holds at most ${quavix.MAX_LAYERS} layers`;
    if (typeof layer === 'string') problems.push(`layer ${i + 1}: ${layer}`);
    else layers.push(layer);
  });
  return { layers, problems };
}

/** The layers as one line of text for a link or the clipboard; a Solo goes as the Mute of the layers it silences. */
export const layersText = (layers: readonly MixLayer[]): string => quavix.layersToText(toMix(layers));

/** What a link or pasted text begins with when it holds layers. */
export const LAYERS_FRAGMENT = '#layers=';

/** The layers of a text from layersText, or what is wrong with it (naming the layer and its field). */
export function layersOfText(text: string): MixLayer[] | string {
  let read: quavix.LayerFromText[];
  try {
    read = quavix.layersFromText(text);
  } catch (e) {
    return ((e as Error)?.message ?? String(e)).replace(/^quavix: /, '');
  }
  const layers: MixLayer[] = [];
  for (const [i, l] of read.entries()) {
    const sfs = Array.from(quavix.writeSfs(l.params));
    const recipe = decodeRecipe({
      seed: l.seed,
      source: { kind: 'load', sfs },
      steps: [],
      bufferLength: l.bufferLength,
    });
    if (typeof recipe === 'string') return `layer ${i + 1}: ${recipe}`;
    layers.push({
      name: `Shared layer ${i + 1}`,
      recipe,
      offset: l.offset,
      gainDb: l.gainDb,
      muted: l.muted,
      solo: false,
    });
  }
  return layers;
}

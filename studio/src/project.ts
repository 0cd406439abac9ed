// The project file: the whole library as one JSON file that the Studio reads
// back and `quavix batch --project FILE` renders. Each sound is its exact
// parameters (the settings file's bytes in hexadecimal), the seed the
// synthesis starts from and the buffer length, with its name and tags; a
// layered sound (version 2) has a list of such layers, each with its offset,
// gain and Mute.
import * as quavix from 'quavix';
import { fromHex, hex } from './format';
import { cleanName, parseTags, type NewEntry } from './library';
import { cook, decodeRecipe, type Recipe } from './recipe';
import { layerRefusal } from './messages';
import { soundingOf, type MixLayer } from './layered';

export const PROJECT_FORMAT = 'quavix-project';
/** The version of plain sounds only, and the one with layered sounds. */
export const PROJECT_VERSION = 1;
export const LAYERS_VERSION = 2;
export const PROJECT_FILE = 'quavix-project.json';

/** A recipe's fields in the file. */
function recipeFields(recipe: Recipe): { seed: number; sfs: string; buffer_length: number } {
  const sound = cook(recipe);
  return { seed: sound.renderState, sfs: hex(quavix.writeSfs(sound.params)), buffer_length: recipe.bufferLength };
}

/** A layer as the file holds it; `muted` as it sounds in the mix (a Solo elsewhere mutes it). */
export function projectLayer(l: MixLayer, muted = l.muted) {
  return { ...recipeFields(l.recipe), offset: l.offset, gain_db: l.gainDb, muted };
}

/** The project file's text for these sounds, in this order: version 2 when one of them is layered. */
export function projectText(entries: readonly NewEntry[]): string {
  // The tool finds a layered sound by its name, which no other sound of the file may share.
  const taken = new Set(entries.filter((e) => !e.layers).map((e) => e.name));
  const sounds = entries.map((e) => {
    if (!e.layers) return { name: e.name, tags: e.tags, ...recipeFields(e.recipe) };
    let name = e.name;
    for (let n = 2; taken.has(name); n++) name = `${e.name} (${n})`;
    taken.add(name);
    const sounding = soundingOf(e.layers);
    return { name, tags: e.tags, layers: e.layers.map((l, i) => projectLayer(l, !sounding[i])) };
  });
  const version = entries.some((e) => e.layers) ? LAYERS_VERSION : PROJECT_VERSION;
  return JSON.stringify({ format: PROJECT_FORMAT, version, sounds }, null, 2) + '\n';
}

/** A seed, an sfs and a buffer length as a recipe, or what is wrong with them, in the tool's words. */
function readRecipe(d: Record<string, unknown>): Recipe | string {
  const size = quavix.writeSfs(quavix.defaults()).length;
  const bytes = typeof d.sfs === 'string' ? fromHex(d.sfs) : null;
  if (!bytes || bytes.length !== size)
    return `its parameters are not a settings file: "sfs" must be its ${size} bytes in hexadecimal`;
  return decodeRecipe({
    seed: d.seed,
    source: { kind: 'load', sfs: Array.from(bytes) },
    steps: [],
    bufferLength: d.buffer_length,
  });
}

const isObject = (v: unknown): v is Record<string, unknown> => typeof v === 'object' && v !== null && !Array.isArray(v);

/** One layer of a layered sound (without its name and Solo), or what is wrong with it, in the tool's words. */
export function readLayer(item: unknown): Omit<MixLayer, 'name' | 'solo'> | string {
  if (!isObject(item)) return 'it is not an object with a seed, its parameters and a buffer length';
  const recipe = readRecipe(item);
  if (typeof recipe === 'string') return recipe;
  const { offset = 0, gain_db: gainDb = 0, muted = false } = item;
  if (typeof offset !== 'number' || !Number.isInteger(offset)) return 'its offset is not a whole number of samples';
  if (typeof gainDb !== 'number' || Math.abs(gainDb * 10 - Math.round(gainDb * 10)) > 1e-6)
    return 'its gain_db is not a number of decibels in steps of 0.1';
  if (typeof muted !== 'boolean') return 'its muted is not true or false';
  const refused = layerRefusal({ offset, gainDb: Math.round(gainDb * 10) / 10 });
  if (refused !== null) return refused;
  return { recipe, offset, gainDb: Math.round(gainDb * 10) / 10, muted };
}

/** One sound of a project, or what is wrong with it. */
function readSound(item: unknown, version: number): NewEntry | string {
  if (!isObject(item)) return 'it is not an object with a name, a seed, its parameters and a buffer length';
  const d = item;
  if (typeof d.name !== 'string' || d.name === '') return 'it has no name';
  if (d.tags !== undefined && (!Array.isArray(d.tags) || !d.tags.every((t) => typeof t === 'string'))) {
    return 'its tags are not a list of words';
  }
  const named = { name: cleanName(d.name), tags: parseTags((d.tags as string[] | undefined) ?? []) };
  if (d.layers === undefined) {
    const recipe = readRecipe(d);
    return typeof recipe === 'string' ? recipe : { ...named, recipe };
  }
  if (version < LAYERS_VERSION) return `it has layers, which only files of version ${LAYERS_VERSION} hold`;
  if (!Array.isArray(d.layers) || d.layers.length === 0 || d.layers.length > quavix.MAX_LAYERS)
    return `its layers are not a list of 1 to ${quavix.MAX_LAYERS} layers`;
  const layers: MixLayer[] = [];
  for (const [i, raw] of d.layers.entries()) {
    const layer = readLayer(raw);
    if (typeof layer === 'string') return `layer ${i + 1}: ${layer}`;
    layers.push({ ...layer, name: `${named.name}, layer ${i + 1}`, solo: false });
  }
  return { ...named, recipe: layers[0].recipe, layers };
}

/** The most bytes of a project file the Studio reads: far more than a full library of layered sounds takes. */
export const MAX_PROJECT_BYTES = 32 * 1024 * 1024;

/** A project file's list of sounds, unread, with its version; a string when the file cannot be read. */
export function projectItems(text: string, fileName: string): { items: unknown[]; version: number } | string {
  const quoted = `\u201c${fileName}\u201d`;
  let data: unknown;
  try {
    data = JSON.parse(text);
  } catch {
    return `${quoted} is not a project file: it is not JSON text.`;
  }
  if (typeof data !== 'object' || data === null || (data as Record<string, unknown>).format !== PROJECT_FORMAT) {
    return `${quoted} is not a project file: it has no "format": "${PROJECT_FORMAT}".`;
  }
  const d = data as Record<string, unknown>;
  if (d.version !== PROJECT_VERSION && d.version !== LAYERS_VERSION) {
    const which = d.version === undefined ? 'no version' : `version ${JSON.stringify(d.version).slice(0, 20)}`;
    return `${quoted} is a project file of ${which}; this Studio reads versions ${PROJECT_VERSION} and ${LAYERS_VERSION}.`;
  }
  if (!Array.isArray(d.sounds)) return `${quoted} has no list of sounds.`;
  if (d.sounds.length === 0) return `${quoted} holds no sounds.`;
  return { items: d.sounds as unknown[], version: d.version };
}

/** Reads the sound at `index` of a project's list into `sounds`, or what is wrong with it into `problems`. */
export function readItem(items: readonly unknown[], index: number, version: number, read: ProjectRead): void {
  const item = items[index];
  const sound = readSound(item, version);
  if (typeof sound !== 'string') return void read.sounds.push(sound);
  const name = (item as { name?: unknown } | null)?.name;
  const named = typeof name === 'string' && name ? ` (\u201c${cleanName(name)}\u201d)` : '';
  read.problems.push(`sound ${index + 1}${named}: ${sound}`);
}

export interface ProjectRead {
  sounds: NewEntry[];
  problems: string[];
}

/** The sounds of a project file, with what is wrong with each one left out; a string when the file cannot be read. */
export function readProject(text: string, fileName: string): ProjectRead | string {
  const project = projectItems(text, fileName);
  if (typeof project === 'string') return project;
  const read: ProjectRead = { sounds: [], problems: [] };
  for (let i = 0; i < project.items.length; i++) readItem(project.items, i, project.version, read);
  return read;
}

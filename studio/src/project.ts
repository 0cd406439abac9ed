// The project file: the whole library as one JSON file that the Studio reads
// back and `quavix batch --project FILE` renders. Each sound is its exact
// parameters (the settings file's bytes in hexadecimal), the seed the
// synthesis starts from and the buffer length, with its name and tags.
import * as quavix from 'quavix';
import { fromHex, hex } from './format';
import { cleanName, parseTags, type NewEntry } from './library';
import { decodeRecipe, flatten } from './recipe';

export const PROJECT_FORMAT = 'quavix-project';
export const PROJECT_VERSION = 1;
export const PROJECT_FILE = 'quavix-project.json';

/** The project file's text for these sounds, in this order. */
export function projectText(entries: readonly NewEntry[]): string {
  const sounds = entries.map((e) => {
    const flat = flatten(e.recipe);
    const sfs = flat.source.kind === 'load' ? flat.source.sfs : quavix.writeSfs(quavix.defaults());
    return { name: e.name, tags: e.tags, seed: flat.seed, sfs: hex(sfs), buffer_length: flat.bufferLength };
  });
  return JSON.stringify({ format: PROJECT_FORMAT, version: PROJECT_VERSION, sounds }, null, 2) + '\n';
}

/** One sound of a project, or what is wrong with it. */
function readSound(item: unknown): NewEntry | string {
  if (typeof item !== 'object' || item === null || Array.isArray(item)) {
    return 'it is not an object with a name, a seed, its parameters and a buffer length';
  }
  const d = item as Record<string, unknown>;
  if (typeof d.name !== 'string' || d.name === '') return 'it has no name';
  if (d.tags !== undefined && (!Array.isArray(d.tags) || !d.tags.every((t) => typeof t === 'string'))) {
    return 'its tags are not a list of words';
  }
  const size = quavix.writeSfs(quavix.defaults()).length;
  const bytes = typeof d.sfs === 'string' ? fromHex(d.sfs) : null;
  if (!bytes || bytes.length !== size)
    return `its parameters are not a settings file: "sfs" must be its ${size} bytes in hexadecimal`;
  // The rest as a recipe of the Studio's own: its seed, its buffer length and its parameters.
  const recipe = decodeRecipe({
    seed: d.seed,
    source: { kind: 'load', sfs: Array.from(bytes) },
    steps: [],
    bufferLength: d.buffer_length,
  });
  if (typeof recipe === 'string') return recipe;
  return { name: cleanName(d.name), tags: parseTags((d.tags as string[] | undefined) ?? []), recipe };
}

/** The sounds of a project file, with what is wrong with each one left out; a string when the file cannot be read. */
export function readProject(text: string, fileName: string): { sounds: NewEntry[]; problems: string[] } | string {
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
  if (d.version !== PROJECT_VERSION) {
    const which = d.version === undefined ? 'no version' : `version ${JSON.stringify(d.version).slice(0, 20)}`;
    return `${quoted} is a project file of ${which}; this Studio reads version ${PROJECT_VERSION}.`;
  }
  if (!Array.isArray(d.sounds)) return `${quoted} has no list of sounds.`;
  if (d.sounds.length === 0) return `${quoted} holds no sounds.`;
  const sounds: NewEntry[] = [];
  const problems: string[] = [];
  d.sounds.forEach((item: unknown, i) => {
    const sound = readSound(item);
    if (typeof sound !== 'string') return void sounds.push(sound);
    const name = (item as { name?: unknown } | null)?.name;
    const named = typeof name === 'string' && name ? ` (\u201c${cleanName(name)}\u201d)` : '';
    problems.push(`sound ${i + 1}${named}: ${sound}`);
  });
  return { sounds, problems };
}

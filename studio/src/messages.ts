// What the page tells people about files and sounds, in their words.
import * as quavix from 'quavix';
import type { Params } from 'quavix';

/** The parameters in a settings file, or what is wrong with the file. */
export function readSettingsFile(name: string, bytes: Uint8Array): Params | string {
  const quoted = `\u201c${name}\u201d`;
  if (bytes.length === 0) return `${quoted} is empty: there is no sound in it.`;
  const magic = String.fromCharCode(...bytes.subarray(0, 4));
  if (magic === 'RIFF') {
    return `${quoted} is a sound file (WAV). Open reads settings files (.sfs), which Save .sfs writes; a WAV file holds no settings.`;
  }
  try {
    return quavix.readSfs(bytes);
  } catch {
    return `${quoted} is not a settings file (.sfs) that Quavix can read: it may be damaged or another kind of file.`;
  }
}

/** A note when the buffer length cuts the sound: `needed` is the whole sound's sample count (null: longer than 60 s). */
export function cutNote(bufferLength: number, needed: number | null): string {
  if (needed === null) {
    return `The buffer length cuts this sound at ${bufferLength} s, and it is longer than the longest buffer, 60 s: shorten the envelope to hear its end.`;
  }
  const seconds = Math.ceil(needed / quavix.bufferSamples(1));
  return `The buffer length cuts this sound at ${bufferLength} s: all of it needs a buffer length of ${seconds} s.`;
}

/** The latest start a field takes, in milliseconds (the mix's own limit, in samples, is checked as well). */
const LATEST_START_MS = 60000;

/** What the core says is wrong with a layer of this start (samples) and gain (dB), in its words, or null. */
export function layerRefusal(layer: { offset?: number; gainDb?: number }): string | null {
  try {
    // A muted layer is checked but not rendered.
    quavix.renderLayers([{ params: quavix.defaults(), seed: 1, ...layer, muted: true }]);
    return null;
  } catch (e) {
    return ((e as Error).message ?? String(e)).replace(/^quavix: layer 1: /, '');
  }
}

/** The core's refusal as a sentence. */
function refusal(layer: { offset?: number; gainDb?: number }): string | null {
  const text = layerRefusal(layer);
  return text === null ? null : `${text.charAt(0).toUpperCase()}${text.slice(1)}.`;
}

/** The start typed in milliseconds as whole samples, or what is wrong with it. */
export function startSamples(text: string): number | string {
  const ms = Number(text.trim());
  if (text.trim() === '' || !Number.isFinite(ms)) return 'Type the start in milliseconds, such as 250.';
  if (ms < 0 || ms > LATEST_START_MS)
    return `The start is 0 to ${LATEST_START_MS.toLocaleString('en')} ms (60 s), not ${text.trim()} ms.`;
  const offset = Math.round((ms * quavix.SAMPLE_RATE) / 1000);
  return refusal({ offset }) ?? offset;
}

/** The gain typed in decibels, or what is wrong with it. */
export function gainOf(text: string): number | string {
  const db = Number(text.trim());
  if (text.trim() === '' || !Number.isFinite(db)) return 'Type the gain in dB, such as -6 or 3.5.';
  const tenths = Math.round(db * 10);
  if (Math.abs(db * 10 - tenths) > 1e-6)
    return `The gain goes in steps of 0.1 dB, such as ${(tenths / 10).toFixed(1)}, not ${text.trim()}.`;
  const gainDb = tenths / 10;
  return refusal({ gainDb }) ?? gainDb;
}

/**
 * Why a pasted settings string cannot be read, or null: the core's check of each field, and exactly one field per
 * parameter (a shorter text is most likely cut short in the copying; the tool's lenient --csv takes it).
 */
export function settingsStringProblem(text: string): string | null {
  const check = quavix.checkSettingsString(text);
  const count = quavix.PARAM_NAMES.length;
  const rule = `A settings string is ${count} numbers separated by commas, as Copy settings string gives it.`;
  const fields = settingsFields(text);
  if (check.ok && fields === count) return null;
  if (fields !== count && (check.ok || check.badField >= count)) {
    return `The settings string cannot be read: it has ${fields} field${fields === 1 ? '' : 's'}, and a settings string has ${count}. ${rule}`;
  }
  if (check.badField >= 0)
    return `The settings string cannot be read: field ${check.badField + 1} is not a number. ${rule}`;
  return `The settings string cannot be read: ${check.error}. ${rule}`;
}

/** The fields of a settings string, as the core reads it (up to a NUL). */
const settingsFields = (text: string) => text.split('\0')[0].split(',').length;

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

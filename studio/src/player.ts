// Playback for the whole page: one sound at a time, once or looped, and stopped on request.
import * as quavix from 'quavix';

interface Playing {
  source: AudioBufferSourceNode;
  startedAt: number;
  seconds: number;
  /** Who started it: 'sound' or a variation's number. */
  owner: string;
}

let context: AudioContext | null = null;
let playing: Playing | null = null;
const listeners: (() => void)[] = [];

function changed(): void {
  // Who plays, for the page's styles and tests: '' when nothing does.
  document.documentElement.dataset.playing = playing?.owner ?? '';
  for (const listener of listeners) listener();
}

/** Called when a sound starts or ends. */
export function onPlayback(listener: () => void): void {
  listeners.push(listener);
}

/** Plays -1..1 samples at the core's rate, stopping what played before; throws where the browser has no audio. */
export function playSamples(samples: Float32Array, owner: string, loop: boolean): void {
  context ??= new AudioContext({ sampleRate: quavix.SAMPLE_RATE });
  const before = playing;
  playing = null;
  before?.source.stop();
  if (samples.length === 0) return changed();
  const buffer = context.createBuffer(1, samples.length, quavix.SAMPLE_RATE);
  buffer.copyToChannel(samples as Float32Array<ArrayBuffer>, 0);
  const source = context.createBufferSource();
  source.buffer = buffer;
  source.loop = loop;
  source.connect(context.destination);
  source.onended = () => {
    if (playing?.source !== source) return;
    playing = null;
    changed();
  };
  source.start();
  playing = { source, startedAt: context.currentTime, seconds: samples.length / quavix.SAMPLE_RATE, owner };
  changed();
}

export function stopPlaying(): void {
  const was = playing;
  playing = null;
  was?.source.stop();
  if (was) changed();
}

/** Makes the sound that plays go on (or stop at its end). */
export function setLooping(loop: boolean): void {
  if (playing) playing.source.loop = loop;
}

/** Who plays and where in the sound it is (0..1), or null when nothing plays. */
export function nowPlaying(): { owner: string; at: number } | null {
  if (!playing || !context) return null;
  const elapsed = (context.currentTime - playing.startedAt) / playing.seconds;
  const at = playing.source.loop ? elapsed % 1 : elapsed;
  return { owner: playing.owner, at: Math.min(1, at) };
}

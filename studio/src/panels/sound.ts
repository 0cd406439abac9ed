// The sound: Play, its length, peak, clipping and fingerprint, notes on what
// cannot be heard (silence, clipping, a cut by the buffer length), the
// waveform with its playhead and the spectrogram.
import * as quavix from 'quavix';
import type { Rendered, Views } from '../protocol';
import { cookedOf } from '../store';
import { formatSeconds } from '../format';
import { cutNote } from '../messages';
import { drawSpectrum, drawWave } from '../views';
import { $, h } from '../dom';
import type { Panel, Studio } from './context';

const FINGERPRINT_NOTE =
  'SHA-256 of this WAV file. It equals sha256sum of the file that quavix render writes, ' +
  'and of the sound the module generates, for the same recipe.';

export class SoundPanel implements Panel {
  element: HTMLElement;
  private audio: AudioContext | null = null;
  private playing: AudioBufferSourceNode | null = null;
  private playStart = 0;
  private sayTimer = 0;
  /** When the last change was asked for, for the latency measurements. */
  changedAt = 0;

  constructor(private studio: Studio) {
    this.element = h(
      'section',
      { class: 'panel sound', 'aria-labelledby': 'sound-title' },
      h(
        'div',
        { class: 'panel-head' },
        h('h2', { id: 'sound-title' }, 'Sound'),
        h(
          'button',
          { type: 'button', id: 'play', class: 'primary', onclick: () => this.play(), 'aria-keyshortcuts': 'Space' },
          h('span', { 'aria-hidden': 'true' }, '\u25B6'),
          'Play',
          h('kbd', { 'aria-hidden': 'true' }, 'Space'),
        ),
      ),
      h(
        'div',
        { class: 'meters' },
        h('span', { id: 'length' }, '\u2014'),
        h('span', { id: 'peak' }, ''),
        h('span', { id: 'clipped' }, ''),
        h(
          'span',
          { class: 'fp-wrap' },
          h('span', { 'aria-hidden': 'true' }, 'Fingerprint '),
          h(
            'button',
            {
              type: 'button',
              id: 'fingerprint',
              class: 'fp',
              title: FINGERPRINT_NOTE,
              'aria-label': 'Fingerprint not yet computed',
              'aria-describedby': 'fp-note',
              onclick: (e: Event) =>
                studio.copy((e.currentTarget as HTMLElement).dataset.sha256 ?? '', 'fingerprint (SHA-256)'),
            },
            '\u2026',
          ),
          h('span', { id: 'fp-note', class: 'visually-hidden' }, FINGERPRINT_NOTE),
        ),
      ),
      h('p', { id: 'status', class: 'status', role: 'status' }),
      h('p', { id: 'warning', class: 'warning', hidden: true }),
      h(
        'p',
        { id: 'cut', class: 'warning', hidden: true },
        h('span', { id: 'cut-text' }),
        ' ',
        h('button', { type: 'button', id: 'cut-fix', onclick: () => this.lengthenBuffer() }, ''),
      ),
      h('canvas', {
        id: 'wave',
        class: 'view',
        width: 800,
        height: 140,
        role: 'img',
        'aria-label': 'Waveform of the whole sound',
      }),
      h('canvas', {
        id: 'spectrum',
        class: 'view',
        width: 800,
        height: 110,
        role: 'img',
        'aria-label': 'Spectrogram: time across, frequency upwards from 40 Hz to 22 kHz on a log scale',
      }),
    );
  }

  update(): void {}

  say(text: string): void {
    $('status').textContent = text;
    clearTimeout(this.sayTimer);
    this.sayTimer = window.setTimeout(() => ($('status').textContent = ''), 6000);
  }

  /** The buffer length that holds the whole sound. */
  private lengthenBuffer(): void {
    const store = this.studio.store;
    const needed = Number($('cut-fix').dataset.seconds);
    if (needed >= 1 && needed <= 60)
      store.change({ ...store.recipe, bufferLength: needed }, `Buffer length ${needed} s`);
  }

  /** Shows a sound that has just been made. */
  rendered(result: Rendered): void {
    const store = this.studio.store;
    for (const id of ['play', 'download', 'star']) ($(id) as HTMLButtonElement).disabled = false;
    const seconds = result.sampleCount / quavix.SAMPLE_RATE;
    $('length').textContent = `${result.sampleCount.toLocaleString('en')} samples \u00b7 ${formatSeconds(seconds)} s`;
    $('peak').textContent = `peak ${result.peak} (${((100 * result.peak) / 32767).toFixed(0)} %)`;
    $('clipped').textContent = `${result.clipped} clipped`;
    $('clipped').classList.toggle('bad', result.clipped > 0);
    const fp = $('fingerprint');
    fp.textContent = result.sha256.slice(0, 12);
    fp.dataset.sha256 = result.sha256;
    fp.setAttribute('aria-label', `Fingerprint ${result.sha256.slice(0, 12)}, copies the whole SHA-256`);
    const wave = cookedOf(store.recipe).params.stored('WaveType');
    const notes: string[] = [];
    if (result.silent) {
      notes.push(
        wave >= 0 && wave <= 3
          ? 'This sound is silent: every sample is 0.'
          : `This sound is silent: wave type ${wave} makes no wave.`,
      );
    }
    if (result.clipped > 0) notes.push(`${result.clipped} samples are clipped at \u00b132000: lower the volume.`);
    $('warning').textContent = notes.join(' ');
    $('warning').hidden = notes.length === 0;
    const cut = result.whole === null || result.whole > result.sampleCount;
    $('cut').hidden = !cut;
    if (cut) {
      $('cut-text').textContent = cutNote(store.recipe.bufferLength, result.whole);
      const needed = result.whole === null ? null : Math.ceil(result.whole / quavix.bufferSamples(1));
      $('cut-fix').hidden = needed === null;
      $('cut-fix').dataset.seconds = String(needed);
      $('cut-fix').textContent = `Set the buffer length to ${needed} s`;
    }
  }

  /** The sound could not be made: nothing to play or download until another one is. */
  failed(): void {
    for (const id of ['play', 'download', 'star']) ($(id) as HTMLButtonElement).disabled = true;
    $('fingerprint').textContent = '\u2014';
    $('fingerprint').setAttribute('aria-label', 'No fingerprint: the sound could not be made');
    delete $('fingerprint').dataset.sha256;
  }

  /** Paints the views again (a new sound, a resize, a change between light and dark). */
  repaint(): void {
    const views: Views | null = this.studio.store.views;
    if (!views) return;
    drawWave($('wave') as HTMLCanvasElement, views.wave, null);
    drawSpectrum($('spectrum') as HTMLCanvasElement, views.spectrum);
  }

  play(): void {
    const store = this.studio.store;
    const result = store.last;
    if (!result) return;
    try {
      this.audio ??= new AudioContext({ sampleRate: quavix.SAMPLE_RATE });
      this.playing?.stop();
      this.playing = null;
      if (result.sampleCount === 0) return;
      const buffer = this.audio.createBuffer(1, result.sampleCount, quavix.SAMPLE_RATE);
      buffer.copyToChannel(result.audio as Float32Array<ArrayBuffer>, 0);
      const source = this.audio.createBufferSource();
      source.buffer = buffer;
      source.connect(this.audio.destination);
      source.start();
      this.playing = source;
      this.playStart = this.audio.currentTime;
      document.dispatchEvent(
        new CustomEvent('studio-playing', {
          detail: { sinceChange: performance.now() - this.changedAt, worker: result.timings },
        }),
      );
      const duration = result.sampleCount / quavix.SAMPLE_RATE;
      const tick = () => {
        if (this.playing !== source || !this.audio) return;
        const views = store.views;
        if (!views) return void requestAnimationFrame(tick);
        const t = (this.audio.currentTime - this.playStart) / duration;
        drawWave($('wave') as HTMLCanvasElement, views.wave, t <= 1 ? t : null);
        if (t <= 1) requestAnimationFrame(tick);
      };
      requestAnimationFrame(tick);
    } catch (e) {
      this.studio.warn(`The sound cannot be played in this browser: ${(e as Error).message}`);
    }
  }
}

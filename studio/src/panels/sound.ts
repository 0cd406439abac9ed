// The sound: Play, its length, peak, clipping and fingerprint, notes on what
// cannot be heard (silence, clipping, a cut by the buffer length), the
// waveform with its playhead and time axis, and the spectrogram. Play once or
// looped, and Stop.
import * as quavix from 'quavix';
import type { Rendered, Views } from '../protocol';
import { cookedOf } from '../store';
import { formatSeconds } from '../format';
import { cutNote } from '../messages';
import { drawSpectrum, drawWave } from '../views';
import { timeTicks } from '../axis';
import { nowPlaying, onPlayback, playSamples, setLooping, stopPlaying } from '../player';
import { $, h } from '../dom';
import type { Panel, Studio } from './context';

const FINGERPRINT_NOTE =
  'SHA-256 of this WAV file. It equals sha256sum of the file that quavix render writes, ' +
  'and of the sound the module generates, for the same recipe.';

export class SoundPanel implements Panel {
  element: HTMLElement;
  private sayTimer = 0;
  private loop = false;
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
        h(
          'button',
          { type: 'button', id: 'loop', 'aria-pressed': 'false', onclick: () => this.toggleLoop() },
          h('span', { 'aria-hidden': 'true' }, '\u21BB'),
          'Loop',
        ),
        h(
          'button',
          { type: 'button', id: 'stop', disabled: true, onclick: () => stopPlaying(), 'aria-keyshortcuts': 'Escape' },
          h('span', { 'aria-hidden': 'true' }, '\u25A0'),
          'Stop',
          h('kbd', { 'aria-hidden': 'true' }, 'Esc'),
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
      h('div', { id: 'time-axis', class: 'time-axis', 'aria-hidden': 'true' }),
      h('canvas', {
        id: 'spectrum',
        class: 'view',
        width: 800,
        height: 110,
        role: 'img',
        'aria-label': 'Spectrogram: time across, frequency upwards from 40 Hz to 22 kHz on a log scale',
      }),
    );
    this.listen();
  }

  update(): void {}

  private toggleLoop(): void {
    this.loop = !this.loop;
    $('loop').setAttribute('aria-pressed', String(this.loop));
    setLooping(this.loop);
    this.say(this.loop ? 'Loop on' : 'Loop off');
  }

  /** Seconds under the waveform, as many round steps as its width has room for. */
  private drawAxis(): void {
    const result = this.studio.store.last;
    const axis = $('time-axis');
    const seconds = result ? result.sampleCount / quavix.SAMPLE_RATE : 0;
    const { ticks, decimals } = timeTicks(seconds, Math.max(2, Math.floor(axis.clientWidth / 64)));
    axis.replaceChildren(
      ...ticks.map((t) => {
        const at = (100 * t) / seconds;
        const side = at === 0 ? 'first' : at > 90 ? 'last' : '';
        const tick = h('span', { class: `tick ${side}` }, `${t.toFixed(decimals)} s`);
        tick.style.left = `${at}%`;
        return tick;
      }),
    );
  }

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
    if (result.clipped > 0)
      notes.push(`${result.clipped} samples are clipped at \u00b1${quavix.CLIP_LEVEL}: lower the volume.`);
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
    this.drawAxis();
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
      playSamples(result.audio, 'sound', this.loop);
      if (result.sampleCount === 0) return;
      document.dispatchEvent(
        new CustomEvent('studio-playing', {
          detail: { sinceChange: performance.now() - this.changedAt, worker: result.timings },
        }),
      );
      const tick = () => {
        const now = nowPlaying();
        if (now?.owner !== 'sound' || store.last !== result) return this.repaint();
        if (store.views) drawWave($('wave') as HTMLCanvasElement, store.views.wave, now.at);
        requestAnimationFrame(tick);
      };
      requestAnimationFrame(tick);
    } catch (e) {
      this.studio.warn(`The sound cannot be played in this browser: ${(e as Error).message}`);
    }
  }

  /** Stop is offered while a sound plays; Escape stops it too (when no dialog is open). */
  private listen(): void {
    onPlayback(() => (($('stop') as HTMLButtonElement).disabled = nowPlaying() === null));
    document.addEventListener('keydown', (e) => {
      if (e.key === 'Escape' && !document.querySelector('dialog[open]') && nowPlaying()) stopPlaying();
    });
  }
}

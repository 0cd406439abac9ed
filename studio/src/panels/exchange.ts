// The sound in other forms: the settings string, settings files, the WAV
// download, the share link, the tool's command line and the host's actions.
import * as quavix from 'quavix';
import { cook } from '../recipe';
import { cliCommand, hostScript, shareFragment } from '../exports';
import { readSettingsFile, settingsStringProblem } from '../messages';
import { shortName } from '../format';
import { $, h, save } from '../dom';
import type { Panel, Studio } from './context';

export class ExchangePanel implements Panel {
  element: HTMLElement;

  constructor(private studio: Studio) {
    const copy = (id: string, label: string) =>
      h(
        'button',
        { type: 'button', onclick: () => studio.copy(($(id) as HTMLTextAreaElement).value, label) },
        `Copy ${label}`,
      );
    this.element = h(
      'section',
      { class: 'panel exchange', 'aria-labelledby': 'exchange-title' },
      h('h2', { id: 'exchange-title' }, 'Exchange'),
      h('label', { for: 'csv' }, 'Settings string'),
      h('textarea', { id: 'csv', rows: 2, spellcheck: 'false', 'aria-describedby': 'csv-help' }),
      h(
        'p',
        { id: 'csv-help', class: 'help' },
        'Four decimals of each stored value; paste one and press Load. Settings files keep values exactly.',
      ),
      h(
        'div',
        { class: 'inline tight' },
        copy('csv', 'settings string'),
        h('button', { type: 'button', id: 'load-csv', onclick: () => this.loadCsv() }, 'Load'),
      ),
      h(
        'div',
        { class: 'inline tight files' },
        h('button', { type: 'button', id: 'open', onclick: () => $('open-sfs').click() }, 'Open .sfs\u2026'),
        h('input', {
          id: 'open-sfs',
          type: 'file',
          accept: '.sfs',
          hidden: true,
          tabindex: '-1',
          'aria-label': 'Settings file to open',
          onchange: (e: Event) => this.openFile((e.target as HTMLInputElement).files?.[0]),
        }),
        h('button', { type: 'button', id: 'save-sfs', onclick: () => this.saveSfs() }, 'Save .sfs'),
        h(
          'button',
          { type: 'button', id: 'download', class: 'primary', onclick: () => this.download() },
          'Download WAV',
        ),
      ),
      h('p', { class: 'help' }, 'Or drop a .sfs file anywhere on the page.'),
      h('label', { for: 'link' }, 'Share link'),
      h('textarea', { id: 'link', rows: 2, readonly: true, spellcheck: 'false' }),
      h('div', { class: 'inline tight' }, copy('link', 'link')),
      h('label', { for: 'command' }, 'Command line'),
      h('textarea', {
        id: 'command',
        rows: 3,
        readonly: true,
        spellcheck: 'false',
        'aria-describedby': 'command-help',
      }),
      h('p', { id: 'command-help', class: 'help' }, 'Writes this WAV file, byte for byte, with the quavix tool.'),
      h('div', { class: 'inline tight' }, copy('command', 'command')),
      h('label', { for: 'script' }, 'Host script (the module\u2019s actions, in order)'),
      h('textarea', { id: 'script', rows: 5, readonly: true, spellcheck: 'false' }),
      h('div', { class: 'inline tight' }, copy('script', 'host script')),
    );
  }

  private loadCsv(): void {
    const store = this.studio.store;
    const text = ($('csv') as HTMLTextAreaElement).value.trim();
    const problem = settingsStringProblem(text);
    if (problem !== null) return this.studio.warn(problem);
    const params = quavix.fromSettingsString(text, cook(store.recipe).params);
    this.load(quavix.writeSfs(params), 'Settings string');
  }

  /** Loaded parameters come in exactly as they are, locks or not. */
  private load(sfs: Uint8Array, what: string): void {
    const store = this.studio.store;
    store.change({ ...store.recipe, source: { kind: 'load', sfs }, steps: [] }, what);
  }

  async openFile(file: File | undefined): Promise<void> {
    if (!file) return;
    let bytes: Uint8Array;
    try {
      bytes = new Uint8Array(await file.arrayBuffer());
    } catch {
      return this.studio.warn(`\u201c${file.name}\u201d could not be read from the disk.`);
    }
    const params = readSettingsFile(file.name, bytes);
    if (typeof params === 'string') return this.studio.warn(params);
    this.load(quavix.writeSfs(params), `Opened ${file.name}`);
  }

  private download(): void {
    const store = this.studio.store;
    if (!store.last) return;
    const name = `${store.fileName()}.wav`;
    save(new Blob([store.last.wav as Uint8Array<ArrayBuffer>], { type: 'audio/wav' }), name);
    this.studio.say(`Downloaded ${shortName(name)}`);
  }

  private saveSfs(): void {
    const store = this.studio.store;
    const recipe = store.recipe;
    const name = `${store.fileName()}.sfs`;
    const bytes = quavix.writeSfs(cook(recipe).params) as Uint8Array<ArrayBuffer>;
    save(new Blob([bytes], { type: 'application/octet-stream' }), name);
    this.studio.say(`Saved ${shortName(name)}`);
  }

  /** The settings string, link, command and host script of the current recipe; the address holds the link. */
  update(): void {
    const recipe = this.studio.store.recipe;
    const csvField = $('csv') as HTMLTextAreaElement;
    if (document.activeElement !== csvField) csvField.value = quavix.toSettingsString(cook(recipe).params);
    const fragment = shareFragment(recipe);
    ($('link') as HTMLTextAreaElement).value = location.href.replace(/#.*$/, '') + fragment;
    history.replaceState(null, '', fragment);
    ($('command') as HTMLTextAreaElement).value = cliCommand(recipe, `${this.studio.store.fileName(recipe)}.wav`);
    ($('script') as HTMLTextAreaElement).value = hostScript(recipe).join('\n');
  }
}

// Quavix Studio: the page. Every change becomes a new recipe in the store,
// which is cooked here (the design steps are instant) and rendered in the
// worker; the panels show the state after each change.
import * as quavix from 'quavix';
import './style.css';
import { layersWasmBytes, wasmBytes } from './wasm-source';
import RenderWorker from './worker?worker&inline';
import { Renderer } from './renderer';
import type { Rendered, Views } from './protocol';
import { newRecipe, type Recipe } from './recipe';
import { readFragment, shareFragment } from './exports';
import { loadSession, loadStars } from './timeline';
import { cookedOf, randomSeed, Store, type Change } from './store';
import { $, h, safeStorage, takesTyping } from './dom';
import type { Panel, Studio as StudioContext } from './panels/context';
import { SoundPanel } from './panels/sound';
import { MakePanel } from './panels/make';
import { ParametersPanel } from './panels/parameters';
import { ExchangePanel } from './panels/exchange';
import { ComparePanel } from './panels/compare';
import { HistoryPanel } from './panels/history';
import { ExportPanel } from './panels/export';
import { VariationsPanel } from './panels/variations';
import { firstRunHint, shortcutsHelp } from './panels/help';
import { LibraryPanel } from './panels/library';
import { LayersPanel } from './panels/layers';
import { keepWith } from './keep';
import { LAYERS_FRAGMENT } from './layered';

class Studio implements StudioContext {
  store: Store;
  /** Set by the person's first press of a key, mouse button or finger on the page. */
  used = false;
  private renderer: Renderer;
  private sound: SoundPanel;
  private history: HistoryPanel;
  private exchange: ExchangePanel;
  private layers: LayersPanel;
  private panels: Panel[];
  private exportsTimer = 0;
  private persistTimer = 0;

  constructor(module: WebAssembly.Module) {
    const storage = safeStorage();
    const { session, refused } = loadSession(storage);
    const layersLink = location.hash.startsWith(LAYERS_FRAGMENT) ? location.hash : null;
    const fromLink = location.hash.length > 1 && !layersLink ? readFragment(location.hash) : null;
    const restored = session ? session.slots[session.slot] : null;
    let first: Recipe;
    if (fromLink && typeof fromLink !== 'string') {
      // A reload keeps its link in the address: the session's own recipe, with its seed, when it is that sound.
      first = restored && shareFragment(restored) === shareFragment(fromLink) ? restored : fromLink;
    } else first = restored ?? newRecipe(randomSeed(), { kind: 'preset', family: 0 });
    const starred = loadStars(storage);
    this.store = new Store(first, session, starred.stars);

    this.sound = new SoundPanel(this);
    this.history = new HistoryPanel(this);
    this.exchange = new ExchangePanel(this);
    const compare = new ComparePanel(this);
    const make = new MakePanel(this);
    const parameters = new ParametersPanel(this);
    const exporting = new ExportPanel(this);
    const library = new LibraryPanel(this, {
      starsChanged: () => (this.history.showStars(), this.history.update()),
      openLayers: (layers, name) => this.layers.open(layers, name),
    });
    this.history.starWith = () => library.toggleStar();
    keepWith((recipe, name) => library.keep(recipe, name));
    exporting.fromLibrary = () => library.shown();
    const variations = new VariationsPanel(
      this,
      (events) => new Renderer(module, () => new RenderWorker(), events),
      () => this.history.showStars(),
    );
    this.layers = new LayersPanel(this, quavix.initLayers(layersWasmBytes()), layersLink);
    this.layers.keeper = (name, tags, layers) => library.keepLayers(name, tags, layers);
    exporting.fromLayers = () => this.layers.packItem();
    const help = shortcutsHelp();
    this.panels = [this.sound, make, parameters, compare, this.history, library, variations, this.layers];
    $('app').replaceChildren(
      h('a', { class: 'skip', href: '#params-title' }, 'Skip to the parameters'),
      h(
        'header',
        { class: 'top' },
        h(
          'div',
          { class: 'brand' },
          h('h1', {}, 'Quavix Studio'),
          h('p', { class: 'tagline' }, 'The sound you hear here is the sound your game plays, byte for byte.'),
        ),
        compare.element,
        help.button,
      ),
      h(
        'main',
        { class: 'layout' },
        h('div', { id: 'notices', class: 'notices', 'aria-live': 'polite' }),
        firstRunHint() ?? '',
        h(
          'div',
          { class: 'column' },
          this.sound.element,
          make.element,
          this.history.element,
          library.element,
          this.exchange.element,
        ),
        h('div', { class: 'column wide' }, variations.element, this.layers.element, parameters.element),
      ),
      h(
        'footer',
        {},
        h(
          'p',
          { class: 'keys' },
          'Keys: Space plays · Ctrl+Z undoes · Ctrl+Shift+Z or Ctrl+Y redoes · X switches A/B · arrows move a focused slider · ? lists them all',
        ),
      ),
      help.dialog,
      h(
        'div',
        { id: 'dropzone', class: 'dropzone', hidden: true },
        h('p', {}, 'Drop a settings file (.sfs) to open it'),
      ),
    );

    this.exchange.element.after(exporting.element);
    if (typeof fromLink === 'string') {
      this.warn(`${fromLink} ${restored ? 'Your last sound is shown instead.' : 'A new sound is shown instead.'}`);
    }
    const unread = refused + starred.refused;
    if (unread > 0) {
      this.warn(
        `${unread === 1 ? 'One sound' : `${unread} sounds`} kept on this computer could not be read and ` +
          `${unread === 1 ? 'was' : 'were'} left out; the others are here.`,
      );
    }
    this.renderer = new Renderer(module, () => new RenderWorker(), {
      rendered: (r) => this.rendered(r),
      failed: (m) => this.synthesisFailed(m),
      views: (v) => this.viewsArrived(v),
    });
    this.store.subscribe((change) => this.show(change));
    this.history.showStars();
    this.show({ render: true });
    void library.open();
  }

  /** Shows the current recipe; with `render`, asks for its sound first, before any other work. */
  private show(change: Change): void {
    const store = this.store;
    if (change.render) {
      const recipe = store.recipe;
      const sound = cookedOf(recipe);
      store.rendering = true;
      this.sound.changedAt = performance.now();
      document.documentElement.dataset.busy = 'true';
      void this.renderer?.request(quavix.writeSfs(sound.params), sound.renderState, recipe.bufferLength);
    }
    for (const panel of this.panels) panel.update();
    if (change.what) this.say(change.what);
    clearTimeout(this.exportsTimer);
    this.exportsTimer = window.setTimeout(() => this.showExports(), 0);
  }

  private showExports(): void {
    clearTimeout(this.exportsTimer);
    this.exchange.update();
    clearTimeout(this.persistTimer);
    this.persistTimer = window.setTimeout(() => this.persist(), 300);
  }

  /** Keeps the session for a reload (shortly after a change, and when the page is left). */
  persist(): void {
    clearTimeout(this.persistTimer);
    this.store.persist(safeStorage());
  }

  private rendered(result: Rendered): void {
    const arrived = performance.now();
    const store = this.store;
    store.last = result;
    store.views = null;
    store.rendering = false;
    document.documentElement.dataset.busy = 'false';
    document.documentElement.dataset.engine = this.renderer.where;
    // Sound only after the person has used the page: never on opening it.
    if (this.used) this.play();
    performance.measure('studio: sound to playback', { start: arrived });
    this.sound.rendered(result);
    this.layers.update();
    if (store.historyDue) store.addToHistory();
    this.history.update();
    this.showExports();
    performance.measure('studio: sound shown', { start: arrived });
  }

  private synthesisFailed(message: string): void {
    document.documentElement.dataset.busy = 'false';
    this.store.last = null;
    this.store.rendering = false;
    this.sound.failed();
    this.warn(`This sound could not be made, so it cannot be played or downloaded (${message}).`);
  }

  private viewsArrived(views: Views): void {
    if (views.id !== this.store.last?.id) return;
    const start = performance.now();
    this.store.views = views;
    this.sound.repaint();
    performance.measure('studio: views painted', { start });
  }

  repaint(): void {
    this.sound.repaint();
    this.layers.repaint();
  }

  play(): void {
    this.sound.play();
  }

  say(text: string): void {
    this.sound.say(text);
  }

  warn(text: string): void {
    const notices = $('notices');
    for (const old of notices.querySelectorAll('.notice')) if (old.firstChild?.textContent === text) old.remove();
    const notice = h('div', { class: 'notice', role: 'alert' }, h('p', {}, text));
    notice.append(h('button', { type: 'button', class: 'dismiss', onclick: () => notice.remove() }, 'Dismiss'));
    notices.append(notice);
  }

  async copy(text: string, what: string): Promise<void> {
    try {
      await navigator.clipboard.writeText(text);
    } catch {
      const area = h('textarea', { class: 'visually-hidden' }, text);
      document.body.append(area);
      area.select();
      document.execCommand('copy');
      area.remove();
    }
    this.say(`Copied the ${what}`);
  }

  addLayer(recipe: Recipe, name: string): void {
    this.layers.addRecipe(recipe, name);
  }

  openFile(file: File | undefined): Promise<void> {
    return this.exchange.openFile(file);
  }

  showDropZone(shown: boolean): void {
    $('dropzone').hidden = !shown;
  }

  /**
   * Space plays wherever the focus is but a text field, a button that a click left focused included (its own key
   * is Enter); a focused box is ticked with Enter instead.
   */
  keydown(e: KeyboardEvent): void {
    const target = e.target as HTMLElement;
    const typing = takesTyping(target);
    const key = e.key.toLowerCase();
    if ((e.ctrlKey || e.metaKey) && !typing && (key === 'z' || key === 'y')) {
      e.preventDefault();
      if (key === 'y' || e.shiftKey) this.store.redo();
      else this.store.undo();
    } else if (e.key === ' ' && !typing && !e.ctrlKey && !e.metaKey && !e.altKey) {
      e.preventDefault();
      this.play();
    } else if (e.key === 'Enter' && target instanceof HTMLInputElement && target.type === 'checkbox') {
      e.preventDefault();
      target.click();
    } else if (key === 'x' && !typing && !e.ctrlKey && !e.metaKey && !e.altKey) {
      this.store.toggleSlot(this.store.slot === 0 ? 1 : 0);
    }
  }

  /** A button or box activates on the release of Space, which is the page's: it only plays. */
  keyup(e: KeyboardEvent): void {
    if (e.key === ' ' && !takesTyping(e.target)) e.preventDefault();
  }
}

async function main(): Promise<void> {
  let module: WebAssembly.Module;
  try {
    module = await WebAssembly.compile(await wasmBytes());
    await quavix.init(module);
  } catch (e) {
    return engineFailed((e as Error)?.message ?? String(e));
  }
  const studio = new Studio(module);
  document.addEventListener('keydown', (e) => studio.keydown(e));
  document.addEventListener('keyup', (e) => studio.keyup(e));
  window.addEventListener('pagehide', () => studio.persist());
  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState === 'hidden') studio.persist();
  });
  for (const type of ['pointerdown', 'keydown']) {
    document.addEventListener(
      type,
      (e) => {
        if (e.isTrusted) studio.used = true;
      },
      { capture: true },
    );
  }
  matchMedia('(prefers-color-scheme: dark)').addEventListener('change', () => studio.repaint());
  new ResizeObserver(() => studio.repaint()).observe($('wave'));
  // A drop zone over the page while files are dragged over it.
  let depth = 0;
  const carriesFiles = (e: DragEvent) => e.dataTransfer?.types.includes('Files') ?? false;
  document.addEventListener('dragenter', (e) => {
    if (!carriesFiles(e)) return;
    depth++;
    studio.showDropZone(true);
  });
  document.addEventListener('dragleave', (e) => {
    if (!carriesFiles(e)) return;
    depth = Math.max(0, depth - 1);
    if (depth === 0) studio.showDropZone(false);
  });
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    depth = 0;
    studio.showDropZone(false);
    void studio.openFile(e.dataTransfer?.files[0]);
  });
  document.documentElement.dataset.ready = 'true';
}

/** Without the core nothing can be made: the page says so instead of showing controls that do nothing. */
function engineFailed(reason: string): void {
  document.documentElement.dataset.engine = 'failed';
  $('app').replaceChildren(
    h('header', { class: 'top' }, h('div', { class: 'brand' }, h('h1', {}, 'Quavix Studio'))),
    h(
      'main',
      {},
      h(
        'section',
        { class: 'panel failed', role: 'alert' },
        h('h2', {}, 'The sound engine could not start'),
        h(
          'p',
          {},
          'This page cannot make, play or download sounds in this browser. Reloading the page may help; ' +
            'if it does not, open the Studio in an up-to-date Chrome, Firefox, Edge or Safari.',
        ),
        h('p', { class: 'help' }, `What the browser said: ${reason}`),
      ),
    ),
  );
}

main().catch((e) => {
  $('app').textContent = `Quavix Studio stopped: ${(e as Error)?.message ?? String(e)}. Reloading the page may help.`;
});

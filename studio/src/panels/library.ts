// The library: save the current sound under a name with tags, find, open,
// rename, duplicate and delete kept sounds, star, and move the whole library
// in and out as one project file.
import '../library.css';
import {
  copyName,
  Library,
  matches,
  parseTags,
  sorted,
  STARRED,
  cleanName,
  refusal,
  entryKey,
  MAX_ENTRIES,
  type LibraryEntry,
  type NewEntry,
} from '../library';
import type { MixLayer } from '../layered';
import { MAX_PROJECT_BYTES, PROJECT_FILE, projectItems, projectText, readItem, type ProjectRead } from '../project';
import { flatten, type Recipe } from '../recipe';
import { shortName } from '../format';
import { soundKey } from '../store';
import { loadStars, saveStars, type Kept } from '../timeline';
import { $, h, safeStorage, save } from '../dom';
import type { Panel, Studio } from './context';

/** What the panel needs besides the common parts: the starred list of the history panel is redrawn from here. */
export interface LibraryHooks {
  starsChanged(): void;
  /** A layered sound opened: the Layers panel takes its layers and its name. */
  openLayers(layers: MixLayer[], name: string): void;
}

export class LibraryPanel implements Panel {
  element: HTMLElement;
  /** Null until the database is open, and for good when the browser refuses one. */
  private library: Library | null = null;
  /** The entry whose row shows the rename form, and the one whose delete waits for a second press. */
  private editing: number | null = null;
  private deleting: number | null = null;
  /** The entry opened last: its name goes first for its sound, which a copy shares. */
  private openedId: number | null = null;
  /** The entries ticked for "Delete selected", and whether its press waits for a second one. */
  private selected = new Set<number>();
  private deletingSelected = false;

  constructor(
    private studio: Studio,
    private hooks: LibraryHooks,
  ) {
    this.element = h(
      'section',
      { class: 'panel library', 'aria-labelledby': 'library-title' },
      h(
        'div',
        { class: 'panel-head' },
        h('h2', { id: 'library-title' }, 'Library'),
        h('p', { id: 'library-count', class: 'help', 'aria-live': 'polite' }, 'Opening\u2026'),
      ),
      h('p', { id: 'library-unavailable', class: 'warning', role: 'status', hidden: true }),
      h(
        'button',
        {
          type: 'button',
          id: 'library-afresh',
          hidden: true,
          onclick: () => void this.afresh(),
          onblur: () => this.afreshButton(false),
        },
        'Start the library afresh\u2026',
      ),
      h(
        'form',
        { id: 'library-save', class: 'library-form', onsubmit: (e: Event) => this.saveCurrent(e) },
        h('label', { for: 'library-name' }, 'Name'),
        h('input', { id: 'library-name', type: 'text', autocomplete: 'off', maxlength: 80 }),
        h('label', { for: 'library-tags' }, 'Tags'),
        h('input', {
          id: 'library-tags',
          type: 'text',
          autocomplete: 'off',
          'aria-describedby': 'library-tags-help',
        }),
        h('button', { type: 'submit', id: 'library-add', class: 'primary' }, 'Save to library'),
        h('p', { id: 'library-tags-help', class: 'help' }, 'Tags separated by commas, such as: player, jump.'),
      ),
      h('label', { for: 'library-search' }, 'Search by name or tag'),
      h('input', {
        id: 'library-search',
        type: 'search',
        autocomplete: 'off',
        oninput: () => this.showList(),
      }),
      h(
        'div',
        { class: 'inline tight' },
        h('button', { type: 'button', id: 'library-select-all', onclick: () => this.selectAll() }, 'Select all shown'),
        h(
          'button',
          {
            type: 'button',
            id: 'library-delete-selected',
            onclick: () => void this.removeSelected(),
            onblur: () => this.selectedButton(false),
          },
          'Delete selected',
        ),
      ),
      h('ul', { id: 'library-list', class: 'library-list', 'aria-label': 'Sounds in the library' }),
      h(
        'div',
        { class: 'inline tight' },
        h('button', { type: 'button', id: 'project-export', onclick: () => this.exportProject() }, 'Export project'),
        h(
          'button',
          { type: 'button', id: 'project-import', onclick: () => $('project-file').click() },
          'Import project\u2026',
        ),
        h('input', {
          id: 'project-file',
          type: 'file',
          accept: '.json,application/json',
          hidden: true,
          tabindex: '-1',
          'aria-label': 'Project file to import',
          onchange: (e: Event) => {
            const input = e.target as HTMLInputElement;
            void this.importProject(input.files?.[0]).finally(() => (input.value = ''));
          },
        }),
      ),
      h(
        'p',
        { class: 'help' },
        'A project file holds every sound of the library, exactly; quavix batch --project renders them all.',
      ),
    );
    this.setEnabled(false);
  }

  /** Opens the database, moves the stars kept before the library existed into it, and shows it. */
  async open(factory?: IDBFactory, afresh = false): Promise<void> {
    const opened = await (afresh ? Library.afresh(factory) : Library.open(factory));
    const note = $('library-unavailable');
    const button = $('library-afresh') as HTMLButtonElement;
    if (!(opened instanceof Library)) {
      note.hidden = false;
      note.textContent = opened.afresh
        ? `The library cannot be opened: ${opened.reason}. Everything else works, and stars are kept as before. ` +
          'Starting the library afresh deletes that database, with all it holds, and makes an empty library.'
        : `The library cannot be kept in this browser: ${opened.reason}. Everything else works; ` +
          'stars are kept as before, and the library returns when the page is opened where the browser keeps data ' +
          '(not in a private window).';
      button.hidden = !opened.afresh;
      button.disabled = false;
      this.afreshButton(false);
      $('library-count').textContent = 'Not available';
      return;
    }
    note.hidden = true;
    button.hidden = true;
    this.library = opened;
    // The current sound's files are named after its entry.
    this.studio.store.keptName = (recipe) => {
      const key = soundKey(recipe);
      const last = opened.entries.find((e) => e.id === this.openedId);
      if (last && entryKey(last) === key) return last.name;
      return sorted(opened.entries).find((e) => entryKey(e) === key)?.name ?? null;
    };
    this.setEnabled(true);
    if (opened.unreadable > 0) {
      const first = opened.unreadable === 1 ? `it: ${opened.unreadableWhy}` : `the first: ${opened.unreadableWhy}`;
      this.studio.warn(
        `${opened.unreadable === 1 ? 'One sound' : `${opened.unreadable} sounds`} of the library could not be read and ` +
          `${opened.unreadable === 1 ? 'is' : 'are'} left out (${first}); the others are here.`,
      );
    }
    if (opened.beyond) {
      this.studio.warn(
        `The library holds more than ${MAX_ENTRIES} sounds, the most it shows: the first ${MAX_ENTRIES} are here, ` +
          'the others stay kept, unread.',
      );
    }
    await this.moveStars(opened);
    this.showStars();
    this.showList();
  }

  /** Its first press asks; the second deletes the database under the library's name and opens an empty one. */
  private async afresh(): Promise<void> {
    const button = $('library-afresh') as HTMLButtonElement;
    if (button.dataset.confirming !== 'true') {
      this.afreshButton(true);
      this.studio.say('Press again to delete the old database, with all it holds, and start an empty library');
      return;
    }
    this.afreshButton(false);
    button.disabled = true;
    await this.open(undefined, true);
    if (this.library) this.studio.say('The library was started afresh: it is empty');
  }

  private afreshButton(confirming: boolean): void {
    const button = $('library-afresh');
    button.dataset.confirming = String(confirming);
    button.textContent = confirming ? 'Delete the old database and start afresh' : 'Start the library afresh\u2026';
    button.classList.toggle('danger', confirming);
  }

  get available(): boolean {
    return this.library !== null;
  }

  private setEnabled(on: boolean): void {
    for (const el of this.element.querySelectorAll<HTMLInputElement | HTMLButtonElement>('input, button')) {
      el.disabled = !on;
    }
  }

  private async moveStars(library: Library): Promise<void> {
    const storage = safeStorage();
    const { stars } = loadStars(storage);
    if (stars.length === 0) return;
    const kept = new Set(library.entries.map(entryKey));
    // Stars are listed newest first: the oldest is kept first, so that the list keeps its order.
    const fresh = stars.filter((k) => !kept.has(soundKey(k.recipe))).reverse();
    try {
      await library.add(fresh.map((k) => ({ name: cleanName(k.label), tags: [STARRED], recipe: k.recipe })));
      saveStars(storage, []);
    } catch (e) {
      this.failed('move the starred sounds into the library', e);
    }
  }

  private failed(what: string, e: unknown): void {
    this.studio.warn(`The library could not ${what}: ${refusal(e)}. Nothing was changed.`);
  }

  /** Stars the current sound into the library, or takes its star away; false when there is no library. */
  async toggleStar(): Promise<boolean> {
    const library = this.library;
    if (!library) return false;
    const store = this.studio.store;
    const key = soundKey(store.recipe);
    const same = library.entries.filter((e) => entryKey(e) === key);
    const starred = same.filter((e) => e.tags.includes(STARRED));
    try {
      if (starred.length > 0) {
        for (const e of starred) await library.replace({ ...e, tags: e.tags.filter((t) => t !== STARRED) });
        this.studio.say('Star removed; the sound stays in the library');
      } else if (same.length > 0) {
        await library.replace({ ...same[0], tags: [...same[0].tags, STARRED] });
        this.studio.say(`Starred \u201c${same[0].name}\u201d`);
      } else {
        await library.add([{ name: store.describe(), tags: [STARRED], recipe: flatten(store.recipe) }]);
        this.studio.say('Starred, and kept in the library');
      }
    } catch (e) {
      this.failed('star this sound', e);
    }
    this.showStars();
    this.showList();
    return true;
  }

  /** Keeps a sound, starred, under a name: true when added, false when it is there already, null without a library. */
  async keep(recipe: Recipe, name: string): Promise<boolean | null> {
    const library = this.library;
    if (!library) return null;
    const key = soundKey(recipe);
    if (library.entries.some((e) => entryKey(e) === key)) return false;
    try {
      await library.add([{ name: cleanName(name), tags: [STARRED], recipe: flatten(recipe) }]);
    } catch (e) {
      this.failed('keep this sound', e);
      return false;
    }
    this.showStars();
    this.showList();
    return true;
  }

  /** The starred entries become the history panel's list of stars. */
  private showStars(): void {
    const library = this.library;
    if (!library) return;
    const store = this.studio.store;
    store.stars = library.entries
      .filter((e) => e.tags.includes(STARRED) && !e.layers)
      .sort((a, b) => b.id - a.id)
      .map((e): Kept => ({ label: e.name, recipe: e.recipe }));
    this.hooks.starsChanged();
  }

  private async saveCurrent(e: Event): Promise<void> {
    e.preventDefault();
    const library = this.library;
    if (!library) return;
    const store = this.studio.store;
    const nameField = $('library-name') as HTMLInputElement;
    const tagsField = $('library-tags') as HTMLInputElement;
    const name = cleanName(nameField.value.trim() || store.describe());
    try {
      await library.add([{ name, tags: parseTags(tagsField.value), recipe: flatten(store.recipe) }]);
    } catch (err) {
      return this.failed('keep this sound', err);
    }
    nameField.value = '';
    tagsField.value = '';
    this.studio.say(`Saved \u201c${name}\u201d to the library`);
    this.showStars();
    this.showList();
  }

  private open1(entry: LibraryEntry): void {
    if (entry.layers) return this.hooks.openLayers(entry.layers, entry.name);
    this.openedId = entry.id;
    this.studio.store.change(entry.recipe, `Opened \u201c${entry.name}\u201d`);
  }

  /** Keeps a layered sound under a name with tags; false when it could not be kept. */
  async keepLayers(name: string, tags: string[], layers: MixLayer[]): Promise<boolean> {
    const library = this.library;
    if (!library) return false;
    const kept = cleanName(name);
    try {
      await library.add([{ name: kept, tags, recipe: layers[0].recipe, layers }]);
    } catch (e) {
      this.failed('keep this layered sound', e);
      return false;
    }
    this.studio.say(`Saved \u201c${shortName(kept)}\u201d, ${layers.length} layers, to the library`);
    this.showList();
    return true;
  }

  private async duplicate(entry: LibraryEntry): Promise<void> {
    const library = this.library!;
    const name = copyName(
      entry.name,
      library.entries.map((e) => e.name),
    );
    try {
      await library.add([{ name, tags: entry.tags, recipe: entry.recipe }]);
    } catch (e) {
      return this.failed('copy this sound', e);
    }
    this.studio.say(`Copied as \u201c${name}\u201d`);
    this.showList();
    this.showStars();
  }

  /** The delete button asks first: its first press turns it into "Delete for good", until it loses focus. */
  private async remove(entry: LibraryEntry, button: HTMLButtonElement): Promise<void> {
    if (this.deleting !== entry.id) {
      this.deleting = entry.id;
      this.deleteButton(entry, button, true);
      this.studio.say(`Press again to delete \u201c${entry.name}\u201d`);
      return;
    }
    this.deleting = null;
    try {
      await this.library!.remove([entry.id]);
    } catch (e) {
      return this.failed('delete this sound', e);
    }
    this.studio.say(`Deleted \u201c${entry.name}\u201d`);
    this.showList();
    this.showStars();
    $('library-search').focus();
  }

  /** Ticks every sound the search shows (or unticks them, when all are ticked). */
  private selectAll(): void {
    const library = this.library;
    if (!library) return;
    const query = ($('library-search') as HTMLInputElement).value;
    const shown = library.entries.filter((e) => matches(e, query)).map((e) => e.id);
    const all = shown.length > 0 && shown.every((id) => this.selected.has(id));
    for (const id of shown) {
      if (all) this.selected.delete(id);
      else this.selected.add(id);
    }
    this.showList('library-select-all');
  }

  /** "Delete selected" asks first, naming how many; its second press deletes them, all or none. */
  private async removeSelected(): Promise<void> {
    const library = this.library;
    const ids = [...this.selected];
    if (!library || ids.length === 0) return;
    const count = `${ids.length} ${ids.length === 1 ? 'sound' : 'sounds'}`;
    if (!this.deletingSelected) {
      this.selectedButton(true);
      this.studio.say(`Press again to delete ${count}`);
      return;
    }
    this.selectedButton(false);
    try {
      await library.remove(ids);
    } catch (e) {
      return this.failed(`delete ${count}`, e);
    }
    this.selected.clear();
    this.studio.say(`Deleted ${count}`);
    this.showList();
    this.showStars();
    $('library-search').focus();
  }

  private selectedButton(confirming: boolean): void {
    this.deletingSelected = confirming && this.selected.size > 0;
    const button = $('library-delete-selected') as HTMLButtonElement;
    const n = this.selected.size;
    const count = `${n} ${n === 1 ? 'sound' : 'sounds'}`;
    button.textContent = this.deletingSelected
      ? `Delete ${count} for good`
      : n > 0
        ? `Delete ${count}`
        : 'Delete selected';
    button.disabled = !this.library || n === 0;
    button.classList.toggle('danger', this.deletingSelected);
  }

  private deleteButton(entry: LibraryEntry, button: HTMLButtonElement, confirming: boolean): void {
    const quoted = `\u201c${entry.name}\u201d`;
    button.textContent = confirming ? 'Delete for good' : 'Delete';
    button.setAttribute('aria-label', confirming ? `Delete ${quoted} for good` : `Delete ${quoted}`);
    button.classList.toggle('danger', confirming);
  }

  private async rename(entry: LibraryEntry, form: HTMLFormElement): Promise<void> {
    const name = cleanName((form.elements.namedItem('name') as HTMLInputElement).value);
    const tags = parseTags((form.elements.namedItem('tags') as HTMLInputElement).value);
    try {
      await this.library!.replace({ ...entry, name, tags });
    } catch (e) {
      return this.failed('rename this sound', e);
    }
    this.editing = null;
    this.studio.say(`Renamed to \u201c${name}\u201d`);
    this.showList(`rename-${entry.id}`);
    this.showStars();
  }

  private editRow(entry: LibraryEntry): HTMLElement {
    const cancel = () => {
      this.editing = null;
      this.showList(`rename-${entry.id}`);
    };
    const form = h(
      'form',
      {
        class: 'library-form',
        'aria-label': `Rename \u201c${entry.name}\u201d`,
        onsubmit: (e: Event) => {
          e.preventDefault();
          void this.rename(entry, form);
        },
        onkeydown: (e: Event) => {
          if ((e as KeyboardEvent).key === 'Escape') cancel();
        },
      },
      h('label', { for: `edit-name-${entry.id}` }, 'Name'),
      h('input', { id: `edit-name-${entry.id}`, name: 'name', type: 'text', value: entry.name, maxlength: 80 }),
      h('label', { for: `edit-tags-${entry.id}` }, 'Tags'),
      h('input', { id: `edit-tags-${entry.id}`, name: 'tags', type: 'text', value: entry.tags.join(', ') }),
      h(
        'div',
        { class: 'inline tight' },
        h('button', { type: 'submit', class: 'primary' }, 'Save'),
        h('button', { type: 'button', onclick: cancel }, 'Cancel'),
      ),
    );
    return h('li', { class: 'library-entry editing' }, form);
  }

  private row(entry: LibraryEntry, current: string): HTMLElement {
    if (this.editing === entry.id) return this.editRow(entry);
    const quoted = `\u201c${entry.name}\u201d`;
    return h(
      'li',
      { class: 'library-entry', 'data-id': entry.id },
      h('input', {
        type: 'checkbox',
        id: `select-${entry.id}`,
        class: 'entry-select',
        checked: this.selected.has(entry.id),
        'aria-label': `Select ${quoted}`,
        onchange: (e: Event) => {
          if ((e.target as HTMLInputElement).checked) this.selected.add(entry.id);
          else this.selected.delete(entry.id);
          this.selectedButton(false);
        },
      }),
      h(
        'button',
        {
          type: 'button',
          id: `open-${entry.id}`,
          class: 'sound-item',
          'aria-current': String(entryKey(entry) === current),
          onclick: () => this.open1(entry),
        },
        // The button's name is its visible text, the name and the tags, after a word heard only.
        h('span', { class: 'visually-hidden' }, 'Open '),
        h('span', { class: 'entry-name' }, entry.name),
        h(
          'span',
          { class: 'tags' },
          ...(entry.layers ? [h('span', { class: 'tag layered' }, `${entry.layers.length} layers`)] : []),
          ...entry.tags.map((t) => h('span', { class: 'tag' }, t)),
        ),
      ),
      h(
        'span',
        { class: 'entry-actions' },
        entry.layers
          ? ''
          : h(
              'button',
              {
                type: 'button',
                id: `layer-from-${entry.id}`,
                'aria-label': `Add as layer: ${quoted}`,
                onclick: () => this.studio.addLayer(entry.recipe, entry.name),
              },
              'Add as layer',
            ),
        h(
          'button',
          {
            type: 'button',
            id: `rename-${entry.id}`,
            'aria-label': `Rename ${quoted}`,
            onclick: () => {
              this.editing = entry.id;
              this.showList(`edit-name-${entry.id}`);
            },
          },
          'Rename',
        ),
        h(
          'button',
          {
            type: 'button',
            id: `duplicate-${entry.id}`,
            'aria-label': `Duplicate ${quoted}`,
            onclick: () => void this.duplicate(entry),
          },
          'Duplicate',
        ),
        h(
          'button',
          {
            type: 'button',
            id: `delete-${entry.id}`,
            'aria-label': `Delete ${quoted}`,
            onclick: (e: Event) => void this.remove(entry, e.currentTarget as HTMLButtonElement),
            onblur: (e: Event) => {
              if (this.deleting !== entry.id) return;
              this.deleting = null;
              this.deleteButton(entry, e.currentTarget as HTMLButtonElement, false);
            },
          },
          'Delete',
        ),
      ),
    );
  }

  /** The sounds the list shows (those the search matches), by name; null without a library. */
  shown(): { sounds: { name: string; recipe: Recipe; layers?: MixLayer[] }[]; search: string } | null {
    const library = this.library;
    if (!library) return null;
    const search = ($('library-search') as HTMLInputElement).value;
    const sounds = sorted(library.entries)
      .filter((e) => matches(e, search))
      .map((e) => ({ name: e.name, recipe: e.recipe, layers: e.layers }));
    return { sounds, search };
  }

  /** Redraws the list (the search applied); `focus` names the element to focus afterwards. */
  private showList(focus?: string): void {
    const library = this.library;
    if (!library) return;
    const query = ($('library-search') as HTMLInputElement).value;
    const all = sorted(library.entries);
    const shown = all.filter((e) => matches(e, query));
    const kept = new Set(all.map((e) => e.id));
    for (const id of this.selected) if (!kept.has(id)) this.selected.delete(id);
    this.selectedButton(false);
    const current = soundKey(this.studio.store.recipe);
    const list = $('library-list');
    // Keyboard users keep their place when the list is drawn again.
    const focused = list.contains(document.activeElement) ? document.activeElement?.id : undefined;
    list.replaceChildren(...shown.map((e) => this.row(e, current)));
    if (all.length === 0)
      list.append(h('li', { class: 'empty' }, 'None yet: Save to library keeps the current sound.'));
    else if (shown.length === 0) list.append(h('li', { class: 'empty' }, 'No sound matches the search.'));
    $('library-count').textContent =
      shown.length === all.length
        ? `${all.length} ${all.length === 1 ? 'sound' : 'sounds'}`
        : `${shown.length} of ${all.length} sounds`;
    const next = focus ?? focused;
    if (next) $(next)?.focus();
  }

  /** Marks the current sound in the list, in place (this runs at every change, a slider's drag included). */
  update(): void {
    const library = this.library;
    if (!library) return;
    const current = soundKey(this.studio.store.recipe);
    for (const entry of library.entries) {
      const button = document.getElementById(`open-${entry.id}`);
      if (!button) continue;
      const here = entryKey(entry) === current;
      button.setAttribute('aria-current', String(here));
    }
  }

  private exportProject(): void {
    const library = this.library;
    if (!library) return;
    const entries = sorted(library.entries);
    save(new Blob([projectText(entries)], { type: 'application/json' }), PROJECT_FILE);
    this.studio.say(`Exported ${entries.length} ${entries.length === 1 ? 'sound' : 'sounds'} as ${PROJECT_FILE}`);
  }

  async importProject(file: File | undefined): Promise<void> {
    const library = this.library;
    if (!file || !library) return;
    const quoted = `\u201c${shortName(file.name)}\u201d`;
    const megabytes = (n: number) => `${Math.ceil(n / (1024 * 1024))} MB`;
    if (file.size > MAX_PROJECT_BYTES) {
      return this.studio.warn(
        `${quoted} is ${megabytes(file.size)}; a project file the Studio imports is at most ` +
          `${megabytes(MAX_PROJECT_BYTES)}. Nothing was imported.`,
      );
    }
    let text: string;
    try {
      text = await file.text();
    } catch {
      return this.studio.warn(`${quoted} could not be read from the disk. Nothing was imported.`);
    }
    const project = projectItems(text, shortName(file.name));
    if (typeof project === 'string') return this.studio.warn(`${project} Nothing was imported.`);
    const count = (n: number) => `${n} ${n === 1 ? 'sound' : 'sounds'}`;
    if (project.items.length > MAX_ENTRIES) {
      return this.studio.warn(
        `${quoted} holds ${count(project.items.length)}; the library holds at most ${MAX_ENTRIES}. Nothing was imported.`,
      );
    }
    const importButton = $('project-import') as HTMLButtonElement;
    importButton.disabled = true;
    const progress = $('library-count');
    try {
      // Read in chunks, the page drawn and answering in between, with how far it got shown.
      const read: ProjectRead = { sounds: [], problems: [] };
      for (let i = 0; i < project.items.length; i++) {
        readItem(project.items, i, project.version, read);
        if ((i + 1) % IMPORT_CHUNK === 0) {
          progress.textContent = `Reading ${quoted}: ${i + 1} of ${count(project.items.length)}\u2026`;
          await nextTask();
        }
      }
      // Merging: a sound already kept under the same name is not kept twice.
      const kept = new Set(library.entries.map((e) => `${e.name}\n${entryKey(e)}`));
      const fresh: NewEntry[] = [];
      for (const [i, s] of read.sounds.entries()) {
        if (!kept.has(`${s.name}\n${entryKey(s)}`)) fresh.push(s);
        if ((i + 1) % IMPORT_CHUNK === 0) await nextTask();
      }
      try {
        await library.add(fresh, (written) => {
          progress.textContent = `Importing ${quoted}: ${written} of ${count(fresh.length)}\u2026`;
        });
      } catch (e) {
        return this.failed('import the project', e);
      }
      const already = read.sounds.length - fresh.length;
      this.studio.say(
        `Imported ${count(fresh.length)} from ${quoted}` +
          (already > 0 ? `; ${count(already)} ${already === 1 ? 'was' : 'were'} already in the library` : ''),
      );
      if (read.problems.length > 0) {
        const shown = read.problems.slice(0, 3).join('; ');
        const more = read.problems.length > 3 ? `; and ${read.problems.length - 3} more` : '';
        this.studio.warn(
          `${count(read.problems.length)} of ${quoted} could not be read and ` +
            `${read.problems.length === 1 ? 'was' : 'were'} left out: ${shown}${more}.`,
        );
      }
    } finally {
      importButton.disabled = false;
      this.showList();
      this.showStars();
    }
  }
}

/** How many sounds of a project are read between two looks at the page. */
const IMPORT_CHUNK = 100;

/** Lets the page draw itself and answer before going on. */
const nextTask = () => new Promise<void>((resolve) => setTimeout(resolve));

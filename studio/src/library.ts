// The library: named, tagged sounds kept in the browser's IndexedDB, each with
// its exact recipe (the parameters' settings-file bytes and the seed the
// synthesis starts from), so that opening one gives the same sound bit for bit.
import * as quavix from 'quavix';
import { decodeRecipe, encodeRecipe, type Recipe } from './recipe';
import { cleanLabel } from './timeline';
import { decodeLayer, encodeLayer, type MixLayer } from './layered';
import { soundKey } from './store';

export interface LibraryEntry {
  id: number;
  name: string;
  tags: string[];
  /** The sound, or a layered sound's first layer. */
  recipe: Recipe;
  /** A layered sound's layers. */
  layers?: MixLayer[];
}

/** Equal for entries of the same sound, or the same layered sound; a layered one never equals a plain one. */
export function entryKey(entry: Pick<LibraryEntry, 'recipe' | 'layers'>): string {
  return entry.layers ? `layers ${JSON.stringify(entry.layers.map(encodeLayer))}` : soundKey(entry.recipe);
}

/** An entry before it is kept: the library gives it its id. */
export type NewEntry = Omit<LibraryEntry, 'id'>;

/** The tag the star button gives. */
export const STARRED = 'starred';
const MAX_TAG = 40;

export const cleanName = (value: unknown): string => cleanLabel(value, 'Sound');

/** Tags from text such as "jump, Player ,jump": trimmed, without empty or repeated ones (letter case aside). */
export function parseTags(text: string | readonly unknown[]): string[] {
  const words = typeof text === 'string' ? text.split(',') : text;
  const tags: string[] = [];
  for (const word of words) {
    const tag = cleanLabel(word, '').slice(0, MAX_TAG).trim();
    if (tag && !tags.some((t) => t.toLowerCase() === tag.toLowerCase())) tags.push(tag);
  }
  return tags;
}

/** Whether every word of the query is part of the entry's name or of one of its tags (letter case aside). */
export function matches(entry: Pick<LibraryEntry, 'name' | 'tags'>, query: string): boolean {
  const haystack = [entry.name, ...entry.tags].map((t) => t.toLowerCase());
  return query
    .toLowerCase()
    .split(/\s+/)
    .filter(Boolean)
    .every((word) => haystack.some((t) => t.includes(word)));
}

/** The name of a copy: "Jump (copy)", then "Jump (copy 2)"... whichever is free. */
export function copyName(name: string, taken: readonly string[]): string {
  const base = name.replace(/ \(copy(?: \d+)?\)$/, '');
  const free = (candidate: string) => !taken.includes(candidate);
  if (free(`${base} (copy)`)) return `${base} (copy)`;
  for (let n = 2; ; n++) if (free(`${base} (copy ${n})`)) return `${base} (copy ${n})`;
}

/** Entries in the order the list shows them: by name, then oldest first. */
export function sorted(entries: readonly LibraryEntry[]): LibraryEntry[] {
  return [...entries].sort((a, b) => a.name.localeCompare(b.name) || a.id - b.id);
}

const DB_NAME = 'quavix-studio';
const DB_VERSION = 1;
const STORE = 'library';
/** How long a browser may take to open the database before the library is given up for this page. */
const OPEN_TIMEOUT_MS = 10000;

function done<T>(request: IDBRequest<T>): Promise<T> {
  return new Promise((resolve, reject) => {
    request.onsuccess = () => resolve(request.result);
    request.onerror = () => reject(request.error ?? new DOMException('', 'UnknownError'));
  });
}

function finished(tx: IDBTransaction): Promise<void> {
  return new Promise((resolve, reject) => {
    tx.oncomplete = () => resolve();
    tx.onerror = () => reject(tx.error ?? new DOMException('', 'UnknownError'));
    tx.onabort = () => reject(tx.error ?? new DOMException('', 'AbortError'));
  });
}

/** What the browser's refusals mean, by their names, in words a person knows. */
const REFUSALS: Record<string, string> = {
  QuotaExceededError: 'the browser has no room left for this page\u2019s data',
  VersionError: 'another tab keeps the library in a newer form: reloading this page opens it',
  TimeoutError: `the browser did not open its database within ${OPEN_TIMEOUT_MS / 1000} s`,
  ClosedError: 'another tab of the Studio closed the library: reloading this page opens it again',
};

/** Why the browser refused the library something, said once: in plain words, or else the browser's own. */
export function refusal(e: unknown): string {
  const known = e instanceof Error || e instanceof DOMException;
  const words = known ? e.message.trim().replace(/\.$/, '') : '';
  if (known && e.name in REFUSALS) return REFUSALS[e.name];
  return words === '' ? 'the browser refused, without saying why' : `the browser refused, saying \u201c${words}\u201d`;
}

/** The library's database, with its entries at hand; every change is written before it is shown. */
export class Library {
  entries: LibraryEntry[] = [];
  /** Kept entries that could not be read (they stay in the database, untouched). */
  unreadable = 0;
  /** Set when another page closed the database (to delete or upgrade it). */
  closed = false;

  private constructor(private db: IDBDatabase) {}

  /** A transaction on the entries; a closed library refuses with a reason of its own. */
  private transaction(mode: IDBTransactionMode): IDBTransaction {
    if (this.closed) throw new DOMException('', 'ClosedError');
    return this.db.transaction(STORE, mode);
  }

  /** Opens the library, or says in plain words why this browser keeps none. */
  static async open(factory?: IDBFactory): Promise<Library | string> {
    try {
      // Reading the factory itself may throw where a browser forbids storage.
      const databases = factory ?? globalThis.indexedDB;
      if (!databases) return 'this browser offers no database to pages opened this way';
      const request = databases.open(DB_NAME, DB_VERSION);
      request.onupgradeneeded = () => request.result.createObjectStore(STORE, { keyPath: 'id', autoIncrement: true });
      let timer = 0;
      const timeout = new Promise<never>((_, reject) => {
        timer = window.setTimeout(() => reject(new DOMException('', 'TimeoutError')), OPEN_TIMEOUT_MS);
      });
      const db = await Promise.race([done(request), timeout]).finally(() => clearTimeout(timer));
      // Another page deleting or upgrading the database is not kept waiting; writes here then fail with a message.
      const library = new Library(db);
      db.onversionchange = () => {
        db.close();
        library.closed = true;
      };
      await library.load();
      return library;
    } catch (e) {
      return refusal(e);
    }
  }

  private async load(): Promise<void> {
    const rows = await done(this.transaction('readonly').objectStore(STORE).getAll());
    this.entries = [];
    this.unreadable = 0;
    for (const row of rows as Record<string, unknown>[]) {
      const recipe = decodeRecipe(row?.recipe);
      const layers = row?.layers === undefined ? undefined : readLayers(row.layers);
      if (typeof row?.id !== 'number' || typeof recipe === 'string' || !Array.isArray(row.tags) || layers === null)
        this.unreadable++;
      else this.entries.push({ id: row.id, name: cleanName(row.name), tags: parseTags(row.tags), recipe, layers });
    }
  }

  /** Keeps new entries (all or none) and returns them with their ids. */
  async add(entries: readonly NewEntry[]): Promise<LibraryEntry[]> {
    const tx = this.transaction('readwrite');
    const store = tx.objectStore(STORE);
    const ids = entries.map((e) => done(store.add(plain(e))));
    // A refusal is reported once, by the transaction.
    for (const id of ids) id.catch(() => undefined);
    await finished(tx);
    const added = await Promise.all(ids.map(async (id, i) => ({ ...entries[i], id: (await id) as number })));
    this.entries.push(...added);
    return added;
  }

  /** Keeps a changed entry in place of the one with its id. */
  async replace(entry: LibraryEntry): Promise<void> {
    const tx = this.transaction('readwrite');
    tx.objectStore(STORE).put({ ...plain(entry), id: entry.id });
    await finished(tx);
    this.entries = this.entries.map((e) => (e.id === entry.id ? entry : e));
  }

  async remove(id: number): Promise<void> {
    const tx = this.transaction('readwrite');
    tx.objectStore(STORE).delete(id);
    await finished(tx);
    this.entries = this.entries.filter((e) => e.id !== id);
  }
}

const plain = (e: NewEntry) => ({
  name: e.name,
  tags: e.tags,
  recipe: encodeRecipe(e.recipe),
  ...(e.layers ? { layers: e.layers.map(encodeLayer) } : {}),
});

/** A kept layered sound's layers, or null when one of them cannot be read. */
function readLayers(data: unknown): MixLayer[] | null {
  if (!Array.isArray(data) || data.length === 0 || data.length > quavix.MAX_LAYERS) return null;
  const layers = data.map(decodeLayer);
  return layers.every((l): l is MixLayer => typeof l !== 'string') ? layers : null;
}

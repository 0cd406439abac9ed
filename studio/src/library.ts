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
/** Version 1 let the database count the ids; from version 2 on the Studio gives them. */
const DB_VERSION = 2;
const STORE = 'library';
/** How long a browser may take to open the database before the library is given up for this page. */
const OPEN_TIMEOUT_MS = 10000;
/** The most sounds the library keeps: beyond, a list, a search and each change of sound would slow the page. */
export const MAX_ENTRIES = 2000;
/** The changes a kept sound may have after its source: the Studio keeps its sounds with none. */
export const MAX_KEPT_STEPS = 100;
/** The ids the Studio gives: whole numbers from 1, exact in JavaScript. */
export const MAX_ID = Number.MAX_SAFE_INTEGER;

const isId = (id: unknown): id is number => Number.isSafeInteger(id) && (id as number) >= 1;

/** The library's size and what is asked of it, or null when it has room. */
export function roomProblem(kept: number, adding: number): string | null {
  if (kept + adding <= MAX_ENTRIES) return null;
  const room = Math.max(0, MAX_ENTRIES - kept);
  return (
    `the library holds at most ${MAX_ENTRIES} sounds and has room for ${room} more, not ${adding}: ` +
    'deleting sounds makes room'
  );
}

function done<T>(request: IDBRequest<T>): Promise<T> {
  return new Promise((resolve, reject) => {
    request.onsuccess = () => resolve(request.result);
    request.onerror = () => reject(request.error ?? new DOMException('', 'UnknownError'));
  });
}

function finished(tx: IDBTransaction): Promise<void> {
  return new Promise((resolve, reject) => {
    tx.oncomplete = () => resolve();
    // The request that failed tells why; the transaction's own error is set only once it is aborted.
    tx.onerror = (event) =>
      reject(tx.error ?? (event.target as IDBRequest | null)?.error ?? new DOMException('', 'UnknownError'));
    tx.onabort = () => reject(tx.error ?? new DOMException('', 'AbortError'));
  });
}

/** What the browser's refusals mean, by their names, in words a person knows. */
const REFUSALS: Record<string, string> = {
  QuotaExceededError: 'the browser has no room left for this page\u2019s data',
  VersionError:
    'the browser keeps a database under the library\u2019s name in a newer form than this Studio reads ' +
    '(another tab of a newer Studio, or another local page, made it)',
  TimeoutError: `the browser did not open its database within ${OPEN_TIMEOUT_MS / 1000} s`,
  ClosedError: 'another tab of the Studio closed the library: reloading this page opens it again',
};

/** Why the browser refused the library something, said once: in plain words, or else the browser's own. */
export function refusal(e: unknown): string {
  if (e instanceof PlainRefusal) return e.message;
  const known = e instanceof Error || e instanceof DOMException;
  const words = known ? e.message.trim().replace(/\.$/, '') : '';
  if (known && e.name in REFUSALS) return REFUSALS[e.name];
  return words === '' ? 'the browser refused, without saying why' : `the browser refused, saying \u201c${words}\u201d`;
}

/** A refusal of the Studio's own, in words a person knows (a database not the library's, a full library). */
class PlainRefusal extends Error {}

/** What keeps the database from holding the library, or null: its store of sounds, kept under their ids. */
function shapeProblem(db: IDBDatabase, store: () => IDBObjectStore): string | null {
  const names = [...db.objectStoreNames];
  const others = names.filter((n) => n !== STORE).map((n) => `\u201c${shortText(n)}\u201d`);
  const holding = others.length > 0 ? ` (it holds ${others.join(', ')} instead)` : '';
  if (!names.includes(STORE))
    return `the browser\u2019s database \u201c${DB_NAME}\u201d has no store of sounds${holding}`;
  const keyPath = store().keyPath;
  if (keyPath !== 'id') {
    const how = keyPath === null ? 'without a key' : `by \u201c${shortText(String(keyPath))}\u201d`;
    return `the browser\u2019s database \u201c${DB_NAME}\u201d keeps its sounds ${how}, not by their ids`;
  }
  return null;
}

const shortText = (text: string) => (text.length > 40 ? `${text.slice(0, 40)}...` : text);

/**
 * The upgrade from version 1, whose ids the database counted (a planted id of 2^53 used them up): the sounds move,
 * every row as it is, into a store whose ids the Studio gives, in the one upgrade that is kept whole or not at all.
 */
function migrate(db: IDBDatabase, tx: IDBTransaction): void {
  const OLD = 'library-version-1';
  const old = tx.objectStore(STORE);
  old.name = OLD;
  const store = db.createObjectStore(STORE, { keyPath: 'id' });
  const cursor = old.openCursor();
  cursor.onsuccess = () => {
    const at = cursor.result;
    if (!at) return db.deleteObjectStore(OLD);
    store.put(at.value);
    at.continue();
  };
}

/** The first free ids from the greatest kept one on, or else the free ones from 1, asked within `store`'s transaction. */
async function freeIds(store: IDBObjectStore, count: number): Promise<number[]> {
  const last = await done(store.openKeyCursor(IDBKeyRange.bound(1, MAX_ID), 'prev'));
  const first = last ? Math.floor(last.key as number) + 1 : 1;
  // Counted down from the greatest id, which stays exact (2^53 + 1 would not be).
  if (MAX_ID - first >= count - 1) return Array.from({ length: count }, (_, i) => first + i);
  const taken = new Set((await done(store.getAllKeys(IDBKeyRange.bound(1, MAX_ID)))) as number[]);
  const ids: number[] = [];
  for (let id = 1; ids.length < count; id++) if (!taken.has(id)) ids.push(id);
  return ids;
}

/** How many sounds are written to the database between two looks at the page. */
const CHUNK = 200;

/** Why the library is not open: in plain words, and whether starting it afresh (deleting the database) would mend it. */
export interface Closed {
  reason: string;
  afresh: boolean;
}

/** The library's database, with its entries at hand; every change is written before it is shown. */
export class Library {
  entries: LibraryEntry[] = [];
  /** Kept entries that could not be read (they stay in the database, untouched), and why the first one could not. */
  unreadable = 0;
  unreadableWhy = '';
  /** Kept entries beyond the most the library shows (they stay in the database, untouched). */
  beyond = false;
  /** Set when another page closed the database (to delete or upgrade it). */
  closed = false;

  private constructor(private db: IDBDatabase) {}

  /** A transaction on the entries; a closed library refuses with a reason of its own. */
  private transaction(mode: IDBTransactionMode): IDBTransaction {
    if (this.closed) throw new DOMException('', 'ClosedError');
    return this.db.transaction(STORE, mode);
  }

  /** Opens the library, or says in plain words why this browser keeps none. */
  static async open(factory?: IDBFactory): Promise<Library | Closed> {
    let wrong: string | null = null;
    try {
      // Reading the factory itself may throw where a browser forbids storage.
      const databases = factory ?? globalThis.indexedDB;
      if (!databases) return { reason: 'this browser offers no database to pages opened this way', afresh: false };
      const request = databases.open(DB_NAME, DB_VERSION);
      request.onupgradeneeded = (event) => {
        const db = request.result;
        const tx = request.transaction!;
        if (event.oldVersion === 0) return void db.createObjectStore(STORE, { keyPath: 'id' });
        // A database of another shape is left as it is, for the person to decide.
        wrong = shapeProblem(db, () => tx.objectStore(STORE));
        if (wrong !== null) tx.abort();
        else if (tx.objectStore(STORE).autoIncrement) migrate(db, tx);
      };
      let timer = 0;
      const timeout = new Promise<never>((_, reject) => {
        timer = window.setTimeout(() => reject(new DOMException('', 'TimeoutError')), OPEN_TIMEOUT_MS);
      });
      const db = await Promise.race([done(request), timeout]).finally(() => clearTimeout(timer));
      const shape = shapeProblem(db, () => db.transaction(STORE).objectStore(STORE));
      if (shape !== null) {
        db.close();
        throw new PlainRefusal(shape);
      }
      // Another page deleting or upgrading the database is not kept waiting; writes here then fail with a message.
      const library = new Library(db);
      db.onversionchange = () => {
        db.close();
        library.closed = true;
      };
      await library.load();
      return library;
    } catch (e) {
      if (wrong !== null) return { reason: wrong, afresh: true };
      const afresh = e instanceof PlainRefusal || (e instanceof DOMException && e.name === 'VersionError');
      return { reason: refusal(e), afresh };
    }
  }

  /** Deletes the database under the library's name, with all it holds, and opens a new, empty library. */
  static async afresh(factory?: IDBFactory): Promise<Library | Closed> {
    try {
      const databases = factory ?? globalThis.indexedDB;
      await done(databases.deleteDatabase(DB_NAME));
    } catch (e) {
      return { reason: refusal(e), afresh: true };
    }
    return Library.open(factory);
  }

  private async load(): Promise<void> {
    // One more than the library holds tells that there are more.
    const rows = await done(
      this.transaction('readonly')
        .objectStore(STORE)
        .getAll(null, MAX_ENTRIES + 1),
    );
    this.beyond = rows.length > MAX_ENTRIES;
    this.entries = [];
    this.unreadable = 0;
    this.unreadableWhy = '';
    for (const row of rows.slice(0, MAX_ENTRIES) as Record<string, unknown>[]) {
      const read = readEntry(row);
      if (typeof read !== 'string') this.entries.push(read);
      else if (this.unreadable++ === 0) this.unreadableWhy = read;
    }
  }

  /** Keeps new entries (all or none) and returns them with their ids; `progress` hears how many are written. */
  async add(entries: readonly NewEntry[], progress?: (written: number) => void): Promise<LibraryEntry[]> {
    const room = roomProblem(this.entries.length, entries.length);
    if (room !== null) throw new PlainRefusal(room);
    const tx = this.transaction('readwrite');
    const store = tx.objectStore(STORE);
    const result = finished(tx);
    // A refusal is reported once, by the transaction.
    result.catch(() => undefined);
    const ids = await freeIds(store, entries.length);
    // Each chunk is written once the one before is: the page is drawn and answers in between.
    const write = (from: number) => {
      const to = Math.min(entries.length, from + CHUNK);
      for (let i = from; i < to; i++) {
        const request = store.add({ ...plain(entries[i]), id: ids[i] });
        if (i === to - 1 && to < entries.length)
          request.onsuccess = () => {
            progress?.(to);
            write(to);
          };
      }
    };
    write(0);
    await result;
    const added = entries.map((e, i) => ({ ...e, id: ids[i] }));
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

  /** Deletes the entries with these ids, all or none. */
  async remove(ids: readonly number[]): Promise<void> {
    const tx = this.transaction('readwrite');
    const store = tx.objectStore(STORE);
    for (const id of ids) store.delete(id);
    await finished(tx);
    const gone = new Set(ids);
    this.entries = this.entries.filter((e) => !gone.has(e.id));
  }
}

/** A kept row as an entry, or why it cannot be one. */
function readEntry(row: Record<string, unknown>): LibraryEntry | string {
  if (typeof row !== 'object' || row === null) return 'it is not a sound';
  if (!isId(row.id)) return `its id is not a whole number from 1 to ${MAX_ID}`;
  const recipe = decodeRecipe(row.recipe, MAX_KEPT_STEPS);
  if (typeof recipe === 'string') return recipe;
  if (!Array.isArray(row.tags)) return 'its tags are not a list of words';
  const layers = row.layers === undefined ? undefined : readLayers(row.layers);
  if (layers === null) return 'its layers cannot be read';
  return { id: row.id, name: cleanName(row.name), tags: parseTags(row.tags), recipe, layers };
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

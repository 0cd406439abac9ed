// Small helpers to build the page's elements.

type Attrs = Record<string, string | boolean | number | ((e: Event) => void)>;

/** An element with attributes (`onclick` and the like become listeners) and children. */
export function h<K extends keyof HTMLElementTagNameMap>(
  tag: K,
  attrs: Attrs = {},
  ...children: (Node | string)[]
): HTMLElementTagNameMap[K] {
  const el = document.createElement(tag);
  for (const [key, value] of Object.entries(attrs)) {
    if (typeof value === 'function') el.addEventListener(key.slice(2).toLowerCase(), value as EventListener);
    else if (value === true) el.setAttribute(key, '');
    else if (value !== false) el.setAttribute(key, String(value));
  }
  el.append(...children);
  return el;
}

export const $ = <T extends HTMLElement>(id: string) => document.getElementById(id) as T;

/** Offers a file to download. */
export function save(blob: Blob, name: string): void {
  const url = URL.createObjectURL(blob);
  const a = h('a', { href: url, download: name });
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

export function safeStorage(): Storage | undefined {
  try {
    return window.localStorage;
  } catch {
    return undefined;
  }
}

/** Kinds of input that take no typed text: Space and letters there are the page's keys. */
const NOT_TYPED = new Set(['button', 'submit', 'reset', 'checkbox', 'radio', 'range', 'color', 'file', 'image']);

/** Whether keys typed here go into the element as text (a text or number field, a text area, a list, editable text). */
export function takesTyping(target: EventTarget | null): boolean {
  if (!(target instanceof HTMLElement)) return false;
  if (target.isContentEditable || target instanceof HTMLTextAreaElement || target instanceof HTMLSelectElement)
    return true;
  return target instanceof HTMLInputElement && !NOT_TYPED.has(target.type);
}

// The static folder's page opened from disk: the browser does not let a page
// there load its other files, so it would say "Loading" for good. This runs
// first, as a small script inlined in that page (vite.config.ts puts it there
// with its hash in the page's policy), and says which file works from disk.
// It is self-contained: its text is all that is inlined.

/** Where the page's own parts come from files beside it and it was opened from disk, it says to open the single file. */
export function sayOpenTheSingleFile(singleFile: string): void {
  if (location.protocol !== 'file:' || !document.querySelector('script[type="module"][src]')) return;
  const app = document.getElementById('app');
  if (!app) return;
  document.documentElement.dataset.engine = 'from-disk';
  const el = (tag: string, text = '') => {
    const e = document.createElement(tag);
    e.textContent = text;
    return e;
  };
  const link = el('a', singleFile) as HTMLAnchorElement;
  link.href = `./${singleFile}`;
  const open = el('p', 'Open ');
  open.append(
    link,
    ' instead, from the same folder: it is the whole Studio in one file, and it works opened from disk.',
  );
  const section = el('section');
  section.setAttribute('role', 'alert');
  section.append(
    el('h2', 'This page does not work opened from disk'),
    el('p', 'Opened from disk, the browser does not let this page load the files beside it, so it cannot start.'),
    open,
    el('p', 'This page works when a web server serves its folder (scripts/studio.sh in the Quavix repository does).'),
  );
  const main = el('main');
  main.append(el('h1', 'Quavix Studio'), section);
  // Its style sheet is one of the files that cannot load: a few plain rules of its own (set as properties,
  // which the page's policy allows).
  Object.assign(main.style, { maxWidth: '40rem', margin: '2rem auto', padding: '0 1rem', lineHeight: '1.5' });
  document.body.style.fontFamily = 'system-ui, sans-serif';
  app.replaceChildren(main);
}

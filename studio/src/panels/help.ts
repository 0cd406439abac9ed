// Help in place: the list of keyboard shortcuts (opened by ? or its button,
// closed by Escape) and a short hint for the first visit, which stays away
// once dismissed.
import { SHORTCUTS } from '../shortcuts';
import { h, safeStorage, takesTyping } from '../dom';

const HINT_KEY = 'quavix-studio.hint-dismissed';

/** The shortcuts dialog and the button that opens it; ? opens it from anywhere but a text field. */
export function shortcutsHelp(): { button: HTMLElement; dialog: HTMLDialogElement } {
  const dialog = h(
    'dialog',
    { id: 'shortcuts', class: 'shortcuts', 'aria-labelledby': 'shortcuts-title' },
    h(
      'div',
      { class: 'panel-head' },
      h('h2', { id: 'shortcuts-title' }, 'Keyboard shortcuts'),
      h('button', { type: 'button', id: 'shortcuts-close', onclick: () => dialog.close() }, 'Close'),
    ),
    h(
      'dl',
      {},
      ...SHORTCUTS.flatMap((s) => [
        h('dt', {}, ...s.keys.flatMap((key, i) => [...(i > 0 ? [' or '] : []), h('kbd', {}, key)])),
        h('dd', {}, s.does, s.where ? h('span', { class: 'help' }, ` (${s.where})`) : ''),
      ]),
    ),
  );
  const open = () => {
    if (!dialog.open) dialog.showModal();
  };
  // A click on the backdrop closes the list too.
  dialog.addEventListener('click', (e) => {
    if (e.target === dialog) dialog.close();
  });
  document.addEventListener('keydown', (e) => {
    if (e.key !== '?' || e.ctrlKey || e.metaKey || e.altKey || takesTyping(e.target)) return;
    e.preventDefault();
    open();
  });
  const button = h(
    'button',
    { type: 'button', id: 'shortcuts-open', class: 'shortcuts-open', 'aria-keyshortcuts': '?', onclick: open },
    'Keyboard shortcuts',
    h('kbd', { 'aria-hidden': 'true' }, '?'),
  );
  return { button, dialog };
}

/** The first visit's hint, or null once it has been dismissed on this computer. */
export function firstRunHint(): HTMLElement | null {
  const storage = safeStorage();
  try {
    if (storage?.getItem(HINT_KEY) === 'yes') return null;
  } catch {
    // Storage that cannot be read shows the hint.
  }
  const hint = h(
    'section',
    { id: 'first-hint', class: 'first-hint', 'aria-label': 'Getting started' },
    h(
      'p',
      {},
      'New here? Press a preset such as Coin or Jump to make a sound, Space to hear it again, and move the ' +
        'parameters to change it. Variations makes candidates to pick from. Press ? for every key.',
    ),
    h(
      'button',
      {
        type: 'button',
        id: 'first-hint-dismiss',
        onclick: () => {
          try {
            storage?.setItem(HINT_KEY, 'yes');
          } catch {
            // Without storage the hint goes for this visit only.
          }
          hint.remove();
          document.querySelector<HTMLElement>('[data-family]')?.focus();
        },
      },
      'Got it, don\u2019t show again',
    ),
  );
  return hint;
}

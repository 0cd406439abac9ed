// Every key the Studio answers to, for the list that ? opens.

export interface Shortcut {
  keys: string[];
  does: string;
  /** Where the key works, when not everywhere. */
  where?: string;
}

export const SHORTCUTS: Shortcut[] = [
  { keys: ['Space'], does: 'Plays the sound', where: 'anywhere but in a text field or list' },
  { keys: ['Esc'], does: 'Stops the sound, or closes this list' },
  { keys: ['Ctrl+Z'], does: 'Undoes the last change' },
  { keys: ['Ctrl+Shift+Z', 'Ctrl+Y'], does: 'Redoes the change last undone' },
  { keys: ['X'], does: 'Switches between sounds A and B' },
  { keys: ['Arrow keys'], does: 'Moves a focused slider a step' },
  { keys: ['Page Up', 'Page Down', 'Home', 'End'], does: 'Moves a focused slider far, or to its ends' },
  { keys: ['Shift+click'], does: 'Makes a preset or Randomize from the seed shown, not a new one' },
  { keys: ['1 to 9'], does: 'Plays one of the first nine variations', where: 'while the variations have focus' },
  { keys: ['Tab', 'Shift+Tab'], does: 'Moves to the next or previous control' },
  { keys: ['Enter'], does: 'Presses the focused button, or ticks or clears the focused box' },
  { keys: ['?'], does: 'Opens this list' },
];

/*
 * The program's main window, drawn in HTML from the checker's answer: the
 * outer and client sizes and the controls' rectangles at 96 DPI, the
 * caption, the tree's items in the program's order, and the controls'
 * texts. It behaves as the dialog does: selecting an entry fills the
 * frame's caption, the description and the command box; the fallback item
 * leaves them; the command box can be edited; Run (Enter, a double click)
 * says what the shell is handed, Close what the program does.
 *
 * The tree is an ARIA tree (tree, treeitem, group) driven by the arrow
 * keys as the platform's tree is. What the user expanded and selected is
 * kept while the menu is edited, where the same item is still there.
 */

// The window's state across redraws of the same page.
const g_state = {expanded: new Set(), selected: null, shownRecord: null, shape: null, all: null, parts: null};

// What the drawing is made of, records aside: the geometry, the caption
// and the tree's texts and levels. Where it stays, a redraw only takes
// the new records (an edit of a command or a description, say).
function shapeOf(win) {
  const texts = [];
  const walk = (items) => items.forEach((item) => {
    texts.push(item.text, item.children.length);
    walk(item.children);
  });
  walk(win.items);
  return JSON.stringify([win.outer, win.client, win.controls, win.caption, win.cramped, texts]);
}

// The selected entry's record, shown where it changed.
function keepSelection(all, parts) {
  const selected = all.find((e) => e.path === g_state.selected);
  if (selected) {
    selected.node.setAttribute('aria-selected', 'true');
    selected.node.tabIndex = 0;
    const record = selected.item.record;
    if (record && JSON.stringify(record) !== g_state.shownRecord) showRecord(parts, record);
  } else {
    g_state.selected = null;
  }
}

// Text with the controls' mnemonic rule: `&` underlines the character
// after it and is not shown, `&&` shows one `&`.
export function appendMnemonic(parent, text) {
  let plain = '';
  for (let i = 0; i < text.length; i++) {
    if (text[i] !== '&') {
      plain += text[i];
      continue;
    }
    if (text[i + 1] === '&') {
      plain += '&';
      i++;
      continue;
    }
    if (i + 1 >= text.length) continue;
    parent.appendChild(document.createTextNode(plain));
    plain = '';
    const key = document.createElement('u');
    key.textContent = text[++i];
    parent.appendChild(key);
  }
  parent.appendChild(document.createTextNode(plain));
}

// Quoted as quorlan-check's report quotes: control characters escaped.
function quoted(text) {
  return '"' + text.replace(/[\x00-\x1F]/g, (c) => {
    const named = {'\r': '\\r', '\n': '\\n', '\t': '\\t'}[c];
    return named || '\\x' + c.charCodeAt(0).toString(16).padStart(2, '0').toUpperCase();
  }) + '"';
}

// What the shell is handed, as quorlan-check's report says it.
export function describeLaunch(launch) {
  if (!launch) return 'Run starts nothing: the command box is empty.';
  const part = (value) => value === null ? 'none' : quoted(value);
  return `shell gets: file ${quoted(launch.file)}, parameters ${part(launch.parameters)}, ` +
         `folder ${part(launch.directory)}`;
}

function element(tag, className, parent) {
  const made = document.createElement(tag);
  if (className) made.className = className;
  if (parent) parent.appendChild(made);
  return made;
}

function place(node, rect) {
  node.style.left = rect[0] + 'px';
  node.style.top = rect[1] + 'px';
  node.style.width = Math.max(0, rect[2] - rect[0]) + 'px';
  node.style.height = Math.max(0, rect[3] - rect[1]) + 'px';
}

// The description box breaks lines only at a carriage return and line
// feed; a lone one shows no break.
function shownDescription(text) {
  return text.split('\r\n').map((line) => line.replace(/[\r\n]/g, '')).join('\n');
}

function showRecord(parts, record) {
  parts.frameCaption.textContent = '';
  appendMnemonic(parts.frameCaption, record.name);
  parts.description.value = shownDescription(record.description);
  parts.command.value = record.command;
  g_state.shownRecord = JSON.stringify(record);
}

// The tree's items as nested lists, each with its path of places.
function buildTree(tree, items, level, prefix, parts, all) {
  items.forEach((item, i) => {
    const path = prefix + i;
    const node = element('li', 'item', tree);
    node.setAttribute('role', 'treeitem');
    node.setAttribute('aria-level', String(level));
    node.setAttribute('aria-selected', 'false');
    node.dataset.path = path;
    node.tabIndex = -1;
    const row = element('div', 'row', node);
    row.style.paddingLeft = (level - 1) * 19 + 'px';
    const button = element('span', 'expander', row);
    const label = element('span', 'label', row);
    label.textContent = item.text;
    const entry = {item, node, path, parent: null, children: [], group: null};
    all.push(entry);
    if (item.children.length) {
      const open = g_state.expanded.has(path);
      node.setAttribute('aria-expanded', String(open));
      button.textContent = open ? '\u2212' : '+';
      button.classList.add('has-children');
      entry.group = element('ul', 'group', node);
      entry.group.setAttribute('role', 'group');
      entry.group.hidden = !open;
      const first = all.length;
      buildTree(entry.group, item.children, level + 1, path + '.', parts, all);
      for (let k = first; k < all.length; k++) if (!all[k].parent) all[k].parent = entry;
      entry.children = all.slice(first).filter((e) => e.parent === entry);
    }
  });
}

function isShown(entry) {
  for (let up = entry.parent; up; up = up.parent) if (!g_state.expanded.has(up.path)) return false;
  return true;
}

function setExpanded(entry, open) {
  if (!entry.group) return;
  if (open) g_state.expanded.add(entry.path);
  else g_state.expanded.delete(entry.path);
  entry.node.setAttribute('aria-expanded', String(open));
  entry.node.querySelector('.expander').textContent = open ? '\u2212' : '+';
  entry.group.hidden = !open;
}

function select(entry, parts, all, focus) {
  for (const other of all) {
    other.node.setAttribute('aria-selected', String(other === entry));
    other.node.tabIndex = other === entry ? 0 : -1;
  }
  g_state.selected = entry.path;
  // The fallback item has no record: the boxes keep what they had.
  if (entry.item.record) showRecord(parts, entry.item.record);
  if (focus) entry.node.focus();
}

function wireTree(tree, parts, all) {
  const find = (target) => {
    const node = target.closest('li.item');
    return node && all.find((e) => e.node === node);
  };
  const visible = () => all.filter(isShown);
  tree.addEventListener('click', (event) => {
    const entry = find(event.target);
    if (!entry) return;
    if (event.target.classList.contains('has-children')) setExpanded(entry, !g_state.expanded.has(entry.path));
    else select(entry, parts, all, true);
  });
  tree.addEventListener('dblclick', (event) => {
    const entry = find(event.target);
    if (entry && !event.target.classList.contains('has-children')) setExpanded(entry, !g_state.expanded.has(entry.path));
    parts.run();
  });
  tree.addEventListener('keydown', (event) => {
    const shown = visible();
    const current = all.find((e) => e.path === g_state.selected);
    const at = current ? shown.indexOf(current) : -1;
    let next = null;
    switch (event.key) {
    case 'ArrowDown': next = shown[Math.min(at + 1, shown.length - 1)]; break;
    case 'ArrowUp': next = shown[Math.max(at - 1, 0)]; break;
    case 'Home': next = shown[0]; break;
    case 'End': next = shown[shown.length - 1]; break;
    case 'ArrowRight':
      if (!current || !current.group) break;
      if (!g_state.expanded.has(current.path)) setExpanded(current, true);
      else next = current.children[0];
      break;
    case 'ArrowLeft':
      if (!current) break;
      if (current.group && g_state.expanded.has(current.path)) setExpanded(current, false);
      else next = current.parent;
      break;
    case 'Enter': parts.run(); break;
    default: return;
    }
    event.preventDefault();
    if (next) select(next, parts, all, true);
  });
  // The tree takes the focus without selecting: the first item is the one the keys start from.
  tree.addEventListener('focus', () => {
    if (!all.some((e) => e.node.tabIndex === 0) && all[0]) all[0].node.tabIndex = 0;
  });
}

// Draws the window into the pane, replacing what was there; onRun(text)
// is called with the command box's text when Run is pressed.
export function drawWindow(pane, win, onRun) {
  const shape = shapeOf(win);
  if (shape === g_state.shape && pane.firstChild) {
    const items = [];
    const walk = (list) => list.forEach((item) => {
      items.push(item);
      walk(item.children);
    });
    walk(win.items);
    g_state.all.forEach((entry, i) => { entry.item = items[i]; });
    keepSelection(g_state.all, g_state.parts);
    return;
  }
  const commandBefore = pane.querySelector('.command');
  const typed = commandBefore ? commandBefore.value : '';
  const descriptionBefore = pane.querySelector('.description');
  const frameBefore = pane.querySelector('.frame-caption');
  pane.textContent = '';
  const [outerWidth, outerHeight] = win.outer, [clientWidth, clientHeight] = win.client;
  const border = Math.max(0, Math.round((outerWidth - clientWidth) / 2));
  const top = Math.max(0, outerHeight - clientHeight - border);
  const frame = element('div', 'window', pane);
  frame.setAttribute('role', 'dialog');
  frame.setAttribute('aria-label', win.caption);
  frame.style.width = outerWidth + 'px';
  frame.style.height = outerHeight + 'px';
  const title = element('div', 'title', frame);
  title.style.left = title.style.right = border + 'px';
  title.style.top = border + 'px';
  title.style.height = Math.max(0, top - border - 1) + 'px';
  element('span', 'icon', title);
  element('span', 'caption', title).textContent = win.caption;
  const boxes = element('span', 'title-buttons', title);
  for (const face of ['0', '1', 'r']) element('span', 'title-button b' + face, boxes);
  const client = element('div', 'client', frame);
  place(client, [border, top, border + clientWidth, top + clientHeight]);

  const parts = {};
  const controls = Object.fromEntries(win.controls.map((c) => [c.id, c]));
  const tree = element('ul', 'tree', client);
  tree.setAttribute('role', 'tree');
  tree.setAttribute('aria-label', 'Programs');
  tree.tabIndex = 0;
  place(tree, controls.tree.rect);
  const group = element('fieldset', 'frame', client);
  place(group, controls.frame.rect);
  parts.frameCaption = element('legend', 'frame-caption', group);
  parts.description = element('textarea', 'description', client);
  parts.description.readOnly = true;
  parts.description.setAttribute('aria-label', 'Description');
  place(parts.description, controls.description.rect);
  parts.command = element('input', 'command', client);
  parts.command.type = 'text';
  parts.command.spellcheck = false;
  parts.command.setAttribute('aria-label', 'Command');
  parts.command.hidden = !controls.command.shown;
  place(parts.command, controls.command.rect);
  const run = element('button', 'button run default', client);
  appendMnemonic(run, controls.run.text);
  place(run, controls.run.rect);
  const close = element('button', 'button close', client);
  appendMnemonic(close, controls.close.text);
  place(close, controls.close.rect);

  parts.run = () => onRun(parts.command.value);
  run.addEventListener('click', parts.run);
  parts.command.addEventListener('keydown', (event) => {
    if (event.key === 'Enter') parts.run();
  });
  close.addEventListener('click', () => {
    const out = document.getElementById('shell');
    if (out) out.textContent = 'Close ends the program: its entries are freed and the window goes.';
  });

  const all = [];
  buildTree(tree, win.items, 1, '', parts, all);
  wireTree(tree, parts, all);
  // The boxes keep what they showed, unless the selected entry changed.
  parts.command.value = typed;
  if (descriptionBefore) parts.description.value = descriptionBefore.value;
  if (frameBefore) parts.frameCaption.replaceChildren(...frameBefore.childNodes);
  keepSelection(all, parts);
  Object.assign(g_state, {shape, all, parts});
  if (win.cramped) {
    const note = element('div', 'cramped', pane);
    note.textContent = `At this size: ${win.cramped}`;
  }
}

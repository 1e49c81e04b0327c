/*
 * A disc's folder as the checker takes it: the names under the folder,
 * each folder's ending in '/', from a folder picked (an input with
 * webkitdirectory) or dropped on the page. No file's content is read; the
 * folder's own Quorlan.ini is handed back as a File, for the page to open
 * when the author asks.
 */

const MENU_NAME = 'quorlan.ini';

// The names of the files picked, from the folder's own (the first part of
// each relative path), with every folder they stand in.
export function namesOfPicked(files) {
  const names = new Set();
  let folder = '', menuFile = null;
  for (const file of files) {
    const parts = (file.webkitRelativePath || file.name).split('/');
    folder = parts.length > 1 ? parts[0] : folder;
    const inner = parts.length > 1 ? parts.slice(1) : parts;
    for (let i = 1; i < inner.length; i++) names.add(inner.slice(0, i).join('/') + '/');
    names.add(inner.join('/'));
    if (inner.length === 1 && inner[0].toLowerCase() === MENU_NAME) menuFile = file;
  }
  return {folder, names: [...names].sort(), menuFile};
}

function readAll(reader) {
  return new Promise((resolve, reject) => {
    const entries = [];
    const more = () => reader.readEntries((batch) => {
      if (!batch.length) return resolve(entries);
      entries.push(...batch);
      more();
    }, reject);
    more();
  });
}

async function walk(directory, prefix, names, found) {
  for (const entry of await readAll(directory.createReader())) {
    if (entry.isDirectory) {
      names.push(prefix + entry.name + '/');
      await walk(entry, prefix + entry.name + '/', names, found);
    } else {
      names.push(prefix + entry.name);
      if (!prefix && entry.name.toLowerCase() === MENU_NAME) found.menu = entry;
    }
  }
}

// What was dropped: one file alone ({file}), or a folder ({folder, names, menuFile}).
export async function namesOfDropped(transfer) {
  const items = [...transfer.items].filter((item) => item.kind === 'file');
  const entries = items.map((item) => item.webkitGetAsEntry && item.webkitGetAsEntry()).filter(Boolean);
  const directory = entries.find((entry) => entry.isDirectory);
  if (!directory) return {file: transfer.files[0] || null};
  const names = [], found = {};
  await walk(directory, '', names, found);
  const menuFile = found.menu ? await new Promise((resolve, reject) => found.menu.file(resolve, reject)) : null;
  return {folder: directory.name, names: names.sort(), menuFile};
}

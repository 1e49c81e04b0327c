/*
 * The page's state in the address's fragment: the menu's text, its
 * encoding and the settings, as JSON compressed with the browser's own
 * deflate (CompressionStream) and written in base64url. The disc's
 * listing is not in it.
 */

// A fragment longer than this is not written: the page says so instead.
export const LINK_LIMIT = 32 * 1024;
// A link unpacks to at most this many bytes: far more than a menu that
// fits in a link, and far less than the gigabytes a made-up fragment of
// deflate can ask for, which would end the tab.
export const LINK_TEXT_LIMIT = 4 * 1024 * 1024;
const PREFIX = 'menu=';

// The bytes through the stream, or null once they pass the limit: a
// made-up fragment of deflate can unpack to gigabytes.
async function pipe(bytes, stream, limit = Infinity) {
  const reader = new Blob([bytes]).stream().pipeThrough(stream).getReader();
  const chunks = [];
  let size = 0;
  for (;;) {
    const {done, value} = await reader.read();
    if (done) break;
    size += value.length;
    if (size > limit) {
      await reader.cancel();
      return null;
    }
    chunks.push(value);
  }
  const out = new Uint8Array(size);
  let at = 0;
  for (const chunk of chunks) {
    out.set(chunk, at);
    at += chunk.length;
  }
  return out;
}

function toBase64Url(bytes) {
  let binary = '';
  for (let i = 0; i < bytes.length; i += 8192) binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
  return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

function fromBase64Url(text) {
  const binary = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

// The fragment for the state, or null where it would unpack to more than
// a link may (its fragment may still be too long: LINK_LIMIT).
export async function writeLink(state) {
  const bytes = new TextEncoder().encode(JSON.stringify(state));
  if (bytes.length > LINK_TEXT_LIMIT) return null;
  return PREFIX + toBase64Url(await pipe(bytes, new CompressionStream('deflate-raw')));
}

// The state a fragment holds, or null where it holds none (or a broken one).
export async function readLink(fragment) {
  if (!fragment.startsWith(PREFIX) || fragment.length > LINK_LIMIT) return null;
  try {
    const bytes = await pipe(fromBase64Url(fragment.slice(PREFIX.length)), new DecompressionStream('deflate-raw'), LINK_TEXT_LIMIT);
    if (!bytes) return null;
    const state = JSON.parse(new TextDecoder().decode(bytes));
    if (typeof state.text !== 'string') return null;
    return {text: state.text, encoding: ['utf-8-marked', 'utf-8', 'code-page'].includes(state.encoding) ? state.encoding : 'utf-8',
            name: typeof state.name === 'string' ? state.name : 'Quorlan.ini',
            codePage: Number(state.codePage) || 1252, drive: /^[A-Z]$/.test(state.drive) ? state.drive : 'D',
            leftOut: typeof state.leftOut === 'string' ? state.leftOut : ''};
  } catch (e) {
    return null;
  }
}

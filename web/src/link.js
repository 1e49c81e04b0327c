/*
 * The page's state in the address's fragment: the menu's text, its
 * encoding and the settings, as JSON compressed with the browser's own
 * deflate (CompressionStream) and written in base64url. The disc's
 * listing is not in it.
 */

// A fragment longer than this is not written: the page says so instead.
export const LINK_LIMIT = 32 * 1024;
const PREFIX = 'menu=';

async function pipe(bytes, stream) {
  const out = new Response(new Blob([bytes]).stream().pipeThrough(stream));
  return new Uint8Array(await out.arrayBuffer());
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

export async function writeLink(state) {
  const packed = await pipe(new TextEncoder().encode(JSON.stringify(state)), new CompressionStream('deflate-raw'));
  return PREFIX + toBase64Url(packed);
}

// The state a fragment holds, or null where it holds none (or a broken one).
export async function readLink(fragment) {
  if (!fragment.startsWith(PREFIX)) return null;
  try {
    const bytes = await pipe(fromBase64Url(fragment.slice(PREFIX.length)), new DecompressionStream('deflate-raw'));
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

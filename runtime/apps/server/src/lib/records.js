// Strict decoding of the church's data documents, shared with the desktop
// program's files: a required key missing, a value of the wrong JSON type, a
// fractional number where an integer belongs or an unknown playlist item kind
// fails the whole document. Optional keys may be missing or null. Unknown keys
// are dropped, and absent optional fields are left out rather than written as
// null, so a decoded record re-encodes exactly as the desktop encodes it.

export class DecodeError extends Error {}

const typeName = (v) => (v === null ? 'null' : Array.isArray(v) ? 'array' : typeof v);

const text = { name: 'a string', test: (v) => typeof v === 'string' };
const integer = { name: 'an integer', test: (v) => typeof v === 'number' && Number.isSafeInteger(v) };

function oneOf(values) {
  return { name: `one of ${values.map((v) => JSON.stringify(v)).join(', ')}`, test: (v) => values.includes(v) };
}

function describe(v) {
  if (typeof v === 'number') return String(v);
  if (typeof v === 'string') return JSON.stringify(v.length > 40 ? `${v.slice(0, 40)}…` : v);
  return typeName(v);
}

function record(fields) {
  return (value, at) => {
    if (typeName(value) !== 'object') throw new DecodeError(`${at || 'document'}: expected an object, found ${typeName(value)}`);
    const out = {};
    for (const [key, [kind, required]] of Object.entries(fields)) {
      const v = value[key];
      const where = at ? `${at}.${key}` : key;
      if (v === undefined || v === null) {
        if (required) throw new DecodeError(`${where}: required key is missing`);
        continue;
      }
      out[key] = decodeValue(kind, v, where);
    }
    return out;
  };
}

function list(decodeItem) {
  return (value, at) => {
    if (!Array.isArray(value)) throw new DecodeError(`${at}: expected an array, found ${typeName(value)}`);
    return value.map((item, i) => decodeItem(item, `${at}[${i}]`));
  };
}

function decodeValue(kind, v, where) {
  if (typeof kind === 'function') return kind(v, where);
  if (!kind.test(v)) throw new DecodeError(`${where}: expected ${kind.name}, found ${describe(v)}`);
  return v;
}

const req = (kind) => [kind, true];
const opt = (kind) => [kind, false];

export const PLAYLIST_ITEM_KINDS = ['bookmark', 'ref', 'slide'];

const bookmark = record({
  id: req(text),
  label: req(text),
  book: req(text),
  chapter: req(integer),
  verseStart: req(integer),
  verseEnd: opt(integer),
  bucket: opt(text),
  color: opt(text),
});

const playlistItem = record({
  id: req(text),
  kind: req(oneOf(PLAYLIST_ITEM_KINDS)),
  bookmarkId: opt(text),
  label: opt(text),
  book: opt(text),
  chapter: opt(integer),
  verseStart: opt(integer),
  verseEnd: opt(integer),
  slideId: opt(text),
});

const playlist = record({ id: req(text), name: req(text), items: req(list(playlistItem)) });
const slide = record({ id: req(text), label: req(text), imageFile: req(text) });
const theme = record({ id: req(text), name: req(text), layout: req(text) });

export const decodeBookmarksConfig = (v) => record({ bookmarks: req(list(bookmark)) })(v, '');
export const decodePlaylistsConfig = (v) => record({ playlists: req(list(playlist)), slides: req(list(slide)) })(v, '');
export const decodeThemesConfig = (v) => record({ defaultThemeId: req(text), themes: req(list(theme)) })(v, '');
export const decodeTranslationInfo = (v) => record({ id: req(text), label: req(text), attribution: req(text) })(v, '');
export const decodeSelection = (v) => record({ primaryId: req(text), secondaryId: opt(text) })(v, '');

export const THEME_LAYOUTS = ['lowerThird', 'center', 'fullscreen'];

/**
 * What the output page needs beyond the shared decoding rules before themes
 * edited in the web admin are stored: known layouts, distinct non-empty ids,
 * and a default that names one of the themes.
 */
export function checkThemesConfig(config) {
  if (config.themes.length === 0) throw new DecodeError('themes: at least one theme is needed');
  const seen = new Set();
  config.themes.forEach((t, i) => {
    if (t.id.trim() === '') throw new DecodeError(`themes[${i}].id: must not be empty`);
    if (seen.has(t.id)) throw new DecodeError(`themes[${i}].id: "${t.id}" is used twice`);
    seen.add(t.id);
    if (!THEME_LAYOUTS.includes(t.layout)) {
      throw new DecodeError(`themes[${i}].layout: expected one of ${THEME_LAYOUTS.join(', ')}, found ${describe(t.layout)}`);
    }
  });
  if (!seen.has(config.defaultThemeId)) {
    throw new DecodeError(`defaultThemeId: "${config.defaultThemeId}" is not one of the themes`);
  }
  return config;
}

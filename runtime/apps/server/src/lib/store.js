// The church's data documents: bookmarks, playlists and themes. The files in
// the support directory are the truth: every read goes to the file (the
// desktop writes them while the server is stopped) and every write decodes
// the whole document strictly and replaces the file atomically. A refused
// document leaves the file exactly as it was.
import fs from 'node:fs';
import path from 'node:path';
import { readJsonFile, writeJsonAtomic } from './json-file.js';
import { HttpError, badRequest } from './errors.js';
import {
  DecodeError,
  decodeBookmarksConfig,
  decodePlaylistsConfig,
  decodeThemesConfig,
  checkThemesConfig,
} from './records.js';

const FALLBACK_THEMES = Object.freeze({
  defaultThemeId: 'lowerThird',
  themes: [
    { id: 'lowerThird', name: 'Lower third', layout: 'lowerThird' },
    { id: 'center', name: 'Centered', layout: 'center' },
    { id: 'fullscreen', name: 'Full screen', layout: 'fullscreen' },
  ],
});

function document({ name, file, decode, check = (v) => v, whenMissing }) {
  const fileName = path.basename(file());
  // The last decoded document and the identity of the file it came from: the
  // health poll asks for the default theme every two seconds.
  let cached;
  return {
    writes: 0,
    read() {
      let signature;
      try {
        const st = fs.statSync(file());
        signature = `${st.ino}:${st.size}:${st.mtimeMs}:${st.ctimeMs}`;
      } catch (err) {
        if (err.code !== 'ENOENT') throw new HttpError(500, `${fileName} cannot be read: ${err.message}`);
        cached = undefined;
        return whenMissing();
      }
      if (cached && cached.signature === signature) return cached.value;
      let raw;
      try {
        raw = readJsonFile(file());
      } catch (err) {
        throw new HttpError(500, `${fileName} cannot be read: ${err.message}`);
      }
      if (raw === undefined) return whenMissing();
      let value;
      try {
        value = decode(raw);
      } catch (err) {
        if (err instanceof DecodeError) throw new HttpError(500, `${fileName} does not decode: ${err.message}`);
        throw err;
      }
      cached = { signature, value };
      return value;
    },
    write(body) {
      let value;
      try {
        value = check(decode(body));
      } catch (err) {
        if (err instanceof DecodeError) throw badRequest(`${name}: ${err.message}`);
        throw err;
      }
      try {
        writeJsonAtomic(file(), value);
      } catch (err) {
        throw new HttpError(500, `${fileName} could not be written: ${err.message}`);
      }
      this.writes++;
      return value;
    },
  };
}

export function createStore(config) {
  const runtimeThemes = ['themes.json', 'seed/themes.json'].map((f) => path.join(config.root, f)).find(fs.existsSync);

  const bookmarks = document({
    name: 'BookmarksConfig',
    file: () => config.bookmarksPath,
    decode: decodeBookmarksConfig,
    whenMissing: () => ({ bookmarks: [] }),
  });
  const playlists = document({
    name: 'PlaylistsConfig',
    file: () => config.playlistsPath,
    decode: decodePlaylistsConfig,
    whenMissing: () => ({ playlists: [], slides: [] }),
  });
  const themes = document({
    name: 'ThemesConfig',
    file: () => config.themesPath,
    decode: decodeThemesConfig,
    check: checkThemesConfig,
    // Without a themes.json of its own the output still needs themes: the
    // runtime's shipped set, else the three built-in layouts.
    whenMissing: () => {
      try {
        const raw = runtimeThemes && readJsonFile(runtimeThemes);
        if (raw !== undefined) return decodeThemesConfig(raw);
      } catch {
        /* fall through */
      }
      return structuredClone(FALLBACK_THEMES);
    },
  });

  return {
    bookmarks,
    playlists,
    themes,
    defaultThemeId() {
      try {
        return themes.read().defaultThemeId;
      } catch {
        return FALLBACK_THEMES.defaultThemeId;
      }
    },
  };
}

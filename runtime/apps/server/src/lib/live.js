// What is on air. One instance per server; the routes in routes/live.js
// change it and push every change to the pages.
//
// A *cue* is what a page asks for (a passage, a bookmark, a playlist step or
// a slide); it is resolved here, once, into *content*: the verses in the
// primary translation (and the compare translation beside them) or the slide's
// image address. Pages render content as they receive it and never look
// anything up themselves, so every display shows the same words at the same
// moment.
//
// preview  content waiting to go live, or null
// live     content on air, or null (black)
// playlist the step of a playlist that last went live: {playlistId, itemId, index}
// theme    the live theme; app.live.themeId holds an operator's choice, null
//          means the default theme of themes.json
// next     when a playlist step is live, the step after it: {label, reference,
//          kind}, so a stage display can say what comes next; otherwise null
// timer    {startedAt}: the elapsed-time counter of the stage display. It
//          starts at the first Go Live after the server starts (null until
//          then) and the control pages restart it from zero.
import fs from 'node:fs';
import path from 'node:path';
import { HttpError, badRequest, notFound } from './errors.js';
import { formatReference, passageFromQuery, readPassage } from './passage.js';

const conflict = (message) => new HttpError(409, message);

const CUE_KINDS = ['passage', 'bookmark', 'playlistItem', 'slide'];
const FALLBACK_THEME = Object.freeze({ id: 'lowerThird', name: 'Lower third', layout: 'lowerThird' });

const typeName = (v) => (v === null ? 'null' : Array.isArray(v) ? 'array' : typeof v);

function requireObject(body, what) {
  if (typeName(body) !== 'object') throw badRequest(`${what}: expected a JSON object, found ${typeName(body)}`);
  return body;
}

function requireText(body, key) {
  const v = body[key];
  if (typeof v !== 'string' || v.trim() === '') throw badRequest(`${key} is required (a non-empty string)`);
  return v;
}

function optionalInteger(body, key) {
  const v = body[key];
  if (v === undefined || v === null) return undefined;
  if (!Number.isSafeInteger(v)) throw badRequest(`${key} must be a whole number, got ${JSON.stringify(v)}`);
  return v;
}

export class LiveState {
  /**
   * @param app the fastify instance: uses app.library, app.store, app.config
   *            and app.live (themeId)
   */
  constructor(app) {
    this.app = app;
    this.preview = null;
    this.live = null;
    this.playlist = null;
    this.revision = 0;
    this.contentSeq = 0;
    this.changedAt = new Date().toISOString();
    this.timerStartedAt = null;
    this.listeners = new Set();
    this.cachedMessage = undefined;
  }

  // ----- reading

  theme() {
    let doc;
    try {
      doc = this.app.store.themes.read();
    } catch {
      return { ...FALLBACK_THEME };
    }
    const wanted = this.app.live.themeId;
    const found = (wanted && doc.themes.find((t) => t.id === wanted)) || doc.themes.find((t) => t.id === doc.defaultThemeId);
    return found ? { id: found.id, name: found.name, layout: found.layout } : { ...(doc.themes[0] ?? FALLBACK_THEME) };
  }

  snapshot() {
    const theme = this.theme();
    return {
      revision: this.revision,
      changedAt: this.changedAt,
      preview: this.preview,
      live: this.live,
      playlist: this.playlist,
      theme,
      themeIsDefault: this.app.live.themeId === null,
      next: this.nextStep(),
      timer: { startedAt: this.timerStartedAt },
    };
  }

  /** The playlist step after the live one, as a stage display names it; null when there is none. */
  nextStep() {
    const source = this.live?.source;
    if (source?.kind !== 'playlist') return null;
    let doc;
    let bookmarks;
    try {
      doc = this.app.store.playlists.read();
      bookmarks = this.app.store.bookmarks.read().bookmarks;
    } catch {
      return null;
    }
    const playlist = doc.playlists.find((p) => p.id === source.playlistId);
    if (!playlist) return null;
    const at = this.positionIn(playlist) ?? source.index;
    const item = playlist.items[at + 1];
    if (!item) return null;
    const own = typeof item.label === 'string' && item.label.trim() !== '' ? item.label : undefined;
    if (item.kind === 'slide') {
      const slide = doc.slides.find((s) => s.id === item.slideId);
      return { kind: 'slide', label: own ?? slide?.label ?? 'Missing slide', reference: null };
    }
    const where = item.kind === 'bookmark' ? bookmarks.find((b) => b.id === item.bookmarkId) : item;
    if (!where?.book) return { kind: 'passage', label: own ?? 'Missing bookmark', reference: null };
    const reference = formatReference(where.book, where.chapter ?? 1, where.verseStart ?? undefined, where.verseEnd ?? undefined);
    return { kind: 'passage', label: own ?? where.label ?? reference, reference };
  }

  /** The state message every page receives, serialised once per change. */
  message() {
    if (this.cachedMessage === undefined) this.cachedMessage = JSON.stringify({ type: 'state', state: this.snapshot() });
    return this.cachedMessage;
  }

  /** fn(text) receives every message for the pages: each new state, and data changes. */
  onMessage(fn) {
    this.listeners.add(fn);
    return () => this.listeners.delete(fn);
  }

  send(text) {
    for (const fn of this.listeners) fn(text);
  }

  changed() {
    this.revision++;
    this.changedAt = new Date().toISOString();
    this.cachedMessage = undefined;
    this.send(this.message());
  }

  /** A data document was replaced through the API; control pages reload their lists. */
  dataChanged(name) {
    this.send(JSON.stringify({ type: 'data', name }));
    if (name === 'themes') this.themesChanged();
    else if (name === 'translations') this.translationsChanged();
    // The step named as next may have been renamed, moved or deleted.
    else if (this.live?.source?.kind === 'playlist') this.changed();
  }

  // ----- resolving cues

  nextId() {
    this.contentSeq++;
    return `c${this.contentSeq}`;
  }

  translations() {
    const { primary, secondary } = this.app.library.refresh();
    if (!primary) throw new HttpError(503, 'No Bible database is installed; the data folder holds none.');
    return { primary, secondary };
  }

  passage(query, extra) {
    const p = passageFromQuery(query);
    const { primary, secondary } = this.translations();
    const body = readPassage(p, primary, secondary);
    return { id: this.nextId(), kind: 'passage', ...extra, ...body };
  }

  slide(slide, source) {
    const file = slide.imageFile;
    // Only a plain file name can name an image inside media/slides.
    if (file === '' || file !== path.basename(file) || file === '.' || file === '..' || file.includes('\\')) {
      throw badRequest(`The slide "${slide.label}" names "${file}", which is not a file name inside media/slides`);
    }
    let st;
    try {
      st = fs.statSync(path.join(this.app.config.slidesDir, file));
    } catch {
      st = undefined;
    }
    if (!st || !st.isFile()) throw notFound(`The image "${file}" of the slide "${slide.label}" is not in media/slides`);
    return {
      id: this.nextId(),
      kind: 'slide',
      label: slide.label,
      source,
      slideId: slide.id,
      imageFile: file,
      url: `/media/slides/${encodeURIComponent(file)}`,
    };
  }

  bookmark(bookmarkId, source = { kind: 'bookmark', bookmarkId }, label) {
    const b = this.app.store.bookmarks.read().bookmarks.find((x) => x.id === bookmarkId);
    if (!b) throw notFound(`There is no bookmark "${bookmarkId}"`);
    const extra = { label: label || b.label, source };
    if (b.color !== undefined) extra.color = b.color;
    return this.passage({ book: b.book, chapter: b.chapter, verseStart: b.verseStart, verseEnd: b.verseEnd }, extra);
  }

  playlistItem(doc, playlist, index) {
    const item = playlist.items[index];
    const source = { kind: 'playlist', playlistId: playlist.id, itemId: item.id, index };
    const where = `step ${index + 1} of "${playlist.name}"`;
    const label = item.label && item.label.trim() !== '' ? item.label : undefined;
    if (item.kind === 'bookmark') {
      if (!item.bookmarkId) throw notFound(`${where} names no bookmark`);
      try {
        return this.bookmark(item.bookmarkId, source, label);
      } catch (err) {
        if (err.statusCode === 404 && /no bookmark/.test(err.message)) {
          throw notFound(`The bookmark of ${where} no longer exists`);
        }
        throw err;
      }
    }
    if (item.kind === 'slide') {
      const slide = doc.slides.find((s) => s.id === item.slideId);
      if (!slide) throw notFound(`The slide of ${where} no longer exists`);
      const content = this.slide(slide, source);
      if (label) content.label = label;
      return content;
    }
    if (!item.book || item.chapter === undefined) throw badRequest(`${where} names no book and chapter`);
    const extra = { source };
    if (label) extra.label = label;
    return this.passage({ book: item.book, chapter: item.chapter, verseStart: item.verseStart, verseEnd: item.verseEnd }, extra);
  }

  findPlaylist(playlistId) {
    const doc = this.app.store.playlists.read();
    const playlist = doc.playlists.find((p) => p.id === playlistId);
    if (!playlist) throw notFound(`There is no playlist "${playlistId}"`);
    return { doc, playlist };
  }

  /** Turns a cue from a page into content, or fails with a message for the operator. */
  resolve(body) {
    const cue = requireObject(body, 'cue');
    if (!CUE_KINDS.includes(cue.kind)) {
      throw badRequest(`kind must be one of ${CUE_KINDS.map((k) => `"${k}"`).join(', ')}, got ${JSON.stringify(cue.kind)}`);
    }
    switch (cue.kind) {
      case 'passage': {
        if (cue.ref !== undefined) {
          if (typeof cue.ref !== 'string') throw badRequest('ref must be a string like "John 3:16-18"');
          return this.passage({ ref: cue.ref }, { source: { kind: 'passage' } });
        }
        const query = {
          book: requireText(cue, 'book'),
          chapter: optionalInteger(cue, 'chapter'),
          verseStart: optionalInteger(cue, 'verseStart'),
          verseEnd: optionalInteger(cue, 'verseEnd'),
        };
        return this.passage(query, { source: { kind: 'passage' } });
      }
      case 'bookmark':
        return this.bookmark(requireText(cue, 'bookmarkId'));
      case 'slide': {
        const slideId = requireText(cue, 'slideId');
        const slide = this.app.store.playlists.read().slides.find((s) => s.id === slideId);
        if (!slide) throw notFound(`There is no slide "${slideId}"`);
        return this.slide(slide, { kind: 'slide', slideId });
      }
      case 'playlistItem': {
        const { doc, playlist } = this.findPlaylist(requireText(cue, 'playlistId'));
        const itemId = requireText(cue, 'itemId');
        const index = playlist.items.findIndex((i) => i.id === itemId);
        if (index < 0) throw notFound(`"${playlist.name}" has no step "${itemId}"`);
        return this.playlistItem(doc, playlist, index);
      }
      default:
        throw badRequest('unknown cue');
    }
  }

  // ----- changing

  setPreview(body) {
    this.preview = body === null ? null : this.resolve(body);
    this.changed();
  }

  clearPreview() {
    if (this.preview === null) return;
    this.preview = null;
    this.changed();
  }

  /** Puts content on air; a playlist step also moves the playlist to it. */
  goLive(content) {
    this.live = content;
    this.timerStartedAt ??= new Date().toISOString();
    if (content?.source?.kind === 'playlist') {
      const { playlistId, itemId, index } = content.source;
      this.playlist = { playlistId, itemId, index };
      this.cueFollowing();
    }
    this.changed();
  }

  /**
   * After a playlist step goes live its next step waits in preview, unless
   * the operator has something else waiting there.
   */
  cueFollowing() {
    const waiting = this.preview;
    if (waiting && !(waiting.source?.kind === 'playlist' && waiting.source.playlistId === this.playlist.playlistId)) return;
    this.preview = null;
    try {
      const { doc, playlist } = this.findPlaylist(this.playlist.playlistId);
      const next = this.playlist.index + 1;
      if (next < playlist.items.length) this.preview = this.playlistItem(doc, playlist, next);
    } catch {
      // a broken next step is reported when someone steps to it
    }
  }

  setLive(body) {
    this.goLive(this.resolve(body));
  }

  take() {
    if (this.preview === null) throw conflict('Nothing is in preview');
    const content = this.preview;
    this.preview = null;
    this.goLive(content);
  }

  /** The stage display's elapsed-time counter starts again from zero. */
  resetTimer() {
    this.timerStartedAt = new Date().toISOString();
    this.changed();
  }

  clear() {
    if (this.live === null) return;
    this.live = null;
    this.changed();
  }

  /** Next or previous verse of the live passage, across chapter ends, never past the book. */
  stepVerse(body) {
    const delta = requireObject(body, 'verse step').delta;
    if (delta !== 1 && delta !== -1) throw badRequest('delta must be 1 or -1');
    const current = this.live;
    if (!current || current.kind !== 'passage') throw conflict('No passage is live');
    const { primary } = this.translations();
    const book = primary.books().find((b) => b.name === current.book);
    if (!book) throw notFound(`${current.book} is not in ${primary.meta.label}`);
    let target;
    if (delta > 0) {
      let chapter = current.chapter;
      let from = current.verseEnd + 1;
      while (!target && chapter <= book.chapters) {
        const v = primary.verses(current.book, chapter, from, 1000)[0];
        if (v) target = { chapter, verse: v.verse };
        chapter++;
        from = 1;
      }
      if (!target) throw conflict(`${current.reference} is the end of ${current.book}`);
    } else {
      let chapter = current.chapter;
      let to = current.verseStart - 1;
      while (!target && chapter >= 1) {
        const vs = to >= 1 ? primary.verses(current.book, chapter, 1, to) : [];
        if (vs.length) target = { chapter, verse: vs[vs.length - 1].verse };
        chapter--;
        to = 1000;
      }
      if (!target) throw conflict(`${current.reference} is the start of ${current.book}`);
    }
    const content = this.passage(
      { book: current.book, chapter: target.chapter, verseStart: target.verse, verseEnd: target.verse },
      { source: { kind: 'passage' } },
    );
    this.live = content;
    this.changed();
  }

  /** Steps a playlist ({playlistId, delta: ±1}) or jumps to a step ({playlistId, index}); the step goes live. */
  stepPlaylist(body) {
    requireObject(body, 'playlist step');
    const { doc, playlist } = this.findPlaylist(requireText(body, 'playlistId'));
    const n = playlist.items.length;
    if (n === 0) throw conflict(`"${playlist.name}" has no steps`);
    let target;
    if (body.index !== undefined) {
      const index = optionalInteger(body, 'index');
      if (index < 0 || index >= n) throw badRequest(`index must be from 0 to ${n - 1}`);
      target = index;
    } else {
      const delta = body.delta;
      if (delta !== 1 && delta !== -1) throw badRequest('delta must be 1 or -1 (or give index)');
      const at = this.positionIn(playlist);
      if (at === undefined) {
        if (delta < 0) throw conflict(`No step of "${playlist.name}" has been live yet`);
        target = 0;
      } else {
        target = at + delta;
        if (target >= n) throw conflict(`"${playlist.name}" is at its last step`);
        if (target < 0) throw conflict(`"${playlist.name}" is at its first step`);
      }
    }
    this.goLive(this.playlistItem(doc, playlist, target));
  }

  /** Where the playlist stands, following its step if the list was reordered since. */
  positionIn(playlist) {
    const pos = this.playlist;
    if (!pos || pos.playlistId !== playlist.id) return undefined;
    const byId = playlist.items.findIndex((i) => i.id === pos.itemId);
    if (byId >= 0) return byId;
    return Math.min(pos.index, playlist.items.length - 1);
  }

  setTheme(body) {
    const { themeId } = requireObject(body, 'theme');
    if (themeId === null) {
      this.app.live.themeId = null;
    } else {
      if (typeof themeId !== 'string') throw badRequest('themeId must be a theme id or null for the default theme');
      const themes = this.app.store.themes.read().themes;
      if (!themes.some((t) => t.id === themeId)) throw notFound(`There is no theme "${themeId}"`);
      this.app.live.themeId = themeId;
    }
    this.changed();
  }

  // ----- data that changed under the live state

  /** themes.json was replaced: a live theme that is gone falls back to the default. */
  themesChanged() {
    const id = this.app.live.themeId;
    if (id !== null) {
      let themes = [];
      try {
        themes = this.app.store.themes.read().themes;
      } catch {
        /* an unreadable file keeps the choice until it reads again */
        themes = undefined;
      }
      if (themes && !themes.some((t) => t.id === id)) this.app.live.themeId = null;
    }
    this.changed();
  }

  /**
   * The translation choice changed: passages in preview and on air are read
   * again in the new translations, keeping their labels and where they came
   * from. One that the new translation lacks stays as it was.
   */
  translationsChanged() {
    const again = (c) => {
      if (!c || c.kind !== 'passage') return c;
      try {
        const { id, kind, reference, book, chapter, verseStart, verseEnd, primary, secondary, ...extra } = c;
        return this.passage({ book, chapter, verseStart, verseEnd }, extra);
      } catch {
        return c;
      }
    };
    this.preview = again(this.preview);
    this.live = again(this.live);
    this.changed();
  }
}

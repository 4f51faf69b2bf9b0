// The Bible databases in the data directory and the primary/compare choice.
// Every SQLite file named *.sqlite beside the primary database that carries
// the Bible schema is a library; its id is its file name. Handles stay open
// (read-only) and are reopened when a file is replaced.
import fs from 'node:fs';
import path from 'node:path';
import { openBibleDatabase, looksLikeSqlite } from '../../../../scripts/lib/bible-db.mjs';
import { CANON, bookByName } from '../../../../scripts/lib/canon.mjs';
import { readJsonFile, writeJsonAtomic } from './json-file.js';
import { decodeSelection, decodeTranslationInfo, DecodeError } from './records.js';
import { badRequest } from './errors.js';

export const WEB_DEFAULTS = Object.freeze({
  id: 'WEB',
  label: 'World English Bible',
  attribution: 'Scripture from WEB, public domain',
});

const positionOf = new Map(CANON.map((b) => [b.name, b.position]));

class Translation {
  constructor(file, stat) {
    this.file = file;
    this.id = path.basename(file);
    this.signature = `${stat.ino}:${stat.size}:${stat.mtimeMs}`;
    const { db, meta } = openBibleDatabase(file);
    this.db = db;
    this.meta = {
      id: meta.id || this.id.replace(/\.sqlite$/, '').toUpperCase(),
      label: meta.label || meta.id || this.id,
      attribution: meta.attribution ?? '',
    };
    this.verseCount = db.prepare('SELECT COUNT(*) AS n FROM verses').get().n;
    this.versesStmt = db.prepare(
      'SELECT verse, text FROM verses WHERE book = ? AND chapter = ? AND verse BETWEEN ? AND ? ORDER BY verse',
    );
    this.booksCache = undefined;
  }

  /** TranslationMetaDTO */
  describe() {
    return { id: this.meta.id, label: this.meta.label, attribution: this.meta.attribution, file: this.id };
  }

  /** Books in canonical order with the last verse of every chapter. */
  books() {
    if (!this.booksCache) {
      const rows = this.db
        .prepare('SELECT book, chapter, MAX(verse) AS lastVerse FROM verses GROUP BY book, chapter ORDER BY book, chapter')
        .all();
      const byBook = new Map();
      for (const r of rows) {
        if (!byBook.has(r.book)) byBook.set(r.book, []);
        byBook.get(r.book)[r.chapter - 1] = r.lastVerse;
      }
      this.booksCache = [...byBook.entries()]
        .sort(([a], [b]) => (positionOf.get(a) ?? 1e6) - (positionOf.get(b) ?? 1e6) || a.localeCompare(b))
        .map(([name, verses]) => ({
          name,
          testament: bookByName(name)?.testament ?? null,
          chapters: verses.length,
          verses: Array.from(verses, (v) => v ?? 0),
        }));
    }
    return this.booksCache;
  }

  verses(book, chapter, from, to) {
    return this.versesStmt.all(book, chapter, from, to);
  }

  close() {
    try {
      this.db.close();
    } catch {
      /* already closed */
    }
  }
}

export class Library {
  constructor(config, log = () => {}) {
    this.config = config;
    this.log = log;
    this.open = new Map(); // file name -> Translation
    this.failures = new Map(); // file name -> signature of a file that failed to open
    this.refreshedAt = 0;
    this.state = { primary: undefined, secondary: undefined };
    // Bumped whenever a database or the selection changes; answers cached
    // under an older generation are stale.
    this.generation = 0;
    this.stateKey = '';
  }

  /**
   * Rescans and re-reads the selection, at most once a second unless forced:
   * passage look-ups stay cheap and still notice a database or a selection
   * that changed on disk.
   */
  refresh(force = false) {
    const now = Date.now();
    if (force || now - this.refreshedAt >= 1000) {
      this.scan();
      this.state = this.selection();
      this.refreshedAt = now;
      const key = [...this.open.values()].map((t) => `${t.id}@${t.signature}`).join('|') +
        `>${this.state.primary?.id}/${this.state.secondary?.id}`;
      if (key !== this.stateKey) {
        this.stateKey = key;
        this.generation++;
      }
    }
    return this.state;
  }

  /** Rescans the data directory; cheap when nothing changed. */
  scan() {
    const { dataDir } = this.config;
    let names = [];
    try {
      names = fs.readdirSync(dataDir).filter((n) => n.endsWith('.sqlite'));
    } catch (err) {
      if (err.code !== 'ENOENT') this.log(`Cannot read ${dataDir}: ${err.message}`);
    }
    const seen = new Set();
    for (const name of names) {
      const file = path.join(dataDir, name);
      let stat;
      try {
        stat = fs.statSync(file);
      } catch {
        continue;
      }
      if (!stat.isFile()) continue;
      const signature = `${stat.ino}:${stat.size}:${stat.mtimeMs}`;
      const current = this.open.get(name);
      seen.add(name);
      if (current && current.signature === signature) continue;
      if (this.failures.get(name) === signature) continue;
      current?.close();
      this.open.delete(name);
      if (!looksLikeSqlite(file)) {
        this.failures.set(name, signature);
        continue;
      }
      try {
        this.open.set(name, new Translation(file, stat));
        this.failures.delete(name);
      } catch (err) {
        this.failures.set(name, signature);
        this.log(`Skipping ${name}: ${err.message}`);
      }
    }
    for (const [name, t] of this.open) {
      if (!seen.has(name)) {
        t.close();
        this.open.delete(name);
      }
    }
    return this;
  }

  /** Libraries in a stable order: the primary database first, then by name. */
  list() {
    const primary = path.basename(this.config.dbPath);
    return [...this.open.values()].sort((a, b) => (b.id === primary) - (a.id === primary) || a.id.localeCompare(b.id));
  }

  get(id) {
    return this.open.get(id);
  }

  /** A library by file name or, failing that, by translation id ("WEB"). */
  find(idOrTranslationId) {
    if (typeof idOrTranslationId !== 'string' || idOrTranslationId === '') return undefined;
    const direct = this.open.get(idOrTranslationId);
    if (direct) return direct;
    const wanted = idOrTranslationId.toLowerCase();
    return this.list().find((t) => t.meta.id.toLowerCase() === wanted);
  }

  defaultPrimary() {
    return this.open.get(path.basename(this.config.dbPath)) ?? this.find(this.config.translationId) ?? this.list()[0];
  }

  /**
   * The effective choice: the stored selection where its ids still name a
   * library, else the primary database. A compare translation equal to the
   * primary is no compare translation.
   */
  selection() {
    let stored;
    try {
      const raw = readJsonFile(this.config.selectionPath);
      if (raw !== undefined) stored = decodeSelection(raw);
    } catch (err) {
      this.log(`Ignoring translations-selection.json: ${err.message}`);
    }
    const primary = (stored && this.get(stored.primaryId)) || this.defaultPrimary();
    let secondary = stored?.secondaryId ? this.get(stored.secondaryId) : undefined;
    if (secondary && secondary === primary) secondary = undefined;
    return { primary, secondary };
  }

  /** The installed translation record, with the WEB defaults as fallback. */
  translationInfo() {
    try {
      const raw = readJsonFile(this.config.translationPath);
      if (raw !== undefined) return decodeTranslationInfo(raw);
    } catch {
      /* falls back below */
    }
    return { ...WEB_DEFAULTS };
  }

  payload(extra) {
    const { primary, secondary } = this.refresh(true);
    const libraries = this.list().map((t) => ({ id: t.id, file: t.id, label: t.meta.label, verseCount: t.verseCount }));
    const primaryMeta = primary
      ? primary.describe()
      : { ...this.translationInfo(), file: path.basename(this.config.dbPath) };
    const out = {
      ...extra,
      libraries,
      selection: { primaryId: primary ? primary.id : path.basename(this.config.dbPath) },
      primary: primaryMeta,
      compareAvailable: libraries.length >= 2,
    };
    if (secondary) {
      out.selection.secondaryId = secondary.id;
      out.secondary = secondary.describe();
    }
    return out;
  }

  /** Validates and stores a TranslationSelectionRequest. */
  select(body) {
    let request;
    try {
      request = decodeSelection(body);
    } catch (err) {
      if (err instanceof DecodeError) throw badRequest(err.message);
      throw err;
    }
    this.scan();
    const primary = this.get(request.primaryId);
    if (!primary) throw badRequest(`Unknown translation id "${request.primaryId}"`);
    let secondary;
    if (request.secondaryId !== undefined && request.secondaryId !== '') {
      secondary = this.get(request.secondaryId);
      if (!secondary) throw badRequest(`Unknown translation id "${request.secondaryId}"`);
      if (secondary === primary) secondary = undefined;
    }
    const selection = { primaryId: primary.id };
    if (secondary) selection.secondaryId = secondary.id;
    writeJsonAtomic(this.config.selectionPath, selection);
    this.refreshedAt = 0;
    // The desktop shows the installed translation from translation.json and
    // passes its id back at the next launch; keep it naming the primary.
    const info = { id: primary.meta.id, label: primary.meta.label, attribution: primary.meta.attribution };
    const current = this.translationInfo();
    if (current.id !== info.id || current.label !== info.label || current.attribution !== info.attribution) {
      writeJsonAtomic(this.config.translationPath, info);
    }
  }

  close() {
    for (const t of this.open.values()) t.close();
    this.open.clear();
  }
}

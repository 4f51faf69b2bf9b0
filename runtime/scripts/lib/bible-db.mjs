// One schema for every translation database: the WEB build, the licensed
// import and whatever the server finds beside its primary database.
import fs from 'node:fs';
import Database from 'better-sqlite3';

export const SCHEMA_VERSION = '1';

const SCHEMA = `
CREATE TABLE metadata (
  key   TEXT PRIMARY KEY NOT NULL,
  value TEXT NOT NULL
) WITHOUT ROWID;
CREATE TABLE verses (
  book    TEXT    NOT NULL,
  chapter INTEGER NOT NULL CHECK (chapter > 0),
  verse   INTEGER NOT NULL CHECK (verse > 0),
  text    TEXT    NOT NULL,
  PRIMARY KEY (book, chapter, verse)
) WITHOUT ROWID;
`;

const SQLITE_MAGIC = Buffer.from('SQLite format 3\0', 'latin1');

/** Whether the file starts with the SQLite header (cheap, no open). */
export function looksLikeSqlite(file) {
  let fd;
  try {
    fd = fs.openSync(file, 'r');
    const head = Buffer.alloc(16);
    return fs.readSync(fd, head, 0, 16, 0) === 16 && head.equals(SQLITE_MAGIC);
  } catch {
    return false;
  } finally {
    if (fd !== undefined) fs.closeSync(fd);
  }
}

/**
 * Creates a new, empty database at `file` (which must not exist) and returns
 * a writer. Callers fill it, call `finish()` and rename it into place, so a
 * half-written database is never under its final name.
 */
export function createBibleDatabase(file, { id, label, attribution }) {
  const db = new Database(file);
  db.pragma('journal_mode = OFF');
  db.pragma('synchronous = OFF');
  db.exec(SCHEMA);
  const setMeta = db.prepare('INSERT OR REPLACE INTO metadata (key, value) VALUES (?, ?)');
  for (const [k, v] of Object.entries({ id, label, attribution, schemaVersion: SCHEMA_VERSION })) setMeta.run(k, v);
  const insert = db.prepare('INSERT INTO verses (book, chapter, verse, text) VALUES (?, ?, ?, ?)');
  const insertMany = db.transaction((rows) => {
    for (const r of rows) insert.run(r.book, r.chapter, r.verse, r.text);
  });
  return {
    db,
    /** rows: [{book, chapter, verse, text}] in one transaction. */
    insertVerses(rows) {
      insertMany(rows);
    },
    setMeta(key, value) {
      setMeta.run(key, String(value));
    },
    verseCount() {
      return db.prepare('SELECT COUNT(*) AS n FROM verses').get().n;
    },
    /** Compacts and closes; the file is complete once this returns. */
    finish() {
      db.exec('VACUUM');
      db.close();
      const fd = fs.openSync(file, 'r');
      try {
        fs.fsyncSync(fd);
      } finally {
        fs.closeSync(fd);
      }
    },
    abort() {
      try {
        db.close();
      } catch {
        /* already closed */
      }
    },
  };
}

/**
 * Opens a database read-only and checks that it carries the schema. Returns
 * `{ db, meta }` or throws an Error whose message says what is wrong.
 */
export function openBibleDatabase(file) {
  const db = new Database(file, { readonly: true, fileMustExist: true });
  try {
    const cols = (table) => db.prepare(`PRAGMA table_info(${table})`).all().map((c) => c.name);
    const verseCols = cols('verses');
    const metaCols = cols('metadata');
    for (const c of ['book', 'chapter', 'verse', 'text']) {
      if (!verseCols.includes(c)) throw new Error(`not a Bible database (verses.${c} missing)`);
    }
    for (const c of ['key', 'value']) {
      if (!metaCols.includes(c)) throw new Error(`not a Bible database (metadata.${c} missing)`);
    }
    const meta = {};
    for (const { key, value } of db.prepare('SELECT key, value FROM metadata').all()) meta[key] = String(value);
    return { db, meta };
  } catch (err) {
    db.close();
    throw err;
  }
}

#!/usr/bin/env node
// Builds data/bible.sqlite, the World English Bible shipped with the runtime,
// from Debian's sword-text-web module (exported with mod2imp from
// libsword-utils). Usage:
//   node scripts/build-web-bible.mjs [--out data/bible.sqlite] [--module engWEB2015eb]
// The database is written beside the target under a temporary name and only
// renamed over it once it is complete and its verse count checked.
import fs from 'node:fs';
import path from 'node:path';
import { spawnSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import { CANON, PROTESTANT_CANON } from './lib/canon.mjs';
import { createBibleDatabase } from './lib/bible-db.mjs';
import { osisToText } from './lib/osis.mjs';

export const WEB_METADATA = Object.freeze({
  id: 'WEB',
  label: 'World English Bible',
  attribution: 'Scripture from WEB, public domain',
});

// Verses with text in the module as packaged by Debian (sword-text-web 426.0).
// A different count means the module or the markup handling changed, and the
// result must be looked at before it ships.
export const EXPECTED_VERSES = Object.freeze({ protestant: 31095, all: 37457 });

const bySwordName = new Map(CANON.map((b) => [b.sword, b]));

/** Parses mod2imp output into verse rows; headings and introductions are skipped. */
export function parseImp(impText) {
  const rows = [];
  const unknownBooks = new Set();
  const lines = impText.split('\n');
  let key = null;
  let body = [];
  const flush = () => {
    if (key === null) return;
    const m = /^(.+) (\d+):(\d+)$/.exec(key);
    if (m) {
      const [, swordName, ch, vs] = m;
      const chapter = Number(ch);
      const verse = Number(vs);
      const book = bySwordName.get(swordName);
      if (!book) unknownBooks.add(swordName);
      else if (chapter > 0 && verse > 0) {
        let text;
        try {
          text = osisToText(body.join('\n'));
        } catch (err) {
          throw new Error(`${key}: ${err.message}`);
        }
        if (text) rows.push({ book: book.name, chapter, verse, text });
      }
    }
    key = null;
    body = [];
  };
  for (const line of lines) {
    if (line.startsWith('$$$')) {
      flush();
      key = line.slice(3).trim();
    } else if (key !== null) {
      body.push(line);
    }
  }
  flush();
  if (unknownBooks.size) throw new Error(`unknown book names in module: ${[...unknownBooks].join(', ')}`);
  return rows;
}

/** Problems that must stop a build; empty when the rows are sound. */
export function checkRows(rows, expected = EXPECTED_VERSES) {
  const problems = [];
  const chaptersByBook = new Map();
  for (const r of rows) {
    if (/[<>]/.test(r.text)) problems.push(`${r.book} ${r.chapter}:${r.verse} still holds markup`);
    if (!chaptersByBook.has(r.book)) chaptersByBook.set(r.book, new Set());
    chaptersByBook.get(r.book).add(r.chapter);
  }
  for (const b of PROTESTANT_CANON) {
    const chapters = chaptersByBook.get(b.name);
    if (!chapters) {
      problems.push(`${b.name} is missing`);
      continue;
    }
    const max = Math.max(...chapters);
    for (let c = 1; c <= max; c++) if (!chapters.has(c)) problems.push(`${b.name} ${c} is missing`);
  }
  const canonNames = new Set(PROTESTANT_CANON.map((b) => b.name));
  const protestant = rows.filter((r) => canonNames.has(r.book)).length;
  if (expected) {
    if (protestant !== expected.protestant) {
      problems.push(`expected ${expected.protestant} verses in Genesis..Revelation, found ${protestant}`);
    }
    if (rows.length !== expected.all) problems.push(`expected ${expected.all} verses in all, found ${rows.length}`);
  }
  return { problems, protestant, all: rows.length };
}

export function exportModule(moduleName) {
  const res = spawnSync('mod2imp', [moduleName], { encoding: 'utf8', maxBuffer: 256 * 1024 * 1024 });
  if (res.error) {
    throw new Error(
      res.error.code === 'ENOENT'
        ? 'mod2imp not found: install the Debian packages libsword-utils and sword-text-web (scripts/install-deps)'
        : `mod2imp failed: ${res.error.message}`,
    );
  }
  if (res.status !== 0) throw new Error(`mod2imp ${moduleName} exited with status ${res.status}: ${res.stderr.trim()}`);
  if (!res.stdout.includes('$$$')) throw new Error(`mod2imp printed no entries for module ${moduleName}; is sword-text-web installed?`);
  return res.stdout;
}

/** Writes the database to `out` atomically and returns the counts. */
export function buildWebBible({ out, moduleName = 'engWEB2015eb', expected = EXPECTED_VERSES, log = console.log }) {
  log(`Exporting ${moduleName} with mod2imp…`);
  const rows = parseImp(exportModule(moduleName));
  const { problems, protestant, all } = checkRows(rows, expected);
  log(`Verses: ${all} (${protestant} in Genesis..Revelation, ${all - protestant} deuterocanonical)`);
  if (problems.length) {
    throw new Error(`WEB database check failed:\n  ${problems.slice(0, 20).join('\n  ')}`);
  }
  fs.mkdirSync(path.dirname(out), { recursive: true });
  const tmp = `${out}.tmp-${process.pid}`;
  fs.rmSync(tmp, { force: true });
  const writer = createBibleDatabase(tmp, WEB_METADATA);
  try {
    writer.setMeta('source', `sword module ${moduleName}`);
    writer.insertVerses(rows);
    const stored = writer.verseCount();
    if (stored !== all) throw new Error(`stored ${stored} verses, expected ${all}`);
    writer.finish();
    fs.renameSync(tmp, out);
  } catch (err) {
    writer.abort();
    fs.rmSync(tmp, { force: true });
    throw err;
  }
  log(`Wrote ${out}`);
  return { protestant, all };
}

function parseArgs(argv) {
  const args = { out: path.resolve('data/bible.sqlite'), moduleName: 'engWEB2015eb' };
  for (let i = 0; i < argv.length; i++) {
    const a = argv[i];
    if (a === '--out') args.out = path.resolve(argv[++i] ?? '');
    else if (a === '--module') args.moduleName = argv[++i] ?? '';
    else throw new Error(`unknown argument ${a}`);
  }
  return args;
}

if (process.argv[1] && fs.realpathSync(process.argv[1]) === fileURLToPath(import.meta.url)) {
  try {
    buildWebBible(parseArgs(process.argv.slice(2)));
  } catch (err) {
    console.error(`build-web-bible: ${err.message}`);
    process.exit(1);
  }
}

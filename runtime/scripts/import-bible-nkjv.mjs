#!/usr/bin/env node
// Imports the licensed NKJV from API.Bible into a Bible database of this
// runtime. Environment:
//   API_BIBLE_KEY        the user's API.Bible key (never printed)
//   API_BIBLE_ID         the API.Bible id of the Bible to fetch
//   VESPERLINE_DB_PATH   the database to write (e.g. <support>/data/bible.nkjv.sqlite)
//   API_BIBLE_DELAY_MS   pause between requests, default 250
//   API_BIBLE_BASE_URL   service base, default https://rest.api.bible/v1
// The database is written to VESPERLINE_DB_PATH + ".tmp" and renamed over the
// target only after every book arrived and the result was checked, so a
// failed or interrupted run leaves the previous database as it was.
// Exit status: 0 imported, 1 failed, 2 missing settings, 130/143 interrupted.
// The desktop program reads a failed run's output for the status codes 401,
// 403 and 429 anywhere in it, so failure output names what was being fetched
// in words ("John 3") and never prints ids, paths or counts that could
// contain those digits by chance.
import fs from 'node:fs';
import path from 'node:path';
import { CANON, PROTESTANT_CANON } from './lib/canon.mjs';
import { createBibleDatabase } from './lib/bible-db.mjs';

const NKJV_METADATA = Object.freeze({
  id: 'NKJV',
  label: 'New King James Version',
  attribution:
    'Scripture quotations marked (NKJV) are taken from the New King James Version®. Copyright © 1982 by Thomas Nelson. Used by permission. All rights reserved.',
});

const MIN_VERSES = 30000; // a complete Protestant Bible has about 31,100
const RETRIES = 2;

const env = process.env;
const apiKey = (env.API_BIBLE_KEY ?? '').trim();
const bibleId = (env.API_BIBLE_ID ?? '').trim();
const target = (env.VESPERLINE_DB_PATH ?? '').trim();
const baseUrl = (env.API_BIBLE_BASE_URL ?? '').trim().replace(/\/+$/, '') || 'https://rest.api.bible/v1';
const delayMs = parseDelay(env.API_BIBLE_DELAY_MS);

function parseDelay(text) {
  if (text === undefined || text.trim() === '') return 250;
  const n = Number(text);
  return Number.isFinite(n) && n >= 0 ? Math.min(n, 60000) : 250;
}

// Every line goes through here, so the key cannot reach the log even when a
// server echoes it back.
function redact(text) {
  let s = String(text);
  if (apiKey) s = s.split(apiKey).join('[API key]');
  return s;
}
const say = (line) => process.stdout.write(`${redact(line)}\n`);
const complain = (line) => process.stderr.write(`${redact(line)}\n`);

class ImportError extends Error {
  constructor(message, exitCode = 1) {
    super(message);
    this.exitCode = exitCode;
  }
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
let requests = 0;

async function api(pathname, what, query) {
  const url = new URL(`${baseUrl}${pathname}`);
  for (const [k, v] of Object.entries(query ?? {})) url.searchParams.set(k, v);
  for (let attempt = 0; ; attempt++) {
    if (requests++ > 0 && delayMs > 0) await sleep(delayMs);
    let res;
    try {
      res = await fetch(url, { headers: { 'api-key': apiKey, accept: 'application/json' }, signal: AbortSignal.timeout(60000) });
    } catch (err) {
      if (attempt < RETRIES) {
        say(`Fetching ${what} failed (${err.cause?.code ?? err.name}); retrying`);
        await sleep(1000 * (attempt + 1));
        continue;
      }
      throw new ImportError(`Could not reach API.Bible while fetching ${what}: ${err.cause?.code ?? err.name}`);
    }
    if (res.status >= 500 && attempt < RETRIES) {
      say(`API.Bible answered HTTP ${res.status} for ${what}; retrying`);
      await res.body?.cancel();
      await sleep(1000 * (attempt + 1));
      continue;
    }
    const text = await res.text();
    if (!res.ok) {
      let detail = '';
      try {
        const body = JSON.parse(text);
        if (typeof body.message === 'string') detail = `: ${body.message.slice(0, 200)}`;
      } catch {
        /* not JSON */
      }
      const hint =
        { 401: ' (the API key was rejected)', 403: ' (this key may not use this Bible)', 429: ' (rate limited)' }[res.status] ?? '';
      throw new ImportError(`API.Bible answered HTTP ${res.status}${hint} for ${what}${detail}`);
    }
    try {
      const body = JSON.parse(text);
      if (body && typeof body === 'object' && 'data' in body) return body.data;
    } catch {
      /* reported below */
    }
    throw new ImportError(`API.Bible sent an unexpected answer for ${what}`);
  }
}

/** Verse texts of one chapter from API.Bible's JSON content, keyed by verse number. */
function versesFromContent(content, chapterId) {
  const texts = new Map();
  const walk = (nodes, inheritedVerse) => {
    if (!Array.isArray(nodes)) return;
    let current = inheritedVerse;
    for (const node of nodes) {
      if (!node || typeof node !== 'object') continue;
      if (node.name === 'verse') {
        const n = Number.parseInt(node.attrs?.number, 10);
        if (Number.isInteger(n)) current = n;
        continue; // its items are the printed verse number
      }
      if (node.name === 'note') continue;
      if (node.type === 'text') {
        const id = node.attrs?.verseId;
        // "JHN.3.16"; a bridged verse is named by its first verse ("JHN.3.16-JHN.3.17")
        const fromId = typeof id === 'string' ? Number.parseInt(id.split('-')[0].split('.').pop(), 10) : NaN;
        const verse = Number.isInteger(fromId) && fromId > 0 ? fromId : current;
        if (verse && typeof node.text === 'string') texts.set(verse, (texts.get(verse) ?? '') + node.text);
        continue;
      }
      walk(node.items, current);
    }
  };
  walk(content, undefined);
  const out = [];
  for (const [verse, raw] of [...texts.entries()].sort((a, b) => a[0] - b[0])) {
    const text = raw.replace(/\s+/g, ' ').trim();
    if (text) out.push({ verse, text });
  }
  if (out.length === 0) throw new ImportError(`${chapterId} arrived without verses`);
  return out;
}

async function run() {
  if (!apiKey) throw new ImportError('Missing API_BIBLE_KEY: save your API.Bible key in Settings first.', 2);
  if (!bibleId) throw new ImportError('Missing API_BIBLE_ID: save the NKJV Bible ID in Settings first.', 2);
  if (!target) throw new ImportError('Missing VESPERLINE_DB_PATH: no database path to write.', 2);

  const tmp = `${target}.tmp`;
  fs.mkdirSync(path.dirname(target), { recursive: true });
  fs.rmSync(tmp, { force: true });
  say('Importing from API.Bible; this takes a while.');

  const bible = await api(`/bibles/${encodeURIComponent(bibleId)}`, 'the Bible');
  say(`Bible: ${bible?.name ?? 'unnamed'}${bible?.abbreviation ? ` (${bible.abbreviation})` : ''}`);

  const books = await api(`/bibles/${encodeURIComponent(bibleId)}/books`, 'the book list');
  if (!Array.isArray(books)) throw new ImportError('API.Bible sent no book list');
  const offered = new Set(books.map((b) => b?.id));
  const missing = PROTESTANT_CANON.filter((b) => !offered.has(b.usfm));
  if (missing.length) {
    throw new ImportError(`This Bible lacks ${missing.length} of the 66 books (${missing.slice(0, 5).map((b) => b.name).join(', ')}…)`);
  }
  const wanted = CANON.filter((b) => offered.has(b.usfm));

  const writer = createBibleDatabase(tmp, NKJV_METADATA);
  interrupted.writer = writer;
  interrupted.tmp = tmp;
  let total = 0;
  try {
    writer.setMeta('source', `API.Bible ${bibleId}`);
    for (const [index, book] of wanted.entries()) {
      const chapters = await api(`/bibles/${encodeURIComponent(bibleId)}/books/${book.usfm}/chapters`, `the chapters of ${book.name}`);
      const numbered = (Array.isArray(chapters) ? chapters : []).filter((c) => /^\d+$/.test(String(c?.number)));
      if (numbered.length === 0) throw new ImportError(`${book.name} has no chapters`);
      say(`[${index + 1}/${wanted.length}] ${book.name}: ${numbered.length} chapter${numbered.length === 1 ? '' : 's'}`);
      for (const chapter of numbered) {
        const where = `${book.name} ${chapter.number}`;
        const data = await api(`/bibles/${encodeURIComponent(bibleId)}/chapters/${encodeURIComponent(chapter.id)}`, where, {
          'content-type': 'json',
          'include-notes': 'false',
          'include-titles': 'false',
          'include-chapter-numbers': 'false',
          'include-verse-numbers': 'false',
          'include-verse-spans': 'false',
        });
        const verses = versesFromContent(data?.content, where);
        const number = Number(chapter.number);
        writer.insertVerses(verses.map((v) => ({ book: book.name, chapter: number, verse: v.verse, text: v.text })));
        total += verses.length;
      }
    }
    const stored = writer.verseCount();
    if (stored !== total) throw new ImportError('The database holds fewer verses than arrived; nothing was installed');
    if (total < MIN_VERSES) throw new ImportError('Fewer verses arrived than a complete Bible holds; nothing was installed');
    writer.finish();
    fs.renameSync(tmp, target);
  } catch (err) {
    writer.abort();
    fs.rmSync(tmp, { force: true });
    throw err;
  } finally {
    interrupted.writer = undefined;
  }
  say(`Imported ${total} verses from ${wanted.length} books into ${target}`);
}

const interrupted = { writer: undefined, tmp: undefined };
for (const [signal, code] of [['SIGTERM', 143], ['SIGINT', 130]]) {
  process.on(signal, () => {
    interrupted.writer?.abort();
    if (interrupted.tmp) fs.rmSync(interrupted.tmp, { force: true });
    complain(`Import interrupted (${signal}); the previous database is unchanged.`);
    process.exit(code);
  });
}

run().then(
  () => process.exit(0),
  (err) => {
    complain(err instanceof ImportError ? err.message : `Import failed: ${err.message}`);
    process.exit(err.exitCode ?? 1);
  },
);

// Passage references as people type them and as bookmarks store them.
import { findBook } from '../../../../scripts/lib/canon.mjs';
import { badRequest, notFound } from './errors.js';

const MAX_VERSES = 200;

function positiveInt(value, name, { optional = false } = {}) {
  if (value === undefined || value === '') {
    if (optional) return undefined;
    throw badRequest(`${name} is required`);
  }
  const s = String(value).trim();
  if (!/^\d{1,4}$/.test(s) || Number(s) < 1) throw badRequest(`${name} must be a whole number from 1 upwards, got "${value}"`);
  return Number(s);
}

function resolveBook(text) {
  const book = findBook(text);
  if (!book) throw badRequest(`Unknown book "${text}"`);
  return book;
}

/**
 * Parses "John 3:16", "Jn 3:16-18", "1 Cor 13:4–7", "Ps 23", "Jude 3" (a
 * single-chapter book takes the number as a verse) into
 * { book, chapter, verseStart?, verseEnd? }.
 */
export function parseReference(text) {
  const s = String(text ?? '').trim().replace(/\s+/g, ' ');
  const m = /^(.+?)\s*(\d{1,3})(?:\s*[:.]\s*(\d{1,3})(?:\s*[-–—]\s*(\d{1,3}))?)?$/u.exec(s);
  if (!m) throw badRequest(`Cannot read the reference "${text}"; write it like John 3:16 or John 3:16-18`);
  const book = resolveBook(m[1]);
  const n = Number(m[2]);
  if (m[3] === undefined && book.singleChapter) return { book, chapter: 1, verseStart: n, verseEnd: n };
  return { book, chapter: n, verseStart: m[3] && Number(m[3]), verseEnd: m[4] && Number(m[4]) };
}

/** A passage request from query parameters: either `ref` or book/chapter/verseStart/verseEnd. */
export function passageFromQuery(query) {
  let p;
  if (query.ref !== undefined) {
    p = parseReference(query.ref);
  } else {
    if (query.book === undefined || String(query.book).trim() === '') throw badRequest('book (or ref) is required');
    p = {
      book: resolveBook(String(query.book)),
      chapter: positiveInt(query.chapter, 'chapter'),
      verseStart: positiveInt(query.verseStart, 'verseStart', { optional: true }),
      verseEnd: positiveInt(query.verseEnd, 'verseEnd', { optional: true }),
    };
  }
  if (p.verseStart === undefined) {
    if (p.verseEnd !== undefined) throw badRequest('verseEnd needs verseStart');
    return { ...p, wholeChapter: true };
  }
  const verseEnd = p.verseEnd ?? p.verseStart;
  if (verseEnd < p.verseStart) throw badRequest(`verseEnd (${verseEnd}) is before verseStart (${p.verseStart})`);
  if (verseEnd - p.verseStart + 1 > MAX_VERSES) throw badRequest(`A passage holds at most ${MAX_VERSES} verses`);
  return { ...p, verseEnd, wholeChapter: false };
}

export function formatReference(book, chapter, first, last) {
  if (first === undefined) return `${book} ${chapter}`;
  return last !== undefined && last !== first ? `${book} ${chapter}:${first}–${last}` : `${book} ${chapter}:${first}`;
}

/**
 * The verses of a parsed passage (passageFromQuery) in `primary`, and in
 * `secondary` beside it when given: the answer of GET /api/bible/passage and
 * the text of a passage that goes to preview or live.
 */
export function readPassage(p, primary, secondary) {
  const from = p.wholeChapter ? 1 : p.verseStart;
  const to = p.wholeChapter ? 1000 : p.verseEnd;
  const part = (t) => {
    const verses = t.verses(p.book.name, p.chapter, from, to);
    return { translation: t.describe(), verses, text: verses.map((v) => v.text).join(' ') };
  };
  const first = part(primary);
  if (first.verses.length === 0) {
    throw notFound(`${formatReference(p.book.name, p.chapter, p.wholeChapter ? undefined : from, to)} is not in ${primary.meta.label}`);
  }
  const firstVerse = first.verses[0].verse;
  const lastVerse = first.verses[first.verses.length - 1].verse;
  const body = {
    reference: formatReference(p.book.name, p.chapter, p.wholeChapter ? undefined : firstVerse, lastVerse),
    book: p.book.name,
    chapter: p.chapter,
    verseStart: firstVerse,
    verseEnd: lastVerse,
    primary: first,
  };
  if (secondary && secondary !== primary) body.secondary = part(secondary);
  return body;
}

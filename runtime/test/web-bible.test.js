// The WEB database built from Debian's sword module (installed by
// scripts/install-deps), and the markup rules it depends on.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import Database from 'better-sqlite3';
import { osisToText } from '../scripts/lib/osis.mjs';
import { PROTESTANT_CANON } from '../scripts/lib/canon.mjs';
import { tempDir, runScript, RUNTIME, WEB_META } from './helpers.js';

test('markup is removed without fusing or splitting words', () => {
  const cases = [
    // a footnote between two words of a red-letter quotation
    ['<q who="Jesus"><w>only</w> born</q><note placement="foot"><reference>3:16 </reference>Or, “only begotten”.</note><q who="Jesus"><w>Son</w>, that</q>', 'only born Son, that'],
    // punctuation after a removed note stays attached
    ['two assaria coins</q> <note placement="foot">An assarion…</note> <q>? Not one', 'two assaria coins? Not one'],
    // headings and speaker labels go with their content
    ['<title canonical="true" type="psalm">A Psalm by David.</title> <l sID="a"/>Yahweh is my shepherd;<l eID="a"/>', 'Yahweh is my shepherd;'],
    ['<speaker>Beloved</speaker> <lg sID="x"/><l sID="y"/>They', 'They'],
    // line breaks between poetic lines become one space
    ['increased!<l eID="a" level="1"/><l level="2" sID="b"/>Many', 'increased! Many'],
    // typographic punctuation and entities survive
    ['God’s &amp; man’s “way”—yes', 'God’s & man’s “way”—yes'],
    // back matter after the end of a book is not verse text
    ['Amen. <chapter eID="Rev.22"/> <div eID="b1" type="book"/> <div sID="g" type="glossary"/> Abba means father.', 'Amen.'],
  ];
  for (const [markup, expected] of cases) assert.equal(osisToText(markup), expected, markup);
  assert.throws(() => osisToText('<note>open'), /unterminated/);
});

test('the builder makes a checked WEB database from the sword module', async (t) => {
  const dir = tempDir(t);
  const out = path.join(dir, 'data', 'bible.sqlite');
  const run = runScript(t, path.join(RUNTIME, 'scripts/build-web-bible.mjs'), { PATH: process.env.PATH, HOME: dir }, { cwd: dir });
  const exit = await run.exited;
  assert.equal(exit.code, 0, `${run.state.stdout}${run.state.stderr}\n(the sword module comes from scripts/install-deps)`);
  assert.match(run.state.stdout, /Verses: 37457 \(31095 in Genesis\.\.Revelation/);
  assert.deepEqual(fs.readdirSync(path.dirname(out)), ['bible.sqlite']);

  const db = new Database(out, { readonly: true });
  t.after(() => db.close());
  const meta = Object.fromEntries(db.prepare('SELECT key, value FROM metadata').all().map((r) => [r.key, r.value]));
  assert.deepEqual({ id: meta.id, label: meta.label, attribution: meta.attribution }, WEB_META);
  const verse = (book, c, v) => db.prepare('SELECT text FROM verses WHERE book = ? AND chapter = ? AND verse = ?').get(book, c, v)?.text;
  assert.equal(
    verse('John', 3, 16),
    'For God so loved the world, that he gave his only born Son, that whoever believes in him should not perish, but have eternal life.',
  );
  assert.equal(verse('Revelation', 22, 21), 'The grace of the Lord Jesus Christ be with all the saints. Amen.');
  const names = new Set(db.prepare('SELECT DISTINCT book FROM verses').all().map((r) => r.book));
  for (const b of PROTESTANT_CANON) assert.ok(names.has(b.name), b.name);
  const leftovers = db.prepare("SELECT COUNT(*) n FROM verses WHERE text LIKE '%<%' OR text LIKE '%>%' OR text LIKE '%  %' OR text = ''").get().n;
  assert.equal(leftovers, 0);
});

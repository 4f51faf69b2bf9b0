// The licensed import script against a local stand-in for API.Bible that
// speaks its v1 shapes (bibles, books, chapters, JSON chapter content).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import Database from 'better-sqlite3';
import { PROTESTANT_CANON } from '../scripts/lib/canon.mjs';
import { runScript, tempDir, RUNTIME, makeBible } from './helpers.js';

const SCRIPT = path.join(RUNTIME, 'scripts/import-bible-nkjv.mjs');
const KEY = 'sk-test-7f3a91c2e5';
const BIBLE = 'de4e12af7f28f599-401403429'; // digits a careless message would leak
const CHAPTERS = 2;
const VERSES = 230; // 66 × 2 × 230 = 30,360 verses, a plausible whole Bible

function chapterContent(book, chapter) {
  const items = [];
  for (let v = 1; v <= VERSES; v++) {
    const verseId = `${book}.${chapter}.${v}`;
    items.push({ name: 'verse', type: 'tag', attrs: { number: String(v), style: 'v', sid: `${book} ${chapter}:${v}` }, items: [{ text: String(v), type: 'text' }] });
    // one verse split over a styled run, as words of Jesus arrive
    items.push({ text: `Verse ${v} of ${book} ${chapter}, `, type: 'text', attrs: { verseId, verseOrgIds: [verseId] } });
    items.push({ name: 'char', type: 'tag', attrs: { style: 'wj' }, items: [{ text: 'in two  parts.', type: 'text', attrs: { verseId } }] });
  }
  return [{ name: 'para', type: 'tag', attrs: { style: 'p' }, items }];
}

/** A fake API.Bible; `behave(req, count)` may answer instead of the normal route. */
async function fakeApi(t, behave = () => false) {
  const log = [];
  const server = http.createServer((req, res) => {
    const url = new URL(req.url, 'http://x');
    log.push({ path: url.pathname, query: Object.fromEntries(url.searchParams), key: req.headers['api-key'] });
    const send = (status, body) => {
      res.writeHead(status, { 'content-type': 'application/json' });
      res.end(JSON.stringify(body));
    };
    if (behave(req, res, log.length, send)) return;
    if (req.headers['api-key'] !== KEY) return send(401, { statusCode: 401, error: 'Unauthorized', message: `Invalid API key ${req.headers['api-key']}` });
    let m;
    if (url.pathname === `/v1/bibles/${BIBLE}`) return send(200, { data: { id: BIBLE, name: 'New King James Version', abbreviation: 'NKJV' } });
    if ((m = /^\/v1\/bibles\/[^/]+\/books$/.exec(url.pathname))) {
      return send(200, { data: PROTESTANT_CANON.map((b) => ({ id: b.usfm, bibleId: BIBLE, abbreviation: b.name, name: b.name, nameLong: b.name })) });
    }
    if ((m = /^\/v1\/bibles\/[^/]+\/books\/([^/]+)\/chapters$/.exec(url.pathname))) {
      const chapters = [{ id: `${m[1]}.intro`, bibleId: BIBLE, number: 'intro', bookId: m[1], reference: 'Intro' }];
      for (let c = 1; c <= CHAPTERS; c++) chapters.push({ id: `${m[1]}.${c}`, bibleId: BIBLE, number: String(c), bookId: m[1], reference: `${m[1]} ${c}` });
      return send(200, { data: chapters });
    }
    if ((m = /^\/v1\/bibles\/[^/]+\/chapters\/([A-Z0-9]+)\.(\d+)$/.exec(url.pathname))) {
      return send(200, { data: { id: `${m[1]}.${m[2]}`, bookId: m[1], number: m[2], content: chapterContent(m[1], Number(m[2])), verseCount: VERSES } });
    }
    send(404, { statusCode: 404, message: 'not found' });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  t.after(() => new Promise((resolve) => server.close(resolve)));
  return { base: `http://127.0.0.1:${server.address().port}/v1`, log, server };
}

function importEnv(t, api, extra = {}) {
  const dir = tempDir(t);
  const db = path.join(dir, 'data', 'bible.nkjv.sqlite');
  return {
    db,
    env: {
      PATH: process.env.PATH,
      HOME: dir,
      API_BIBLE_KEY: KEY,
      API_BIBLE_ID: BIBLE,
      VESPERLINE_DB_PATH: db,
      VESPERLINE_CONFIG_DIR: dir,
      API_BIBLE_DELAY_MS: '0',
      API_BIBLE_BASE_URL: api.base,
      CI: 'true',
      ...extra,
    },
  };
}

const output = (st) => st.stdout + st.stderr;

test('a complete import writes the database under its name, in the runtime schema', async (t) => {
  const api = await fakeApi(t);
  const { db, env } = importEnv(t, api);
  const run = runScript(t, SCRIPT, env);
  const exit = await run.exited;
  assert.equal(exit.code, 0, output(run.state));
  assert.match(run.state.stdout, /\[66\/66\] Revelation/);
  assert.match(run.state.stdout, /Imported 30360 verses/);
  assert.ok(!output(run.state).includes(KEY));
  assert.ok(!fs.existsSync(`${db}.tmp`));

  const d = new Database(db, { readonly: true });
  t.after(() => d.close());
  const meta = Object.fromEntries(d.prepare('SELECT key, value FROM metadata').all().map((r) => [r.key, r.value]));
  assert.equal(meta.id, 'NKJV');
  assert.equal(meta.label, 'New King James Version');
  assert.equal(d.prepare('SELECT COUNT(*) n FROM verses').get().n, 30360);
  assert.equal(
    d.prepare('SELECT text FROM verses WHERE book = ? AND chapter = 2 AND verse = 7').get('1 Corinthians').text,
    'Verse 7 of 1CO 2, in two parts.',
  );
  // every request carried the key header and the pause setting was honoured without error
  assert.ok(api.log.every((r) => r.key === KEY));
  const chapterRequest = api.log.find((r) => r.path.includes('/chapters/GEN.1'));
  assert.equal(chapterRequest.query['content-type'], 'json');
  assert.ok(!api.log.some((r) => r.path.endsWith('.intro')));
});

test('missing credentials, HTTP refusals, a dropped connection and SIGTERM say why, never print the key, and leave the previous database alone', async (t) => {
  // what the output says, the exit status, how the stand-in answers, the settings left empty
  const cases = [
    ['Missing API_BIBLE_KEY', 2, undefined, { API_BIBLE_KEY: '  ' }],
    ['Missing API_BIBLE_ID', 2, undefined, { API_BIBLE_ID: '  ' }],
    ['401', 1, (req, res, n, send) => (send(401, { message: `key ${req.headers['api-key']} is not valid` }), true)],
    ['403', 1, (req, res, n, send) => (n > 2 ? (send(403, { message: 'Bible not in your plan' }), true) : false)],
    ['Could not reach API.Bible', 1, (req, res, n) => n > 40 && (req.socket.destroy(), true)],
    // requests held open from the 60th on, until the script is stopped
    ['Import interrupted (SIGTERM)', 143, (req, res, n) => n >= 60],
  ];
  for (const [says, code, behave, missing] of cases) {
    const api = await fakeApi(t, behave);
    const { db, env } = importEnv(t, api, missing);
    makeBible(db, { id: 'NKJV', label: 'Previous import', attribution: '' }, [['John', 3, 16, 'old text']]);
    const before = fs.readFileSync(db);
    const run = runScript(t, SCRIPT, env);
    if (code === 143) {
      await run.until(() => api.log.length >= 60 && fs.existsSync(`${db}.tmp`), 'the temporary database');
      run.child.kill('SIGTERM');
    }
    const exit = await run.exited;
    assert.equal(exit.code, code, says);
    assert.ok(output(run.state).includes(says), output(run.state));
    // no other status code may appear by chance, or the desktop shows the wrong advice
    for (const other of ['401', '403', '429'].filter((c) => c !== says)) assert.ok(!output(run.state).includes(other), output(run.state));
    assert.ok(!output(run.state).includes(KEY), `${says}: the key was printed`);
    assert.deepEqual(fs.readFileSync(db), before);
    assert.ok(!fs.existsSync(`${db}.tmp`));
    if (missing) assert.equal(api.log.length, 0, 'nothing is fetched without credentials');
  }
});

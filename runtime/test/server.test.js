import { test, describe, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { suiteScope, seededSupportDir, startServer, makeBible, WEB_META, SAMPLE_VERSES, BOOKMARKS, PLAYLISTS, snapshot } from './helpers.js';

describe('data documents, translations and passages', () => {
  let s;
  let srv;
  const scope = suiteScope();
  before(async () => {
    s = seededSupportDir(scope, { bookmarks: BOOKMARKS });
    fs.writeFileSync(s.file('outside.txt'), 'private');
    srv = await startServer(scope, s);
  });
  after(() => scope.run());

  test('bookmarks are stored in the desktop writer format; concurrent writes leave one complete document, never a mixture', async () => {
    assert.deepEqual((await srv.get('/api/bookmarks')).json, BOOKMARKS);
    const doc = {
      bookmarks: [{ verseStart: 4, id: 'n', extra: 'dropped', book: '1 Corinthians', label: 'Love', chapter: 13, verseEnd: null }],
    };
    const stored = { bookmarks: [{ book: '1 Corinthians', chapter: 13, id: 'n', label: 'Love', verseStart: 4 }] };
    assert.deepEqual((await srv.put('/api/bookmarks', doc)).json, stored);
    assert.equal(
      fs.readFileSync(s.file('bookmarks.json'), 'utf8'),
      '{\n  "bookmarks": [\n    {\n      "book": "1 Corinthians",\n      "chapter": 13,\n      "id": "n",\n      "label": "Love",\n      "verseStart": 4\n    }\n  ]\n}\n',
    );

    const docs = Array.from({ length: 20 }, (_, i) => ({
      bookmarks: Array.from({ length: 50 }, (_, j) => ({ id: `${i}-${j}`, label: `L${i}`, book: 'John', chapter: 3, verseStart: j + 1 })),
    }));
    const results = await Promise.all(docs.map((d) => srv.put('/api/bookmarks', d)));
    assert.ok(results.every((r) => r.status === 200));
    const onDisk = JSON.parse(fs.readFileSync(s.file('bookmarks.json'), 'utf8'));
    assert.equal(new Set(onDisk.bookmarks.map((b) => b.label)).size, 1);
    assert.equal(onDisk.bookmarks.length, 50);
    // no temporary file is left beside the target
    assert.deepEqual(fs.readdirSync(s.support).filter((n) => n.includes('.tmp')), []);
  });

  test('a missing playlists file is empty, and one damaged on disk is reported, not served as empty', async () => {
    assert.deepEqual((await srv.get('/api/playlists')).json, { playlists: [], slides: [] });
    fs.writeFileSync(s.file('playlists.json'), '{"playlists": [], "slides": [{"id": 1}]}');
    const damaged = await srv.get('/api/playlists');
    assert.equal(damaged.status, 500);
    assert.match(damaged.json.message, /playlists\.json does not decode: slides\[0\]\.id/);
    assert.deepEqual((await srv.put('/api/playlists', PLAYLISTS)).json, PLAYLISTS);
  });

  test('a bad document is refused whole with the reason, and its file keeps its bytes', async () => {
    const themes = (await srv.get('/api/themes')).json;
    const good = {
      defaultThemeId: 'center',
      themes: [...themes.themes, { id: 'easter', name: 'Easter', layout: 'fullscreen' }],
    };
    await srv.put('/api/themes', good);
    // the default theme is remembered for a second, but a PUT shows at once
    assert.equal((await srv.get('/api/health')).json.themeId, 'center');

    const files = ['bookmarks.json', 'playlists.json', 'themes.json'].map((f) => s.file(f));
    const before = files.map(snapshot);
    const wrongKind = structuredClone(PLAYLISTS);
    wrongKind.playlists[0].items[1].kind = 'video';
    for (const [p, body, message] of [
      ['/api/bookmarks', { bookmarks: [{ id: 'x', label: 'x', book: 'John', verseStart: 1 }] }, /chapter: required key is missing/],
      ['/api/bookmarks', { bookmarks: [{ id: 'x', label: 'x', book: 'John', chapter: 3.5, verseStart: 1 }] }, /chapter: expected an integer/],
      ['/api/bookmarks', { bookmarks: {} }, /bookmarks: expected an array/],
      ['/api/bookmarks', [], /expected an object/],
      ['/api/bookmarks', '{"bookmarks": [', /^The request body is not valid JSON\.$/],
      ['/api/playlists', wrongKind, /kind: expected one of "bookmark", "ref", "slide"/],
      ['/api/themes', { ...good, defaultThemeId: 'nope' }, /defaultThemeId/],
      ['/api/themes', { ...good, themes: [{ id: 'a', name: 'A', layout: 'sideways' }] }, /layout/],
      ['/api/themes', { ...good, themes: [good.themes[0], good.themes[0]] }, /used twice/],
    ]) {
      const res = await srv.put(p, body);
      assert.equal(res.status, 400, `${p} ${JSON.stringify(body)}`);
      assert.match(res.json.message, message);
    }
    const huge = await srv.put('/api/bookmarks', `{"bookmarks":[],"pad":"${'x'.repeat(1024 * 1024)}"}`);
    assert.equal(huge.status, 413);
    assert.deepEqual(files.map(snapshot), before);
  });

  test('unknown routes answer JSON 404s and nothing outside the web build and slides is served', async () => {
    assert.equal((await srv.get('/api/nothing-here')).json.statusCode, 404);
    assert.equal((await srv.put('/api/health', {})).status, 404);
    assert.equal((await srv.get('/media/slides/welcome.png')).status, 200);
    for (const p of [
      '/media/slides/..%2Foutside.txt',
      '/media/slides/%2e%2e/%2e%2e/outside.txt',
      '/..%2F..%2Fpackage.json',
      '/%2e%2e/apps/server/src/index.js',
    ]) {
      const res = await srv.get(p);
      assert.ok(res.status === 403 || res.status === 404, `${p} answered ${res.status}`);
      assert.ok(!res.text.includes('private') && !res.text.includes('"bookmarks"'), p);
    }
  });

  test('a second database appears, can be chosen, and the choice is stored; bad choices are refused', async () => {
    let res = await srv.get('/api/translations');
    assert.deepEqual(res.json.libraries, [
      { id: 'bible.sqlite', file: 'bible.sqlite', label: 'World English Bible', verseCount: SAMPLE_VERSES.length },
    ]);
    assert.deepEqual(res.json.primary, { ...WEB_META, file: 'bible.sqlite' });

    // an interrupted import's leftover and a file that is not a Bible are no libraries
    makeBible(s.file('data', 'bible.nkjv.sqlite.tmp'), { id: 'X', label: 'Partial', attribution: '' }, SAMPLE_VERSES.slice(0, 1));
    fs.writeFileSync(s.file('data', 'notes.sqlite'), 'not a database');
    makeBible(
      s.file('data', 'bible.nkjv.sqlite'),
      { id: 'NKJV', label: 'New King James Version', attribution: 'Used by permission.' },
      [['John', 3, 16, 'For God so loved the world that He gave His only begotten Son…']],
    );
    res = await srv.get('/api/translations');
    assert.deepEqual(res.json.libraries.map((l) => [l.id, l.verseCount]), [['bible.sqlite', SAMPLE_VERSES.length], ['bible.nkjv.sqlite', 1]]);
    assert.equal(res.json.compareAvailable, true);

    const put = await srv.put('/api/translations', { primaryId: 'bible.nkjv.sqlite', secondaryId: 'bible.sqlite' });
    assert.deepEqual(put.json.selection, { primaryId: 'bible.nkjv.sqlite', secondaryId: 'bible.sqlite' });
    assert.equal(put.json.secondary.id, 'WEB');
    assert.equal(
      fs.readFileSync(s.file('translations-selection.json'), 'utf8'),
      '{\n  "primaryId": "bible.nkjv.sqlite",\n  "secondaryId": "bible.sqlite"\n}\n',
    );
    assert.equal(JSON.parse(fs.readFileSync(s.file('translation.json'), 'utf8')).id, 'NKJV');
    assert.equal((await srv.get('/api/health')).json.translationId, 'NKJV');

    // a compare translation equal to the primary means none
    const same = await srv.put('/api/translations', { primaryId: 'bible.sqlite', secondaryId: 'bible.sqlite' });
    assert.deepEqual(same.json.selection, { primaryId: 'bible.sqlite' });
    assert.equal(same.json.secondary, undefined);

    // unknown or malformed selections are refused and nothing is written
    const before = snapshot(s.file('translations-selection.json'));
    for (const body of [{ primaryId: 'bible.kjv.sqlite' }, { primaryId: 'bible.sqlite', secondaryId: 'nope.sqlite' }, { secondaryId: 'bible.sqlite' }]) {
      const res = await srv.put('/api/translations', body);
      assert.equal(res.status, 400, JSON.stringify(body));
    }
    assert.deepEqual(snapshot(s.file('translations-selection.json')), before);
  });

  test('passages by reference or by fields, with the book names bookmarks use, the list of books, and bad requests refused with a reason', async () => {
    // abbreviations, ordinals as words, dots, other names and the unambiguous start of a name
    const cases = [
      ['ref=jn%203.16-18', 'John 3:16–18', 3],
      ['ref=Ps%2023', 'Psalms 23', 2],
      ['ref=First%20Cor.%2013:4', '1 Corinthians 13:4', 1],
      ['ref=Song%20of%20Songs%202:1', 'Song of Solomon 2:1', 1],
      ['ref=Genes%201:1', 'Genesis 1:1', 1],
      ['ref=Jude%203', 'Jude 1:3', 1],
      ['book=John&chapter=3&verseStart=17&verseEnd=40', 'John 3:17–18', 2],
    ];
    for (const [q, reference, count] of cases) {
      const res = await srv.get(`/api/bible/passage?${q}`);
      assert.equal(res.status, 200, `${q}: ${res.text}`);
      assert.equal(res.json.reference, reference, q);
      assert.equal(res.json.primary.verses.length, count, q);
    }
    const both = await srv.get('/api/bible/passage?ref=John%203:16&translation=WEB&compare=bible.nkjv.sqlite');
    assert.equal(both.json.secondary.translation.id, 'NKJV');
    assert.match(both.json.secondary.text, /begotten/);
    assert.equal(both.json.primary.text, SAMPLE_VERSES[0][3]);

    // a remembered answer does not outlive a change of the primary translation
    assert.equal((await srv.get('/api/bible/passage?ref=John%203:16')).json.primary.translation.id, 'WEB');
    await srv.put('/api/translations', { primaryId: 'bible.nkjv.sqlite' });
    assert.equal((await srv.get('/api/bible/passage?ref=John%203:16')).json.primary.translation.id, 'NKJV');
    await srv.put('/api/translations', { primaryId: 'bible.sqlite' });
    assert.equal((await srv.get('/api/bible/passage?ref=John%203:16')).json.primary.translation.id, 'WEB');

    // the books, in canonical order, with verse counts per chapter
    const { books } = (await srv.get('/api/bible/books?translation=bible.sqlite')).json;
    assert.deepEqual(books.map((b) => b.name), ['Genesis', 'Ruth', 'Psalms', 'Song of Solomon', 'John', '1 Corinthians', 'Jude']);
    const john = books.find((b) => b.name === 'John');
    assert.equal(john.chapters, 3);
    assert.equal(john.verses[2], 18);

    // bad requests are 4xx with a reason
    for (const [q, status, message] of [
      ['ref=Hezekiah%201:1', 400, /Unknown book/],
      ['ref=Jo%203:16', 400, /Unknown book/],
      ['ref=John', 400, /Cannot read the reference/],
      ['ref=John%203:18-16', 400, /before verseStart/],
      ['book=John&chapter=0&verseStart=1', 400, /chapter/],
      ['ref=John%2099:1', 404, /not in World English Bible/],
      ['ref=John%203:16&translation=KJV', 404, /Unknown translation/],
      ['', 400, /book \(or ref\) is required/],
    ]) {
      const res = await srv.get(`/api/bible/passage?${q}`);
      assert.equal(res.status, status, `${q}: ${res.text}`);
      assert.match(res.json.message, message);
    }
  });
});

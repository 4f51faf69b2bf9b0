import { test, describe, before, after } from 'node:test';
import assert from 'node:assert/strict';
import WebSocket from 'ws';
import { suiteScope, seededSupportDir, startServer, request, eventually, makeBible, BOOKMARKS, PLAYLISTS } from './helpers.js';

/** A page's socket: every message it received, and a wait for one that matches. */
async function page(t, srv, role, options = {}) {
  const ws = new WebSocket(`ws://127.0.0.1:${srv.port}/ws${role ? `?role=${role}` : ''}`, options);
  const messages = [];
  ws.on('message', (data) => messages.push(JSON.parse(String(data))));
  t.after(() => ws.terminate());
  await new Promise((resolve, reject) => {
    ws.once('open', resolve);
    ws.once('error', reject);
  });
  const until = (predicate, what) => eventually(() => messages.find(predicate), `a message ${what}`);
  return { ws, messages, until };
}

const stateWith = (fn) => (m) => m.type === 'state' && fn(m.state);

describe('live state', () => {
  let s;
  let srv;
  const scope = suiteScope();
  const call = (method, p, body) => request(srv.base, method, p, body);
  before(async () => {
    s = seededSupportDir(scope, { bookmarks: BOOKMARKS, playlists: PLAYLISTS });
    srv = await startServer(scope, s, { env: { VESPERLINE_HEARTBEAT_MS: '1000' } });
  });
  after(() => scope.run());

  test('the stage counter waits for the first Go Live, keeps running through later ones and restarts from the control pages', async (t) => {
    const stage = await page(t, srv, 'monitor');
    const hello = await stage.until((m) => m.type === 'hello', 'hello');
    assert.ok(Math.abs(hello.now - Date.now()) < 5000, 'the server’s clock');
    assert.deepEqual((await srv.get('/api/live')).json.timer, { startedAt: null });
    await call('PUT', '/api/live/preview', { kind: 'bookmark', bookmarkId: 'love' });
    assert.deepEqual((await srv.get('/api/live')).json.timer, { startedAt: null }, 'a preview starts nothing');

    const first = (await call('POST', '/api/live/take')).json.timer.startedAt;
    assert.ok(Math.abs(Date.parse(first) - Date.now()) < 5000, first);
    await call('POST', '/api/live/clear');
    assert.equal((await call('POST', '/api/live/show', { kind: 'passage', ref: 'Psalms 23:1' })).json.timer.startedAt, first);
    await new Promise((r) => setTimeout(r, 20));
    const reset = (await call('POST', '/api/live/timer/reset')).json.timer.startedAt;
    assert.ok(Date.parse(reset) > Date.parse(first), `${reset} after ${first}`);
    await stage.until(stateWith((st) => st.timer.startedAt === reset), 'with the restart');
  });

  test('a page gets the state at once and every change after; only output pages that answer pings count as display clients; refusals change nothing', async (t) => {
    await call('POST', '/api/live/show', { kind: 'bookmark', bookmarkId: 'love' });
    const out1 = await page(t, srv, 'output');
    const out2 = await page(t, srv, 'output');
    const monitor = await page(t, srv, 'monitor');
    const control = await page(t, srv);
    for (const p of [out1, out2, monitor, control]) {
      const first = await p.until((m) => m.type === 'state', 'state');
      assert.equal(p.messages[0].type, 'hello');
      assert.equal(first.state.live.reference, 'John 3:16');
    }
    assert.equal(control.messages[0].role, 'control');
    assert.equal((await srv.get('/api/health')).json.clients, 2);
    out1.ws.close();
    await eventually(async () => (await srv.get('/api/health')).json.clients === 1, 'one client');

    // Preview, take and clear reach every page; refused requests change nothing.
    let res = await call('PUT', '/api/live/preview', { kind: 'bookmark', bookmarkId: 'shepherd' });
    assert.equal(res.json.preview.reference, 'Psalms 23:1–2');
    assert.deepEqual(res.json.preview.primary.verses.map((v) => v.verse), [1, 2]);
    for (const p of [out2, control]) await p.until(stateWith((st) => st.preview?.label === 'The Lord is my shepherd'), 'with the preview');

    res = await call('POST', '/api/live/take');
    assert.equal(res.json.preview, null);
    for (const p of [out2, control]) await p.until(stateWith((st) => st.live?.label === 'The Lord is my shepherd'), 'with the take');
    const revision = res.json.revision;

    for (const [method, path, body, status, message] of [
      ['POST', '/api/live/take', {}, 409, /Nothing is in preview/],
      ['PUT', '/api/live/preview', { kind: 'bookmark', bookmarkId: 'nope' }, 404, /no bookmark "nope"/],
      ['PUT', '/api/live/preview', { kind: 'video' }, 400, /kind must be one of/],
      ['PUT', '/api/live/preview', [1, 2], 400, /expected a JSON object/],
      ['POST', '/api/live/show', { kind: 'slide', slideId: 'nofile' }, 404, /missing\.png.*not in media\/slides/],
      ['POST', '/api/live/verse', { delta: 2 }, 400, /delta must be 1 or -1/],
      ['PUT', '/api/live/theme', { themeId: 'nope' }, 404, /no theme "nope"/],
    ]) {
      const r = await call(method, path, body);
      assert.equal(r.status, status, `${method} ${path} ${JSON.stringify(body)}`);
      assert.match(r.json.message, message);
    }
    assert.equal((await srv.get('/api/live')).json.revision, revision);

    res = await call('POST', '/api/live/clear');
    assert.equal(res.json.live, null);
    await out2.until(stateWith((st) => st.live === null && st.revision > revision), 'cleared');

    // A display that stops answering pings is dropped from the count.
    const quiet = await page(t, srv, 'output', { autoPong: false });
    await eventually(async () => (await srv.get('/api/health')).json.clients === 2, 'the quiet display counted');
    await new Promise((resolve) => quiet.ws.once('close', resolve));
    await eventually(async () => (await srv.get('/api/health')).json.clients === 1, 'the quiet display dropped');
    // heartbeats carry the server's clock for the stage display
    assert.ok(quiet.messages.some((m) => m.type === 'heartbeat' && Number.isFinite(m.now)));
  });

  test('verse by verse: across chapter ends and gaps, never past the book', async () => {
    let res = await call('POST', '/api/live/show', { kind: 'passage', ref: 'Ruth 1:21-22' });
    assert.equal(res.json.next, null, 'only a playlist step has a next step');
    res = await call('POST', '/api/live/verse', { delta: 1 });
    assert.equal(res.json.live.reference, 'Ruth 2:1');
    res = await call('POST', '/api/live/verse', { delta: 1 });
    assert.equal(res.json.live.reference, 'Ruth 2:3'); // verse 2 is not in this database
    const end = await call('POST', '/api/live/verse', { delta: 1 });
    assert.equal(end.status, 409);
    assert.match(end.json.message, /end of Ruth/);
    for (const want of ['Ruth 2:1', 'Ruth 1:22', 'Ruth 1:21']) {
      res = await call('POST', '/api/live/verse', { delta: -1 });
      assert.equal(res.json.live.reference, want);
    }
    assert.equal((await call('POST', '/api/live/verse', { delta: -1 })).status, 409);
    await call('POST', '/api/live/show', { kind: 'slide', slideId: 'welcome' });
    const slide = await call('POST', '/api/live/verse', { delta: 1 });
    assert.equal(slide.status, 409);
    assert.match(slide.json.message, /No passage is live/);
  });

  test('playlists step through slides, bookmarks and passages, cue and name the next step and follow a reordered list', async () => {
    await call('POST', '/api/live/clear');
    await call('DELETE', '/api/live/preview');
    assert.equal((await call('POST', '/api/live/playlist', { playlistId: 'sun', delta: -1 })).status, 409);
    let res = await call('POST', '/api/live/playlist', { playlistId: 'sun', delta: 1 });
    assert.equal(res.json.live.kind, 'slide');
    assert.equal(res.json.live.url, '/media/slides/welcome.png');
    assert.equal((await srv.get(res.json.live.url)).status, 200);
    assert.deepEqual(res.json.playlist, { playlistId: 'sun', itemId: 'i1', index: 0 });
    assert.equal(res.json.preview.reference, 'John 3:16', 'the next step waits in preview');
    // the stage display names it
    assert.deepEqual(res.json.next, { kind: 'passage', label: 'God so loved the world', reference: 'John 3:16' });

    res = await call('POST', '/api/live/take');
    assert.equal(res.json.live.color, 'gold');
    assert.equal(res.json.playlist.itemId, 'i2');
    assert.deepEqual(res.json.next, { kind: 'passage', label: 'Call to worship', reference: 'Psalms 23:1–2' });

    // Something the operator put in preview is not replaced by the cue.
    await call('PUT', '/api/live/preview', { kind: 'bookmark', bookmarkId: 'plain' });
    res = await call('POST', '/api/live/playlist', { playlistId: 'sun', delta: 1 });
    assert.equal(res.json.live.label, 'Call to worship');
    assert.equal(res.json.preview.label, 'Love is patient');
    assert.equal(res.json.next, null);
    const last = await call('POST', '/api/live/playlist', { playlistId: 'sun', delta: 1 });
    assert.equal(last.status, 409);
    assert.match(last.json.message, /last step/);

    // The live step moves to the front: "previous" now has nowhere to go, and
    // the stage names the step after it now.
    const reordered = structuredClone(PLAYLISTS);
    reordered.playlists[0].items.unshift(reordered.playlists[0].items.pop());
    assert.equal((await srv.put('/api/playlists', reordered)).status, 200);
    assert.deepEqual((await srv.get('/api/live')).json.next, { kind: 'slide', label: 'Welcome', reference: null });
    assert.equal((await call('POST', '/api/live/playlist', { playlistId: 'sun', delta: -1 })).status, 409);
    res = await call('POST', '/api/live/playlist', { playlistId: 'sun', delta: 1 });
    assert.equal(res.json.playlist.itemId, 'i1');
    res = await call('POST', '/api/live/playlist', { playlistId: 'sun', index: 2 });
    assert.equal(res.json.playlist.itemId, 'i2');

    const before = (await srv.get('/api/live')).json;
    for (const [body, status, message] of [
      [{ playlistId: 'broken', index: 0 }, 404, /bookmark of step 1 of "Broken" no longer exists/],
      [{ playlistId: 'none', delta: 1 }, 404, /no playlist "none"/],
      [{ playlistId: 'sun', index: 3 }, 400, /index must be from 0 to 2/],
    ]) {
      const r = await call('POST', '/api/live/playlist', body);
      assert.equal(r.status, status, JSON.stringify(body));
      assert.match(r.json.message, message);
    }
    assert.deepEqual((await srv.get('/api/live')).json, before);
    await srv.put('/api/playlists', PLAYLISTS);
  });

  test('the live theme is chosen by a page and dropped with its theme; a new translation re-reads what is live', async (t) => {
    const control = await page(t, srv, 'control');
    const res = await call('PUT', '/api/live/theme', { themeId: 'center' });
    assert.equal(res.json.themeIsDefault, false);
    assert.equal((await srv.get('/api/health')).json.themeId, 'center');
    const themes = (await srv.get('/api/themes')).json;
    const without = { ...themes, themes: themes.themes.filter((x) => x.id !== 'center') };
    assert.equal((await srv.put('/api/themes', without)).status, 200);
    await control.until((m) => m.type === 'data' && m.name === 'themes', 'about the themes');
    await control.until(stateWith((st) => st.revision > res.json.revision && st.theme.id === 'lowerThird' && st.themeIsDefault), 'back on the default theme');
    await srv.put('/api/themes', themes);

    // A new translation choice re-reads what is live, keeping its label.
    makeBible(s.file('data', 'bible.other.sqlite'), { id: 'OTH', label: 'Other', attribution: 'Other text' }, [
      ['John', 3, 16, 'Other wording of John 3:16.'],
    ]);
    await call('POST', '/api/live/show', { kind: 'bookmark', bookmarkId: 'love' });
    assert.equal((await srv.put('/api/translations', { primaryId: 'bible.sqlite', secondaryId: 'bible.other.sqlite' })).status, 200);
    const msg = await control.until(stateWith((st) => st.live?.secondary !== undefined), 'with the compare text');
    assert.equal(msg.state.live.secondary.text, 'Other wording of John 3:16.');
    assert.equal(msg.state.live.label, 'God so loved the world');
    await srv.put('/api/translations', { primaryId: 'bible.sqlite' });
    await control.until(stateWith((st) => st.revision > msg.state.revision && st.live && st.live.secondary === undefined), 'without it again');
  });

});

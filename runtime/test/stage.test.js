// What the stage display (/stage) reads from the live state: the step that
// comes next in a playlist, and the elapsed-time counter the control pages
// restart.
import { test, describe, before, after } from 'node:test';
import assert from 'node:assert/strict';
import WebSocket from 'ws';
import { suiteScope, seededSupportDir, startServer, request, eventually, SAMPLE_VERSES } from './helpers.js';

const BOOKMARKS = { bookmarks: [{ id: 'love', label: 'God so loved', book: 'John', chapter: 3, verseStart: 16 }] };
const PLAYLISTS = {
  playlists: [
    {
      id: 'sun',
      name: 'Sunday',
      items: [
        { id: 'i1', kind: 'slide', slideId: 'welcome' },
        { id: 'i2', kind: 'bookmark', bookmarkId: 'love' },
        { id: 'i3', kind: 'ref', book: 'Psalms', chapter: 23, verseStart: 1, verseEnd: 2, label: 'Call to worship' },
        { id: 'i4', kind: 'slide', slideId: 'welcome', label: 'Notices' },
      ],
    },
  ],
  slides: [{ id: 'welcome', label: 'Welcome', imageFile: 'welcome.png' }],
};

describe('the stage display’s live state', () => {
  let s;
  let srv;
  const scope = suiteScope();
  const call = async (method, p, body) => {
    const res = await request(srv.base, method, p, body);
    assert.ok(res.status < 300, `${method} ${p}: ${res.json?.message}`);
    return res.json;
  };
  before(async () => {
    s = seededSupportDir(scope, { verses: SAMPLE_VERSES, bookmarks: BOOKMARKS, playlists: PLAYLISTS });
    srv = await startServer(scope, s, { env: { VESPERLINE_HEARTBEAT_MS: '300' } });
  });
  after(() => scope.run());

  test('the counter waits for the first Go Live, keeps running through later ones and restarts from the control pages', async (t) => {
    assert.deepEqual((await call('GET', '/api/live')).timer, { startedAt: null });
    await call('PUT', '/api/live/preview', { kind: 'bookmark', bookmarkId: 'love' });
    assert.deepEqual((await call('GET', '/api/live')).timer, { startedAt: null }, 'a preview starts nothing');

    const first = (await call('POST', '/api/live/take')).timer.startedAt;
    assert.ok(Math.abs(Date.parse(first) - Date.now()) < 5000, first);
    await call('POST', '/api/live/clear');
    assert.equal((await call('POST', '/api/live/show', { kind: 'passage', ref: 'Psalms 23:1' })).timer.startedAt, first);

    // A stage page (a monitor, not a display) hears the restart, and the server's clock.
    const ws = new WebSocket(`ws://127.0.0.1:${srv.port}/ws?role=monitor`);
    t.after(() => ws.terminate());
    const messages = [];
    ws.on('message', (d) => messages.push(JSON.parse(String(d))));
    await eventually(() => messages.some((m) => m.type === 'state'), 'the state on connect');
    const hello = messages.find((m) => m.type === 'hello');
    assert.ok(Math.abs(hello.now - Date.now()) < 5000);
    assert.equal((await call('GET', '/api/health')).clients, 0);

    await new Promise((r) => setTimeout(r, 20));
    const reset = (await call('POST', '/api/live/timer/reset')).timer.startedAt;
    assert.ok(Date.parse(reset) > Date.parse(first), `${reset} after ${first}`);
    await eventually(() => messages.some((m) => m.type === 'state' && m.state.timer.startedAt === reset), 'the restart pushed');
    await eventually(() => messages.some((m) => m.type === 'heartbeat' && Number.isFinite(m.now)), 'a heartbeat with the time');
  });

  test('a live playlist step names the step after it; anything else names none', async () => {
    const steps = [];
    let st = await call('POST', '/api/live/playlist', { playlistId: 'sun', index: 0 });
    for (;;) {
      steps.push(st.next);
      if (!st.next) break;
      st = await call('POST', '/api/live/playlist', { playlistId: 'sun', delta: 1 });
    }
    assert.deepEqual(steps, [
      { kind: 'passage', label: 'God so loved', reference: 'John 3:16' },
      { kind: 'passage', label: 'Call to worship', reference: 'Psalms 23:1–2' },
      { kind: 'slide', label: 'Notices', reference: null },
      null,
    ]);
    assert.equal((await call('POST', '/api/live/show', { kind: 'bookmark', bookmarkId: 'love' })).next, null);

    // The list edited under a live step: the stage shows the step as it is now.
    await call('POST', '/api/live/playlist', { playlistId: 'sun', index: 1 });
    const edited = structuredClone(PLAYLISTS);
    edited.playlists[0].items[2].label = 'Psalm of the day';
    await call('PUT', '/api/playlists', edited);
    assert.equal((await call('GET', '/api/live')).next.label, 'Psalm of the day');
    edited.playlists[0].items.splice(2, 2);
    await call('PUT', '/api/playlists', edited);
    assert.equal((await call('GET', '/api/live')).next, null, 'the step after it was deleted');
  });
});

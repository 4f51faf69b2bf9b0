// What only a real process shows: the environment it reads, its output lines,
// its exit statuses and how it stops.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import http from 'node:http';
import { supportDir, startServer, freePort, serverEnv, runScript, makeBible, WEB_META, SAMPLE_VERSES, tempDir, SERVER_ENTRY, RUNTIME } from './helpers.js';

test('a new support directory is seeded from the runtime root; a taken port fails; SIGTERM exits 0 even with a client connection open; the next start keeps what the church changed', async (t) => {
  const root = tempDir(t, 'vesperline-root-');
  fs.copyFileSync(path.join(RUNTIME, 'seed', 'bookmarks.json'), path.join(root, 'bookmarks.json'));
  fs.copyFileSync(path.join(RUNTIME, 'seed', 'themes.json'), path.join(root, 'themes.json'));
  fs.writeFileSync(path.join(root, 'runtime-version.json'), '{"version": "9.8.7", "channel": "beta"}\n');
  const s = supportDir(t, { root });
  const port = await freePort();
  // on HOST 0.0.0.0, as the desktop passes it, loopback connects
  const srv = await startServer(t, s, { port, env: { HOST: '0.0.0.0' } });
  assert.match(srv.state.stdout, new RegExp(`Listening on http://0\\.0\\.0\\.0:${port}`));
  // a second server on the taken port fails with the error code the desktop's diagnostics look for
  const taken = runScript(t, SERVER_ENTRY, serverEnv(supportDir(t), port));
  assert.equal((await taken.exited).code, 1);
  assert.match(taken.state.stderr, /EADDRINUSE/);
  assert.doesNotMatch(taken.state.stdout, /Listening on/);

  // Without any Bible database the server still answers, and says so.
  assert.match(srv.state.stdout, /No Bible database in/);
  const { db, translationId } = (await srv.get('/api/health')).json;
  assert.deepEqual({ db, translationId }, { db: false, translationId: undefined });
  assert.deepEqual((await srv.get('/api/translations')).json.libraries, []);
  const passage = await srv.get('/api/bible/passage?ref=John%203:16');
  assert.equal(passage.status, 503);
  assert.match(passage.json.message, /No Bible database/);
  assert.ok(fs.statSync(s.file('media', 'slides')).isDirectory());
  assert.ok((await srv.get('/api/bookmarks')).json.bookmarks.length >= 3);

  const playlists = { playlists: [{ id: 'p', name: 'Sunday', items: [] }], slides: [] };
  await srv.put('/api/bookmarks', { bookmarks: [] });
  await srv.put('/api/playlists', playlists);
  // a keep-alive connection that stays open must not hold the process
  const agent = new http.Agent({ keepAlive: true });
  await new Promise((resolve, reject) => {
    http.get(`${srv.base}/api/health`, { agent }, (res) => {
      res.resume();
      res.on('end', resolve);
    }).on('error', reject);
  });
  assert.deepEqual(await srv.stop(), { code: 0, signal: null });
  agent.destroy();
  assert.match(srv.state.stdout, /SIGTERM received/);

  // The next start seeds the database a runtime update brought, never what
  // the church has since changed, and serves what the API wrote.
  makeBible(path.join(root, 'data', 'bible.sqlite'), WEB_META, SAMPLE_VERSES);
  const again = await startServer(t, s);
  // every field the desktop's supervisor reads; themeId is the default of the seed themes
  assert.deepEqual((await again.get('/api/health')).json, {
    ok: true,
    db: true,
    clients: 0,
    themeId: 'lowerThird',
    translationId: 'WEB',
    translationLabel: 'World English Bible',
    serverName: 'Test Sanctuary',
    runtimeVersion: '9.8.7',
    runtimeChannel: 'beta',
    runtimeRoot: root,
  });
  assert.deepEqual(JSON.parse(fs.readFileSync(s.file('translation.json'), 'utf8')), WEB_META);
  assert.equal((await again.get('/api/bible/passage?ref=John%203:16')).status, 200);
  assert.deepEqual((await again.get('/api/bookmarks')).json, { bookmarks: [] });
  assert.deepEqual((await again.get('/api/playlists')).json, playlists);
  assert.doesNotMatch(again.state.stdout, /Seeded .*(bookmarks|themes)\.json/);
});

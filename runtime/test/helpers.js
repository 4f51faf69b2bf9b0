// Real processes, real sockets, real files: every suite starts the server (or
// the import script) as a child process on a free loopback port, with its own
// temporary support directory and HOME.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import net from 'node:net';
import { spawn } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import { createBibleDatabase } from '../scripts/lib/bible-db.mjs';

export const RUNTIME = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
export const SERVER_ENTRY = path.join(RUNTIME, 'apps/server/src/index.js');

/**
 * Cleanup for a describe() block, whose hooks get no t.after(): pass the
 * returned object where a test context is expected and call run() in after().
 */
export function suiteScope() {
  const tasks = [];
  return {
    after: (fn) => tasks.push(fn),
    run: async () => {
      for (const fn of tasks.reverse()) await fn();
    },
  };
}

export function tempDir(t, prefix = 'vesperline-') {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
  t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
  return dir;
}

export function freePort() {
  return new Promise((resolve, reject) => {
    const srv = net.createServer();
    srv.once('error', reject);
    srv.listen(0, '127.0.0.1', () => {
      const { port } = srv.address();
      srv.close(() => resolve(port));
    });
  });
}

/** A support directory laid out as the desktop program seeds it. */
export function supportDir(t, { root = RUNTIME } = {}) {
  const dir = tempDir(t);
  const home = path.join(dir, 'home');
  const support = path.join(dir, 'support');
  fs.mkdirSync(home);
  return { home, support, root, file: (...parts) => path.join(support, ...parts) };
}

/** A support directory with a Bible of `verses`, the documents given and the slide welcome.png. */
export function seededSupportDir(t, { verses = SAMPLE_VERSES, bookmarks, playlists } = {}) {
  const s = supportDir(t);
  makeBible(s.file('data', 'bible.sqlite'), WEB_META, verses);
  if (bookmarks) fs.writeFileSync(s.file('bookmarks.json'), `${JSON.stringify(bookmarks)}\n`);
  if (playlists) fs.writeFileSync(s.file('playlists.json'), JSON.stringify(playlists));
  fs.mkdirSync(s.file('media', 'slides'), { recursive: true });
  fs.writeFileSync(s.file('media', 'slides', 'welcome.png'), Buffer.from([0x89, 0x50, 0x4e, 0x47]));
  return s;
}

/** The environment the desktop program gives the server, for `s` from supportDir(). */
export function serverEnv(s, port, extra = {}) {
  const env = {
    PATH: process.env.PATH,
    HOME: s.home,
    PORT: String(port),
    HOST: '127.0.0.1',
    VESPERLINE_ROOT: s.root,
    VESPERLINE_CONFIG_DIR: s.support,
    VESPERLINE_DB_PATH: s.file('data', 'bible.sqlite'),
    VESPERLINE_BOOKMARKS_PATH: s.file('bookmarks.json'),
    VESPERLINE_THEMES_PATH: s.file('themes.json'),
    VESPERLINE_WEB_DIST: path.join(RUNTIME, 'apps/web/src'),
    VESPERLINE_LOG_PATH: s.file('server.log'),
    VESPERLINE_TRANSLATION_ID: 'WEB',
    VESPERLINE_SERVER_NAME: 'Test Sanctuary',
    NODE_PATH: path.join(RUNTIME, 'node_modules'),
    NODE_OPTIONS: '--experimental-default-type=module',
  };
  return { ...env, ...extra };
}

/**
 * Collects a child's output and lets a test wait for a line or the exit. A
 * child still running when the test ends is killed.
 */
function watch(t, child) {
  const state = { stdout: '', stderr: '', exit: undefined };
  for (const stream of ['stdout', 'stderr']) child[stream].setEncoding('utf8').on('data', (d) => (state[stream] += d));
  const exited = new Promise((resolve) => {
    child.on('exit', (code, signal) => {
      state.exit = { code, signal };
      resolve(state.exit);
    });
  });
  const until = (predicate, what, ms = 15000) =>
    eventually(
      () => {
        if (predicate(state)) return state;
        if (state.exit) throw new Error(`process exited (${JSON.stringify(state.exit)}) before ${what}`);
        return undefined;
      },
      what,
      ms,
    ).catch((err) => {
      throw new Error(`${err.message}\n${state.stdout}\n${state.stderr}`);
    });
  t.after(async () => {
    if (!state.exit) {
      child.kill('SIGKILL');
      await exited;
    }
  });
  return { child, state, exited, until };
}

export async function startServer(t, s, { port, env = {} } = {}) {
  port ??= await freePort();
  const child = spawn(process.execPath, [SERVER_ENTRY], { cwd: s.root, env: serverEnv(s, port, env), stdio: ['ignore', 'pipe', 'pipe'] });
  const w = watch(t, child);
  await w.until((st) => st.stdout.includes('Listening on'), '"Listening on"');
  const base = `http://127.0.0.1:${port}`;
  return {
    ...w,
    port,
    base,
    async stop() {
      child.kill('SIGTERM');
      return w.exited;
    },
    get: (p) => request(base, 'GET', p),
    put: (p, body) => request(base, 'PUT', p, body),
  };
}

export function runScript(t, script, env, { cwd = RUNTIME } = {}) {
  return watch(t, spawn(process.execPath, [script], { cwd, env, stdio: ['ignore', 'pipe', 'pipe'] }));
}

/** Resolves with fn()'s first truthy answer, asked every 10 ms; fails after `ms`. */
export async function eventually(fn, what, ms = 5000) {
  const deadline = Date.now() + ms;
  for (;;) {
    const value = await fn();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await new Promise((r) => setTimeout(r, 10));
  }
}

/** A request with a JSON body (a string is sent as it is); the answer's text, and its JSON if it is any. */
export async function request(base, method, p, body) {
  const init = { method };
  if (body !== undefined) {
    init.body = typeof body === 'string' ? body : JSON.stringify(body);
    init.headers = { 'content-type': 'application/json' };
  }
  const res = await fetch(base + p, init);
  const json = await res.clone().json().catch(() => undefined);
  return { status: res.status, text: await res.text(), json };
}

/** A small Bible database in the runtime's schema. */
export function makeBible(file, meta, verses) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  const w = createBibleDatabase(file, meta);
  w.insertVerses(verses.map(([book, chapter, verse, text]) => ({ book, chapter, verse, text })));
  w.finish();
}

export const WEB_META = { id: 'WEB', label: 'World English Bible', attribution: 'Scripture from WEB, public domain' };

export const SAMPLE_VERSES = [
  ['John', 3, 16, 'For God so loved the world, that he gave his only born Son, that whoever believes in him should not perish, but have eternal life.'],
  ['John', 3, 17, 'For God didn’t send his Son into the world to judge the world, but that the world should be saved through him.'],
  ['John', 3, 18, 'He who believes in him is not judged.'],
  ['Psalms', 23, 1, 'Yahweh is my shepherd; I shall lack nothing.'],
  ['Psalms', 23, 2, 'He makes me lie down in green pastures.'],
  ['1 Corinthians', 13, 4, 'Love is patient and is kind.'],
  ['Song of Solomon', 2, 1, 'I am a rose of Sharon.'],
  ['Jude', 1, 3, 'Beloved, while I was very eager to write to you…'],
  ['Genesis', 1, 1, 'In the beginning, God created the heavens and the earth.'],
  // a chapter end, and a verse missing after it
  ['Ruth', 1, 21, 'I went out full, and Yahweh has brought me home again empty.'],
  ['Ruth', 1, 22, 'So Naomi returned, and Ruth the Moabitess, her daughter-in-law, with her.'],
  ['Ruth', 2, 1, 'Naomi had a relative of her husband’s, a mighty man of wealth.'],
  ['Ruth', 2, 3, 'She went, and came and gleaned in the field after the reapers.'],
];

/** The church's documents the suites share: a playlist with a step of each kind, and one whose steps point at nothing. */
export const BOOKMARKS = {
  bookmarks: [
    { id: 'love', label: 'God so loved the world', book: 'John', chapter: 3, verseStart: 16, bucket: 'Gospel', color: 'gold' },
    { id: 'shepherd', label: 'The Lord is my shepherd', book: 'Psalms', chapter: 23, verseStart: 1, verseEnd: 2, color: 'green' },
    { id: 'plain', label: 'Love is patient', book: '1 Corinthians', chapter: 13, verseStart: 4 },
  ],
};
export const PLAYLISTS = {
  playlists: [
    {
      id: 'sun',
      name: 'Sunday',
      items: [
        { id: 'i1', kind: 'slide', slideId: 'welcome' },
        { id: 'i2', kind: 'bookmark', bookmarkId: 'love' },
        { id: 'i3', kind: 'ref', book: 'Psalms', chapter: 23, verseStart: 1, verseEnd: 2, label: 'Call to worship' },
      ],
    },
    { id: 'broken', name: 'Broken', items: [{ id: 'b1', kind: 'bookmark', bookmarkId: 'gone' }, { id: 'b2', kind: 'slide', slideId: 'nofile' }] },
  ],
  slides: [
    { id: 'welcome', label: 'Welcome', imageFile: 'welcome.png' },
    { id: 'nofile', label: 'Missing', imageFile: 'missing.png' },
  ],
};

/** File bytes and modification identity, to prove a file was not touched. */
export function snapshot(file) {
  const st = fs.statSync(file);
  return { bytes: fs.readFileSync(file), ino: st.ino, mtimeMs: st.mtimeMs };
}

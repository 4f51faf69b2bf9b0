#!/usr/bin/env node
// Screenshots of every page and every output layout, for a person to look
// at: a real server on a free loopback port with a temporary support
// directory (the WEB database, the shipped bookmarks, a playlist with a
// slide), driven through its own API, photographed in headless Chromium.
//   node tools/screenshot-pages.mjs [out dir]   (default ../build/screenshots/pages)
// The output page is transparent; its shots are taken over a dark stand-in
// for the camera picture so that they look as they will on the stream.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import net from 'node:net';
import { spawn, spawnSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import Database from 'better-sqlite3';
import { chromium } from 'playwright-core';
import { buildWeb } from '../scripts/build-web.mjs';
import { createBibleDatabase } from '../scripts/lib/bible-db.mjs';
import { CHROMIUM, CHROMIUM_ARGS, settled } from '../test/browser/support.js';

const runtime = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const repo = path.resolve(runtime, '..');
const out = path.resolve(process.argv[2] ?? path.join(repo, 'build/screenshots/pages'));
fs.mkdirSync(out, { recursive: true });

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'vesperline-shots-'));
const support = path.join(work, 'support');
const home = path.join(work, 'home');
fs.mkdirSync(path.join(support, 'data'), { recursive: true });
fs.mkdirSync(path.join(support, 'media', 'slides'), { recursive: true });
fs.mkdirSync(home);
let server;
let browser;
const cleanup = () => {
  server?.kill('SIGKILL');
  fs.rmSync(work, { recursive: true, force: true });
};
process.on('exit', cleanup);

// ----- data

const web = [path.join(repo, 'build/runtime-cache/bible.sqlite'), path.join(repo, 'build/stage/share/vesperline/project/data/bible.sqlite')].find(fs.existsSync);
const bible = path.join(support, 'data', 'bible.sqlite');
if (web) fs.copyFileSync(web, bible);
else {
  console.log('screenshot-pages: building the WEB database');
  const r = spawnSync(process.execPath, ['scripts/build-web-bible.mjs', '--out', bible], { cwd: runtime, stdio: 'inherit' });
  if (r.status !== 0) process.exit(1);
}
// A second database for the compare layout: the same text under another
// name, which is enough to judge the side-by-side composition.
{
  const src = new Database(bible, { readonly: true });
  const w = createBibleDatabase(path.join(support, 'data', 'bible.compare.sqlite'), {
    id: 'WEB-C',
    label: 'Compare sample',
    attribution: 'Sample compare text (WEB, public domain)',
  });
  w.insertVerses(src.prepare("SELECT book, chapter, verse, text FROM verses WHERE book IN ('John', 'Psalms', 'Romans')").all());
  w.finish();
  src.close();
}
const bookmarks = JSON.parse(fs.readFileSync(path.join(runtime, 'seed/bookmarks.json'), 'utf8'));
bookmarks.bookmarks.push(
  { id: 'bm-baptism', label: 'Baptised into his death', book: 'Romans', chapter: 6, verseStart: 3, verseEnd: 4, bucket: 'Baptism', color: 'orange' },
  { id: 'bm-love', label: 'Love is patient', book: '1 Corinthians', chapter: 13, verseStart: 4, verseEnd: 7, color: 'default' },
);
fs.writeFileSync(path.join(support, 'bookmarks.json'), JSON.stringify(bookmarks));
fs.writeFileSync(
  path.join(support, 'playlists.json'),
  JSON.stringify({
    playlists: [
      {
        id: 'pl-sunday',
        name: 'Sunday morning',
        items: [
          { id: 'st-welcome', kind: 'slide', slideId: 'sl-welcome' },
          { id: 'st-call', kind: 'bookmark', bookmarkId: 'seed-psalm-23', label: 'Call to worship' },
          { id: 'st-reading', kind: 'ref', book: 'Romans', chapter: 8, verseStart: 28, verseEnd: 39, label: 'Epistle reading' },
          { id: 'st-gospel', kind: 'bookmark', bookmarkId: 'seed-john-3-16' },
          { id: 'st-commission', kind: 'bookmark', bookmarkId: 'seed-matthew-28-19' },
        ],
      },
      { id: 'pl-evening', name: 'Evening prayer', items: [{ id: 'e1', kind: 'ref', book: 'Psalms', chapter: 121, verseStart: 1, verseEnd: 8 }] },
    ],
    slides: [{ id: 'sl-welcome', label: 'Welcome', imageFile: 'welcome.png' }],
  }),
);

const freePort = () =>
  new Promise((resolve) => {
    const s = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = s.address();
      s.close(() => resolve(port));
    });
  });

async function startServer(port, dist) {
  server = spawn(process.execPath, ['apps/server/src/index.js'], {
    cwd: runtime,
    stdio: ['ignore', 'pipe', 'pipe'],
    env: {
      PATH: process.env.PATH,
      HOME: home,
      XDG_DATA_HOME: path.join(home, '.local/share'),
      XDG_CONFIG_HOME: path.join(home, '.config'),
      PORT: String(port),
      HOST: '127.0.0.1',
      VESPERLINE_ROOT: runtime,
      VESPERLINE_CONFIG_DIR: support,
      VESPERLINE_DB_PATH: bible,
      VESPERLINE_BOOKMARKS_PATH: path.join(support, 'bookmarks.json'),
      VESPERLINE_THEMES_PATH: path.join(support, 'themes.json'),
      VESPERLINE_WEB_DIST: dist,
      VESPERLINE_SERVER_NAME: 'Grace Chapel',
    },
  });
  let log = '';
  await new Promise((resolve, reject) => {
    server.stdout.on('data', (d) => {
      log += d;
      if (log.includes('Listening on')) resolve();
    });
    server.stderr.on('data', (d) => (log += d));
    server.on('exit', (code) => reject(new Error(`server exited with ${code}\n${log}`)));
  });
}

const port = await freePort();
const base = `http://127.0.0.1:${port}`;
const dist = buildWeb(path.join(work, 'dist'));
await startServer(port, dist);

async function api(method, p, body) {
  const res = await fetch(base + p, {
    method,
    headers: body === undefined ? {} : { 'content-type': 'application/json' },
    body: body === undefined ? undefined : JSON.stringify(body),
  });
  const json = await res.json();
  if (!res.ok) throw new Error(`${method} ${p}: ${json.message}`);
  return json;
}

browser = await chromium.launch({ executablePath: CHROMIUM, headless: true, args: CHROMIUM_ARGS });

// The slide image: a welcome card drawn by the browser itself.
{
  const page = await browser.newPage({ viewport: { width: 1600, height: 1000 } });
  await page.setContent(`<body style="margin:0;width:1600px;height:1000px;display:flex;align-items:center;justify-content:center;
    background:linear-gradient(135deg,#23395d,#5b3a6e);font-family:sans-serif;color:#fff;flex-direction:column">
    <div style="font-size:150px;font-weight:700;letter-spacing:2px">Welcome</div>
    <div style="font-size:54px;opacity:.85;margin-top:20px">Grace Chapel · Sunday Worship</div></body>`);
  await page.screenshot({ path: path.join(support, 'media', 'slides', 'welcome.png') });
  await page.close();
}

const BACKDROP =
  'radial-gradient(circle at 30% 35%, #5d6a78 0%, #39424f 35%, #1c222b 70%), #1c222b';
const shots = [];
async function shot(page, name) {
  const file = path.join(out, `${name}.png`);
  await page.screenshot({ path: file });
  shots.push(file);
}

async function outputShot(name, { w, h, layout, id }) {
  const page = await browser.newPage({ viewport: { width: w, height: h } });
  const q = layout ? `&layout=${layout}` : '';
  await page.goto(`${base}/output?w=${w}&h=${h}${q}`);
  await settled(page, id);
  await page.evaluate((bg) => (document.documentElement.style.background = bg), BACKDROP);
  await shot(page, name);
  await page.close();
}

const SIZES = [
  [1920, 1080],
  [1280, 720],
];
const single = await api('POST', '/api/live/show', { kind: 'bookmark', bookmarkId: 'seed-john-3-16' });
for (const layout of ['lowerThird', 'center', 'fullscreen']) {
  for (const [w, h] of SIZES) await outputShot(`output-${layout}-single-${w}x${h}`, { w, h, layout, id: single.live.id });
}
const long = await api('POST', '/api/live/show', { kind: 'passage', book: 'Romans', chapter: 8, verseStart: 28, verseEnd: 39 });
for (const layout of ['lowerThird', 'center', 'fullscreen']) {
  await outputShot(`output-${layout}-long-1920x1080`, { w: 1920, h: 1080, layout, id: long.live.id });
}
await outputShot('output-lowerThird-long-3840x2160', { w: 3840, h: 2160, layout: 'lowerThird', id: long.live.id });
const psalm = await api('POST', '/api/live/show', { kind: 'bookmark', bookmarkId: 'seed-psalm-23' });
await outputShot('output-fullscreen-psalm23-1920x1080', { w: 1920, h: 1080, layout: 'fullscreen', id: psalm.live.id });
await outputShot('output-lowerThird-psalm23-1920x1080', { w: 1920, h: 1080, layout: 'lowerThird', id: psalm.live.id });

await api('PUT', '/api/translations', { primaryId: 'bible.sqlite', secondaryId: 'bible.compare.sqlite' });
const cmp = await api('POST', '/api/live/show', { kind: 'passage', ref: 'John 3:16-17' });
for (const layout of ['lowerThird', 'center', 'fullscreen']) {
  await outputShot(`output-${layout}-compare-1920x1080`, { w: 1920, h: 1080, layout, id: cmp.live.id });
}
await api('PUT', '/api/translations', { primaryId: 'bible.sqlite' });

const slide = await api('POST', '/api/live/show', { kind: 'slide', slideId: 'sl-welcome' });
await outputShot('output-slide-1920x1080', { w: 1920, h: 1080, id: slide.live.id });

// ----- the stage display: a playlist step with the next one, two translations, a slide

async function stagePage({ w, h, id, query = '' }) {
  const page = await browser.newPage({ viewport: { width: w, height: h } });
  await page.goto(`${base}/stage?w=${w}&h=${h}${query}`);
  await page.waitForFunction((want) => document.body.dataset.shown === want && document.body.dataset.status === 'connected', id);
  return page;
}

async function stageShot(name, options) {
  const page = await stagePage(options);
  await shot(page, name);
  await page.close();
}

const step = await api('POST', '/api/live/playlist', { playlistId: 'pl-sunday', index: 1 });
for (const [w, h] of SIZES) await stageShot(`stage-playlist-${w}x${h}`, { w, h, id: step.live.id });
const reading = await api('POST', '/api/live/playlist', { playlistId: 'pl-sunday', index: 2 });
for (const [w, h] of SIZES) await stageShot(`stage-long-${w}x${h}`, { w, h, id: reading.live.id, query: '&clock=12' });
await api('PUT', '/api/translations', { primaryId: 'bible.sqlite', secondaryId: 'bible.compare.sqlite' });
await api('PUT', '/api/live/preview', { kind: 'bookmark', bookmarkId: 'seed-psalm-23' });
const stageCmp = await api('POST', '/api/live/show', { kind: 'passage', ref: 'John 3:16-17' });
for (const [w, h] of SIZES) await stageShot(`stage-compare-${w}x${h}`, { w, h, id: stageCmp.live.id });
await api('PUT', '/api/translations', { primaryId: 'bible.sqlite' });
const stageSlide = await api('POST', '/api/live/playlist', { playlistId: 'pl-sunday', index: 0 });
await stageShot('stage-slide-1920x1080', { w: 1920, h: 1080, id: stageSlide.live.id });

// ----- control pages with something in preview and something live

await api('POST', '/api/live/playlist', { playlistId: 'pl-sunday', index: 1 });
await api('PUT', '/api/live/preview', { kind: 'bookmark', bookmarkId: 'seed-romans-8-28' });

async function controlShot(pathname, name, { width, height, tab, click }) {
  const page = await browser.newPage({ viewport: { width, height }, hasTouch: pathname === '/presenter' });
  await page.goto(base + pathname);
  await page.waitForSelector('.conn[data-status="connected"]');
  await page.waitForSelector('.bm');
  if (tab) await page.click(`.tabs [data-tab="${tab}"]`);
  if (click) await click(page);
  // both monitors must have drawn their content
  for (const f of page.frames().filter((fr) => fr.url().includes('monitor='))) {
    await f.waitForFunction(() => document.body.dataset.settled === document.body.dataset.shown);
  }
  await shot(page, name);
  await page.close();
}

for (const [width, height, label] of [
  [1180, 820, 'landscape'],
  [820, 1180, 'portrait'],
]) {
  await controlShot('/presenter', `presenter-${label}-bookmarks`, { width, height });
  await controlShot('/presenter', `presenter-${label}-passage`, {
    width,
    height,
    tab: 'passage',
    click: async (page) => {
      await page.selectOption('select[aria-label="Book"]', 'John');
      await page.click('[data-chapter="3"]');
      await page.click('[data-verse="16"]');
      await page.click('[data-verse="18"]');
    },
  });
  await controlShot('/presenter', `presenter-${label}-playlists`, { width, height, tab: 'playlists' });
}
await controlShot('/operator', 'operator-1440x900', { width: 1440, height: 900 });
await controlShot('/operator', 'operator-1280x800-passage', {
  width: 1280,
  height: 800,
  tab: 'passage',
  click: async (page) => {
    await page.selectOption('select[aria-label="Book"]', 'Psalms');
    await page.click('[data-chapter="23"]');
    await page.click('[data-verse="1"]');
  },
});

// admin: as loaded, and with a mistake in the JSON
{
  const page = await browser.newPage({ viewport: { width: 1000, height: 1100 } });
  await page.goto(`${base}/admin`);
  await page.waitForSelector('#libraries tr');
  await page.waitForFunction(() => document.getElementById('editor').value.length > 0);
  await shot(page, 'admin');
  await page.fill('#editor', '{\n  "defaultThemeId": "center",\n  "themes": [\n    { "id": "center", "name": "Centered", "layout": "middle" }\n    { "id": "x" }\n  ]\n}\n');
  await shot(page, 'admin-invalid-json');
  await page.fill('#editor', '{\n  "defaultThemeId": "center",\n  "themes": [\n    { "id": "center", "name": "Centered", "layout": "middle" }\n  ]\n}\n');
  await shot(page, 'admin-invalid-layout');
  await page.close();
}

// a presenter and a stage display whose server went away
{
  const stage = await stagePage({ w: 1280, h: 720, id: (await api('GET', '/api/live')).live.id });
  const page = await browser.newPage({ viewport: { width: 1180, height: 820 }, hasTouch: true });
  await page.goto(`${base}/presenter`);
  await page.waitForSelector('.conn[data-status="connected"]');
  await page.waitForSelector('.bm');
  server.kill('SIGTERM');
  await page.waitForSelector('.conn[data-status="reconnecting"]');
  await shot(page, 'presenter-reconnecting');
  await page.close();
  await stage.waitForFunction(() => document.body.dataset.status === 'reconnecting');
  await shot(stage, 'stage-reconnecting-1280x720');
  await stage.close();
}

await browser.close();
console.log(`screenshot-pages: ${shots.length} screenshots in ${out}`);
for (const f of shots) console.log(`  ${path.relative(repo, f)}`);

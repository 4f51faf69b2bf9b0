// The pages in Debian's headless Chromium against a real server: what a
// volunteer does on the presenter reaches an open output page, the output
// survives a dropped connection, and long passages fit every layout.
import { test, describe, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { buildWeb } from '../../scripts/build-web.mjs';
import { suiteScope, seededSupportDir, tempDir, startServer, request, eventually, makeBible, SAMPLE_VERSES, BOOKMARKS, PLAYLISTS } from '../helpers.js';
import { CHROMIUM, CHROMIUM_ARGS, settled, overflowProblems } from './support.js';

const LONG_TEXT =
  'Blessed are those whose ways are blameless, who walk according to the law of Yahweh, who keep his statutes and seek him with their whole heart, who also do nothing wrong but walk in his ways.';
const LONG = Array.from({ length: 60 }, (_, i) => ['Psalms', 119, i + 1, `${LONG_TEXT} (${i + 1})`]);

async function api(srv, method, p, body) {
  const { status, json } = await request(srv.base, method, p, body);
  assert.ok(status >= 200 && status < 300, `${method} ${p}: ${json?.message}`);
  return json;
}

describe('pages in a browser', () => {
  let s;
  let srv;
  let browser;
  let dist;
  const scope = suiteScope();
  before(async () => {
    s = seededSupportDir(scope, { verses: [...SAMPLE_VERSES, ...LONG], bookmarks: BOOKMARKS, playlists: PLAYLISTS });
    makeBible(s.file('data', 'bible.cmp.sqlite'), { id: 'CMP', label: 'Compare Text', attribution: 'Compare attribution' }, [
      ['John', 3, 16, 'God loved the world so much that he gave his one and only Son.'],
    ]);
    // The web build as `npm run build` makes it.
    dist = buildWeb(path.join(tempDir(scope, 'vesperline-web-'), 'dist'));
    srv = await startServer(scope, s, { env: { VESPERLINE_WEB_DIST: dist, VESPERLINE_HEARTBEAT_MS: '500' } });
    // Playwright gives every launch a fresh profile directory of its own.
    browser = await chromium.launch({ executablePath: CHROMIUM, headless: true, args: CHROMIUM_ARGS });
    scope.after(() => browser.close());
    // The slide: a 1600 × 1000 image drawn by the browser.
    const p = await browser.newPage({ viewport: { width: 1600, height: 1000 } });
    await p.setContent('<body style="margin:0;background:#345;color:#fff;font:120px sans-serif">Welcome</body>');
    await p.screenshot({ path: s.file('media', 'slides', 'welcome.png') });
    await p.close();
  });
  after(() => scope.run());

  async function open(t, path, viewport = { width: 1280, height: 720 }) {
    const context = await browser.newContext({ viewport, hasTouch: path.startsWith('/presenter') });
    t.after(() => context.close());
    const page = await context.newPage();
    const errors = [];
    page.on('pageerror', (err) => errors.push(err.message));
    t.after(() => assert.deepEqual(errors, [], `script errors on ${path}`));
    await page.goto(srv.base + path);
    return page;
  }

  const controlReady = async (page) => {
    await page.waitForSelector('.conn[data-status="connected"]');
    await page.waitForSelector('.bm');
  };

  // The type is fitted to the frame's height, so each layout needs one frame
  // size; together they span 720p to 4K.
  test('a long passage fits its frame in every layout, compared passages stand side by side, a slide fills the frame', async (t) => {
    const long = await api(srv, 'POST', '/api/live/show', { kind: 'passage', book: 'Psalms', chapter: 119, verseStart: 1, verseEnd: 60 });
    for (const [layout, w, h] of [
      ['lowerThird', 1280, 720],
      ['center', 1920, 1080],
      ['fullscreen', 3840, 2160],
    ]) {
      const page = await open(t, `/output?w=${w}&h=${h}&layout=${layout}`, { width: w, height: h });
      await settled(page, long.live.id);
      assert.deepEqual(await overflowProblems(page), [], `${layout} at ${w}×${h}`);
      const box = await page.evaluate(() => {
        const r = document.querySelector('.layer.shown .box').getBoundingClientRect();
        return { top: r.top, bottom: r.bottom, px: Number(document.querySelector('.layer.shown').dataset.fontPx) };
      });
      if (layout === 'lowerThird') assert.ok(box.top >= h * 0.6 && box.bottom <= h, `lower third band at ${box.top}–${box.bottom} of ${h}`);
      // The verses shrank, but not to nothing: 60 long verses stay readable on a full frame.
      assert.ok(box.px < (h * 7.4) / 100, `${layout} did not shrink`);
      if (layout === 'fullscreen') assert.ok(box.px >= h / 100, `fullscreen text of ${box.px}px at ${h}`);
      await page.context().close();
    }

    // With a compare translation the passages stand side by side; a slide fills the frame.
    await api(srv, 'PUT', '/api/translations', { primaryId: 'bible.sqlite', secondaryId: 'bible.cmp.sqlite' });
    t.after(() => api(srv, 'PUT', '/api/translations', { primaryId: 'bible.sqlite' }));
    const cmp = await api(srv, 'POST', '/api/live/show', { kind: 'bookmark', bookmarkId: 'love' });
    const page = await open(t, '/output?w=1920&h=1080&layout=center', { width: 1920, height: 1080 });
    await settled(page, cmp.live.id);
    assert.deepEqual(await overflowProblems(page), []);
    const cols = await page.evaluate(() =>
      [...document.querySelectorAll('.layer.shown .col')].map((c) => {
        const r = c.getBoundingClientRect();
        return { left: r.left, right: r.right, top: r.top, head: c.querySelector('.col-head').textContent, text: c.querySelector('.scripture').textContent };
      }),
    );
    assert.equal(cols.length, 2);
    assert.deepEqual(cols.map((c) => c.head), ['World English Bible', 'Compare Text']);
    assert.match(cols[1].text, /one and only Son/);
    assert.ok(cols[0].right <= cols[1].left && Math.abs(cols[0].top - cols[1].top) < 1, 'side by side');
    assert.match(await page.textContent('.layer.shown .attribution'), /public domain.*Compare attribution/);

    const slide = await api(srv, 'POST', '/api/live/show', { kind: 'slide', slideId: 'welcome' });
    await settled(page, slide.live.id);
    const img = await page.evaluate(() => {
      const i = document.querySelector('.layer.shown img');
      const r = i.getBoundingClientRect();
      return { natural: [i.naturalWidth, i.naturalHeight], box: [r.width, r.height], src: i.getAttribute('src'), fit: getComputedStyle(i).objectFit };
    });
    assert.deepEqual(img, { natural: [1600, 1000], box: [1920, 1080], src: '/media/slides/welcome.png', fit: 'contain' });
  });

  test('the presenter is all touch targets, fires a bookmark and picks a passage; the operator steps a playlist with the keyboard', async (t) => {
    await api(srv, 'POST', '/api/live/clear');
    await api(srv, 'DELETE', '/api/live/preview');
    const output = await open(t, '/output?w=1280&h=720');
    // Blank and transparent until something goes live, with no cursor.
    await output.waitForFunction(() => window.vesperlineOutput?.state !== null);
    const look = await output.evaluate(() => ({
      layers: document.querySelectorAll('.layer').length,
      bg: [getComputedStyle(document.documentElement).backgroundColor, getComputedStyle(document.body).backgroundColor],
      cursor: getComputedStyle(document.body).cursor,
    }));
    assert.deepEqual(look, { layers: 0, bg: ['rgba(0, 0, 0, 0)', 'rgba(0, 0, 0, 0)'], cursor: 'none' });

    const presenter = await open(t, '/presenter', { width: 820, height: 1180 });
    await controlReady(presenter);
    await presenter.tap('.bm[data-bookmark-id="love"]');
    await presenter.waitForSelector('.bm[data-bookmark-id="love"].is-preview');
    // Every control is a touch target of at least 44 px, upright, where the
    // narrow layout squeezes them most.
    for (const tab of ['bookmarks', 'passage', 'playlists']) {
      await presenter.tap(`.tabs [data-tab="${tab}"]`);
      const small = await presenter.evaluate(() =>
        [...document.querySelectorAll('button, select, input')]
          .filter((e) => e.offsetParent !== null)
          .map((e) => ({ e, r: e.getBoundingClientRect() }))
          .filter(({ r }) => r.width < 44 || r.height < 44)
          .map(({ e, r }) => `${e.tagName} "${e.textContent.trim().slice(0, 20)}" ${Math.round(r.width)}×${Math.round(r.height)}`),
      );
      assert.deepEqual(small, [], tab);
    }
    assert.equal(await output.evaluate(() => document.querySelectorAll('.layer').length), 0, 'preview does not reach the output');
    await presenter.tap('button.take');
    await output.waitForFunction(() => document.querySelector('.layer.shown .scripture')?.textContent.startsWith('For God so loved'));
    assert.match(await output.textContent('.layer.shown .reference'), /John 3:16/);
    await presenter.waitForSelector('.onair.is-live');
    assert.match(await presenter.textContent('.onair'), /LIVE.*John 3:16/);
    // the presenter's monitors are no display clients (pages closed by the test before may still be leaving)
    await eventually(async () => (await srv.get('/api/health')).json.clients === 1, 'the output page alone counted');
    await presenter.tap('button.clear');
    await settled(output, '');
    assert.equal(await output.evaluate(() => document.querySelectorAll('.layer').length), 0);
    await presenter.waitForSelector('.onair.is-black');

    await presenter.tap('.tabs [data-tab="passage"]');
    await presenter.selectOption('select[aria-label="Book"]', 'Psalms');
    await presenter.tap('[data-chapter="119"]');
    await presenter.tap('[data-verse="3"]');
    await presenter.tap('[data-verse="5"]');
    assert.equal(await presenter.textContent('.pick-summary'), 'Psalms 119:3–5');
    await presenter.tap('.pick-bar button.primary');
    await presenter.waitForFunction(() => document.querySelector('.monitor.preview .what').textContent.startsWith('Psalms 119:3–5'));
    await presenter.tap('button.take');
    await output.waitForFunction(() => document.querySelector('.layer.shown .reference')?.textContent.startsWith('Psalms 119:3–5'));

    const operator = await open(t, '/operator', { width: 1440, height: 900 });
    await controlReady(operator);
    await operator.waitForSelector('.step');
    await operator.keyboard.press('Space');
    await output.waitForFunction(() => document.querySelector('.layer.shown img'));
    await operator.waitForSelector('.step.is-live[data-item-id="i1"]');
    // Enter takes what waits in preview: the playlist cued its next step.
    await operator.waitForSelector('.step.is-preview[data-item-id="i2"]');
    await operator.keyboard.press('Enter');
    await output.waitForFunction(() => document.querySelector('.layer.shown .reference')?.textContent.startsWith('John 3:16'));
    await operator.keyboard.press('Escape');
    await settled(output, '');
    await operator.waitForSelector('.onair.is-black');
  });

  const stageShows = (page, id) => page.waitForFunction((want) => document.body.dataset.shown === want, id, { timeout: 15000 });
  const stageText = (page) =>
    page.evaluate(() => ({
      reference: document.getElementById('reference').textContent,
      now: document.getElementById('now').textContent,
      next: document.getElementById('next').textContent,
    }));

  test('the stage display follows what goes live, names the next step, and its counter restarts from the operator', async (t) => {
    await api(srv, 'DELETE', '/api/live/preview');
    const live = await api(srv, 'POST', '/api/live/show', { kind: 'bookmark', bookmarkId: 'love' });
    const stage = await open(t, '/stage?w=1280&h=720&clock=12');
    await stageShows(stage, live.live.id);
    let shown = await stageText(stage);
    assert.match(shown.reference, /^John 3:16/);
    assert.match(shown.now, /God so loved the world/);
    assert.equal(shown.next, 'Next:Nothing in preview');
    // Outside a playlist, what waits in preview comes next.
    await api(srv, 'PUT', '/api/live/preview', { kind: 'bookmark', bookmarkId: 'shepherd' });
    await stage.waitForFunction(() => /The Lord is my shepherd\s*Psalms 23:1–2/.test(document.getElementById('next').textContent));
    assert.match(await stage.textContent('#clock'), /^\d{1,2}:\d\d [AP]M$/);

    const slide = await api(srv, 'POST', '/api/live/playlist', { playlistId: 'sun', index: 0 });
    await stageShows(stage, slide.live.id);
    shown = await stageText(stage);
    assert.equal(shown.reference, 'Slide · Welcome');
    assert.equal(await stage.getAttribute('#now img', 'src'), '/media/slides/welcome.png');
    assert.equal(shown.next, 'Next:God so loved the worldJohn 3:16');
    // The operator's own preview does not hide the playlist's next step.
    await api(srv, 'PUT', '/api/live/preview', { kind: 'bookmark', bookmarkId: 'plain' });
    const step = await api(srv, 'POST', '/api/live/playlist', { playlistId: 'sun', delta: 1 });
    await stageShows(stage, step.live.id);
    assert.equal((await stageText(stage)).next, 'Next:Call to worshipPsalms 23:1–2');

    // The counter has run since the first Go Live; the operator restarts it.
    await stage.waitForFunction(() => document.getElementById('elapsed').textContent !== '0:00', null, { timeout: 5000 });
    const operator = await open(t, '/operator', { width: 1440, height: 900 });
    await controlReady(operator);
    await operator.getByRole('button', { name: 'Restart stage timer' }).click();
    await stage.waitForFunction(() => document.getElementById('elapsed').textContent === '0:00');
    assert.equal((await srv.get('/api/health')).json.clients, 0, 'a stage display is no display client');
  });

  test('the admin refuses broken theme JSON in plain words and saves good themes through the API', async (t) => {
    const before = fs.readFileSync(s.file('themes.json'), 'utf8');
    const page = await open(t, '/admin', { width: 900, height: 640 });
    await page.waitForFunction(() => document.getElementById('editor').value.includes('lowerThird'));

    await page.fill('#editor', '{\n  "defaultThemeId": "a",\n  "themes": [\n    { "id": "a" "name": "A", "layout": "center" }\n  ]\n}');
    assert.match(await page.textContent('#check'), /Line 4, column \d+: this is not valid JSON/);
    assert.equal(await page.isDisabled('#save'), true);
    await page.fill('#editor', '{"defaultThemeId": "b", "themes": [{"id": "a", "name": "A", "layout": "sideways"}]}');
    const check = await page.textContent('#check');
    assert.match(check, /Theme 1 has the layout "sideways"; use lowerThird, center or fullscreen/);
    assert.match(check, /default theme "b" is not one of the themes/);
    assert.equal(fs.readFileSync(s.file('themes.json'), 'utf8'), before);

    const doc = JSON.parse(before);
    doc.themes.push({ id: 'easter', name: 'Easter', layout: 'fullscreen' });
    await page.fill('#editor', JSON.stringify(doc));
    await page.click('#save');
    await page.waitForSelector('#message.ok');
    const stored = JSON.parse(fs.readFileSync(s.file('themes.json'), 'utf8'));
    assert.deepEqual(stored.themes.map((x) => x.id), doc.themes.map((x) => x.id));
  });

  // Last: it stops the suite's server.
  test('a lost connection keeps the pictures, the stage display says so over a 60-verse passage that fits it, and a restarted server is followed', async (t) => {
    const long = await api(srv, 'POST', '/api/live/show', { kind: 'passage', book: 'Psalms', chapter: 119, verseStart: 1, verseEnd: 60 });
    const output = await open(t, '/output?w=1280&h=720');
    const presenter = await open(t, '/presenter', { width: 1180, height: 820 });
    const stage = await open(t, '/stage?w=1280&h=720');
    await settled(output, long.live.id);
    await controlReady(presenter);
    await stageShows(stage, long.live.id);
    const problems = await stage.evaluate(() => {
      const out = [];
      const doc = document.documentElement;
      if (doc.scrollWidth > innerWidth || doc.scrollHeight > innerHeight) out.push('page scrolls');
      const now = document.getElementById('now').getBoundingClientRect();
      const fit = document.querySelector('#now .fit').getBoundingClientRect();
      if (fit.bottom > now.bottom + 0.5 || fit.right > now.right + 0.5) out.push(`text ${JSON.stringify(fit)} leaves ${JSON.stringify(now)}`);
      const t = document.querySelector('#now .scripture');
      if (t.scrollWidth > t.clientWidth + 1) out.push('verses overflow sideways');
      if (t.textContent.match(/\(\d+\)/g).length !== 60) out.push('not every verse is shown');
      return out;
    });
    assert.deepEqual(problems, []);

    await srv.stop();
    await presenter.waitForSelector('.conn[data-status="reconnecting"]');
    assert.match(await presenter.textContent('.banner'), /reconnecting/i);
    await stage.waitForFunction(() => document.body.dataset.status === 'reconnecting');
    assert.equal(await stage.textContent('#status'), 'Reconnecting…');
    assert.ok(await stage.isVisible('#status'));
    for (const page of [output, stage]) assert.equal(await page.evaluate(() => document.body.dataset.shown), long.live.id, 'the last picture stays');

    // A restarted server counts its revisions from zero again; its state still wins.
    const restarted = await startServer(t, s, { port: srv.port, env: { VESPERLINE_WEB_DIST: dist, VESPERLINE_HEARTBEAT_MS: '500' } });
    const next = await api(restarted, 'POST', '/api/live/show', { kind: 'bookmark', bookmarkId: 'shepherd' });
    await settled(output, next.live.id);
    assert.match(await output.textContent('.layer.shown .reference'), /Psalms 23:1–2/);
    await stageShows(stage, next.live.id);
    assert.equal(await stage.isVisible('#status'), false);
    await presenter.waitForSelector('.bm[data-bookmark-id="shepherd"].is-live');
  });
});

// The control surface shared by /presenter (a tablet in the volunteer's
// hand: big touch targets, one panel at a time) and /operator (a desktop
// browser: everything in view, driven by the keyboard). Both only ask the
// server for changes and draw the state the server pushes back; two people
// on two devices therefore always see the same thing.
import { LiveConnection } from '/shared/live.js';
import { get, put, post, del } from '/shared/api.js';
import { el, swatchCss, effectiveBucket, bucketNames, bookmarkReference, formatReference, stepTitle } from '/shared/data.js';

const mode = document.body.dataset.mode === 'operator' ? 'operator' : 'presenter';

const S = {
  state: null,
  status: 'connecting',
  bookmarks: [],
  playlists: [],
  slides: [],
  themes: { defaultThemeId: '', themes: [] },
  translations: null,
  books: [],
  errors: {},
  bucket: 'All',
  tab: 'bookmarks',
  playlistId: null,
  pick: { book: null, chapter: 1, from: null, to: null },
};

// ----- skeleton

const $ = {};
function skeleton() {
  const tabs = mode === 'presenter' ? ['bookmarks', 'passage', 'playlists'] : ['bookmarks', 'passage'];
  const tabNames = { bookmarks: 'Bookmarks', passage: 'Passage', playlists: 'Playlists' };
  $.conn = el('div', { class: 'conn', role: 'status' });
  $.theme = el('select', { 'aria-label': 'Live theme', onchange: (e) => command(() => put('/api/live/theme', { themeId: e.target.value })) });
  $.onair = el('div', { class: 'onair', role: 'status', 'aria-live': 'polite' });
  const top = el(
    'header',
    { class: 'topbar' },
    el('div', { class: 'brand' }, el('span', { class: 'mark' }), 'Vesperline', el('span', { class: 'page' }, mode === 'presenter' ? 'Presenter' : 'Operator')),
    $.conn,
    el('div', { class: 'spacer' }),
    el('label', { class: 'theme' }, el('span', {}, 'Theme'), $.theme),
    $.onair,
  );
  $.banner = el('div', { class: 'banner', role: 'alert' });

  const monitor = (which, tag, extra) => {
    const caption = el('span', { class: 'what' });
    const frame = el('iframe', {
      src: `/output?monitor=${which}&w=1920&h=1080`,
      title: `${tag} monitor`,
      tabindex: '-1',
      'aria-hidden': 'true',
    });
    const fig = el('figure', { class: `monitor ${which}` }, el('figcaption', {}, el('span', { class: 'tag' }, tag), caption, extra), el('div', { class: 'screen' }, frame, el('div', { class: 'empty' })));
    return { fig, caption, empty: fig.querySelector('.empty') };
  };
  $.pvEmpty = el('button', { class: 'mini', title: 'Empty the preview', onclick: () => command(() => del('/api/live/preview')) }, 'Empty');
  $.pv = monitor('preview', 'Preview', $.pvEmpty);
  $.pgm = monitor('live', 'Live');
  $.take = el('button', { class: 'take', onclick: () => command(() => post('/api/live/take')) }, el('span', {}, 'Go Live'), mode === 'operator' ? el('kbd', {}, 'Enter') : null);
  $.clear = el('button', { class: 'clear', onclick: () => command(() => post('/api/live/clear')) }, el('span', {}, 'Clear'), el('small', {}, 'to black'), mode === 'operator' ? el('kbd', {}, 'Esc') : null);
  $.prevVerse = el('button', { class: 'verse', onclick: () => command(() => post('/api/live/verse', { delta: -1 })), title: 'Previous verse' }, '‹ Verse');
  $.nextVerse = el('button', { class: 'verse', onclick: () => command(() => post('/api/live/verse', { delta: 1 })), title: 'Next verse' }, 'Verse ›');
  // The elapsed time on the stage display counts from here, e.g. when the sermon begins.
  $.resetTimer = el(
    'button',
    { class: 'timer', onclick: () => command(() => post('/api/live/timer/reset')), title: 'The stage display counts the elapsed time from zero again' },
    'Restart stage timer',
  );
  const transport = el(
    'div',
    { class: 'transport' },
    $.take,
    $.clear,
    el('div', { class: 'verse-step' }, $.prevVerse, $.nextVerse),
    $.resetTimer,
  );
  const monitors = el('section', { class: 'monitors' }, $.pv.fig, transport, $.pgm.fig);

  $.tabs = el(
    'nav',
    { class: 'tabs', role: 'tablist' },
    tabs.map((t) =>
      el('button', { role: 'tab', dataset: { tab: t }, onclick: () => {
        S.tab = t;
        renderTabs();
      } }, tabNames[t]),
    ),
  );
  $.bookmarks = el('section', { class: 'panel bookmarks', dataset: { panel: 'bookmarks' } });
  $.passage = el('section', { class: 'panel passage', dataset: { panel: 'passage' } });
  $.playlists = el('section', { class: 'panel playlists', dataset: { panel: 'playlists' } });
  const library = el('div', { class: 'library' }, $.tabs, $.bookmarks, $.passage, mode === 'presenter' ? $.playlists : null);
  const main = el('main', { class: 'grid' }, monitors, library, mode === 'operator' ? el('div', { class: 'side' }, $.playlists) : null);
  const hints =
    mode === 'operator'
      ? el(
          'footer',
          { class: 'hints' },
          hint('Space', '→', 'next step'),
          hint('←', null, 'previous step'),
          hint('Enter', null, 'go live'),
          hint('Esc', null, 'clear'),
          hint('.', null, 'next verse'),
          hint(',', null, 'previous verse'),
        )
      : null;
  $.toasts = el('div', { class: 'toast-host' });
  document.getElementById('app').replaceWith(el('div', { id: 'app' }, top, $.banner, main, hints, $.toasts));
  buildPassagePanel();
}

function hint(a, b, text) {
  return el('span', {}, el('kbd', {}, a), b ? el('kbd', {}, b) : null, ' ', text);
}

// ----- commands

async function command(fn) {
  try {
    const state = await fn();
    if (state && typeof state.revision === 'number') applyState(state, { reply: true });
    return true;
  } catch (err) {
    toast(err.message, 'error');
    return false;
  }
}

function toast(message, kind = '') {
  const t = el('div', { class: `toast ${kind}` }, message);
  $.toasts.append(t);
  while ($.toasts.children.length > 3) $.toasts.firstChild.remove();
  setTimeout(() => t.remove(), kind === 'error' ? 5000 : 2500);
}

const preview = (cue) => command(() => put('/api/live/preview', cue));

// ----- data

async function load(name) {
  try {
    if (name === 'bookmarks') S.bookmarks = (await get('/api/bookmarks')).bookmarks;
    else if (name === 'playlists') {
      const doc = await get('/api/playlists');
      S.playlists = doc.playlists;
      S.slides = doc.slides;
    } else if (name === 'themes') S.themes = await get('/api/themes');
    else if (name === 'translations') {
      S.translations = await get('/api/translations');
      S.books = (await get('/api/bible/books')).books;
    }
    delete S.errors[name];
  } catch (err) {
    S.errors[name] = err.message;
  }
  render();
}

const loadAll = () => Promise.all(['bookmarks', 'playlists', 'themes', 'translations'].map(load));

// ----- state

// The socket delivers states in order, and after a server restart its
// revisions count from zero again: what it sends is the truth. Only a
// command's reply can be stale, overtaken by a newer state on the socket.
function applyState(state, { reply = false } = {}) {
  if (reply && S.state && state.revision < S.state.revision) return;
  S.state = state;
  if (!S.playlistId && state.playlist) S.playlistId = state.playlist.playlistId;
  render();
}

function describe(content) {
  if (!content) return '';
  if (content.kind === 'slide') return `Slide · ${content.label}`;
  const parts = [content.reference, content.primary.translation.id];
  if (content.secondary) parts[1] += ` + ${content.secondary.translation.id}`;
  return parts.join(' · ');
}

const sourceIs = (content, kind, id) =>
  content?.source?.kind === kind && (kind === 'bookmark' ? content.source.bookmarkId === id : content.source.itemId === id);

// ----- rendering

function render() {
  renderTop();
  renderMonitors();
  renderBookmarks();
  renderPassage();
  renderPlaylists();
  renderTabs();
}

function renderTop() {
  const st = S.status;
  document.body.dataset.status = st;
  $.conn.dataset.status = st;
  $.conn.textContent = st === 'connected' ? 'Connected' : st === 'reconnecting' ? 'Reconnecting…' : 'Connecting…';
  $.banner.textContent =
    st === 'reconnecting' ? 'Connection to the server lost — reconnecting… Controls return as soon as it answers.' : st === 'connecting' ? 'Connecting to the server…' : '';
  const live = S.state?.live;
  $.onair.className = `onair ${live ? 'is-live' : 'is-black'}`;
  $.onair.replaceChildren(el('span', { class: 'dot' }), el('b', {}, live ? 'LIVE' : 'BLACK'), el('span', { class: 'desc' }, live ? describe(live) : 'Nothing on air'));

  const themes = S.themes.themes;
  const current = S.state?.theme?.id;
  const options = themes.map((t) => el('option', { value: t.id, selected: t.id === current }, t.id === S.themes.defaultThemeId ? `${t.name} (default)` : t.name));
  if (themes.length === 0) options.push(el('option', { value: '' }, '—'));
  $.theme.replaceChildren(...options);
  $.theme.value = current ?? '';
  $.theme.disabled = st !== 'connected';
}

function renderMonitors() {
  const st = S.state;
  $.pv.caption.textContent = st?.preview ? describe(st.preview) : 'Empty';
  $.pgm.caption.textContent = st?.live ? describe(st.live) : 'Black';
  $.pv.fig.classList.toggle('has-content', !!st?.preview);
  $.pgm.fig.classList.toggle('has-content', !!st?.live);
  $.pv.empty.textContent = st?.preview ? '' : 'Pick a bookmark, a passage or a playlist step';
  $.pgm.empty.textContent = st?.live ? '' : 'Black';
  $.take.disabled = !st?.preview;
  $.pvEmpty.hidden = !st?.preview;
  $.clear.disabled = !st?.live;
  const passageLive = st?.live?.kind === 'passage';
  $.prevVerse.disabled = !passageLive;
  $.nextVerse.disabled = !passageLive;
}

function renderTabs() {
  for (const b of $.tabs.children) {
    const on = b.dataset.tab === S.tab;
    b.setAttribute('aria-selected', on ? 'true' : 'false');
    b.classList.toggle('on', on);
  }
  for (const p of [$.bookmarks, $.passage, $.playlists]) {
    const always = mode === 'operator' && p === $.playlists;
    p.hidden = !always && p.dataset.panel !== S.tab;
  }
}

/** replaceChildren that leaves out the parts a view does not have. */
function fill(node, ...children) {
  node.replaceChildren(...children.filter((c) => c !== null && c !== undefined && c !== false));
}

function errorLine(name) {
  return S.errors[name] ? el('p', { class: 'error' }, S.errors[name]) : null;
}

function renderBookmarks() {
  const names = bucketNames(S.bookmarks);
  if (!names.includes(S.bucket)) S.bucket = 'All';
  const visible = S.bookmarks.filter((b) => S.bucket === 'All' || effectiveBucket(b) === S.bucket);
  const st = S.state;
  const chips =
    names.length > 2
      ? el(
          'div',
          { class: 'chips', role: 'tablist', 'aria-label': 'Buckets' },
          names.map((n) =>
            el('button', { class: n === S.bucket ? 'chip on' : 'chip', 'aria-selected': n === S.bucket ? 'true' : 'false', onclick: () => {
              S.bucket = n;
              renderBookmarks();
            } }, n),
          ),
        )
      : null;
  const grid = el(
    'div',
    { class: 'bm-grid' },
    visible.map((b) => {
      const inPreview = sourceIs(st?.preview, 'bookmark', b.id);
      const isLive = sourceIs(st?.live, 'bookmark', b.id);
      return el(
        'button',
        {
          class: `bm${inPreview ? ' is-preview' : ''}${isLive ? ' is-live' : ''}`,
          style: `--accent: ${swatchCss(b.color)}`,
          dataset: { bookmarkId: b.id },
          onclick: () => preview({ kind: 'bookmark', bookmarkId: b.id }),
        },
        el('span', { class: `bm-label${isLive || inPreview ? ' has-badge' : ''}` }, b.label),
        el('span', { class: 'bm-ref' }, bookmarkReference(b)),
        isLive ? el('span', { class: 'badge live' }, 'LIVE') : inPreview ? el('span', { class: 'badge preview' }, 'PREVIEW') : null,
      );
    }),
  );
  const empty =
    S.bookmarks.length === 0 && !S.errors.bookmarks
      ? el('p', { class: 'empty-note' }, 'No bookmarks yet. Add them in the desktop app’s Bookmarks tab.')
      : null;
  fill($.bookmarks, errorLine('bookmarks'), chips, grid, empty);
}

// The passage picker is built once and updated in place: its grids hold up
// to 176 buttons and must not be rebuilt on every state message.
function buildPassagePanel() {
  $.ref = el('input', {
    type: 'search',
    placeholder: 'Type a reference — John 3:16-18',
    'aria-label': 'Reference',
    autocomplete: 'off',
    autocapitalize: 'words',
    spellcheck: 'false',
    enterkeyhint: 'go',
    onkeydown: (e) => {
      if (e.key === 'Enter') {
        e.preventDefault();
        previewTyped();
      }
    },
  });
  const typed = el('div', { class: 'typed' }, $.ref, el('button', { onclick: previewTyped }, 'Preview'));
  $.book = el('select', { 'aria-label': 'Book', onchange: (e) => {
    S.pick = { book: e.target.value, chapter: 1, from: null, to: null };
    renderPassage(true);
  } });
  $.chapters = el('div', { class: 'num-grid chapters', role: 'group', 'aria-label': 'Chapter' });
  $.verses = el('div', { class: 'num-grid verses', role: 'group', 'aria-label': 'Verses' });
  $.pickSummary = el('div', { class: 'pick-summary' });
  $.pickPreview = el('button', { class: 'primary', onclick: previewPicked }, 'Preview');
  $.passageError = el('div');
  $.passage.replaceChildren(
    $.passageError,
    typed,
    el('div', { class: 'picker' },
      el('div', { class: 'pick-col' }, el('div', { class: 'pick-head' }, 'Book'), $.book, el('div', { class: 'pick-head' }, 'Chapter'), $.chapters),
      el('div', { class: 'pick-col' }, el('div', { class: 'pick-head' }, 'Verses', el('span', { class: 'muted' }, ' — tap the first, then the last')), $.verses),
    ),
    el('div', { class: 'pick-bar' }, $.pickSummary, $.pickPreview),
  );
}

let renderedBooksFor = null;
let renderedGridsFor = null;

function renderPassage(force = false) {
  fill($.passageError, errorLine('translations'));
  const books = S.books;
  if (renderedBooksFor !== books) {
    renderedBooksFor = books;
    const groups = [
      ['OT', 'Old Testament'],
      ['NT', 'New Testament'],
      ['DC', 'Deuterocanon'],
    ];
    const opts = groups
      .map(([t, name]) => {
        const list = books.filter((b) => b.testament === t);
        return list.length ? el('optgroup', { label: name }, list.map((b) => el('option', { value: b.name }, b.name))) : null;
      })
      .filter(Boolean);
    const other = books.filter((b) => !['OT', 'NT', 'DC'].includes(b.testament));
    $.book.replaceChildren(...opts, ...other.map((b) => el('option', { value: b.name }, b.name)));
    if (!books.some((b) => b.name === S.pick.book)) S.pick = { book: books.find((b) => b.name === 'John')?.name ?? books[0]?.name ?? null, chapter: 1, from: null, to: null };
    force = true;
  }
  $.book.value = S.pick.book ?? '';
  const book = books.find((b) => b.name === S.pick.book);
  const key = `${S.pick.book}|${S.pick.chapter}`;
  if (force || renderedGridsFor !== key) {
    renderedGridsFor = key;
    $.chapters.replaceChildren(
      ...(book ? Array.from({ length: book.chapters }, (_, i) => i + 1) : []).map((c) =>
        el('button', { class: 'num', dataset: { chapter: String(c) }, onclick: () => {
          S.pick = { ...S.pick, chapter: c, from: null, to: null };
          renderPassage();
        } }, String(c)),
      ),
    );
    const last = book ? book.verses[S.pick.chapter - 1] ?? 0 : 0;
    $.verses.replaceChildren(
      ...Array.from({ length: last }, (_, i) => i + 1).map((v) =>
        el('button', { class: 'num', dataset: { verse: String(v) }, onclick: () => pickVerse(v) }, String(v)),
      ),
    );
  }
  for (const b of $.chapters.children) b.classList.toggle('on', Number(b.dataset.chapter) === S.pick.chapter);
  const { from, to } = S.pick;
  for (const b of $.verses.children) {
    const v = Number(b.dataset.verse);
    b.classList.toggle('on', from !== null && v >= from && v <= (to ?? from));
    b.classList.toggle('edge', v === from || v === to);
  }
  $.pickSummary.textContent = book
    ? from !== null
      ? formatReference(book.name, S.pick.chapter, from, to ?? from)
      : `${book.name} ${S.pick.chapter} — choose verses`
    : 'No Bible database is installed.';
  $.pickPreview.disabled = !book || from === null;
}

function pickVerse(v) {
  const p = S.pick;
  if (p.from === null || p.to !== p.from || v < p.from) S.pick = { ...p, from: v, to: v };
  else S.pick = { ...p, to: v };
  renderPassage();
}

function previewPicked() {
  const p = S.pick;
  if (!p.book || p.from === null) return;
  preview({ kind: 'passage', book: p.book, chapter: p.chapter, verseStart: p.from, verseEnd: p.to ?? p.from });
}

async function previewTyped() {
  const ref = $.ref.value.trim();
  if (ref === '') return;
  if (await preview({ kind: 'passage', ref })) $.ref.blur();
}

function currentPlaylist() {
  let pl = S.playlists.find((p) => p.id === S.playlistId);
  if (!pl) {
    pl = S.playlists.find((p) => p.id === S.state?.playlist?.playlistId) ?? S.playlists[0];
    S.playlistId = pl?.id ?? null;
  }
  return pl;
}

function renderPlaylists() {
  const pl = currentPlaylist();
  const st = S.state;
  if (!pl) {
    fill(
      $.playlists,
      el('h2', {}, 'Playlist'),
      errorLine('playlists'),
      S.errors.playlists ? null : el('p', { class: 'empty-note' }, 'No playlists yet. Build them in the desktop app’s Playlists tab.'),
    );
    return;
  }
  const pos = st?.playlist?.playlistId === pl.id ? pl.items.findIndex((i) => i.id === st.playlist.itemId) : -1;
  const chooser =
    S.playlists.length > 1
      ? el('select', { class: 'pl-choose', 'aria-label': 'Playlist', onchange: (e) => {
          S.playlistId = e.target.value;
          renderPlaylists();
        } }, S.playlists.map((p) => el('option', { value: p.id, selected: p.id === pl.id }, p.name)))
      : el('h2', {}, pl.name);
  const stepBy = (delta) => command(() => post('/api/live/playlist', { playlistId: pl.id, delta }));
  const where = el('div', { class: 'pl-where' }, pos >= 0 ? `Step ${pos + 1} of ${pl.items.length}` : `${pl.items.length} step${pl.items.length === 1 ? '' : 's'} · not started`);
  const controls = el(
    'div',
    { class: 'pl-controls' },
    el('button', { class: 'pl-prev', disabled: pos <= 0, onclick: () => stepBy(-1) }, '‹ Previous'),
    el('button', { class: 'pl-next primary', disabled: pl.items.length === 0 || pos >= pl.items.length - 1, onclick: () => stepBy(1) }, pos < 0 ? 'Start ›' : 'Next ›'),
  );
  const list = el(
    'ol',
    { class: 'steps' },
    pl.items.map((item, i) => {
      const t = stepTitle(item, S.bookmarks, S.slides);
      const isLive = i === pos && st?.live?.source?.kind === 'playlist' && st.live.source.itemId === item.id;
      const inPreview = sourceIs(st?.preview, 'playlist', item.id) && st.preview.source.playlistId === pl.id;
      const thumb = t.slide ? el('img', { class: 'thumb', src: `/media/slides/${encodeURIComponent(t.slide.imageFile)}`, alt: '', loading: 'lazy' }) : el('span', { class: `kind kind-${item.kind}` }, item.kind === 'slide' ? 'IMG' : item.kind === 'bookmark' ? 'BM' : 'REF');
      return el(
        'li',
        {},
        el(
          'button',
          {
            class: `step${isLive ? ' is-live' : ''}${inPreview ? ' is-preview' : ''}${i === pos ? ' is-current' : ''}${t.broken ? ' is-broken' : ''}`,
            dataset: { itemId: item.id },
            onclick: () => preview({ kind: 'playlistItem', playlistId: pl.id, itemId: item.id }),
          },
          el('span', { class: 'n' }, String(i + 1)),
          thumb,
          el('span', { class: 'st-text' }, el('span', { class: 'st-title' }, t.title), el('span', { class: 'st-detail' }, t.detail)),
          isLive ? el('span', { class: 'badge live' }, 'LIVE') : inPreview ? el('span', { class: 'badge preview' }, 'NEXT') : null,
        ),
      );
    }),
  );
  fill($.playlists, el('div', { class: 'pl-head' }, chooser, where), controls, errorLine('playlists'), pl.items.length ? list : el('p', { class: 'empty-note' }, 'This playlist has no steps.'));
}

// ----- keyboard

function onKey(e) {
  if (e.defaultPrevented || e.ctrlKey || e.metaKey || e.altKey) return;
  const t = e.target;
  const typing = t instanceof HTMLInputElement || t instanceof HTMLTextAreaElement || t instanceof HTMLSelectElement;
  if (e.key === 'Escape') {
    // Clearing the screen is the one key that always works.
    e.preventDefault();
    if (typing) t.blur();
    command(() => post('/api/live/clear'));
    return;
  }
  if (typing) return;
  const pl = currentPlaylist();
  const step = (delta) => {
    if (pl) command(() => post('/api/live/playlist', { playlistId: pl.id, delta }));
    else toast('There is no playlist to step through.');
  };
  switch (e.key) {
    case ' ':
    case 'ArrowRight':
    case 'ArrowDown':
    case 'PageDown':
      e.preventDefault();
      step(1);
      break;
    case 'ArrowLeft':
    case 'ArrowUp':
    case 'PageUp':
      e.preventDefault();
      step(-1);
      break;
    case 'Enter':
      e.preventDefault();
      command(() => post('/api/live/take'));
      break;
    case '.':
    case '>':
      e.preventDefault();
      command(() => post('/api/live/verse', { delta: 1 }));
      break;
    case ',':
    case '<':
      e.preventDefault();
      command(() => post('/api/live/verse', { delta: -1 }));
      break;
    default:
  }
}

// ----- start

skeleton();
render();
document.addEventListener('keydown', onKey);
// A clicked button keeps the focus; the keys above must still reach the page.
document.addEventListener('click', (e) => {
  const b = e.target.closest?.('button');
  if (b && e.detail > 0) b.blur();
});
new LiveConnection({
  role: 'control',
  onState: applyState,
  onData: (name) => load(name),
  onStatus: (status) => {
    const was = S.status;
    S.status = status;
    renderTop();
    // Whatever changed while the connection was down is fetched again.
    if (status === 'connected' && was !== 'connected') loadAll();
  },
}).start();
window.vesperlineControl = { S };

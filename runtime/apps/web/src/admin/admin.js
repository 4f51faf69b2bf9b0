// The web admin: themes as JSON (checked as you type, saved through the
// server's API, which checks again and writes themes.json), the default
// theme, and the installed translations with the current choice.
import { get, put } from '/shared/api.js';
import { el } from '/shared/data.js';
import { LiveConnection } from '/shared/live.js';

const LAYOUTS = ['lowerThird', 'center', 'fullscreen'];
const $ = (id) => document.getElementById(id);
const editor = $('editor');
let saved = null; // the ThemesConfig as the server last answered it
let liveThemeId = null;

const pretty = (doc) => `${JSON.stringify(doc, null, 2)}\n`;

/** Line and column of a character offset, both from 1. */
function lineColumn(text, offset) {
  const before = text.slice(0, offset);
  const line = before.split('\n').length;
  return { line, column: offset - before.lastIndexOf('\n') };
}

/**
 * Checks the editor's text the way the server will: valid JSON, the
 * required keys with the right types, known layouts, distinct ids and a
 * default that names a theme. Answers a sentence per problem.
 */
export function checkThemes(text) {
  let doc;
  try {
    doc = JSON.parse(text);
  } catch (err) {
    const m = /position (\d+)/.exec(err.message);
    const reason = err.message.replace(/^JSON\.parse: /, '').replace(/ in JSON at position \d+.*$/, '').replace(/\s*\(line \d+ column \d+\)$/, '');
    if (m) {
      const { line, column } = lineColumn(text, Number(m[1]));
      return { problems: [`Line ${line}, column ${column}: this is not valid JSON (${reason}).`] };
    }
    return { problems: [`This is not valid JSON (${reason}).`] };
  }
  const problems = [];
  if (doc === null || typeof doc !== 'object' || Array.isArray(doc)) return { problems: ['The document must be a JSON object with "defaultThemeId" and "themes".'] };
  if (typeof doc.defaultThemeId !== 'string') problems.push('"defaultThemeId" is missing or is not a string.');
  if (!Array.isArray(doc.themes)) problems.push('"themes" is missing or is not a list.');
  else {
    if (doc.themes.length === 0) problems.push('"themes" is empty; at least one theme is needed.');
    const seen = new Set();
    doc.themes.forEach((t, i) => {
      const n = `Theme ${i + 1}`;
      if (t === null || typeof t !== 'object' || Array.isArray(t)) {
        problems.push(`${n} is not an object.`);
        return;
      }
      for (const key of ['id', 'name', 'layout']) {
        if (typeof t[key] !== 'string') problems.push(`${n} has no "${key}" text.`);
      }
      if (typeof t.id === 'string') {
        if (t.id.trim() === '') problems.push(`${n} has an empty id.`);
        else if (seen.has(t.id)) problems.push(`${n} uses the id "${t.id}", which an earlier theme already has.`);
        seen.add(t.id);
      }
      if (typeof t.layout === 'string' && !LAYOUTS.includes(t.layout)) {
        problems.push(`${n} has the layout "${t.layout}"; use lowerThird, center or fullscreen.`);
      }
    });
    if (typeof doc.defaultThemeId === 'string' && doc.themes.length && !seen.has(doc.defaultThemeId)) {
      problems.push(`The default theme "${doc.defaultThemeId}" is not one of the themes.`);
    }
  }
  return { doc, problems };
}

function dirty() {
  return saved !== null && editor.value !== pretty(saved);
}

function showCheck() {
  const { doc, problems } = checkThemes(editor.value);
  const box = $('check');
  box.className = 'check';
  if (problems.length) {
    box.classList.add('bad');
    box.replaceChildren(...problems.slice(0, 4).map((p) => el('div', {}, p)), problems.length > 4 ? el('div', {}, `…and ${problems.length - 4} more.`) : '');
    editor.classList.add('invalid');
  } else {
    box.classList.add('ok');
    box.textContent = `Valid · ${doc.themes.length} theme${doc.themes.length === 1 ? '' : 's'}, default “${doc.defaultThemeId}”`;
    editor.classList.remove('invalid');
  }
  if (dirty()) box.classList.add('dirty');
  $('save').disabled = problems.length > 0;
  $('format').disabled = !doc;
  $('revert').disabled = !dirty();
  return { doc, problems };
}

function message(text, kind) {
  const m = $('message');
  m.className = `message ${kind}`;
  m.textContent = text;
}

function showThemes(doc, { replaceEditor = true } = {}) {
  saved = doc;
  if (replaceEditor) editor.value = pretty(doc);
  const select = $('default-theme');
  select.replaceChildren(...doc.themes.map((t) => el('option', { value: t.id, selected: t.id === doc.defaultThemeId }, `${t.name} (${t.layout})`)));
  select.value = doc.defaultThemeId;
  showLiveTheme();
  showCheck();
}

function showLiveTheme() {
  const t = saved?.themes.find((x) => x.id === liveThemeId);
  $('live-theme').textContent = t ? `On air now: ${t.name}` : '';
}

async function loadThemes({ keepEdits = false } = {}) {
  try {
    const doc = await get('/api/themes');
    showThemes(doc, { replaceEditor: !(keepEdits && dirty()) });
    if (keepEdits && dirty()) message('themes.json was changed elsewhere. Revert to load that version, or Save to replace it with yours.', 'bad');
  } catch (err) {
    message(`The themes could not be loaded: ${err.message}`, 'bad');
  }
}

async function save(doc, what) {
  try {
    const stored = await put('/api/themes', doc);
    showThemes(stored);
    message(`${what} saved to themes.json.`, 'ok');
  } catch (err) {
    message(`Not saved: ${err.message}`, 'bad');
  }
}

async function loadTranslations() {
  const body = $('libraries');
  try {
    const t = await get('/api/translations');
    const sel = t.selection;
    $('selection').replaceChildren(
      el('div', {}, el('span', {}, 'Primary (on air)'), el('b', {}, t.primary.label)),
      el('div', {}, el('span', {}, 'Compare (side by side)'), el('b', {}, t.secondary ? t.secondary.label : 'None')),
      el('div', {}, el('span', {}, 'Attribution'), el('b', {}, t.primary.attribution || '—')),
    );
    body.replaceChildren(
      ...t.libraries.map((lib) =>
        el(
          'tr',
          {},
          el('td', {}, lib.label),
          el('td', { class: 'file' }, lib.file),
          el('td', { class: 'num' }, lib.verseCount.toLocaleString('en')),
          el('td', {}, lib.id === sel.primaryId ? el('span', { class: 'role primary' }, 'PRIMARY') : lib.id === sel.secondaryId ? el('span', { class: 'role compare' }, 'COMPARE') : ''),
        ),
      ),
    );
    if (t.libraries.length === 0) body.replaceChildren(el('tr', {}, el('td', { colspan: '4', class: 'muted' }, 'No Bible database is installed in the data folder.')));
    $('server').textContent = [t.serverName, t.runtimeVersion && `runtime ${t.runtimeVersion}`].filter(Boolean).join(' · ');
  } catch (err) {
    body.replaceChildren(el('tr', {}, el('td', { colspan: '4' }, `The translations could not be loaded: ${err.message}`)));
  }
}

editor.addEventListener('input', showCheck);
editor.addEventListener('keydown', (e) => {
  // Tab indents inside the editor instead of leaving it.
  if (e.key === 'Tab' && !e.shiftKey) {
    e.preventDefault();
    document.execCommand('insertText', false, '  ');
  }
  if (e.key === 's' && (e.ctrlKey || e.metaKey)) {
    e.preventDefault();
    $('save').click();
  }
});
$('format').addEventListener('click', () => {
  const { doc } = checkThemes(editor.value);
  if (doc) {
    editor.value = pretty(doc);
    showCheck();
  }
});
$('revert').addEventListener('click', () => {
  if (saved) {
    editor.value = pretty(saved);
    showCheck();
    message('', '');
  }
});
$('save').addEventListener('click', () => {
  const { doc, problems } = showCheck();
  if (problems.length) {
    message(`Not saved: ${problems[0]}`, 'bad');
    return;
  }
  save(doc, 'Themes');
});
$('save-default').addEventListener('click', () => {
  if (!saved) return;
  if (dirty()) {
    message('Save or revert the edited JSON first; the default is saved with the themes as stored.', 'bad');
    return;
  }
  save({ ...saved, defaultThemeId: $('default-theme').value }, 'The default theme');
});

loadThemes();
loadTranslations();
new LiveConnection({
  role: 'control',
  onState: (state) => {
    liveThemeId = state.theme?.id ?? null;
    showLiveTheme();
  },
  onData: (name) => {
    if (name === 'themes') loadThemes({ keepEdits: true });
    if (name === 'translations') loadTranslations();
  },
}).start();

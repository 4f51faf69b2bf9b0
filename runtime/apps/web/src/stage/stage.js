// The stage display (confidence monitor): what is live, large, with what
// comes next, the time and how long the service has run, for the person on
// the platform.
//   /stage[?w=1920&h=1080][&clock=12]
// Listens as a monitor: it never counts as a display client. A lost
// connection keeps the last picture under a "Reconnecting…" notice.
import { LiveConnection } from '/shared/live.js';
import { el } from '/shared/data.js';
import { Frame, fitType, fontsFor } from '/shared/frame.js';
import { passageColumns } from '/shared/scripture.js';

// The largest scripture, in % of the frame's height: a single verse reads
// from the back of a platform.
const MAX_TYPE = 8;

const params = new URLSearchParams(location.search);
const twelveHour = params.get('clock') === '12';
const $ = (id) => document.getElementById(id);
const root = $('stage');
const frame = new Frame(root, params);
let lastState = null;
let shownKey = null;
let renderToken = 0;

// ----- the live content

function renderReference(content) {
  const ref = $('reference');
  if (!content) ref.replaceChildren();
  else if (content.kind === 'slide') ref.replaceChildren(`Slide · ${content.label}`);
  else {
    const ids = [content.primary, content.secondary].filter(Boolean).map((p) => p.translation.id);
    ref.replaceChildren(content.reference, el('span', { class: 'tr' }, ids.join(' + ')));
  }
  const onair = $('onair');
  onair.className = content ? 'onair is-live' : 'onair';
  onair.textContent = content ? 'LIVE' : 'BLACK';
}

async function renderNow(content) {
  const token = ++renderToken;
  const now = $('now');
  renderReference(content);
  if (!content) {
    now.replaceChildren(el('div', { class: 'empty' }, 'Nothing on air'));
  } else if (content.kind === 'slide') {
    const img = el('img', { alt: content.label ?? '', src: content.url });
    now.replaceChildren(img);
    await img.decode().catch(() => (img.style.visibility = 'hidden'));
  } else {
    const inner = el('div', { class: 'fit' }, passageColumns(content).cols);
    inner.style.visibility = 'hidden';
    now.replaceChildren(inner);
    await fontsFor(inner);
    if (token !== renderToken) return;
    const texts = [...inner.querySelectorAll('.scripture')];
    const px = fitType(texts, () => inner.offsetHeight <= now.clientHeight, (frame.h * MAX_TYPE) / 100);
    inner.dataset.fontPx = px.toFixed(1);
    inner.style.visibility = '';
  }
  if (token === renderToken) document.body.dataset.shown = content?.id ?? '';
}

// ----- what comes next

function describePreview(content) {
  if (!content) return null;
  if (content.kind === 'slide') return { label: `Slide · ${content.label}`, reference: null };
  return { label: content.label ?? content.reference, reference: content.label ? content.reference : null };
}

function renderNext(state) {
  const fromPlaylist = state?.live?.source?.kind === 'playlist';
  const next = fromPlaylist ? state.next : describePreview(state?.preview);
  const none = fromPlaylist ? 'End of the playlist' : 'Nothing in preview';
  const what = next
    ? el('span', { class: 'what' }, next.kind === 'slide' ? `Slide · ${next.label}` : next.label, next.reference && next.reference !== next.label ? el('span', { class: 'ref' }, next.reference) : null)
    : el('span', { class: 'what none' }, none);
  $('next').replaceChildren(el('span', { class: 'label' }, 'Next:'), what);
}

// ----- clock and counter

const pad = (n) => String(n).padStart(2, '0');

function clockText(date) {
  const m = pad(date.getMinutes());
  if (!twelveHour) return `${pad(date.getHours())}:${m}`;
  const h = date.getHours() % 12 || 12;
  return `${h}:${m} ${date.getHours() < 12 ? 'AM' : 'PM'}`;
}

function elapsedText(ms) {
  const s = Math.max(0, Math.floor(ms / 1000));
  const h = Math.floor(s / 3600);
  const m = Math.floor((s % 3600) / 60);
  return h > 0 ? `${h}:${pad(m)}:${pad(s % 60)}` : `${m}:${pad(s % 60)}`;
}

function tick() {
  const now = connection.serverNow();
  $('clock').textContent = clockText(new Date(now));
  const started = Date.parse(lastState?.timer?.startedAt ?? '');
  const box = $('elapsed').parentElement;
  box.classList.toggle('waiting', !Number.isFinite(started));
  $('elapsed').textContent = elapsedText(Number.isFinite(started) ? now - started : 0);
}

// ----- state

// Every state is taken as it comes: after a server restart the revisions
// count from zero again, and the state sent on reconnect is the truth.
function apply(state) {
  lastState = state;
  const key = state.live?.id ?? '';
  if (key !== shownKey) {
    shownKey = key;
    renderNow(state.live);
  }
  renderNext(state);
  tick();
}

function onStatus(status) {
  document.body.dataset.status = status;
  $('status').textContent = status === 'connected' ? '' : status === 'reconnecting' ? 'Reconnecting…' : 'Connecting…';
}

frame.measure();
window.addEventListener('resize', () => {
  if (frame.measure() && lastState) renderNow(lastState.live);
});
onStatus('connecting');
const connection = new LiveConnection({ role: 'monitor', onState: apply, onStatus }).start();
tick();
setInterval(tick, 500);
window.vesperlineStage = { get state() { return lastState; }, get frame() { return frame; } };

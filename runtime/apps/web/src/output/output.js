// The output page: renders what is live into a w × h frame.
//   /output?w=1920&h=1080[&layout=lowerThird|center|fullscreen]
//   &monitor=preview|live  shows the preview or live content without counting
//   as a display (the control pages' monitors)
// Without a layout the live theme's layout is used. The frame: shared/frame.js.
import { LiveConnection } from '/shared/live.js';
import { el } from '/shared/data.js';
import { Frame, fitType, fontsFor } from '/shared/frame.js';
import { passageColumns } from '/shared/scripture.js';

const LAYOUTS = ['lowerThird', 'center', 'fullscreen'];
const FADE_IN_MS = 480;
const FADE_OUT_MS = 340;

const params = new URLSearchParams(location.search);
const monitor = ['preview', 'live'].includes(params.get('monitor')) ? params.get('monitor') : null;
const forcedLayout = LAYOUTS.includes(params.get('layout')) ? params.get('layout') : null;
const stage = document.getElementById('stage');
const frame = new Frame(stage, params);
let shown = null; // { key, content, layout, layer }
let lastState = null;
let renderToken = 0;

// ----- building a layer

function passageBlocks(content) {
  const { parts, compare, cols } = passageColumns(content);
  const trId = compare ? null : el('span', { class: 'tr-id' }, content.primary.translation.id);
  const attribution = parts
    .map((p) => p.translation.attribution)
    .filter((a) => a && a.trim() !== '')
    .join('  ·  ');
  return { cols, trId, attribution, compare };
}

function buildPassage(content, layout) {
  const { cols, trId, attribution } = passageBlocks(content);
  const reference = el('div', { class: 'reference' }, content.reference, trId);
  const attr = attribution ? el('div', { class: 'attribution' }, attribution) : null;
  if (layout === 'lowerThird') {
    const box = el('div', { class: 'box' }, el('div', { class: 'head' }, reference), cols, attr);
    return { layer: el('div', { class: 'layer lt' }, box), box, measure: () => box.offsetHeight <= frame.h * 0.3 };
  }
  if (layout === 'center') {
    const box = el('div', { class: 'box' }, cols, el('div', { class: 'rule' }), reference, attr);
    return { layer: el('div', { class: 'layer ce' }, box), box, measure: () => box.offsetHeight <= frame.h * 0.8 };
  }
  const inner = el('div', { class: 'fit-content' }, cols);
  const body = el('div', { class: 'body' }, inner);
  const box = el('div', { class: 'box' }, el('div', { class: 'bar' }), reference, body, attr);
  return { layer: el('div', { class: 'layer fs' }, box), box, measure: () => inner.offsetHeight <= body.clientHeight };
}

// The largest type for each layout, in % of the frame's height.
const MAX_TYPE = { lowerThird: 4.6, center: 6.2, fullscreen: 7.4 };

/** Shrinks the scripture until the layout holds it; labels keep their size. */
function fit(built, layout) {
  const texts = [...built.layer.querySelectorAll('.scripture')];
  return fitType(texts, built.measure, (frame.h * MAX_TYPE[layout]) / 100);
}

function buildSlide(content) {
  const img = el('img', { alt: content.label ?? '', src: content.url, decoding: 'async' });
  const layer = el('div', { class: 'layer sl' }, img);
  const ready = img.decode().catch(() => {
    // A broken-image icon or alt text must never reach the stream.
    img.style.visibility = 'hidden';
    console.warn(`slide image ${content.url} did not load`);
  });
  return { layer, ready };
}

// ----- showing

function layoutFor(state) {
  return forcedLayout ?? (LAYOUTS.includes(state?.theme?.layout) ? state.theme.layout : 'lowerThird');
}

function contentOf(state) {
  if (!state) return null;
  return monitor === 'preview' ? state.preview : state.live;
}

function retire(entry, then = () => {}) {
  if (!entry) {
    then();
    return;
  }
  const { layer } = entry;
  layer.classList.remove('shown');
  layer.classList.add('leaving');
  setTimeout(() => {
    layer.remove();
    then();
  }, FADE_OUT_MS + 40);
}

async function show(content, layout, { animate = true } = {}) {
  const token = ++renderToken;
  const key = content ? `${content.id}|${layout}` : '';
  // "settled" names what is fully on screen; nothing is while a change runs.
  document.body.dataset.settled = '-';
  if (!content) {
    const leaving = shown;
    shown = null;
    document.body.dataset.shown = '';
    document.body.dataset.layout = layout;
    retire(leaving, () => {
      if (token === renderToken) document.body.dataset.settled = '';
    });
    return;
  }
  let built;
  if (content.kind === 'slide') {
    built = buildSlide(content);
    stage.append(built.layer);
    await built.ready;
  } else {
    built = buildPassage(content, layout);
    // Measured inside the stage (invisible until shown) with the final fonts.
    stage.append(built.layer);
    await fontsFor(built.layer);
    if (token !== renderToken) {
      built.layer.remove();
      return;
    }
    const px = fit(built, layout);
    built.layer.dataset.fontPx = px.toFixed(1);
  }
  if (token !== renderToken) {
    built.layer.remove();
    return;
  }
  const previous = shown;
  shown = { key, content, layout, layer: built.layer };
  document.body.dataset.shown = content.id;
  document.body.dataset.layout = layout;
  if (!animate) built.layer.style.transition = 'none';
  // Two frames: the layer must be painted transparent once for the fade to run.
  requestAnimationFrame(() =>
    requestAnimationFrame(() => {
      built.layer.classList.add('shown');
      retire(previous);
    }),
  );
  setTimeout(() => {
    if (token === renderToken) document.body.dataset.settled = content.id;
  }, (animate ? FADE_IN_MS : 0) + 60);
}

function apply(state) {
  lastState = state;
  const content = contentOf(state);
  const layout = layoutFor(state);
  const key = content ? `${content.id}|${layout}` : '';
  if (key === (shown?.key ?? '') && (content || !shown)) return;
  show(content, layout);
}

frame.measure();
window.addEventListener('resize', () => {
  const changed = frame.measure();
  // A frame that follows the window needs its type fitted again.
  if (changed && shown) show(shown.content, shown.layout, { animate: false });
});

// A lost connection keeps the picture as it is: a network blip must never
// flash the stream to black. The state that arrives on reconnect wins.
new LiveConnection({ role: monitor ? 'monitor' : 'output', onState: apply }).start();
window.vesperlineOutput = { get state() { return lastState; }, get frame() { return frame; } };

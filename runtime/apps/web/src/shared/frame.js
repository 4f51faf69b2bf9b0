// The frame a full-screen page draws into, and the type fitted to it; shared
// by /output and /stage.
//   ?w=&h=  a fixed frame (from 320 to 7680 pixels); without them the frame
//           follows the window. A frame that differs from the window (a
//           display window on a monitor of another size) is scaled to fit
//           it, centred.

const size = (params, name) => {
  const v = Number(params.get(name));
  return Number.isInteger(v) && v >= 320 && v <= 7680 ? v : null;
};

export class Frame {
  /** `node` is positioned absolutely at the page's top left. */
  constructor(node, params = new URLSearchParams(location.search)) {
    this.node = node;
    this.fixedW = size(params, 'w');
    this.fixedH = size(params, 'h');
    this.w = 0;
    this.h = 0;
  }

  /** Sizes the frame to the window; answers whether its size changed. */
  measure() {
    const { node } = this;
    const w = this.fixedW ?? window.innerWidth;
    const h = this.fixedH ?? window.innerHeight;
    const changed = w !== this.w || h !== this.h;
    this.w = w;
    this.h = h;
    node.style.width = `${w}px`;
    node.style.height = `${h}px`;
    node.style.setProperty('--u', `${h / 100}px`);
    node.style.setProperty('--vw', `${w / 100}px`);
    const scale = Math.min(window.innerWidth / w, window.innerHeight / h);
    if (Math.abs(scale - 1) < 0.001 || !Number.isFinite(scale) || scale <= 0) {
      node.style.transform = '';
    } else {
      const dx = (window.innerWidth - w * scale) / 2;
      const dy = (window.innerHeight - h * scale) / 2;
      node.style.transform = `translate(${dx}px, ${dy}px) scale(${scale})`;
    }
    return changed;
  }
}

/**
 * Shrinks `texts` until `fits()` holds: the largest font size (to half a
 * pixel) at which nothing overflows, never larger than `maxPx`. Answers the
 * size chosen.
 */
export function fitType(texts, fits, maxPx) {
  const setSize = (px) => texts.forEach((t) => (t.style.fontSize = `${px}px`));
  const holds = () => fits() && texts.every((t) => t.scrollWidth <= t.clientWidth + 1);
  let hi = maxPx;
  setSize(hi);
  if (holds()) return hi;
  let lo = 1;
  for (let i = 0; i < 16 && hi - lo > 0.5; i++) {
    const mid = (lo + hi) / 2;
    setSize(mid);
    if (holds()) lo = mid;
    else hi = mid;
  }
  setSize(lo);
  return lo;
}

/**
 * Loads the typefaces (and the subsets this text needs) before anything is
 * measured: a fit computed with a fallback font would overflow once the
 * real one arrives.
 */
export async function fontsFor(node) {
  const text = node.textContent;
  try {
    await Promise.all([
      document.fonts.load('500 32px "Source Serif 4 Variable"', text),
      document.fonts.load('700 32px "Inter Variable"', text),
    ]);
  } catch {
    /* a font that cannot load leaves the fallback, which is then measured */
  }
  await document.fonts.ready;
}

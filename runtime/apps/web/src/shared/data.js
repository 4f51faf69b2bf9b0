// What the control pages and the desktop's editor agree on about bookmarks:
// accent colours by name, buckets, and how a reference is written.

// Colour name -> [label, swatch as sRGB 0..1]. Unknown or absent names are "default".
export const ACCENTS = [
  ['default', 'Gray', [0.12, 0.16, 0.23]],
  ['gold', 'Gold', [0.52, 0.3, 0.05]],
  ['blue', 'Blue', [0.12, 0.25, 0.69]],
  ['green', 'Green', [0.09, 0.4, 0.2]],
  ['red', 'Red', [0.62, 0.07, 0.22]],
  ['purple', 'Purple', [0.42, 0.13, 0.66]],
  ['orange', 'Orange', [0.6, 0.2, 0.07]],
  ['teal', 'Teal', [0.07, 0.37, 0.35]],
];

const byName = new Map(ACCENTS.map(([name, label, rgb]) => [name, { name, label, rgb }]));

export function accent(color) {
  return byName.get(color) ?? byName.get('default');
}

export function swatchCss(color) {
  const [r, g, b] = accent(color).rgb;
  return `rgb(${Math.round(r * 255)} ${Math.round(g * 255)} ${Math.round(b * 255)})`;
}

/** A bookmark's bucket for the filter tabs: trimmed, "General" when empty. */
export function effectiveBucket(bookmark) {
  const b = typeof bookmark.bucket === 'string' ? bookmark.bucket.trim() : '';
  return b === '' ? 'General' : b;
}

/** "All" followed by every distinct bucket in code-point order. */
export function bucketNames(bookmarks) {
  const set = new Set(bookmarks.map(effectiveBucket));
  return ['All', ...[...set].sort((a, b) => (a < b ? -1 : a > b ? 1 : 0))];
}

export function formatReference(book, chapter, verseStart, verseEnd) {
  if (verseStart === undefined || verseStart === null) return `${book} ${chapter}`;
  if (verseEnd !== undefined && verseEnd !== null && verseEnd !== verseStart) return `${book} ${chapter}:${verseStart}–${verseEnd}`;
  return `${book} ${chapter}:${verseStart}`;
}

export function bookmarkReference(b) {
  return formatReference(b.book, b.chapter, b.verseStart, b.verseEnd);
}

/** What a playlist step is called in lists. */
export function stepTitle(item, bookmarks, slides) {
  const own = typeof item.label === 'string' && item.label.trim() !== '' ? item.label : undefined;
  if (item.kind === 'bookmark') {
    const b = bookmarks.find((x) => x.id === item.bookmarkId);
    return { title: own ?? b?.label ?? 'Missing bookmark', detail: b ? bookmarkReference(b) : 'The bookmark was deleted', broken: !b };
  }
  if (item.kind === 'slide') {
    const s = slides.find((x) => x.id === item.slideId);
    return { title: own ?? s?.label ?? 'Missing slide', detail: s ? 'Slide' : 'The slide was deleted', broken: !s, slide: s };
  }
  const ref = item.book ? formatReference(item.book, item.chapter ?? 1, item.verseStart, item.verseEnd) : 'Passage';
  return { title: own ?? ref, detail: own ? ref : 'Passage', broken: !item.book };
}

export function el(tag, attrs = {}, ...children) {
  const node = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs)) {
    if (v === undefined || v === null || v === false) continue;
    if (k === 'class') node.className = v;
    else if (k === 'dataset') Object.assign(node.dataset, v);
    else if (k === 'style') node.style.cssText = v;
    else if (k.startsWith('on')) node.addEventListener(k.slice(2), v);
    else if (v === true) node.setAttribute(k, '');
    else node.setAttribute(k, v);
  }
  for (const c of children.flat()) {
    if (c === undefined || c === null || c === false) continue;
    node.append(c instanceof Node ? c : document.createTextNode(String(c)));
  }
  return node;
}

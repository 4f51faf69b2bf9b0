// Verses as the full-screen pages set them: numbered when there are several,
// one column per translation (side by side when comparing).
import { el } from '/shared/data.js';

export function scriptureFor(part, numbered) {
  const p = el('p', { class: 'scripture', lang: 'en' });
  if (!numbered) {
    p.append(part.text);
    return p;
  }
  part.verses.forEach((v, i) => {
    if (i > 0) p.append(' ');
    p.append(el('span', { class: 'vn' }, String(v.verse)), v.text);
  });
  return p;
}

/** The translations of passage content: parts, compare flag and the `.cols` block. */
export function passageColumns(content) {
  const parts = [content.primary, content.secondary].filter(Boolean);
  const compare = parts.length > 1;
  const numbered = content.primary.verses.length > 1;
  const cols = el(
    'div',
    { class: compare ? 'cols compare' : 'cols' },
    parts.map((part) =>
      el('div', { class: 'col' }, compare ? el('div', { class: 'col-head' }, part.translation.label) : null, scriptureFor(part, numbered)),
    ),
  );
  return { parts, compare, cols };
}

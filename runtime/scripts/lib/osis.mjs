// Turns one verse of OSIS markup (as mod2imp prints it) into the plain text
// shown on screen. Notes, cross references, headings and speaker labels go
// with their content; every other element keeps its text. Where removed
// markup stood between two words a single space is kept, so "born</q><note>
// …</note><q>Son" reads "born Son", while inline elements such as <w> never
// split a word from its punctuation.

/** Elements dropped together with everything inside them. */
const DROP_WITH_CONTENT = new Set(['note', 'title', 'speaker', 'catchWord', 'rdg', 'figure', 'header']);

/** Milestoned divisions whose content is front or back matter, not verse text. */
const SKIPPED_DIVISIONS = new Set(['introduction', 'glossary', 'front', 'back', 'preface', 'colophon', 'index']);

/** Elements that mark a boundary between words (lines, paragraphs, breaks). */
const BOUNDARY = new Set([
  'l', 'lg', 'lb', 'p', 'div', 'milestone', 'list', 'item', 'chapter', 'verse', 'table', 'row', 'cell', 'br',
]);

const ENTITIES = { amp: '&', lt: '<', gt: '>', quot: '"', apos: "'", nbsp: '\u00a0' };

function decodeEntities(s) {
  return s.replace(/&(#x[0-9a-fA-F]+|#[0-9]+|[a-zA-Z]+);/g, (m, e) => {
    if (e[0] === '#') {
      const cp = e[1] === 'x' || e[1] === 'X' ? parseInt(e.slice(2), 16) : parseInt(e.slice(1), 10);
      return Number.isFinite(cp) && cp > 0 && cp <= 0x10ffff ? String.fromCodePoint(cp) : m;
    }
    return ENTITIES[e] ?? m;
  });
}

// Punctuation that binds to the word before it or after it: no space may be
// put between them when markup that separated them is removed.
const CLINGS_LEFT = /^[,.;:!?’”)\]}…—–\-'"»]/u;
const CLINGS_RIGHT = /[“‘(\[{—–\-«]$/u;

const TAG = /<(\/?)([A-Za-z][\w:.-]*)((?:\s+[^\s=/>]+(?:\s*=\s*(?:"[^"]*"|'[^']*'|[^\s>]+))?)*)\s*(\/?)>/y;

function parseAttributes(text) {
  const attrs = {};
  for (const m of text.matchAll(/([^\s=/>]+)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+))/g)) {
    attrs[m[1]] = m[2] ?? m[3] ?? m[4];
  }
  return attrs;
}

/** Plain text of one verse; throws when the markup is not well formed. */
export function osisToText(markup) {
  const out = []; // pieces of text, BREAK and DROPPED markers
  const BREAK = 1;
  const DROPPED = 2;
  let dropDepth = 0;
  const dropStack = [];
  const skipping = new Set();
  let i = 0;
  const src = String(markup);
  while (i < src.length) {
    const lt = src.indexOf('<', i);
    const textEnd = lt === -1 ? src.length : lt;
    if (textEnd > i) {
      if (dropDepth === 0 && skipping.size === 0) out.push(decodeEntities(src.slice(i, textEnd)));
      i = textEnd;
      continue;
    }
    TAG.lastIndex = i;
    const m = TAG.exec(src);
    if (!m) {
      if (src.startsWith('<!--', i)) {
        const end = src.indexOf('-->', i + 4);
        if (end === -1) throw new Error('unterminated comment');
        i = end + 3;
        continue;
      }
      throw new Error(`malformed markup near "${src.slice(i, i + 40)}"`);
    }
    i = TAG.lastIndex;
    const [, closing, name, attrText, selfClosing] = m;
    if (name === 'div' && selfClosing) {
      // Milestoned divisions: text after a book's end marker, and inside
      // introductions or the glossary, is not part of the verse.
      const attrs = parseAttributes(attrText);
      if (attrs.type === 'book') {
        if (attrs.eID) skipping.add('book:end');
        else if (attrs.sID) skipping.delete('book:end');
      } else if (SKIPPED_DIVISIONS.has(attrs.type)) {
        if (attrs.sID) skipping.add(attrs.sID);
        else if (attrs.eID) skipping.delete(attrs.eID);
      }
      out.push(BREAK);
      continue;
    }
    if (DROP_WITH_CONTENT.has(name)) {
      if (selfClosing) {
        // an empty or milestoned heading still separates words
      } else if (closing) {
        if (dropStack.length === 0 || dropStack[dropStack.length - 1] !== name) {
          throw new Error(`unbalanced </${name}>`);
        }
        dropStack.pop();
        dropDepth--;
      } else {
        dropStack.push(name);
        dropDepth++;
      }
      if (dropDepth === 0) out.push(DROPPED);
      continue;
    }
    if (dropDepth === 0 && BOUNDARY.has(name)) out.push(BREAK);
  }
  if (dropDepth !== 0) throw new Error(`unterminated <${dropStack[dropStack.length - 1]}>`);

  let text = '';
  let pending = 0;
  for (const piece of out) {
    if (piece === BREAK || piece === DROPPED) {
      pending = Math.max(pending, piece);
      continue;
    }
    let s = piece.replace(/\s+/g, ' ');
    if (!s) continue;
    if (pending === DROPPED) {
      // The spacing around a removed note belonged to the note: decide afresh.
      text = text.trimEnd();
      s = s.trimStart();
      if (!s) {
        pending = DROPPED;
        continue;
      }
    }
    if (pending && text && !/\s$/.test(text) && !/^\s/.test(s) && !CLINGS_LEFT.test(s) && !CLINGS_RIGHT.test(text)) {
      text += ' ';
    }
    pending = 0;
    text += s;
  }
  // The source sometimes leaves a space between a red-letter quotation and the
  // question mark that closes the sentence around it ("walk’ ?”").
  return text
    .replace(/\s+/g, ' ')
    .replace(/([\p{L}\p{N}’”']) ([,.;:!?])(?=\s|$|[’”'\p{L}])/gu, '$1$2')
    .trim();
}

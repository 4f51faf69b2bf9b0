// Passage look-up for the pages.
//   GET /api/bible/books[?translation=ID]
//   GET /api/bible/passage?ref=John+3:16-18[&translation=ID][&compare=ID|secondary]
//   GET /api/bible/passage?book=John&chapter=3&verseStart=16&verseEnd=18[...]
// ID is a library id ("bible.sqlite") or a translation id ("WEB"); without
// one the selected primary translation is used. compare=secondary means the
// selected compare translation (left out when none is selected).
import { HttpError, badRequest, notFound } from '../lib/errors.js';
import { passageFromQuery, readPassage } from '../lib/passage.js';

// Passages are read far more often than databases change (an operator
// re-shows the same verses through a service), so finished answers are kept
// per request URL until a database or the selection changes.
const CACHE_SIZE = 512;

export default async function bibleRoutes(app) {
  const cache = new Map(); // url -> { generation, body }
  const remember = (url, generation, body) => {
    if (cache.size >= CACHE_SIZE) cache.delete(cache.keys().next().value);
    cache.set(url, { generation, body });
  };

  function translationFor(param, { allowSecondary = false } = {}) {
    const { primary, secondary } = app.library.refresh();
    if (param === undefined || param === '') {
      if (!primary) throw new HttpError(503, 'No Bible database is installed; the data folder holds none.');
      return primary;
    }
    if (allowSecondary && param === 'secondary') return secondary;
    const found = app.library.find(String(param));
    if (!found) {
      // the file may have just arrived
      const again = app.library.refresh(true) && app.library.find(String(param));
      if (!again) throw notFound(`Unknown translation "${param}"`);
      return again;
    }
    return found;
  }

  app.get('/api/bible/books', async (request) => {
    const t = translationFor(request.query.translation);
    return { translation: t.describe(), books: t.books() };
  });

  app.get('/api/bible/passage', async (request, reply) => {
    app.library.refresh();
    const generation = app.library.generation;
    const hit = cache.get(request.url);
    if (hit && hit.generation === generation) {
      return reply.type('application/json; charset=utf-8').send(hit.body);
    }
    const q = request.query;
    if (Array.isArray(q.ref) || Array.isArray(q.book)) throw badRequest('Give one reference per request');
    const p = passageFromQuery(q);
    const primary = translationFor(q.translation);
    const secondary = q.compare === undefined || q.compare === '' ? undefined : translationFor(q.compare, { allowSecondary: true });
    const body = readPassage(p, primary, secondary);
    const json = JSON.stringify(body);
    remember(request.url, generation, json);
    return reply.type('application/json; charset=utf-8').send(json);
  });
}

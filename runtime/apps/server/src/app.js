// The presentation server as a fastify plugin tree. The entry file only loads
// the configuration, builds this app and listens; tests build it the same way.
//
// Shared state for the route modules, decorated on the instance:
//   app.config     the environment (config.js)
//   app.library    Bible databases and the translation choice (lib/library.js)
//   app.store      the JSON data files (routes/data.js)
//   app.live       what is on air: live.themeId (null = the default theme),
//                  live.clients (the connected display clients) and
//                  live.state (preview, live content, playlist position:
//                  lib/live.js)
//   app.runtimeInfo  runtime-version.json of the runtime root
import fs from 'node:fs';
import path from 'node:path';
import Fastify from 'fastify';
import { Library } from './lib/library.js';
import { createStore } from './lib/store.js';
import healthRoutes from './routes/health.js';
import dataRoutes from './routes/data.js';
import translationRoutes from './routes/translations.js';
import bibleRoutes from './routes/bible.js';
import pageRoutes from './routes/pages.js';
import liveRoutes from './routes/live.js';
import { LiveState } from './lib/live.js';

export const BODY_LIMIT = 1024 * 1024;

export function readRuntimeInfo(root) {
  try {
    const raw = JSON.parse(fs.readFileSync(path.join(root, 'runtime-version.json'), 'utf8'));
    if (raw && typeof raw === 'object' && !Array.isArray(raw)) {
      const pick = (k) => (typeof raw[k] === 'string' ? raw[k] : undefined);
      return { version: pick('version'), notes: pick('notes'), channel: pick('channel') };
    }
  } catch {
    /* a runtime without a version record reports none */
  }
  return {};
}

export async function buildApp(config, { log = () => {} } = {}) {
  const app = Fastify({
    logger: false,
    bodyLimit: BODY_LIMIT,
    // An idle keep-alive connection must not hold up a SIGTERM shutdown.
    forceCloseConnections: true,
    return503OnClosing: true,
  });

  app.decorate('config', config);
  app.decorate('say', log);
  app.decorate('library', new Library(config, log));
  app.decorate('store', createStore(config));
  app.decorate('live', { themeId: null, clients: new Set() });
  app.live.state = new LiveState(app);
  app.decorate('runtimeInfo', readRuntimeInfo(config.root));
  app.addHook('onClose', async () => app.library.close());

  app.setErrorHandler((err, request, reply) => {
    let status = err.statusCode ?? 500;
    if (status < 400 || status > 599) status = 500;
    let message = err.message;
    if (status >= 500 && !err.expose) {
      log(`Request ${request.method} ${request.url} failed: ${err.message}`);
      message = 'The server could not complete the request.';
    } else if (err.code === 'FST_ERR_CTP_INVALID_JSON_BODY' || err instanceof SyntaxError) {
      message = 'The request body is not valid JSON.';
    } else if (err.code === 'FST_ERR_CTP_BODY_TOO_LARGE') {
      message = `The request body is larger than ${BODY_LIMIT} bytes.`;
    } else if (err.code === 'FST_ERR_CTP_INVALID_MEDIA_TYPE') {
      message = 'Send the request body as application/json.';
    } else if (err.code === 'FST_ERR_CTP_EMPTY_JSON_BODY') {
      message = 'The request body is empty.';
    }
    reply.code(status).type('application/json; charset=utf-8').send({
      statusCode: status,
      error: status >= 500 ? 'Internal Server Error' : (err.error ?? httpReason(status)),
      message,
    });
  });

  app.setNotFoundHandler((request, reply) => {
    reply.code(404).type('application/json; charset=utf-8').send({
      statusCode: 404,
      error: 'Not Found',
      message: `No route for ${request.method} ${request.url.split('?')[0]}`,
    });
  });

  // A document replaced through the API reaches the pages at once: the
  // control pages reload their lists, the live state follows new themes and
  // translations.
  const DOCUMENTS = {
    '/api/bookmarks': 'bookmarks',
    '/api/playlists': 'playlists',
    '/api/themes': 'themes',
    '/api/translations': 'translations',
  };
  app.addHook('onResponse', async (request, reply) => {
    if (request.method !== 'PUT' || reply.statusCode !== 200) return;
    const name = DOCUMENTS[request.routeOptions.url];
    if (name) app.live.state.dataChanged(name);
  });

  await app.register(healthRoutes);
  await app.register(dataRoutes);
  await app.register(translationRoutes);
  await app.register(bibleRoutes);
  await app.register(liveRoutes);
  await app.register(pageRoutes);
  return app;
}

function httpReason(status) {
  return (
    {
      400: 'Bad Request',
      403: 'Forbidden',
      404: 'Not Found',
      405: 'Method Not Allowed',
      406: 'Not Acceptable',
      409: 'Conflict',
      413: 'Payload Too Large',
      415: 'Unsupported Media Type',
      422: 'Unprocessable Entity',
      503: 'Service Unavailable',
    }[status] ?? 'Error'
  );
}

// The live state's HTTP API and the one WebSocket endpoint every page holds.
//
//   GET    /api/live               the state
//   PUT    /api/live/preview       {cue}      put a cue in preview
//   DELETE /api/live/preview                  empty the preview
//   POST   /api/live/take                     preview goes live
//   POST   /api/live/show          {cue}      a cue goes live at once
//   POST   /api/live/clear                    clear to black
//   POST   /api/live/verse         {delta}    next (1) or previous (-1) verse of the live passage
//   POST   /api/live/playlist      {playlistId, delta | index}   a playlist step goes live
//   PUT    /api/live/theme         {themeId}  the live theme; null = the default theme
//   POST   /api/live/timer/reset              the stage display's counter starts again from zero
//   GET    /ws?role=output|monitor|control   (WebSocket)
//
// Every change answers the new state and pushes it to every page. A page
// that connects receives {type:"hello"} and the current state at once. Only
// role=output pages (OBS, the display window) count as display clients.
// The hello and heartbeat messages carry the server's clock (`now`, ms since
// the epoch), so a tablet whose own clock is off still counts the stage
// display's elapsed time from the server's start.
import websocket from '@fastify/websocket';

const ROLES = new Set(['output', 'monitor', 'control']);

export default async function liveRoutes(app) {
  const state = app.live.state;
  const heartbeatMs = app.config.heartbeatMs;
  const sockets = new Set();

  await app.register(websocket, { options: { maxPayload: 64 * 1024 } });

  state.onMessage((text) => {
    // Encoded once for all pages: a change reaches fifty displays in one pass.
    const data = Buffer.from(text);
    for (const ws of sockets) if (ws.readyState === ws.OPEN) ws.send(data, { binary: false });
  });

  app.get('/ws', { websocket: true }, (socket, request) => {
    const role = ROLES.has(request.query.role) ? request.query.role : 'control';
    sockets.add(socket);
    if (role === 'output') app.live.clients.add(socket);
    socket.alive = true;
    socket.on('pong', () => {
      socket.alive = true;
    });
    // Pages only listen; anything they send is ignored.
    socket.on('message', () => {});
    socket.on('close', () => {
      sockets.delete(socket);
      app.live.clients.delete(socket);
    });
    socket.on('error', () => socket.terminate());
    socket.send(JSON.stringify({ type: 'hello', role, heartbeatMs, now: Date.now() }));
    socket.send(state.message());
  });

  // A tablet that leaves the Wi-Fi never says goodbye. Pings find such
  // sockets (browsers answer them by themselves) and the heartbeat message
  // lets a page notice a connection that went silent.
  const timer = setInterval(() => {
    const beat = JSON.stringify({ type: 'heartbeat', revision: state.revision, now: Date.now() });
    for (const ws of sockets) {
      if (!ws.alive) {
        ws.terminate();
        continue;
      }
      ws.alive = false;
      ws.ping();
      ws.send(beat);
    }
  }, heartbeatMs);
  timer.unref();
  app.addHook('onClose', async () => clearInterval(timer));

  const answer = () => state.snapshot();
  app.get('/api/live', async () => answer());
  app.put('/api/live/preview', async (req) => {
    state.setPreview(req.body);
    return answer();
  });
  app.delete('/api/live/preview', async () => {
    state.clearPreview();
    return answer();
  });
  app.post('/api/live/take', async () => {
    state.take();
    return answer();
  });
  app.post('/api/live/show', async (req) => {
    state.setLive(req.body);
    return answer();
  });
  app.post('/api/live/clear', async () => {
    state.clear();
    return answer();
  });
  app.post('/api/live/verse', async (req) => {
    state.stepVerse(req.body);
    return answer();
  });
  app.post('/api/live/playlist', async (req) => {
    state.stepPlaylist(req.body);
    return answer();
  });
  app.post('/api/live/timer/reset', async () => {
    state.resetTimer();
    return answer();
  });
  app.put('/api/live/theme', async (req) => {
    state.setTheme(req.body);
    return answer();
  });
}

// GET /api/health: what the desktop's supervisor polls every two seconds.
const text = { type: 'string' };
const schema = {
  response: {
    200: {
      type: 'object',
      properties: {
        ok: { type: 'boolean' },
        db: { type: 'boolean' },
        clients: { type: 'integer' },
        themeId: text,
        translationId: text,
        translationLabel: text,
        serverName: text,
        runtimeVersion: text,
        runtimeNotes: text,
        runtimeChannel: text,
        runtimeRoot: text,
      },
    },
  },
};

export default async function healthRoutes(app) {
  // The default theme is read from themes.json at most once a second: the
  // supervisor and every display client poll this route.
  // A PUT through the API shows at once.
  let theme = { id: undefined, at: 0, writes: -1 };
  const defaultThemeId = () => {
    const now = Date.now();
    const writes = app.store.themes.writes;
    if (now - theme.at >= 1000 || writes !== theme.writes) theme = { id: app.store.defaultThemeId(), at: now, writes };
    return theme.id;
  };

  app.get('/api/health', { schema }, async () => {
    const { primary } = app.library.refresh();
    const themeId = app.live.themeId ?? defaultThemeId();
    const info = app.runtimeInfo;
    const body = {
      ok: true,
      // true once the selected primary database opened and carries the schema
      db: primary !== undefined,
      clients: app.live.clients.size,
      themeId,
      serverName: app.config.serverName,
      runtimeRoot: app.config.root,
    };
    if (primary) {
      body.translationId = primary.meta.id;
      body.translationLabel = primary.meta.label;
    }
    if (info.version !== undefined) body.runtimeVersion = info.version;
    if (info.notes !== undefined) body.runtimeNotes = info.notes;
    if (info.channel !== undefined) body.runtimeChannel = info.channel;
    return body;
  });
}

// GET /api/health: what the desktop's supervisor polls every two seconds.
export default async function healthRoutes(app) {
  app.get('/api/health', async () => {
    const { primary } = app.library.refresh();
    const themeId = app.live.themeId ?? app.store.defaultThemeId();
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

// GET and PUT /api/translations: the installed Bible databases and which one
// is on air (primary) and which is shown beside it (secondary).
export default async function translationRoutes(app) {
  const extra = () => {
    const out = { serverName: app.config.serverName };
    if (app.runtimeInfo.version !== undefined) out.runtimeVersion = app.runtimeInfo.version;
    return out;
  };
  app.get('/api/translations', async () => app.library.payload(extra()));
  app.put('/api/translations', async (request) => {
    app.library.select(request.body);
    return app.library.payload(extra());
  });
}

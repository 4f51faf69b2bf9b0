// GET/PUT /api/bookmarks and /api/playlists, GET/PUT /api/themes (the PUT
// is for the web admin). A PUT answers the document as stored.
export default async function dataRoutes(app) {
  const { bookmarks, playlists, themes } = app.store;
  app.get('/api/bookmarks', async () => bookmarks.read());
  app.put('/api/bookmarks', async (req) => bookmarks.write(req.body));
  app.get('/api/playlists', async () => playlists.read());
  app.put('/api/playlists', async (req) => playlists.write(req.body));
  app.get('/api/themes', async () => themes.read());
  app.put('/api/themes', async (req) => themes.write(req.body));
}

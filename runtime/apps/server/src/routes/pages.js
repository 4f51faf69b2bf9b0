// The web build and the slide images. Only two folders are ever served: the
// web build (VESPERLINE_WEB_DIST) and the support directory's media/slides.
// Each page lives in the build as <page>/index.html and answers at "/<page>"
// (the desktop opens "/output?w=1920&h=1080" and the like).
import fs from 'node:fs';
import fastifyStatic from '@fastify/static';

export const PAGES = ['output', 'stage', 'presenter', 'operator', 'admin'];

export default async function pageRoutes(app) {
  const { webDist, slidesDir } = app.config;
  if (!fs.existsSync(webDist)) app.say(`Web build not found at ${webDist}; pages will answer 404`);

  await app.register(fastifyStatic, {
    root: webDist,
    prefix: '/',
    index: ['index.html'],
    dotfiles: 'deny',
    redirect: false,
    wildcard: true,
  });

  for (const page of PAGES) {
    const send = (request, reply) => reply.sendFile(`${page}/index.html`);
    app.get(`/${page}`, send);
  }

  await app.register(fastifyStatic, {
    root: slidesDir,
    prefix: '/media/slides/',
    decorateReply: false,
    dotfiles: 'deny',
    index: false,
    redirect: false,
  });
}

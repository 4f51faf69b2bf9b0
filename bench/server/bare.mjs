// The floor: a bare fastify server answering a constant JSON document, on
// the same Node.js and fastify as the staged runtime.
import { createRequire } from 'node:module';
import path from 'node:path';

const project = process.env.PROJECT;
const require = createRequire(path.join(project, 'package.json'));
const Fastify = (await import(require.resolve('fastify'))).default;
const app = Fastify({ logger: false });
const doc = { ok: true, db: true, clients: 0, themeId: 'lowerThird', serverName: 'bench' };
app.get('/', async () => doc);
await app.listen({ port: Number(process.env.PORT), host: '127.0.0.1' });
console.log('Listening on bare');
process.on('SIGTERM', () => app.close().then(() => process.exit(0)));

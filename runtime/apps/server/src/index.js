// Entry point: read the environment, build the app, listen. Started by the
// desktop program as `node apps/server/dist/index.js` in the runtime root.
import { loadConfig, ConfigError } from './config.js';
import { buildApp } from './app.js';
import { seedSupportDirectory } from './lib/seed.js';

const say = (line) => process.stdout.write(`${line}\n`);
const warn = (line) => process.stderr.write(`${line}\n`);

let config;
try {
  config = loadConfig(process.env);
} catch (err) {
  if (!(err instanceof ConfigError)) throw err;
  warn(`Configuration error: ${err.message}`);
  process.exit(1);
}

seedSupportDirectory(config, say);
const app = await buildApp(config, { log: say });

try {
  await app.listen({ port: config.port, host: config.host });
} catch (err) {
  // The desktop's diagnostics look for the error code (EADDRINUSE) on stderr.
  warn(`Error: ${err.message}`);
  process.exit(1);
}

const { primary } = app.library.refresh(true);
say(primary ? `Bible: ${primary.meta.label} (${primary.id}, ${primary.verseCount} verses)` : `No Bible database in ${config.dataDir}`);
say(`Listening on http://${config.host}:${config.port}`);

let closing = false;
function shutdown(signal) {
  if (closing) return;
  closing = true;
  say(`${signal} received, closing`);
  // Whatever is still open after 800 ms must not keep the process alive.
  setTimeout(() => process.exit(0), 800).unref();
  app.close().then(
    () => process.exit(0),
    () => process.exit(0),
  );
}
process.on('SIGTERM', () => shutdown('SIGTERM'));
process.on('SIGINT', () => shutdown('SIGINT'));

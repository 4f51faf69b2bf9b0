// Everything the server takes from its environment. The desktop program sets
// every variable; the defaults only serve a server started by hand.
import os from 'node:os';
import path from 'node:path';

export class ConfigError extends Error {}

function parsePort(text) {
  if (text === undefined || text === '') return 3847;
  if (!/^\d+$/.test(text)) throw new ConfigError(`PORT must be a number from 1 to 65535, got "${text}"`);
  const port = Number(text);
  if (port < 1 || port > 65535) throw new ConfigError(`PORT must be a number from 1 to 65535, got "${text}"`);
  return port;
}

function parseHeartbeat(text) {
  if (text === undefined || text === '') return 10000;
  if (!/^\d+$/.test(text) || Number(text) < 50 || Number(text) > 600000) {
    throw new ConfigError(`VESPERLINE_HEARTBEAT_MS must be a number of milliseconds from 50 to 600000, got "${text}"`);
  }
  return Number(text);
}

function nonEmpty(value) {
  return typeof value === 'string' && value.trim() !== '' ? value : undefined;
}

export function loadConfig(env = process.env, cwd = process.cwd()) {
  const root = path.resolve(nonEmpty(env.VESPERLINE_ROOT) ?? cwd);
  const dataHome = nonEmpty(env.XDG_DATA_HOME) ?? path.join(os.homedir(), '.local', 'share');
  const configDir = path.resolve(nonEmpty(env.VESPERLINE_CONFIG_DIR) ?? path.join(dataHome, 'Vesperline'));
  const dbPath = path.resolve(nonEmpty(env.VESPERLINE_DB_PATH) ?? path.join(configDir, 'data', 'bible.sqlite'));
  return {
    port: parsePort(env.PORT),
    host: nonEmpty(env.HOST) ?? '0.0.0.0',
    root,
    configDir,
    dbPath,
    dataDir: path.dirname(dbPath),
    bookmarksPath: path.resolve(nonEmpty(env.VESPERLINE_BOOKMARKS_PATH) ?? path.join(configDir, 'bookmarks.json')),
    themesPath: path.resolve(nonEmpty(env.VESPERLINE_THEMES_PATH) ?? path.join(configDir, 'themes.json')),
    playlistsPath: path.join(configDir, 'playlists.json'),
    selectionPath: path.join(configDir, 'translations-selection.json'),
    translationPath: path.join(configDir, 'translation.json'),
    slidesDir: path.join(configDir, 'media', 'slides'),
    webDist: path.resolve(nonEmpty(env.VESPERLINE_WEB_DIST) ?? path.join(root, 'apps', 'web', 'dist')),
    translationId: nonEmpty(env.VESPERLINE_TRANSLATION_ID) ?? 'WEB',
    serverName: nonEmpty(env.VESPERLINE_SERVER_NAME) ?? os.hostname(),
    // How often pages hear from the server; tests shorten it.
    heartbeatMs: parseHeartbeat(env.VESPERLINE_HEARTBEAT_MS),
  };
}

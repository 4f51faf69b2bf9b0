// What the runtime benchmarks share: the staged runtime they measure, free
// loopback ports, and node processes started from the stage that end when the
// benchmark does.
import fs from 'node:fs';
import os from 'node:os';
import net from 'node:net';
import path from 'node:path';
import { spawn } from 'node:child_process';
import { fileURLToPath } from 'node:url';

export const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');

/**
 * The stage named on the command line (default build/stage): its runtime root
 * and its Node.js. Exits 2 when the stage has not been built.
 */
export function stagedRuntime(dir = process.argv[2]) {
  const stage = path.resolve(dir ?? path.join(repo, 'build/stage'));
  const project = path.join(stage, 'share/vesperline/project');
  const node = path.join(stage, 'share/vesperline/node/bin/node');
  if (!fs.existsSync(path.join(project, 'apps/server/dist/index.js')) || !fs.existsSync(node)) {
    console.error(`No staged runtime under ${stage}; run \`make stage\` first.`);
    process.exit(2);
  }
  return { stage, project, node };
}

export const freePort = () =>
  new Promise((resolve) => {
    const s = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = s.address();
      s.close(() => resolve(port));
    });
  });

const children = [];
const stopAll = () => children.forEach((c) => c.kill('SIGTERM'));
process.on('exit', stopAll);

/** Runs `node args` in the runtime root; resolves once it prints "Listening on". */
export function startNode({ node, project }, args, env) {
  return new Promise((resolve, reject) => {
    const child = spawn(node, args, { cwd: project, env, stdio: ['ignore', 'pipe', 'pipe'] });
    children.push(child);
    let out = '';
    child.stdout.on('data', (d) => {
      out += d;
      if (out.includes('Listening on')) resolve(child);
    });
    child.stderr.on('data', (d) => (out += d));
    child.on('exit', (code) => reject(new Error(`server exited with ${code}:\n${out}`)));
  });
}

/** The staged server, started with the environment the desktop program gives it. */
export function startServer(runtime, { home, support, port }) {
  const { project } = runtime;
  return startNode(runtime, ['apps/server/dist/index.js'], {
    PATH: process.env.PATH,
    HOME: home,
    PORT: String(port),
    HOST: '127.0.0.1',
    VESPERLINE_ROOT: project,
    VESPERLINE_CONFIG_DIR: support,
    VESPERLINE_DB_PATH: path.join(support, 'data/bible.sqlite'),
    VESPERLINE_BOOKMARKS_PATH: path.join(support, 'bookmarks.json'),
    VESPERLINE_THEMES_PATH: path.join(support, 'themes.json'),
    VESPERLINE_WEB_DIST: path.join(project, 'apps/web/dist'),
    VESPERLINE_LOG_PATH: path.join(support, 'server.log'),
    VESPERLINE_TRANSLATION_ID: 'WEB',
    VESPERLINE_SERVER_NAME: 'bench',
    NODE_PATH: path.join(project, 'node_modules'),
    NODE_OPTIONS: '--experimental-default-type=module',
  });
}

/**
 * Runs `body(tmp)` with a fresh temporary folder, then stops every process
 * started here and removes the folder, whether the body succeeded or not.
 */
export async function inTempDir(prefix, body) {
  const tmp = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
  try {
    return await body(tmp);
  } finally {
    stopAll();
    fs.rmSync(tmp, { recursive: true, force: true });
  }
}

#!/usr/bin/env node
// Throughput of the staged server against a bare fastify server, measured
// with wrk in the same run on the same machine:
//   GET /api/health                         goal: at least 0.8 of bare fastify
//   GET /api/bible/passage?ref=John 3:16-18 goal: at least 0.5 of bare fastify
// Usage: node bench/server/run.mjs [stage dir]   (default build/stage; run `make stage` first)
// Env: BENCH_SECONDS (default 5), BENCH_CONNECTIONS (default 16).
import fs from 'node:fs';
import os from 'node:os';
import net from 'node:net';
import path from 'node:path';
import { spawn, spawnSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const stage = path.resolve(process.argv[2] ?? path.join(repo, 'build/stage'));
const project = path.join(stage, 'share/vesperline/project');
const node = path.join(stage, 'share/vesperline/node/bin/node');
const seconds = Number(process.env.BENCH_SECONDS ?? 5);
const connections = Number(process.env.BENCH_CONNECTIONS ?? 16);

if (!fs.existsSync(path.join(project, 'apps/server/dist/index.js')) || !fs.existsSync(node)) {
  console.error(`No staged runtime under ${stage}; run \`make stage\` first.`);
  process.exit(2);
}
if (spawnSync('wrk', ['--version']).error) {
  console.error('wrk is not installed; run scripts/install-deps.');
  process.exit(2);
}

const freePort = () =>
  new Promise((resolve) => {
    const s = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = s.address();
      s.close(() => resolve(port));
    });
  });

const children = [];
function start(args, env) {
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
process.on('exit', () => children.forEach((c) => c.kill('SIGTERM')));

function wrk(url, duration = seconds) {
  const res = spawnSync('wrk', ['-t1', `-c${connections}`, `-d${duration}s`, url], { encoding: 'utf8' });
  const m = /Requests\/sec:\s+([\d.]+)/.exec(res.stdout);
  const errors = /Non-2xx or 3xx responses: (\d+)/.exec(res.stdout);
  if (!m) throw new Error(`wrk failed for ${url}:\n${res.stdout}${res.stderr}`);
  if (errors) throw new Error(`${url} answered ${errors[1]} errors:\n${res.stdout}`);
  return Number(m[1]);
}

const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'vesperline-bench-'));
try {
  const support = path.join(tmp, 'support');
  const [appPort, barePort] = [await freePort(), await freePort()];
  const env = {
    PATH: process.env.PATH,
    HOME: tmp,
    PORT: String(appPort),
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
  };
  await start(['apps/server/dist/index.js'], env);
  await start([path.join(repo, 'bench/server/bare.mjs')], { PATH: process.env.PATH, PORT: String(barePort), PROJECT: project });

  const bare = `http://127.0.0.1:${barePort}/`;
  const health = `http://127.0.0.1:${appPort}/api/health`;
  const passage = `http://127.0.0.1:${appPort}/api/bible/passage?ref=John%203:16-18`;
  for (const url of [bare, health, passage]) wrk(url, 1); // warm up the JIT and the caches

  // The floor is measured before and after the server under test, so drift
  // on a busy machine shows up in both.
  const bare1 = wrk(bare);
  const h = wrk(health);
  const p = wrk(passage);
  const bare2 = wrk(bare);
  const floor = (bare1 + bare2) / 2;

  const line = (name, rps, goal) => {
    const ratio = rps / floor;
    console.log(`${name.padEnd(34)} ${rps.toFixed(0).padStart(8)} req/s  ratio ${ratio.toFixed(2)}  goal ≥ ${goal}  ${ratio >= goal ? 'ok' : 'BELOW GOAL'}`);
    return ratio >= goal;
  };
  console.log(`bare fastify (floor)               ${floor.toFixed(0).padStart(8)} req/s  (${bare1.toFixed(0)} / ${bare2.toFixed(0)})`);
  const ok = [line('GET /api/health', h, 0.8), line('GET /api/bible/passage John 3:16-18', p, 0.5)].every(Boolean);
  process.exitCode = ok ? 0 : 1;
} finally {
  children.forEach((c) => c.kill('SIGTERM'));
  fs.rmSync(tmp, { recursive: true, force: true });
}

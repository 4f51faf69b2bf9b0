#!/usr/bin/env node
// Throughput of the staged server against a bare fastify server, measured
// with wrk in the same run on the same machine:
//   GET /api/health                         goal: at least 0.8 of bare fastify
//   GET /api/bible/passage?ref=John 3:16-18 goal: at least 0.5 of bare fastify
// Usage: node bench/server/run.mjs [stage dir]   (default build/stage; run `make stage` first)
// Env: BENCH_SECONDS (default 5), BENCH_CONNECTIONS (default 16).
import path from 'node:path';
import { spawnSync } from 'node:child_process';
import { repo, stagedRuntime, freePort, startNode, startServer, inTempDir } from '../lib/stage.mjs';

const runtime = stagedRuntime();
const seconds = Number(process.env.BENCH_SECONDS ?? 5);
const connections = Number(process.env.BENCH_CONNECTIONS ?? 16);

if (spawnSync('wrk', ['--version']).error) {
  console.error('wrk is not installed; run scripts/install-deps.');
  process.exit(2);
}

function wrk(url, duration = seconds) {
  const res = spawnSync('wrk', ['-t1', `-c${connections}`, `-d${duration}s`, url], { encoding: 'utf8' });
  const m = /Requests\/sec:\s+([\d.]+)/.exec(res.stdout);
  const errors = /Non-2xx or 3xx responses: (\d+)/.exec(res.stdout);
  if (!m) throw new Error(`wrk failed for ${url}:\n${res.stdout}${res.stderr}`);
  if (errors) throw new Error(`${url} answered ${errors[1]} errors:\n${res.stdout}`);
  return Number(m[1]);
}

await inTempDir('vesperline-bench-', async (tmp) => {
  const support = path.join(tmp, 'support');
  const [appPort, barePort] = [await freePort(), await freePort()];
  await startServer(runtime, { home: tmp, support, port: appPort });
  await startNode(runtime, [path.join(repo, 'bench/server/bare.mjs')], { PATH: process.env.PATH, PORT: String(barePort), PROJECT: runtime.project });

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
});

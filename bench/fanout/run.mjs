#!/usr/bin/env node
// Fan-out of a live change to 50 display clients on loopback, against a bare
// `ws` broadcast of the same message measured in the same run:
//   time from sending the change request to the moment the last of the 50
//   clients has the new state, for POST /api/live/show (a bookmark, resolved
//   from the Bible database) and for the bare server (POST of the message).
// Goal: p99 under 20 ms and at most 2x the bare broadcast's p99.
// Usage: node bench/fanout/run.mjs [stage dir]   (default build/stage; run `make stage` first)
// Env: BENCH_ROUNDS (default 300), BENCH_CLIENTS (default 50).
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';
import { performance } from 'node:perf_hooks';
import { repo, stagedRuntime, freePort, startNode, startServer, inTempDir } from '../lib/stage.mjs';

const runtime = stagedRuntime();
const { project } = runtime;
const rounds = Number(process.env.BENCH_ROUNDS ?? 300);
const clients = Number(process.env.BENCH_CLIENTS ?? 50);

const WebSocket = createRequire(path.join(project, 'package.json'))('ws');

/** 50 display clients; resolves `wait(match)` when every one of them got a matching message. */
async function displays(url) {
  const sockets = await Promise.all(
    Array.from({ length: clients }, () => new Promise((resolve, reject) => {
      const ws = new WebSocket(url);
      ws.once('open', () => resolve(ws));
      ws.once('error', reject);
    })),
  );
  let pending = null;
  for (const ws of sockets) {
    ws.on('message', (data) => {
      if (!pending) return;
      if (!pending.match(data)) return;
      if (--pending.left === 0) {
        const p = pending;
        pending = null;
        p.resolve(performance.now());
      }
    });
  }
  return {
    expect(match) {
      return new Promise((resolve) => (pending = { match, left: sockets.length, resolve }));
    },
    close: () => sockets.forEach((ws) => ws.terminate()),
  };
}

async function post(url, body) {
  const res = await fetch(url, { method: 'POST', headers: { 'content-type': 'application/json' }, body });
  const text = await res.text();
  if (!res.ok) throw new Error(`${url} answered ${res.status}: ${text}`);
  return text;
}

const percentile = (sorted, p) => sorted[Math.min(sorted.length - 1, Math.ceil((p / 100) * sorted.length) - 1)];

await inTempDir('vesperline-fanout-', async (tmp) => {
  const support = path.join(tmp, 'support');
  fs.mkdirSync(path.join(support, 'data'), { recursive: true });
  fs.copyFileSync(path.join(project, 'data/bible.sqlite'), path.join(support, 'data/bible.sqlite'));
  const [appPort, barePort] = [await freePort(), await freePort()];
  await startServer(runtime, { home: tmp, support, port: appPort });
  await startNode(runtime, [path.join(repo, 'bench/fanout/bare.mjs')], { PATH: process.env.PATH, PORT: String(barePort), PROJECT: project });

  const app = `http://127.0.0.1:${appPort}`;
  const bare = `http://127.0.0.1:${barePort}`;
  const appDisplays = await displays(`ws://127.0.0.1:${appPort}/ws?role=output`);
  const bareDisplays = await displays(`ws://127.0.0.1:${barePort}/ws`);
  const health = await (await fetch(`${app}/api/health`)).json();
  if (health.clients !== clients) throw new Error(`the server counts ${health.clients} display clients, not ${clients}`);

  // Two seeded bookmarks in turn, so that every request is a real change.
  const { bookmarks } = await (await fetch(`${app}/api/bookmarks`)).json();
  const cues = bookmarks.slice(0, 2).map((b) => JSON.stringify({ kind: 'bookmark', bookmarkId: b.id }));
  let revision = JSON.parse(await post(`${app}/api/live/show`, cues[1])).revision;
  // The bare server sends the very message the runtime sends for a change.
  const message = await new Promise((resolve) => {
    const ws = new WebSocket(`ws://127.0.0.1:${appPort}/ws?role=control`);
    ws.on('message', (d) => {
      if (JSON.parse(String(d)).type === 'state') {
        ws.terminate();
        resolve(String(d));
      }
    });
  });
  const marker = Buffer.from('"type":"state"');

  async function appRound(i) {
    revision++;
    const want = Buffer.from(`"revision":${revision},`);
    const done = appDisplays.expect((d) => d.includes(marker) && d.includes(want));
    const t0 = performance.now();
    await post(`${app}/api/live/show`, cues[i % 2]);
    return (await done) - t0;
  }
  async function bareRound() {
    const done = bareDisplays.expect(() => true);
    const t0 = performance.now();
    await post(`${bare}/`, message);
    return (await done) - t0;
  }

  for (let i = 0; i < 50; i++) {
    await appRound(i);
    await bareRound();
  }
  // Interleaved, so that a busy moment on the machine hits both alike.
  const appTimes = [];
  const bareTimes = [];
  for (let i = 0; i < rounds; i++) {
    appTimes.push(await appRound(i));
    bareTimes.push(await bareRound());
  }
  appDisplays.close();
  bareDisplays.close();

  const stats = (times) => {
    const s = [...times].sort((a, b) => a - b);
    return { p50: percentile(s, 50), p99: percentile(s, 99) };
  };
  const a = stats(appTimes);
  const b = stats(bareTimes);
  const ratio50 = a.p50 / b.p50;
  const ratio99 = a.p99 / b.p99;
  console.log(`fan-out to ${clients} display clients, ${rounds} changes each (${Buffer.byteLength(message)} byte message)`);
  console.log(`bare ws broadcast (floor)      p50 ${b.p50.toFixed(2).padStart(6)} ms   p99 ${b.p99.toFixed(2).padStart(6)} ms`);
  console.log(`POST /api/live/show (bookmark) p50 ${a.p50.toFixed(2).padStart(6)} ms   p99 ${a.p99.toFixed(2).padStart(6)} ms`);
  console.log(`ratio to the floor             p50 ${ratio50.toFixed(2).padStart(6)}      p99 ${ratio99.toFixed(2).padStart(6)}`);
  const ok99 = a.p99 < 20;
  const okRatio = ratio99 <= 2;
  console.log(`goal: p99 under 20 ms ${ok99 ? 'ok' : 'MISSED'}; p99 at most 2x the floor ${okRatio ? 'ok' : 'MISSED'}`);
  process.exitCode = ok99 && okRatio ? 0 : 1;
});

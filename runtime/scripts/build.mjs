#!/usr/bin/env node
// `npm run build`: makes this folder a runtime root.
//   apps/server/src -> apps/server/dist (index.js is the entry the desktop runs)
//   apps/web/src    -> apps/web/dist (with the pages' fonts, build-web.mjs)
//   package.json    -> runtime-version.json
// The sources are plain ES modules, so the build copies them and has node
// check that every module parses; a broken file fails the build, not the
// server's start on a Sunday morning.
import fs from 'node:fs';
import path from 'node:path';
import { spawnSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import { buildWeb } from './build-web.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');

function replaceDir(from, to) {
  const tmp = `${to}.tmp-${process.pid}`;
  fs.rmSync(tmp, { recursive: true, force: true });
  fs.cpSync(from, tmp, { recursive: true });
  fs.rmSync(to, { recursive: true, force: true });
  fs.renameSync(tmp, to);
}

function jsFiles(dir) {
  return fs
    .readdirSync(dir, { recursive: true, withFileTypes: true })
    .filter((e) => e.isFile() && /\.(m?js)$/.test(e.name))
    .map((e) => path.join(e.parentPath ?? e.path, e.name));
}

function writeAtomic(file, text) {
  const tmp = `${file}.tmp-${process.pid}`;
  fs.writeFileSync(tmp, text);
  fs.renameSync(tmp, file);
}

const serverSrc = path.join(root, 'apps/server/src');
const failures = [];
const webSrc = path.join(root, 'apps/web/src');
for (const file of [...jsFiles(serverSrc), ...jsFiles(webSrc), ...jsFiles(path.join(root, 'scripts'))]) {
  const res = spawnSync(process.execPath, ['--check', file], { encoding: 'utf8' });
  if (res.status !== 0) failures.push(`${path.relative(root, file)}:\n${res.stderr.trim()}`);
}
if (failures.length) {
  console.error(`build: modules that do not parse:\n${failures.join('\n')}`);
  process.exit(1);
}

replaceDir(serverSrc, path.join(root, 'apps/server/dist'));
buildWeb(path.join(root, 'apps/web/dist'));

const pkg = JSON.parse(fs.readFileSync(path.join(root, 'package.json'), 'utf8'));
const release = pkg.vesperline ?? {};
const version = { version: pkg.version };
if (typeof release.channel === 'string') version.channel = release.channel;
if (typeof release.notes === 'string') version.notes = release.notes;
writeAtomic(path.join(root, 'runtime-version.json'), `${JSON.stringify(version, null, 2)}\n`);
console.log(`build: runtime ${pkg.version} ready in ${root}`);

#!/usr/bin/env node
// The web build: apps/web/src as it is (plain ES modules and CSS, no
// bundler), plus the two typefaces the pages are set in, copied out of their
// npm packages so that the output looks the same in OBS, in the display
// window and on a tablet, whatever fonts the machine has.
//   node scripts/build-web.mjs [dest]    (default apps/web/dist)
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');

export const FONTS = [
  // [folder under fonts/, npm package]
  ['inter', '@fontsource-variable/inter'],
  ['source-serif-4', '@fontsource-variable/source-serif-4'],
];

function copyFont(pkgDir, to) {
  const css = fs.readFileSync(path.join(pkgDir, 'index.css'), 'utf8');
  const files = [...css.matchAll(/url\(\.\/(files\/[^)]+)\)/g)].map((m) => m[1]);
  if (files.length === 0) throw new Error(`${pkgDir}/index.css names no font files`);
  fs.mkdirSync(path.join(to, 'files'), { recursive: true });
  for (const f of new Set(files)) fs.copyFileSync(path.join(pkgDir, f), path.join(to, f));
  fs.writeFileSync(path.join(to, 'index.css'), css);
  fs.copyFileSync(path.join(pkgDir, 'LICENSE'), path.join(to, 'LICENSE'));
}

/** Builds the pages into `dest`, replacing it as a whole once complete. */
export function buildWeb(dest = path.join(root, 'apps/web/dist')) {
  const tmp = `${dest}.tmp-${process.pid}`;
  fs.rmSync(tmp, { recursive: true, force: true });
  try {
    fs.cpSync(path.join(root, 'apps/web/src'), tmp, { recursive: true });
    for (const [folder, pkg] of FONTS) {
      const pkgDir = path.join(root, 'node_modules', pkg);
      if (!fs.existsSync(path.join(pkgDir, 'index.css'))) {
        throw new Error(`${pkg} is not installed; run npm ci in runtime/ (scripts/install-deps)`);
      }
      copyFont(pkgDir, path.join(tmp, 'fonts', folder));
    }
  } catch (err) {
    fs.rmSync(tmp, { recursive: true, force: true });
    throw err;
  }
  fs.rmSync(dest, { recursive: true, force: true });
  fs.renameSync(tmp, dest);
  return dest;
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const dest = buildWeb(process.argv[2] ? path.resolve(process.argv[2]) : undefined);
  console.log(`build-web: pages ready in ${dest}`);
}

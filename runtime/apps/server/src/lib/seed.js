// A server started on an empty support directory (by hand, or before the
// desktop program ever ran) seeds it from the runtime exactly as the desktop
// does at first launch: folders, the WEB database with its translation
// record, bookmarks and themes. Existing files are never replaced.
import fs from 'node:fs';
import path from 'node:path';
import crypto from 'node:crypto';
import { readJsonFile, writeJsonAtomic } from './json-file.js';
import { WEB_DEFAULTS } from './library.js';

function copyIfMissing(from, to, log) {
  if (fs.existsSync(to) || !fs.existsSync(from)) return false;
  const tmp = path.join(path.dirname(to), `.${path.basename(to)}.${crypto.randomBytes(4).toString('hex')}.tmp`);
  try {
    fs.copyFileSync(from, tmp);
    // link() fails if the target appeared meanwhile, so nothing is overwritten
    fs.linkSync(tmp, to);
    log(`Seeded ${to} from the runtime`);
    return true;
  } catch (err) {
    if (err.code !== 'EEXIST') log(`Could not seed ${to}: ${err.message}`);
    return false;
  } finally {
    fs.rmSync(tmp, { force: true });
  }
}

// A built runtime root carries the seeds at its top; a source checkout keeps
// them in seed/.
function seedFile(root, name) {
  const top = path.join(root, name);
  return fs.existsSync(top) ? top : path.join(root, 'seed', name);
}

export function seedSupportDirectory(config, log) {
  for (const dir of [config.configDir, config.dataDir, config.slidesDir]) {
    try {
      fs.mkdirSync(dir, { recursive: true });
    } catch (err) {
      log(`Could not create ${dir}: ${err.message}`);
      return;
    }
  }
  const copiedDb = copyIfMissing(path.join(config.root, 'data', 'bible.sqlite'), config.dbPath, log);
  let hasRecord = false;
  try {
    hasRecord = readJsonFile(config.translationPath) !== undefined;
  } catch {
    hasRecord = true; // present but unreadable: leave it to its owner
  }
  if ((copiedDb || fs.existsSync(config.dbPath)) && !hasRecord) {
    try {
      writeJsonAtomic(config.translationPath, WEB_DEFAULTS);
    } catch (err) {
      log(`Could not write ${config.translationPath}: ${err.message}`);
    }
  }
  copyIfMissing(seedFile(config.root, 'bookmarks.json'), config.bookmarksPath, log);
  copyIfMissing(seedFile(config.root, 'themes.json'), config.themesPath, log);
}

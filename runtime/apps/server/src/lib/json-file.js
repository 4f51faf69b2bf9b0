// The one way this server writes JSON: keys sorted at every level (by their
// UTF-8 bytes, as the desktop's writer orders them), two-space indentation,
// one final line feed, written atomically. Both writers of a file then
// produce the same bytes for the same document.
import fs from 'node:fs';
import path from 'node:path';
import crypto from 'node:crypto';

function byUtf8(a, b) {
  return Buffer.compare(Buffer.from(a, 'utf8'), Buffer.from(b, 'utf8'));
}

function sortKeys(value) {
  if (Array.isArray(value)) return value.map(sortKeys);
  if (value && typeof value === 'object') {
    const out = {};
    for (const k of Object.keys(value).sort(byUtf8)) if (value[k] !== undefined) out[k] = sortKeys(value[k]);
    return out;
  }
  return value;
}

export function canonicalJson(value) {
  return `${JSON.stringify(sortKeys(value), null, 2)}\n`;
}

/**
 * Replaces `file` with `data` so that a reader sees either the old or the new
 * content, never a mixture; on failure the old file is left as it was.
 */
export function writeFileAtomic(file, data) {
  const dir = path.dirname(file);
  fs.mkdirSync(dir, { recursive: true });
  const tmp = path.join(dir, `.${path.basename(file)}.${process.pid}.${crypto.randomBytes(4).toString('hex')}.tmp`);
  let fd;
  try {
    fd = fs.openSync(tmp, 'wx', 0o644);
    fs.writeFileSync(fd, data);
    fs.fsyncSync(fd);
    fs.closeSync(fd);
    fd = undefined;
    fs.renameSync(tmp, file);
  } catch (err) {
    if (fd !== undefined) fs.closeSync(fd);
    fs.rmSync(tmp, { force: true });
    throw err;
  }
  try {
    const dfd = fs.openSync(dir, 'r');
    try {
      fs.fsyncSync(dfd);
    } finally {
      fs.closeSync(dfd);
    }
  } catch {
    // the rename is done; a directory that cannot be synced is not a failure
  }
}

export function writeJsonAtomic(file, value) {
  writeFileAtomic(file, canonicalJson(value));
}

/** Parsed JSON of `file`, or `undefined` when it does not exist. */
export function readJsonFile(file) {
  let text;
  try {
    text = fs.readFileSync(file, 'utf8');
  } catch (err) {
    if (err.code === 'ENOENT') return undefined;
    throw err;
  }
  return JSON.parse(text);
}

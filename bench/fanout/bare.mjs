// The floor: a bare `ws` server on plain node:http, with the same ws and
// Node.js as the staged runtime. POST / broadcasts its body as one text
// message to every connected client and answers once it has been handed to
// all of them, as the live state's routes do.
import http from 'node:http';
import path from 'node:path';
import { createRequire } from 'node:module';

const require = createRequire(path.join(process.env.PROJECT, 'package.json'));
const { WebSocketServer } = require('ws');

const server = http.createServer((req, res) => {
  const chunks = [];
  req.on('data', (c) => chunks.push(c));
  req.on('end', () => {
    const data = Buffer.concat(chunks);
    for (const ws of wss.clients) if (ws.readyState === ws.OPEN) ws.send(data, { binary: false });
    res.writeHead(200, { 'content-type': 'application/json' }).end('{"ok":true}');
  });
});
const wss = new WebSocketServer({ server, path: '/ws' });
server.listen(Number(process.env.PORT), '127.0.0.1', () => console.log('Listening on bare'));
process.on('SIGTERM', () => process.exit(0));

// Serves the files of one folder with Node's http module. The body is
// written in several pieces without a Content-Length, so Node sends it
// chunked ("Transfer-Encoding: chunked").
//   node chunked_server.js HOST PORT DOCROOT
'use strict';
const http = require('http');
const fs = require('fs');
const path = require('path');

const [host, port, docroot] = process.argv.slice(2);
const root = path.resolve(docroot);
const PIECE = 7000;  // not a multiple of anything the client reads in

http.createServer((req, res) => {
  const name = decodeURIComponent(req.url.split('?')[0]);
  const file = path.resolve(root, '.' + name);
  if (!file.startsWith(root + path.sep)) { res.writeHead(403); res.end(); return; }
  fs.readFile(file, (err, data) => {
    if (err) { res.writeHead(404, {'Content-Type': 'text/plain'}); res.end('not found\n'); return; }
    res.writeHead(200, {'Content-Type': 'application/octet-stream'});
    for (let at = 0; at < data.length; at += PIECE) res.write(data.subarray(at, at + PIECE));
    res.end();
  });
}).listen(Number(port), host);

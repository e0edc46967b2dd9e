// Serves the files of one folder with Node's http module. The body is
// written in several pieces without a Content-Length, so Node sends it
// chunked ("Transfer-Encoding: chunked").
//   node chunked_server.js HOST PORT DOCROOT [CHAIN KEY [renegotiate]]
// With a certificate chain and its key it serves https. With "renegotiate"
// it speaks TLS 1.2 at most, asks the client to renegotiate after the
// first piece of each body, and sends the rest only once that is done.
// "/go?to=URL" is a redirect (302) to URL.
'use strict';
const http = require('http');
const https = require('https');
const fs = require('fs');
const path = require('path');

const [host, port, docroot, chain, key, mode] = process.argv.slice(2);
const root = path.resolve(docroot);
const PIECE = 7000;  // not a multiple of anything the client reads in

function serve(req, res) {
  if (req.url.startsWith('/go?to=')) {
    res.writeHead(302, {'Location': decodeURIComponent(req.url.slice('/go?to='.length))});
    res.end('moved\n');
    return;
  }
  const name = decodeURIComponent(req.url.split('?')[0]);
  const file = path.resolve(root, '.' + name);
  if (!file.startsWith(root + path.sep)) { res.writeHead(403); res.end(); return; }
  fs.readFile(file, (err, data) => {
    if (err) { res.writeHead(404, {'Content-Type': 'text/plain'}); res.end('not found\n'); return; }
    res.writeHead(200, {'Content-Type': 'application/octet-stream'});
    const rest = () => {
      for (let at = PIECE; at < data.length; at += PIECE) res.write(data.subarray(at, at + PIECE));
      res.end();
    };
    if (mode === 'renegotiate') {
      // Once the head and the first piece are out, so that the request
      // comes in the body.
      res.write(data.subarray(0, PIECE), () => {
        req.socket.renegotiate({}, (failed) => { if (failed) res.destroy(); else rest(); });
      });
    } else {
      res.write(data.subarray(0, PIECE));
      rest();
    }
  });
}

const tls = chain && {cert: fs.readFileSync(chain), key: fs.readFileSync(key)};
// Renegotiation exists up to TLS 1.2 only.
if (tls && mode === 'renegotiate') tls.maxVersion = 'TLSv1.2';
const server = tls ? https.createServer(tls, serve) : http.createServer(serve);
server.listen(Number(port), host);

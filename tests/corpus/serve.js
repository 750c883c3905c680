#!/usr/bin/env node
// Loopback server for the real-page corpus: serves the fetched packages and
// answers the CDN addresses their pages load from the pinned local copies, so
// the pages work without a network. No dependencies.
//
//   node tests/corpus/serve.js [--port N] [--verbose] [--stay]
//
// Prints "corpus: serving on http://127.0.0.1:PORT/" once listening (port 0,
// the default, takes a free one). Exits when its standard input closes or its
// parent dies, so a test that started it never leaves it behind; --stay keeps
// it up with standard input closed (still not past its parent).
'use strict';
const http = require('http');
const fs = require('fs');
const path = require('path');

const HERE = __dirname;
const ROOT = path.join(HERE, 'fetched');

// CDN address prefixes and the local address that answers them. Every
// package named here is pinned in packages.txt.
const CDN = [
  ['https://cdn.jsdelivr.net/npm/bootstrap@5.2.3/', '/bootstrap@5.2.3/'],
  ['https://cdn.jsdelivr.net/npm/simple-datatables@7.1.2/', '/simple-datatables@7.1.2/'],
  ['https://use.fontawesome.com/releases/v6.3.0/', '/@fortawesome/fontawesome-free@6.3.0/'],
  ['https://cdnjs.cloudflare.com/ajax/libs/Chart.js/2.8.0/', '/chart.js@2.8.0/dist/'],
];

// Files the packages' pages load but the packages do not ship, answered by our
// own small stand-ins in shims/.
const SHIMS = {
  // UIkit's test pages load a test.js built from its sources; ours only adds
  // the built stylesheet and scripts the package ships in dist/.
  '/uikit@3.25.29/tests/js/test.js': 'uikit-test.js',
  // Foundation's test pages load a vendor.js its build concatenates.
  '/foundation-sites@6.9.0/test/visual/assets/js/vendor.js': 'foundation-vendor.js',
};

// Where a page's build would have put a file the package ships elsewhere:
// address prefixes and the shipped place that answers them.
const ALIASES = [
  ['/foundation-sites@6.9.0/test/visual/assets/css/', '/foundation-sites@6.9.0/dist/css/'],
  ['/foundation-sites@6.9.0/test/visual/assets/js/foundation.js', '/foundation-sites@6.9.0/dist/js/foundation.js'],
  ['/foundation-sites@6.9.0/test/visual/motion-ui/', '/motion-ui@2.0.8/'],
];

const TYPES = {
  '.html': 'text/html; charset=utf-8', '.htm': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8', '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8', '.json': 'application/json', '.map': 'application/json',
  '.svg': 'image/svg+xml', '.png': 'image/png', '.jpg': 'image/jpeg', '.jpeg': 'image/jpeg',
  '.gif': 'image/gif', '.webp': 'image/webp', '.ico': 'image/x-icon',
  '.woff': 'font/woff', '.woff2': 'font/woff2', '.ttf': 'font/ttf', '.eot': 'application/vnd.ms-fontobject',
  '.txt': 'text/plain; charset=utf-8',
};

// Rewrites CDN addresses to local ones; any other external address a page
// loads as a resource (script, stylesheet, image) goes to /offline/, which
// answers at once instead of leaving the browser to fail a network lookup.
function rewriteHtml(html) {
  for (const [from, to] of CDN) html = html.split(from).join(to);
  return html.replace(
    /(<(?:script|link|img|iframe|source|video|audio)\b[^>]*?\s(?:src|href)\s*=\s*["'])(https?:)?\/\/([^"']+)/gi,
    (m, head, scheme, rest) => `${head}/offline/${rest}`);
}

// What /offline/ answers: an empty script or stylesheet where one was asked
// for (Google Fonts stylesheets have no extension), otherwise not found.
function offline(res, rest) {
  const ext = path.extname(rest.split('?')[0]).toLowerCase();
  let type = null;
  if (ext === '.js') type = TYPES['.js'];
  else if (ext === '.css' || rest.startsWith('fonts.googleapis.com/')) type = TYPES['.css'];
  if (!type) return send(res, 404, 'text/plain', 'offline: not served\n');
  send(res, 200, type, '');
}

function send(res, status, type, body) {
  res.writeHead(status, { 'Content-Type': type, 'Cache-Control': 'no-store' });
  res.end(body);
}

function serveFile(res, file, method) {
  fs.stat(file, (err, st) => {
    if (!err && st.isDirectory()) return serveFile(res, path.join(file, 'index.html'), method);
    // jsDelivr makes X.min.js and X.min.css from X.js and X.css when a package
    // ships no minified file; pages ask for the minified name.
    if (err && /\.min\.(js|css)$/.test(file)) return serveFile(res, file.replace(/\.min\.(js|css)$/, '.$1'), method);
    if (err || !st.isFile()) return send(res, 404, 'text/plain', 'not found\n');
    const type = TYPES[path.extname(file).toLowerCase()] || 'application/octet-stream';
    if (type.startsWith('text/html')) {
      return fs.readFile(file, 'utf8', (e, text) => {
        if (e) return send(res, 500, 'text/plain', `cannot read: ${e.message}\n`);
        send(res, 200, type, method === 'HEAD' ? '' : rewriteHtml(text));
      });
    }
    res.writeHead(200, { 'Content-Type': type, 'Content-Length': st.size, 'Cache-Control': 'no-store' });
    if (method === 'HEAD') return res.end();
    fs.createReadStream(file).pipe(res);
  });
}

function handler(verbose) {
  return (req, res) => {
    let url;
    try {
      url = new URL(req.url, 'http://127.0.0.1');
    } catch (e) {
      return send(res, 400, 'text/plain', 'bad address\n');
    }
    let p;
    try {
      p = decodeURIComponent(url.pathname);
    } catch (e) {
      return send(res, 400, 'text/plain', 'bad address\n');
    }
    if (verbose) process.stderr.write(`corpus: ${req.method} ${req.url}\n`);
    if (p.startsWith('/offline/')) return offline(res, p.slice('/offline/'.length) + url.search);
    if (SHIMS[p]) return serveFile(res, path.join(HERE, 'shims', SHIMS[p]), req.method);
    for (const [from, to] of ALIASES) if (p.startsWith(from)) { p = to + p.slice(from.length); break; }
    const file = path.normalize(path.join(ROOT, p));
    if (file !== ROOT && !file.startsWith(ROOT + path.sep)) return send(res, 403, 'text/plain', 'outside the corpus\n');
    serveFile(res, file, req.method);
  };
}

// Starts the server on 127.0.0.1; resolves to the http.Server once listening.
function start({ port = 0, verbose = false } = {}) {
  if (!fs.existsSync(ROOT)) {
    return Promise.reject(new Error(`${ROOT} is missing: run scripts/fetch-corpus first`));
  }
  const server = http.createServer(handler(verbose));
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => resolve(server));
  });
}

module.exports = { start, rewriteHtml };

if (require.main === module) {
  const args = process.argv.slice(2);
  let port = 0;
  let verbose = false;
  let stay = false;
  for (let i = 0; i < args.length; ++i) {
    if (args[i] === '--port' && i + 1 < args.length) port = Number(args[++i]);
    else if (args[i] === '--verbose') verbose = true;
    else if (args[i] === '--stay') stay = true;
    else {
      process.stderr.write(`usage: serve.js [--port N] [--verbose] [--stay]\nunknown argument: ${args[i]}\n`);
      process.exit(2);
    }
  }
  if (!Number.isInteger(port) || port < 0 || port > 65535) {
    process.stderr.write(`serve.js: bad port ${port}\n`);
    process.exit(2);
  }
  start({ port, verbose }).then((server) => {
    process.stdout.write(`corpus: serving on http://127.0.0.1:${server.address().port}/\n`);
    // Die with the parent: when it closes our standard input, or when it is
    // gone and we were handed to another process.
    if (!stay) {
      process.stdin.on('end', () => process.exit(0));
      process.stdin.on('error', () => process.exit(0));
      process.stdin.resume();
    }
    const parent = process.ppid;
    setInterval(() => { if (process.ppid !== parent) process.exit(0); }, 500).unref();
    for (const sig of ['SIGTERM', 'SIGINT', 'SIGHUP']) process.on(sig, () => process.exit(0));
  }, (err) => {
    process.stderr.write(`serve.js: ${err.message}\n`);
    process.exit(1);
  });
}

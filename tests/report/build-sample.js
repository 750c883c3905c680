// Lays out a report folder the way the runner writes one: the viewer's
// files, data.js, and the artifacts the data points at.
//   node tests/report/build-sample.js DIR   then open DIR/index.html
'use strict';
const fs = require('fs');
const path = require('path');

const repo = path.join(__dirname, '..', '..');
const VIEWER = ['index.html', 'report.css', 'report.js'];

function buildSampleReport(dir, data) {
  fs.mkdirSync(dir, { recursive: true });
  for (const f of VIEWER) fs.copyFileSync(path.join(repo, 'host', 'report', f), path.join(dir, f));
  if (data === undefined) fs.copyFileSync(path.join(__dirname, 'sample-report.js'), path.join(dir, 'data.js'));
  else if (data !== null) fs.writeFileSync(path.join(dir, 'data.js'), data);
  fs.cpSync(path.join(__dirname, 'sample'), dir, { recursive: true });
  return path.join(dir, 'index.html');
}

module.exports = { buildSampleReport };

if (require.main === module) {
  const dir = process.argv[2];
  if (!dir) {
    console.error('usage: node tests/report/build-sample.js DIR');
    process.exit(2);
  }
  console.log(buildSampleReport(path.resolve(dir)));
}

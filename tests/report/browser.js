// The one way the report tests start a browser: Debian's chromium, headless,
// quiet (no background traffic that would pollute the request log).
'use strict';
const path = require('path');

function playwright() {
  const local = path.join(__dirname, '..', '..', 'node_modules', 'playwright-core');
  try {
    return require(local);
  } catch (e) {
    throw new Error(`cannot load playwright-core from ${local} (run scripts/bootstrap): ${e.message}`);
  }
}

function launch() {
  return playwright().chromium.launch({
    executablePath: process.env.PLAINSTEP_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run'],
  });
}

module.exports = { launch };

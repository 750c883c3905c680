// Takes a picture of the sample report with the failing file open, to look
// at the viewer the way a tester first sees it.
//   node tests/report/preview.js [OUT.png]   (default /work/notes/report-preview.png)
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { pathToFileURL } = require('url');
const { launch } = require('./browser');
const { buildSampleReport } = require('./build-sample');

async function main() {
  const out = path.resolve(process.argv[2] || '/work/notes/report-preview.png');
  const hash = process.argv[3] || '#file=login/sign-in.steps';
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'plainstep-report-'));
  const browser = await launch();
  try {
    const index = buildSampleReport(dir);
    const page = await browser.newPage({ viewport: { width: 1440, height: 900 } });
    await page.goto(pathToFileURL(index).href + hash);
    await page.locator('.marks .mark').first().waitFor({ timeout: 5000 }).catch(() => {});
    await page.screenshot({ path: out, fullPage: process.env.FULL === '1' });
    console.log(out);
  } finally {
    await browser.close();
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

main().catch((e) => { console.error(e.message); process.exitCode = 1; });

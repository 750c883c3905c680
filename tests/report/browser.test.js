// The report viewer in headless Chromium, opened from disk as a tester
// opens it: a report folder with the sample run, every request recorded.
//   node tests/report/browser.test.js
'use strict';
const { describe, test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { pathToFileURL } = require('url');
const { launch } = require('./browser');
const { buildSampleReport } = require('./build-sample');

describe('report viewer in chromium', { timeout: 120000 }, () => {
  let dir;
  let folderUrl;
  const folders = []; // every report folder the page may read from
  let indexUrl;
  let browser;
  let context;
  let page;
  const requests = [];
  const problems = []; // script errors, console errors (a CSP violation is one), dialogs

  // A page in a context of its own (its own image cache), watched like the others.
  async function watchedPage() {
    const c = await browser.newContext({ viewport: { width: 1366, height: 768 } });
    c.setDefaultTimeout(5000);
    c.on('request', (r) => requests.push(r.url()));
    const p = await c.newPage();
    p.on('pageerror', (e) => problems.push('page error: ' + e.message));
    p.on('console', (m) => { if (m.type() === 'error') problems.push('console: ' + m.text()); });
    p.on('dialog', (d) => { problems.push('dialog: ' + d.message()); d.dismiss().catch(() => {}); });
    return p;
  }

  before(async () => {
    dir = fs.realpathSync(fs.mkdtempSync(path.join(os.tmpdir(), 'plainstep-report-')));
    indexUrl = pathToFileURL(buildSampleReport(dir)).href;
    folderUrl = pathToFileURL(dir).href + '/';
    folders.push(folderUrl);
    browser = await launch();
    page = await watchedPage();
    context = page.context();
    await page.goto(indexUrl);
  });

  after(async () => {
    if (browser) await browser.close();
    if (dir) fs.rmSync(dir, { recursive: true, force: true });
  });

  const open = (hash) => page.goto(indexUrl + hash);
  const listedPaths = () => page.locator('.files li.file .path').allTextContents();
  const hashState = () => page.evaluate(() => PlainstepReport.parseHash(location.hash));

  test('the summary counts every status', async () => {
    const counts = {};
    for (const b of await page.locator('.counts button').all()) {
      counts[(await b.locator('.count-w').textContent()).trim()] = Number(await b.locator('.count-n').textContent());
    }
    assert.deepEqual(counts, { all: 7, passed: 2, failed: 1, flaky: 1, skipped: 1, 'not run': 1, error: 1 });
    assert.equal((await listedPaths()).length, 7);
    const facts = await page.locator('.facts').textContent();
    for (const word of ['chromium', 'Workers2', 'Shard1/2', 'Total time31.9 s']) assert.ok(facts.includes(word), facts);
  });

  test('filtering to failures shows only the failing file, and back', async () => {
    const failed = page.getByRole('button', { name: '1 failed' });
    await failed.click();
    assert.deepEqual(await listedPaths(), ['login/sign-in.steps']);
    assert.equal(await failed.getAttribute('aria-pressed'), 'true');
    assert.equal((await hashState()).status, 'failed');
    assert.match(await page.locator('.list-state').textContent(), /Showing 1 of 7 files, failed/);
    await failed.click();
    assert.equal((await listedPaths()).length, 7);
    assert.equal((await hashState()).status, null);
  });

  test('text filter finds paths, step texts and tags', async () => {
    const q = page.getByLabel('Filter');
    await q.fill('remember');
    assert.deepEqual(await listedPaths(), ['login/remember-me.steps']);
    await q.fill('Welcome back, ada');
    assert.deepEqual(await listedPaths(), ['login/remember-me.steps', 'login/sign-in.steps']);
    await q.fill('');
    await page.locator('li.file', { hasText: 'cart/checkout.steps' }).getByRole('button', { name: '@cart' }).click();
    assert.deepEqual(await listedPaths(), ['cart/checkout.steps']);
    assert.equal(await q.inputValue(), '@cart');
    await page.getByRole('button', { name: 'Clear filters' }).click();
    assert.equal((await listedPaths()).length, 7);
  });

  test('the failing file shows its screenshot with numbered outlines and its candidates', async () => {
    await page.getByRole('button', { name: '1 failed' }).click();
    await page.getByRole('link', { name: 'login/sign-in.steps' }).click();
    await page.getByRole('heading', { level: 1, name: 'login/sign-in.steps' }).waitFor();
    const state = await hashState();
    assert.equal(state.file, 'login/sign-in.steps');
    assert.equal(state.status, 'failed', 'the filter stays in the address');

    assert.match(await page.locator('.step-row[aria-current]').textContent(), /^3failedclick Sign in/);
    assert.match(await page.locator('.detail .failure .message').textContent(), /found no 'Sign in' within 5000 ms/);

    const img = page.locator('.shot-frame img');
    await page.locator('.marks .mark').first().waitFor();
    assert.match(await img.getAttribute('src'), /^artifacts\/login\/sign-in\.steps\/2-step3\.png$/);
    const natural = await img.evaluate((i) => [i.naturalWidth, i.naturalHeight]);
    assert.deepEqual(natural, [1280, 720]);
    const shown = await img.boundingBox();
    assert.ok(shown.width < 1280, 'the screenshot is scaled down to fit, so the outlines must scale too');
    const scale = shown.width / 1280;

    const expected = [[453, 372, 99, 40], [1188, 17, 60, 22], [687, 381, 140, 22]];
    const marks = page.locator('.marks .mark');
    assert.equal(await marks.count(), 3);
    for (let i = 0; i < 3; i++) {
      const m = marks.nth(i);
      assert.equal(await m.locator('.mark-label').textContent(), String(i + 1));
      const b = await m.boundingBox();
      const [x, y, w, hgt] = expected[i];
      for (const [got, want, what] of [[b.x, shown.x + x * scale, 'x'], [b.y, shown.y + y * scale, 'y'],
        [b.width, w * scale, 'width'], [b.height, hgt * scale, 'height']]) {
        assert.ok(Math.abs(got - want) <= 2.5, `outline ${i + 1} ${what}: ${got} on screen, ${want} expected`);
      }
    }

    const candidates = await page.locator('.cand-list li').allTextContents();
    assert.equal(candidates.length, 3);
    assert.match(candidates[0], /^11\. button 'Log in' at \(453, 372\)/);
    assert.match(candidates[1], /^22\. a 'Sign up' at \(1188, 17\)/);

    const snapshot = page.getByRole('link', { name: 'artifacts/login/sign-in.steps/2-step3.json' });
    assert.equal(await snapshot.getAttribute('href'), 'artifacts/login/sign-in.steps/2-step3.json');
    assert.equal(await page.locator('.snapshot code').textContent(),
      "plainstep resolve --snapshot artifacts/login/sign-in.steps/2-step3.json --step 'click Sign in'");
    assert.equal(await page.locator('.trace code').textContent(), 'npx playwright show-trace traces/login/sign-in.steps-2.zip');
  });

  test('back to the list keeps the filter and lands on the file', async () => {
    await page.getByRole('link', { name: '← All files' }).click();
    assert.deepEqual(await listedPaths(), ['login/sign-in.steps']);
    assert.equal(await page.evaluate(() => document.activeElement.textContent), 'login/sign-in.steps');
    await page.getByRole('button', { name: '1 failed' }).click();
  });

  test('a flaky file shows both attempts', async () => {
    await open('#file=cart/checkout.steps');
    const tabs = page.getByRole('tab');
    assert.deepEqual((await tabs.allTextContents()).map((t) => t.trim()), ['attempt 1 (failed)', 'attempt 2 (passed)']);
    assert.equal(await tabs.nth(0).getAttribute('aria-selected'), 'true', 'opens on the failure');
    assert.match(await page.locator('.note.st-flaky').textContent(), /Flaky: failed once, then passed on attempt 2/);
    assert.equal(await page.locator('.step-list .badge', { hasText: 'failed' }).count(), 1);
    assert.equal(await page.locator('.mark-chosen .mark-label').textContent(), 'chosen');

    await tabs.nth(1).click();
    assert.equal(await tabs.nth(1).getAttribute('aria-selected'), 'true');
    assert.deepEqual(await page.locator('.step-list .badge').allTextContents(), ['passed', 'passed', 'passed', 'passed', 'passed']);
    assert.equal((await hashState()).attempt, 2);

    await page.keyboard.press('ArrowLeft');
    assert.equal(await tabs.nth(0).getAttribute('aria-selected'), 'true', 'arrow keys move between tabs');
    assert.equal(await page.evaluate(() => document.activeElement.getAttribute('role')), 'tab');
  });

  test('markup in step and page texts is shown as text', async () => {
    await open('#' + 'file=' + encodeURIComponent('search/queries & filters #1.steps'));
    await page.getByRole('heading', { level: 1, name: 'search/queries & filters #1.steps' }).waitFor();
    const texts = await page.locator('.step-row .step-text').allTextContents();
    assert.equal(texts[0], 'type "<script>alert(1)</script>" into the Search field');
    await page.locator('.step-row').nth(2).click();
    assert.equal(await page.locator('.detail .step-title').textContent(), 'verify text No results for <img src=x onerror=alert(2)> is visible');
    assert.ok((await page.locator('.detail .resolved').textContent()).includes("p 'No results for <img src=x onerror=alert(2)>' at (40, 96)"));
    assert.equal(await page.evaluate(() => document.scripts.length), 2, 'only data.js and report.js');
    assert.equal(await page.locator('img').count(), 0);
    assert.equal(await page.title(), 'search/queries & filters #1.steps · passed · step 3 · plainstep report');
  });

  test('screenshots of every step page like a comic strip', async () => {
    await open('#file=login/remember-me.steps');
    const src = () => page.locator('.shot-frame img').getAttribute('src');
    const current = () => page.locator('.step-row[aria-current] .num').textContent();
    assert.equal(await current(), '1');
    assert.equal(await src(), 'artifacts/login/remember-me.steps/1-step1.png');
    assert.equal(await page.getByRole('button', { name: '← Previous' }).isDisabled(), true);

    await page.keyboard.press('ArrowRight');
    assert.equal(await current(), '2');
    assert.equal(await src(), 'artifacts/login/remember-me.steps/1-step2.png');
    assert.equal((await hashState()).step, 2);

    await page.getByRole('button', { name: 'Next →' }).click();
    assert.equal(await current(), '3');
    assert.equal(await page.evaluate(() => document.activeElement.textContent), 'Next →', 'focus stays on the pager');
    await page.keyboard.press('ArrowLeft');
    assert.equal(await current(), '2');

    await page.locator('.step-row').nth(4).click();
    assert.equal(await current(), '5');
    assert.equal(await page.getByRole('button', { name: 'Next →' }).isDisabled(), true);
    await page.keyboard.press('ArrowRight');
    assert.equal(await current(), '5', 'no step after the last');
    await page.locator('.marks .mark').first().waitFor();
    assert.equal(await page.locator('.marks .mark').count(), 1);
  });

  test('a link opens one file, attempt and step', async () => {
    await open('#status=failed&file=login/sign-in.steps&attempt=1&step=3');
    assert.equal(await page.getByRole('tab', { name: 'attempt 1 (failed)' }).getAttribute('aria-selected'), 'true');
    assert.equal(await page.locator('.shot-frame img').getAttribute('src'), 'artifacts/login/sign-in.steps/1-step3.png');
    await open('#file=nowhere.steps');
    assert.equal(await page.getByRole('alert').textContent(), 'This report has no file named "nowhere.steps".');
    assert.equal((await listedPaths()).length, 7);
  });

  test('files that did not run say why', async () => {
    await open('#file=account/signup.steps');
    assert.match(await page.locator('.failure').textContent(), /^Could not run: could not open .*browser would not start/);
    await open('#file=account/delete.steps');
    assert.match(await page.locator('.file-head .note').textContent(), /^Not run: --max-failures 1 was reached/);
    await open('#file=drafts/wishlist.steps');
    assert.match(await page.locator('.file-head .note').textContent(), /^Skipped: the file holds no steps/);
  });

  test('a screenshot missing from the folder is named, not shown broken', async () => {
    fs.rmSync(path.join(dir, 'artifacts/cart/checkout.steps/1-step4.png'));
    const p = await watchedPage();
    try {
      await p.goto(indexUrl + '#file=cart/checkout.steps&attempt=1&step=4');
      await p.locator('.shot .note').waitFor();
      assert.equal(await p.locator('.shot .note').textContent(),
        'The screenshot artifacts/cart/checkout.steps/1-step4.png could not be loaded: it is missing from the report folder.');
      assert.equal(await p.locator('.shot img').count(), 0);
    } finally {
      await p.context().close();
    }
    // The browser's own report of the missing file is expected here.
    const expected = problems.filter((m) => /ERR_FILE_NOT_FOUND/.test(m));
    assert.equal(expected.length, 1, problems.join('\n'));
    problems.splice(0, problems.length, ...problems.filter((m) => !expected.includes(m)));
  });

  test('a folder without data.js says so', async () => {
    const bare = fs.realpathSync(fs.mkdtempSync(path.join(os.tmpdir(), 'plainstep-report-')));
    folders.push(pathToFileURL(bare).href + '/');
    const p = await context.newPage();
    try {
      await p.goto(pathToFileURL(buildSampleReport(bare, null)).href);
      assert.match(await p.getByRole('alert').textContent(), /data\.js is missing from the report folder/);
    } finally {
      await p.close();
      fs.rmSync(bare, { recursive: true, force: true });
    }
  });

  test('no request leaves the report folder, and nothing went wrong on the page', async () => {
    assert.deepEqual(problems, []);
    const outside = requests.filter((u) => !folders.some((f) => u.startsWith(f)));
    assert.deepEqual(outside, []);
    const loaded = new Set(requests.map((u) => u.slice(folderUrl.length).split('#')[0]));
    for (const f of ['index.html', 'report.css', 'report.js', 'data.js', 'artifacts/login/sign-in.steps/2-step3.png']) {
      assert.ok(loaded.has(f), f + ' was requested, so the log is live');
    }

    // The log also catches a request that does leave.
    const p = await context.newPage();
    try {
      await p.setContent('<img src="http://127.0.0.1:9/probe.png">');
      await p.waitForTimeout(200);
    } finally {
      await p.close();
    }
    assert.ok(requests.includes('http://127.0.0.1:9/probe.png'));
  });
});

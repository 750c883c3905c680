// What every twin shares: the browser, the corpus server, and a step runner
// that reports like plainstep (one line per step) and stops at the first step
// that does not hold, naming it. A twin declares its steps with the very text
// of its scenario's lines, and the run fails when the two lists differ, so a
// twin cannot drift from the scenario it stands beside.
//
//   node tests/corpus/scenarios/NAME.twin.js
//
// CORPUS_URL (e.g. http://127.0.0.1:PORT) names a running corpus server; without
// it the twin starts one of its own. PLAINSTEP_CHROMIUM picks the browser.
'use strict';
const fs = require('fs');
const path = require('path');

function playwright() {
  // The pinned driver the project installs with `npm ci`.
  const here = path.resolve(__dirname, '..', '..', 'node_modules', 'playwright-core');
  try {
    return require(here);
  } catch (e) {
    return require('playwright-core');
  }
}

// The scenario's `url:` line and its steps, as plainstep counts them.
function readScenario(file) {
  const out = { url: null, steps: [] };
  for (const raw of fs.readFileSync(file, 'utf8').split('\n')) {
    const line = raw.trim();
    if (!line || line.startsWith('#')) continue;
    if (line.startsWith('url:')) {
      if (!out.steps.length) out.url = line.slice(4).trim();
      continue;
    }
    out.steps.push(line);
  }
  return out;
}

// The address of the scenario's page on the server at `base`: the `url:` line
// names the page at the default port; only the origin changes.
function pageUrl(scenarioUrl, base) {
  const u = new URL(scenarioUrl);
  return base.replace(/\/$/, '') + u.pathname + u.search + u.hash;
}

const norm = (s) => String(s).replace(/\s+/g, ' ').trim();

class Failure extends Error {}

class Twin {
  constructor(page, scenario, base) {
    this.page = page;
    this.scenario = scenario;
    this.base = base;
    this.done = [];
    this.timeout = 5000;
  }

  async open() {
    if (!this.scenario.url) throw new Failure('the scenario has no url: line');
    await this.page.goto(pageUrl(this.scenario.url, this.base));
  }

  // Runs one step; `text` is the scenario's line.
  async step(text, fn) {
    const n = this.done.length + 1;
    this.done.push(text);
    this.picked = null;
    const t0 = Date.now();
    try {
      await fn();
    } catch (e) {
      const secs = ((Date.now() - t0) / 1000).toFixed(2);
      console.log(`  ${n}  ${text}  FAIL  ${secs}s`);
      const msg = String((e && e.message) || e).split('\n').slice(0, 6).join('\n       ');
      console.log(`       ${msg}`);
      throw new Failure(`step ${n} failed: ${text}`);
    }
    // Where the element the step acted on stood (viewport, before acting), in
    // plainstep's words, so a run of the scenario can be held against it.
    const at = this.picked ? `  at (${Math.round(this.picked.x)}, ${Math.round(this.picked.y)})` : '';
    console.log(`  ${n}  ${text}  PASS  ${((Date.now() - t0) / 1000).toFixed(2)}s${at}`);
  }

  // The element a person means for this step: waits until it is visible and
  // still, and notes where it stands. {moving: true} for an element that is
  // animated into place (a modal sliding in): where a run reads it then is a
  // matter of timing, so its place is not noted.
  async pick(locator, { moving = false } = {}) {
    const el = locator.first();
    await el.waitFor({ state: 'visible', timeout: this.timeout });
    if (moving) return el;
    let box = await el.boundingBox();
    const end = Date.now() + this.timeout;
    for (;;) {
      await new Promise((r) => setTimeout(r, 50));
      const again = await el.boundingBox();
      const same = box && again && Math.abs(box.x - again.x) < 0.5 && Math.abs(box.y - again.y) < 0.5;
      box = again;
      if (same || Date.now() > end) break;
    }
    this.picked = box;
    return el;
  }

  async click(locator, opts) {
    await (await this.pick(locator, opts)).click();
  }

  async fill(locator, value, opts) {
    const el = await this.pick(locator, opts);
    await el.fill(value);
    await this.value(el, value);
  }

  async select(locator, option) {
    const el = await this.pick(locator);
    const [value] = await el.selectOption(option);
    await this.value(el, value);
  }

  // Clicks a checkbox or radio and sees it checked.
  async tick(locator) {
    const el = await this.pick(locator);
    await el.click();
    await this.checked(el);
  }

  // Polls `get` until `ok` holds of its value, else fails with `what`.
  async until(what, get, ok) {
    const end = Date.now() + this.timeout;
    let last;
    for (;;) {
      try {
        last = await get();
        if (ok(last)) return last;
      } catch (e) {
        last = `(${e.message.split('\n')[0]})`;
      }
      if (Date.now() > end) throw new Failure(`${what}; last seen: ${JSON.stringify(last)}`);
      await new Promise((r) => setTimeout(r, 100));
    }
  }

  // The locator shows `expected` (white space normalised; contained, or equal
  // with {exact: true}).
  async hasText(locator, expected, { exact = false } = {}) {
    const want = norm(expected);
    await this.until(`expected ${exact ? 'exactly ' : ''}'${want}' in ${locator}`,
      async () => norm(await locator.first().innerText({ timeout: 1000 })),
      (got) => (exact ? got === want : got.includes(want)));
  }

  // Some element the locator matches is visible.
  async visible(locator) {
    await locator.filter({ visible: true }).first().waitFor({ state: 'visible', timeout: this.timeout });
  }

  // The page shows `text` somewhere (white space normalised, any case).
  async visibleText(text) {
    await this.visible(this.page.getByText(norm(text)));
  }

  async hidden(locator) {
    await locator.first().waitFor({ state: 'hidden', timeout: this.timeout });
  }

  async enabled(locator, want = true) {
    await this.until(`expected ${locator} to be ${want ? 'enabled' : 'disabled'}`,
      () => locator.first().isEnabled({ timeout: 1000 }), (v) => v === want);
  }

  async value(locator, expected) {
    await this.until(`expected value '${expected}' in ${locator}`,
      () => locator.first().inputValue({ timeout: 1000 }), (v) => v === expected);
  }

  async checked(locator, want = true) {
    await this.until(`expected ${locator} to be ${want ? 'checked' : 'unchecked'}`,
      () => locator.first().isChecked({ timeout: 1000 }), (v) => v === want);
  }

  async count(locator, n) {
    await this.until(`expected ${n} of ${locator}`, () => locator.count(), (v) => v === n);
  }

  async url(re) {
    await this.until(`expected the address to match ${re}`, async () => this.page.url(), (u) => re.test(u));
  }

  // The next dialog the page opens; `answer` is 'accept' or 'dismiss'.
  nextDialog() {
    return new Promise((resolve) => this.page.once('dialog', resolve));
  }
}

function launchOptions() {
  return {
    executablePath: process.env.PLAINSTEP_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
           '--disable-sync', '--no-first-run'],
  };
}

// Runs the twin `body` for the scenario beside `twinFile`; exits 0 when every
// step held and the steps are the scenario's, 1 otherwise.
async function run(twinFile, body) {
  const scenarioFile = twinFile.replace(/\.twin\.js$/, '.steps');
  const name = path.relative(path.join(__dirname, 'scenarios'), scenarioFile);
  let browser;
  let server;
  let status = 1;
  // A twin never hangs: past this it stops and says so.
  const watchdog = setTimeout(() => {
    console.log(`twin ${name}: still running after 120 s, stopped`);
    Promise.resolve(browser && browser.close()).finally(() => process.exit(1));
  }, 120000);
  try {
    const scenario = readScenario(scenarioFile);
    let base = process.env.CORPUS_URL;
    if (!base) {
      server = await require('./serve').start();
      base = `http://127.0.0.1:${server.address().port}`;
    }
    console.log(`== twin ${name}  (${scenario.url ? pageUrl(scenario.url, base) : 'no url'})`);
    browser = await playwright().chromium.launch(launchOptions());
    const context = await browser.newContext({ viewport: { width: 1280, height: 720 } });
    const page = await context.newPage();
    page.setDefaultTimeout(5000);
    const t = new Twin(page, scenario, base);
    await body(t, page);
    if (JSON.stringify(t.done) !== JSON.stringify(scenario.steps)) {
      const lines = [];
      const n = Math.max(t.done.length, scenario.steps.length);
      for (let i = 0; i < n; ++i) {
        if (t.done[i] !== scenario.steps[i]) {
          lines.push(`  step ${i + 1}: scenario '${scenario.steps[i] ?? '(none)'}', twin '${t.done[i] ?? '(none)'}'`);
        }
      }
      throw new Failure(`the twin's steps are not the scenario's:\n${lines.join('\n')}`);
    }
    console.log(`twin ${name}: ${t.done.length} steps passed`);
    status = 0;
  } catch (e) {
    console.log(`twin ${name}: FAILED: ${e instanceof Failure ? e.message : e.stack || e}`);
  } finally {
    clearTimeout(watchdog);
    if (browser) await browser.close().catch(() => {});
    if (server) server.close();
  }
  process.exit(status);
}

module.exports = { run, readScenario, pageUrl, launchOptions, playwright };

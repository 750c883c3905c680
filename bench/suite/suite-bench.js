#!/usr/bin/env node
// The suite benchmark: the same todo-list test, N copies, run by
// plainstep (`plainstep run DIR --workers W`) and by Playwright Test
// (`playwright test --workers=W`), side by side and interleaved, on the demo
// site's todo list. Prints each wall time and the ratio plainstep/Playwright
// Test per worker count. Run by hand (make bench), never by ctest.
//
//   node bench/suite/suite-bench.js [--files 12] [--workers 1,2] [--repeat 3]
//                                   [--plainstep build/plainstep]
//
// Playwright Test is installed for the benchmark only, into
// bench/suite/.deps (git-ignored), never as a dependency of plainstep. Both
// sides use the same Chromium: the one plainstep's driver runs.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { spawnSync } = require('child_process');

const ROOT = path.resolve(__dirname, '..', '..');
const DEPS = path.join(__dirname, '.deps');
const TEST_VERSION = '1.65.1';  // the @playwright/test nearest our playwright-core

function usage(message) {
  if (message) console.error('suite-bench: ' + message);
  console.error('usage: suite-bench.js [--files N] [--workers 1,2] [--repeat N] [--plainstep PATH]');
  process.exit(2);
}

function options(argv) {
  const o = { files: 12, workers: [1, 2], repeat: 3, plainstep: path.join(ROOT, process.env.BUILD || 'build', 'plainstep') };
  for (let i = 0; i < argv.length; i++) {
    const value = () => (i + 1 < argv.length ? argv[++i] : usage(argv[i] + ' needs a value'));
    const positive = (flag, text) => {
      const n = Number(text);
      if (!Number.isInteger(n) || n < 1) usage(`${flag} needs a whole number from 1, got '${text}'`);
      return n;
    };
    if (argv[i] === '--files') o.files = positive('--files', value());
    else if (argv[i] === '--repeat') o.repeat = positive('--repeat', value());
    else if (argv[i] === '--workers') o.workers = value().split(',').map((w) => positive('--workers', w));
    else if (argv[i] === '--plainstep') o.plainstep = path.resolve(value());
    else usage(`unknown argument '${argv[i]}'`);
  }
  return o;
}

function installPlaywrightTest() {
  const cli = path.join(DEPS, 'node_modules', '@playwright', 'test', 'cli.js');
  if (fs.existsSync(cli)) return cli;
  console.error(`suite-bench: installing @playwright/test ${TEST_VERSION} into ${DEPS} (benchmark only)`);
  fs.mkdirSync(DEPS, { recursive: true });
  fs.writeFileSync(path.join(DEPS, 'package.json'), JSON.stringify({ private: true }) + '\n');
  const r = spawnSync('npm', ['install', '--no-audit', '--no-fund', '--loglevel=error', `@playwright/test@${TEST_VERSION}`],
    { cwd: DEPS, stdio: ['ignore', 'inherit', 'inherit'] });
  if (r.status !== 0 || !fs.existsSync(cli)) {
    console.error('suite-bench: npm could not install @playwright/test');
    process.exit(1);
  }
  return cli;
}

// One test, as a tester writes it in each tool: add three todos, tick one,
// delete one through the hover button, filter, clear the completed.
const SITE = path.join(ROOT, 'examples', 'site', 'todos.html');

function plainstepFile() {
  return `url: ${SITE}
type Buy milk into What needs to be done?
press Enter
type Buy bread into What needs to be done?
press Enter
type Walk the dog into What needs to be done?
press Enter
verify text 3 items left is visible
check the checkbox near Buy milk
verify text 2 items left is visible
hover Walk the dog
click Delete
verify text Walk the dog is not present
click Active
verify text Buy milk is not visible
click All
click Clear completed
verify text 1 item left is visible
`;
}

function playwrightTest(n) {
  // The package lives in the benchmark's own folder, not beside the tests.
  return `const { test, expect } = require(${JSON.stringify(path.join(DEPS, 'node_modules', '@playwright', 'test'))});
test('todos ${n}', async ({ page }) => {
  await page.goto(${JSON.stringify('file://' + SITE)});
  const input = page.getByPlaceholder('What needs to be done?');
  for (const todo of ['Buy milk', 'Buy bread', 'Walk the dog']) {
    await input.fill(todo);
    await input.press('Enter');
  }
  await expect(page.getByText('3 items left')).toBeVisible();
  await page.getByRole('listitem').filter({ hasText: 'Buy milk' }).getByRole('checkbox').check();
  await expect(page.getByText('2 items left')).toBeVisible();
  await page.getByText('Walk the dog').hover();
  await page.getByRole('button', { name: 'Delete' }).click();
  await expect(page.getByText('Walk the dog')).toHaveCount(0);
  await page.getByRole('link', { name: 'Active' }).click();
  await expect(page.getByText('Buy milk')).toBeHidden();
  await page.getByRole('link', { name: 'All' }).click();
  await page.getByRole('button', { name: 'Clear completed' }).click();
  await expect(page.getByText('1 item left')).toBeVisible();
});
`;
}

// The Chromium plainstep's driver runs: PLAINSTEP_CHROMIUM, else
// Playwright's own build when installed, else Debian's.
function chromiumPath() {
  if (process.env.PLAINSTEP_CHROMIUM) return process.env.PLAINSTEP_CHROMIUM;
  const own = require(path.join(ROOT, 'node_modules', 'playwright-core')).chromium.executablePath();
  if (fs.existsSync(own)) return own;
  return '/usr/bin/chromium';
}

function generate(dir, files) {
  const steps = path.join(dir, 'steps');
  const twins = path.join(dir, 'twins');
  fs.mkdirSync(steps, { recursive: true });
  fs.mkdirSync(twins, { recursive: true });
  for (let i = 1; i <= files; i++) {
    const name = `todos-${String(i).padStart(3, '0')}`;
    fs.writeFileSync(path.join(steps, name + '.steps'), plainstepFile());
    fs.writeFileSync(path.join(twins, name + '.test.js'), playwrightTest(i));
  }
  const chromium = chromiumPath();
  fs.writeFileSync(path.join(dir, 'playwright.config.js'), `module.exports = {
  testDir: './twins',
  reporter: 'dot',
  retries: 0,
  fullyParallel: true,
  use: { headless: true, viewport: { width: 1280, height: 720 },
         launchOptions: { executablePath: ${JSON.stringify(chromium)} } },
};
`);
  return { steps, twins };
}

function timed(command, args, cwd, env) {
  const start = process.hrtime.bigint();
  const r = spawnSync(command, args, { cwd, env: { ...process.env, ...env }, encoding: 'utf8' });
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  if (r.status !== 0) {
    console.error(`suite-bench: ${path.basename(command)} ${args.join(' ')} exited ${r.status}`);
    console.error((r.stdout || '').slice(-2000) + (r.stderr || '').slice(-2000));
    process.exit(1);
  }
  return seconds;
}

function median(values) {
  const s = [...values].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
}

function main() {
  const o = options(process.argv.slice(2));
  if (!fs.existsSync(o.plainstep)) usage(`no plainstep at ${o.plainstep}; build it with make build`);
  const help = spawnSync(o.plainstep, ['run', '--help'], { encoding: 'utf8' }).stdout || '';
  const hasWorkers = help.includes('--workers');
  const cli = installPlaywrightTest();
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'plainstep-suite-bench-'));
  try {
    const { steps } = generate(dir, o.files);
    const stepFiles = fs.readdirSync(steps).sort().map((f) => path.join(steps, f));
    console.error(`suite-bench: ${o.files} files, workers ${o.workers.join(',')}, ${o.repeat} runs each, in ${dir}`);
    console.error(`suite-bench: ${os.cpus().length} cores, load average ${os.loadavg().map((l) => l.toFixed(2)).join(' ')}`);
    const rows = [];
    for (const w of o.workers) {
      if (w > 1 && !hasWorkers) {
        console.error(`suite-bench: this plainstep has no --workers; skipping ${w} workers`);
        continue;
      }
      const ours = [], theirs = [];
      // Interleaved, so a change in the machine's load falls on both.
      for (let r = 0; r < o.repeat; r++) {
        ours.push(timed(o.plainstep, ['run', ...stepFiles, ...(hasWorkers ? ['--workers', String(w)] : [])], dir,
          { PLAINSTEP_HEADLESS: 'true' }));
        theirs.push(timed(process.execPath, [cli, 'test', `--workers=${w}`], dir, { CI: '1' }));
        console.error(`suite-bench: workers ${w}, run ${r + 1}: plainstep ${ours.at(-1).toFixed(2)} s, ` +
          `Playwright Test ${theirs.at(-1).toFixed(2)} s`);
      }
      rows.push({ w, ours: median(ours), theirs: median(theirs) });
    }
    console.log(`\n${'workers'.padStart(7)} ${'plainstep s'.padStart(12)} ${'Playwright Test s'.padStart(18)} ${'ratio'.padStart(6)}`);
    for (const r of rows)
      console.log(`${String(r.w).padStart(7)} ${r.ours.toFixed(2).padStart(12)} ${r.theirs.toFixed(2).padStart(18)} ` +
        `${(r.ours / r.theirs).toFixed(2).padStart(6)}`);
    console.log(`\nmedians of ${o.repeat} interleaved runs of ${o.files} files; ratio = plainstep / Playwright Test ` +
      `(below 1: plainstep is faster); load average after ${os.loadavg().map((l) => l.toFixed(2)).join(' ')}`);
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

main();

// Where the gathering script's time goes inside the page: wall and
// main-thread CPU time of each run, the answer's size, and the functions
// that took the most time (self time, from the page's sampling profiler).
//
//   build/benchmarks --sizes 10000,50000 --write-gather /tmp/gather
//   node bench/profile-gather.mjs /tmp/gather [PAGE ...] [--repeat 5] [--top 25]
//
// Without pages (addresses or files) it reads those the benchmark wrote
// (page-SIZE.html).
// The script runs in the page's own world here, as on browsers without
// an isolated world; the figures are the page's, not the engine's.
import { createRequire } from 'node:module';
import { existsSync, readdirSync, readFileSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const require = createRequire(new URL('../package.json', import.meta.url));
const { chromium } = require('playwright-core');

const usage = why => {
  console.error(`profile-gather: ${why}\nusage: node bench/profile-gather.mjs DIR [PAGE ...] [--repeat N] [--top N]`);
  process.exit(2);
};
const args = process.argv.slice(2);
let repeat = 5, top = 25;
const rest = [];
for (let i = 0; i < args.length; i++) {
  if (args[i] === '--repeat' || args[i] === '--top') {
    const n = Number(args[++i]);
    if (!Number.isInteger(n) || n < 1) usage(`${args[i - 1]} expects a positive whole number`);
    if (args[i - 1] === '--repeat') repeat = n; else top = n;
  } else {
    rest.push(args[i]);
  }
}
const [dir, ...pages] = rest;
// A page is an address, or a file's path.
const urls = pages.map(p => /^[a-z][a-z0-9+.-]*:/i.test(p) ? p : pathToFileURL(resolve(p)).href);
if (!dir || !existsSync(join(dir, 'gather.js'))) usage('no gather.js in ' + dir + ' (write it with benchmarks --write-gather)');
const script = readFileSync(join(dir, 'gather.js'), 'utf8');
const argument = readFileSync(join(dir, 'argument.json'), 'utf8');
const lines = script.split('\n');
if (!urls.length)
  for (const f of readdirSync(dir).filter(f => /^page-\d+\.html$/.test(f)).sort((a, b) => parseInt(a.slice(5)) - parseInt(b.slice(5))))
    urls.push(pathToFileURL(resolve(dir, f)).href);
if (!urls.length) usage('no pages to read');

// The script is made once per page and called again and again, as the
// engine does. One gathering, timed in the page: [milliseconds,
// characters of the answer].
const define = `globalThis.__gather = (${script}\n); true`;
const timed = `(() => { const arg = ${argument};
  const t = performance.now(); const answer = __gather(arg); return [performance.now() - t, answer.length]; })()`;
const median = v => { const s = [...v].sort((a, b) => a - b); const n = s.length; return n % 2 ? s[(n - 1) / 2] : (s[n / 2 - 1] + s[n / 2]) / 2; };

const executablePath = process.env.PLAINSTEP_CHROMIUM || (existsSync('/usr/bin/chromium') ? '/usr/bin/chromium' : undefined);
const browser = await chromium.launch({ executablePath });
try {
  console.log(`load average ${readFileSync('/proc/loadavg', 'utf8').split(' ').slice(0, 3).join(' ')}`);
  for (const url of urls) {
    const page = await browser.newPage({ viewport: { width: 1280, height: 720 } });
    await page.goto(url);
    const cdp = await page.context().newCDPSession(page);
    await cdp.send('Performance.enable');
    const threadTime = async () => (await cdp.send('Performance.getMetrics')).metrics.find(m => m.name === 'ThreadTime').value;
    const elements = await page.evaluate(() => document.querySelectorAll('*').length);
    await page.evaluate(define);
    // Warm, as before every step: the engine compiles hot functions late.
    for (let i = 0; i < 3; i++) await page.evaluate(timed);
    const wall = [], cpu = [];
    let chars = 0;
    for (let i = 0; i < repeat; i++) {
      const before = await threadTime();
      const [ms, n] = await page.evaluate(timed);
      cpu.push((await threadTime() - before) * 1000);
      wall.push(ms);
      chars = n;
    }
    console.log(`\n${url}: ${elements} elements, answer ${chars} characters`);
    console.log(`  gathering: median of ${repeat}: ${median(wall).toFixed(1)} ms in the page, ` +
                `${median(cpu).toFixed(1)} ms CPU of the page's main thread (with the answer's hand-over)`);

    await cdp.send('Profiler.enable');
    await cdp.send('Profiler.setSamplingInterval', { interval: 100 });
    await cdp.send('Profiler.start');
    await page.evaluate(timed);
    const { profile } = await cdp.send('Profiler.stop');
    const nodes = new Map(profile.nodes.map(n => [n.id, n]));
    const self = new Map();
    profile.samples.forEach((id, i) => {
      const f = nodes.get(id).callFrame;
      // Lines of the script itself are shown; built-ins go by their name.
      const where = f.url === '' && f.lineNumber >= 0 && f.functionName !== '(program)' && lines[f.lineNumber] !== undefined
        ? `line ${f.lineNumber + 1}: ${lines[f.lineNumber].trim().slice(0, 70)}` : '';
      const key = `${f.functionName || '(anonymous)'}  ${where}`;
      self.set(key, (self.get(key) || 0) + (profile.timeDeltas[i] || 0));
    });
    const total = [...self.values()].reduce((a, b) => a + b, 0);
    console.log(`  profiled run: ${(total / 1000).toFixed(1)} ms sampled; self time by function:`);
    for (const [key, us] of [...self].sort((a, b) => b[1] - a[1]).slice(0, top))
      console.log(`  ${(us / 1000).toFixed(1).padStart(9)} ms  ${key}`);
    await page.close();
  }
} finally {
  await browser.close();
}

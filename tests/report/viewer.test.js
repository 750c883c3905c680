// Unit tests of the report viewer's pure functions.
//   node tests/report/viewer.test.js
'use strict';
const { describe, test } = require('node:test');
const assert = require('node:assert/strict');
const path = require('path');

const v = require(path.join(__dirname, '..', '..', 'host', 'report', 'report.js'));

function loadSample() {
  const sandbox = {};
  global.window = sandbox;
  try {
    delete require.cache[require.resolve('./sample-report.js')];
    require('./sample-report.js');
  } finally {
    delete global.window;
  }
  return sandbox.PLAINSTEP_REPORT;
}

const sample = v.normaliseReport(loadSample());

function file(p, status, extra) {
  return v.normaliseReport({ files: [Object.assign({ path: p, status }, extra || {})] }).files[0];
}

function stepsFile(p, texts, tags) {
  return file(p, 'passed', {
    tags: tags || [],
    attempts: [{ attempt: 1, status: 'passed', steps: texts.map((t, i) => ({ number: i + 1, text: t, status: 'passed' })) }],
  });
}

describe('words and numbers', () => {
  test('status words say every status in words', () => {
    for (const [status, word] of [['passed', 'passed'], ['failed', 'failed'], ['flaky', 'flaky'],
      ['skipped', 'skipped'], ['not_run', 'not run'], ['error', 'error'], ['timed_out', 'timed out'],
      [null, 'unknown'], ['', 'unknown']]) {
      assert.equal(v.statusWord(status), word, String(status));
    }
  });

  test('status classes come only from known statuses', () => {
    assert.equal(v.statusClass('not_run'), 'st-not_run');
    assert.equal(v.statusClass('x" onclick="alert(1)'), 'st-unknown');
    assert.equal(v.statusClass('toString'), 'st-unknown');
  });

  test('durations', () => {
    for (const [ms, shown] of [
      [0, '0 ms'], [7, '7 ms'], [999, '999 ms'], [999.6, '1.00 s'], [1000, '1.00 s'], [5020, '5.02 s'],
      [9994, '9.99 s'], [9995, '10.0 s'], [12345, '12.3 s'], [59949, '59.9 s'], [59950, '1 min 00 s'],
      [125000, '2 min 05 s'], [3599499, '59 min 59 s'], [3599500, '1 h 00 min'], [3723000, '1 h 02 min'],
      [90000000, '25 h 00 min'],
      [null, ''], [undefined, ''], [-1, ''], [NaN, ''], [Infinity, ''], ['1000', ''],
    ]) {
      assert.equal(v.formatDuration(ms), shown, String(ms));
    }
  });

  test('start time in UTC and in local time', () => {
    assert.equal(v.formatDateTime('2026-12-09T06:00:00.123Z', true), '2026-12-09 06:00:00 UTC');
    assert.equal(v.formatDateTime('2026-01-02T03:04:05Z', true), '2026-01-02 03:04:05 UTC');
    const d = new Date('2026-12-09T06:00:00.123Z');
    const local = v.formatDateTime('2026-12-09T06:00:00.123Z', false);
    assert.match(local, /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$/);
    assert.equal(Number(local.slice(11, 13)), d.getHours());
    assert.equal(Number(local.slice(8, 10)), d.getDate());
  });

  test('a start time that is not a date is shown as it came', () => {
    assert.equal(v.formatDateTime('yesterday', true), 'yesterday');
    assert.equal(v.formatDateTime(null, true), '');
    assert.equal(v.formatDateTime(12, true), '12');
  });
});

describe('reading the data', () => {
  test('missing data.js and a document without files are fatal, with the reason', () => {
    assert.match(v.checkReport(undefined).fatal, /data\.js is missing/);
    for (const bad of [null, 42, 'x', [], {}, { files: {} }]) {
      assert.match(v.checkReport(bad).fatal, /no list of files/, JSON.stringify(bad));
    }
  });

  test('another format is shown with a warning', () => {
    const r = v.checkReport({ format: 'plainstep-report/2', files: [] });
    assert.equal(r.fatal, null);
    assert.equal(r.warnings.length, 1);
    assert.match(r.warnings[0], /plainstep-report\/2/);
    assert.deepEqual(v.checkReport({ format: v.FORMAT, files: [] }).warnings, []);
  });

  test('odd entries are kept with defaults instead of breaking the page', () => {
    const r = v.normaliseReport({
      files: [null, { path: 'a.steps', status: 'failed', tags: 'smoke', attempts: [null, {
        steps: [42, { number: 'x', text: 7, details: 'oops', candidates: [null, { box: { x: 1, y: 2, width: -3, height: 4 } }],
          element: { tag: 'a', box: { x: '1', y: 2, width: 3, height: 4 } } }],
      }] }],
    });
    assert.equal(r.files.length, 2);
    assert.equal(r.files[0].path, '(file 1 has no path)');
    assert.equal(r.files[0].status, 'error');
    const f = r.files[1];
    assert.deepEqual(f.tags, []);
    assert.equal(f.attempts.length, 2);
    assert.deepEqual(f.attempts.map((a) => a.attempt), [1, 2]);
    const [s1, s2] = f.attempts[1].steps;
    assert.equal(s1.number, 1);
    assert.equal(s1.status, 'skipped');
    assert.equal(s2.number, 2);
    assert.equal(s2.text, '7');
    assert.deepEqual(s2.details, []);
    assert.equal(s2.candidates[0], null);
    assert.equal(s2.candidates[1].box, null, 'negative width is no box');
    assert.equal(s2.element.box, null, 'a coordinate that is not a number is no box');
  });
});

describe('counting and filtering', () => {
  test('counts of the sample run', () => {
    assert.deepEqual(v.countStatuses(sample.files),
      { total: 7, passed: 2, failed: 1, flaky: 1, skipped: 1, not_run: 1, error: 1 });
  });

  test('an unknown status counts in the total only', () => {
    const c = v.countStatuses([file('a', 'passed'), file('b', 'exploded')]);
    assert.equal(c.total, 2);
    assert.equal(c.passed, 1);
    assert.equal(Object.values(c).reduce((a, b) => a + b, 0) - c.total, 1);
  });

  test('status filter keeps the data order', () => {
    const files = [file('z.steps', 'failed'), file('a.steps', 'passed'), file('m.steps', 'failed')];
    assert.deepEqual(v.filterFiles(files, { status: 'failed', q: '' }).map((e) => [e.file.path, e.index]),
      [['z.steps', 0], ['m.steps', 2]]);
    assert.equal(v.filterFiles(files, { status: null, q: '' }).length, 3);
    assert.equal(v.filterFiles(files, { status: 'flaky', q: '' }).length, 0);
  });

  test('failures of the sample are the failing file only', () => {
    assert.deepEqual(v.filterFiles(sample.files, { status: 'failed', q: '' }).map((e) => e.file.path),
      ['login/sign-in.steps']);
  });

  test('text filter on paths, tags and step texts', () => {
    const files = [
      stepsFile('login/Sign-In.steps', ['click Login'], ['smoke']),
      stepsFile('cart.steps', ['type Ada   Lovelace into Name', 'click Login'], ['smoke-cart']),
      stepsFile('search.steps', ['press Enter'], []),
    ];
    const paths = (q) => v.filterFiles(files, { status: null, q }).map((e) => e.file.path);
    assert.deepEqual(paths('sign-in'), ['login/Sign-In.steps'], 'path, any case');
    assert.deepEqual(paths('CLICK login'), ['login/Sign-In.steps', 'cart.steps'], 'step text, any case');
    assert.deepEqual(paths('ada lovelace'), ['cart.steps'], 'runs of spaces count as one');
    assert.deepEqual(paths('  enter '), ['search.steps'], 'surrounding spaces do not count');
    assert.deepEqual(paths('smoke'), ['login/Sign-In.steps', 'cart.steps'], 'plain text also finds tags');
    assert.deepEqual(paths('@smoke'), ['login/Sign-In.steps'], '@tag is one whole tag');
    assert.deepEqual(paths('@SMOKE-cart'), ['cart.steps']);
    assert.deepEqual(paths('@'), [], 'a lone @ is text');
    assert.deepEqual(paths('nothing like it'), []);
    assert.deepEqual(paths(''), ['login/Sign-In.steps', 'cart.steps', 'search.steps']);
  });

  test('status and text filters together', () => {
    const files = [file('a/login.steps', 'failed'), file('b/login.steps', 'passed'), file('c/cart.steps', 'failed')];
    assert.deepEqual(v.filterFiles(files, { status: 'failed', q: 'login' }).map((e) => e.file.path), ['a/login.steps']);
  });

  test('matching steps are named once, from the first attempt that has them', () => {
    const f = file('f.steps', 'flaky', { attempts: [
      { attempt: 1, status: 'failed', steps: [{ number: 1, text: 'click Login' }, { number: 2, text: 'verify Login is visible' }] },
      { attempt: 2, status: 'passed', steps: [{ number: 1, text: 'click Login' }, { number: 2, text: 'verify Login is visible' }, { number: 3, text: 'click Login again' }] },
    ] });
    const m = v.matchFile(f, 'login');
    assert.equal(m.matched, true);
    assert.deepEqual(m.steps.map((s) => [s.attempt, s.number]), [[1, 1], [1, 2], [2, 3]]);
    assert.deepEqual(v.matchFile(f, 'f.steps').steps, [], 'a path match names no steps');
  });

  test('markup in a step text is matched as plain text', () => {
    const m = v.filterFiles(sample.files, { status: null, q: '<script>' });
    assert.deepEqual(m.map((e) => e.file.path), ['search/queries & filters #1.steps']);
    assert.equal(m[0].steps[0].number, 1);
  });
});

describe('state in the address', () => {
  test('round trip, with paths that need encoding', () => {
    for (const state of [
      { status: 'failed', q: 'click Login', file: 'login/sign-in.steps', attempt: 2, step: 3 },
      { status: null, q: '', file: 'search/queries & filters #1.steps', attempt: null, step: null },
      { status: 'not_run', q: '50% + 1 = ?', file: 'ünïcode/ñame.steps', attempt: 1, step: 12 },
      { status: null, q: '@smoke', file: 'a=b&c=d/e+f.steps', attempt: null, step: 1 },
      { status: null, q: '', file: null, attempt: null, step: null },
    ]) {
      const hash = v.formatHash(state);
      assert.deepEqual(v.parseHash(hash), state, hash);
      assert.ok(!/[\s#]/.test(hash.slice(1)), 'no raw space or # after the first: ' + hash);
    }
  });

  test('readable addresses', () => {
    assert.equal(v.formatHash({ status: 'failed', q: '@smoke', file: 'login/sign-in.steps', attempt: null, step: 3 }),
      '#status=failed&q=@smoke&file=login/sign-in.steps&step=3');
    assert.equal(v.formatHash({ status: null, q: '', file: null, attempt: null, step: null }), '');
  });

  test('nonsense in the address is ignored, not obeyed', () => {
    assert.deepEqual(v.parseHash('#status=bogus&attempt=0&step=-1&file='),
      { status: null, q: '', file: null, attempt: null, step: null });
    for (const n of ['x', '1.5', '01', '1e3', '', '9999999999']) {
      assert.equal(v.parseHash('#step=' + n).step, null, n);
    }
    assert.equal(v.parseHash('#?step=4').step, 4, 'a leading ? is tolerated');
    assert.equal(v.parseHash('').file, null);
    assert.equal(v.parseHash(undefined).q, '');
    assert.equal(v.parseHash('#status=toString').status, null);
  });
});

describe('which attempt and step a file opens on', () => {
  const attempts = (statuses) => file('f', 'x', { attempts: statuses.map((s, i) => ({ attempt: i + 1, status: s, steps: [] })) });

  test('the last failed attempt, else the last', () => {
    assert.equal(v.defaultAttempt(attempts(['failed', 'passed'])), 0, 'flaky: the failure');
    assert.equal(v.defaultAttempt(attempts(['failed', 'failed'])), 1);
    assert.equal(v.defaultAttempt(attempts(['failed', 'failed', 'passed'])), 1);
    assert.equal(v.defaultAttempt(attempts(['passed'])), 0);
    assert.equal(v.defaultAttempt(attempts([])), -1);
  });

  test('an attempt named in the address wins when it exists', () => {
    const f = attempts(['failed', 'passed']);
    assert.equal(v.attemptIndex(f, 2), 1);
    assert.equal(v.attemptIndex(f, 7), 0, 'unknown attempt: the default');
    assert.equal(v.attemptIndex(f, null), 0);
  });

  test('the first failed step, else the first', () => {
    const a = (statuses) => ({ steps: statuses.map((s, i) => ({ number: i + 1, status: s })) });
    assert.equal(v.defaultStep(a(['passed', 'failed', 'skipped'])), 1);
    assert.equal(v.defaultStep(a(['passed', 'passed'])), 0);
    assert.equal(v.defaultStep(a([])), -1);
    assert.equal(v.defaultStep(null), -1);
    assert.equal(v.stepIndex(a(['passed', 'failed', 'skipped']), 3), 2);
    assert.equal(v.stepIndex(a(['passed', 'failed', 'skipped']), 9), 1, 'unknown step: the default');
  });
});

describe('outlines on the screenshot', () => {
  test('a box inside the image, in percent of it', () => {
    assert.deepEqual(v.boxPlacement({ x: 100, y: 50, width: 200, height: 100 }, 1000, 500),
      { outside: false, clipped: false, left: 10, top: 10, width: 20, height: 20 });
  });

  test('a box that sticks out is cut to the image', () => {
    assert.deepEqual(v.boxPlacement({ x: 900, y: 450, width: 200, height: 100 }, 1000, 500),
      { outside: false, clipped: true, left: 90, top: 90, width: 10, height: 10 });
    assert.deepEqual(v.boxPlacement({ x: -100, y: -50, width: 200, height: 100 }, 1000, 500),
      { outside: false, clipped: true, left: 0, top: 0, width: 10, height: 10 });
  });

  test('a box wholly outside (below the fold) is not drawn', () => {
    for (const box of [{ x: 10, y: 720, width: 5, height: 5 }, { x: 1280, y: 0, width: 5, height: 5 },
      { x: -10, y: 5, width: 10, height: 5 }, { x: 5, y: -30, width: 5, height: 30 }]) {
      assert.deepEqual(v.boxPlacement(box, 1280, 720), { outside: true }, JSON.stringify(box));
    }
  });

  test('no placement without a box or an image size', () => {
    assert.equal(v.boxPlacement(null, 100, 100), null);
    assert.equal(v.boxPlacement({ x: 1, y: 1, width: 1, height: 1 }, 0, 100), null);
    assert.equal(v.boxPlacement({ x: 1, y: 1, width: NaN, height: 1 }, 100, 100), null);
  });

  test('candidates keep their list numbers; the chosen element is marked', () => {
    const box = (x) => ({ x, y: 0, width: 10, height: 10 });
    const step = (element, candidates) => v.normaliseReport({ files: [{ attempts: [{ steps: [{ element, candidates }] }] }] })
      .files[0].attempts[0].steps[0];
    const three = [{ xpath: '/a', box: box(1) }, { xpath: '/b', box: null }, { xpath: '/c', box: box(3) }];

    assert.deepEqual(v.overlayMarks(step(null, three)).map((m) => [m.label, m.kind, m.box.x]),
      [['1', 'candidate', 1], ['3', 'candidate', 3]], 'a candidate without a box keeps its number');
    assert.deepEqual(v.overlayMarks(step({ xpath: '/c', box: box(3) }, three)).map((m) => [m.label, m.kind]),
      [['1', 'candidate'], ['3 chosen', 'chosen']], 'the chosen candidate is one outline');
    assert.deepEqual(v.overlayMarks(step({ xpath: '/z', box: box(9) }, three)).map((m) => [m.label, m.number]),
      [['chosen', null], ['1', 1], ['3', 3]]);
    assert.deepEqual(v.overlayMarks(step({ xpath: '/z', box: null }, [])), []);
  });
});

describe('links and commands from the data', () => {
  test('paths inside the report folder become links, encoded', () => {
    assert.equal(v.safeHref('artifacts/login/sign-in.steps/1-step3.png'), 'artifacts/login/sign-in.steps/1-step3.png');
    assert.equal(v.safeHref('artifacts/queries & filters #1.steps/1-step3.png'),
      'artifacts/queries%20%26%20filters%20%231.steps/1-step3.png');
    assert.equal(v.safeHref('a/100%?.png'), 'a/100%25%3F.png');
    assert.equal(v.safeHref('a/c:d.png'), 'a/c%3Ad.png');
  });

  test('paths that would leave the folder are refused', () => {
    for (const bad of ['javascript:alert(1)', 'JavaScript:alert(1)', 'http://example.com/x.png', 'data:image/png;base64,xx',
      '/etc/passwd', '//evil.example/x', '\\\\host\\share', '../secret.png', 'a/../../b', 'a//b', '', null, 42]) {
      assert.equal(v.safeHref(bad), null, String(bad));
    }
  });

  test('shell words for the commands to copy', () => {
    assert.equal(v.shellQuote('traces/cart/checkout.steps-1.zip'), 'traces/cart/checkout.steps-1.zip');
    assert.equal(v.shellQuote('click Sign in'), "'click Sign in'");
    assert.equal(v.shellQuote("click Ada's cart"), "'click Ada'\\''s cart'");
    assert.equal(v.shellQuote('$(rm -rf ~)'), "'$(rm -rf ~)'");
    assert.equal(v.shellQuote(''), "''");
  });

  test('elements in one line, as the terminal prints them', () => {
    const el = (e) => v.normaliseReport({ files: [{ attempts: [{ steps: [{ element: e }] }] }] }).files[0].attempts[0].steps[0].element;
    const box = { x: 120.4, y: 43.6, width: 80, height: 32 };
    assert.equal(v.describeElement(el({ description: "input [aria-label=Password] at (160, 165)", tag: 'input' })),
      'input [aria-label=Password] at (160, 165)');
    assert.equal(v.describeElement(el({ tag: 'button', text: 'Login', box })), "button 'Login' at (120, 44)");
    assert.equal(v.describeElement(el({ tag: 'input', text: ' ', label: 'Email' })), 'input [label=Email]');
    assert.equal(v.describeElement(el({})), 'element');
    assert.equal(v.describeElement(null), '');
  });
});

describe('why a file did not pass, in one line', () => {
  const byPath = (p) => sample.files.find((f) => f.path === p);

  test('each status of the sample', () => {
    assert.equal(v.fileSummary(byPath('login/sign-in.steps')),
      "attempt 2, step 3 failed: click Sign in — found no 'Sign in' within 5000 ms (click, lexical, then field labels)");
    assert.match(v.fileSummary(byPath('cart/checkout.steps')), /^attempt 1, step 4 failed: verify text right of Total is 14\.50 — /);
    assert.match(v.fileSummary(byPath('account/signup.steps')), /browser would not start/);
    assert.match(v.fileSummary(byPath('account/delete.steps')), /max-failures/);
    assert.equal(v.fileSummary(byPath('login/remember-me.steps')), '');
  });

  test('a failed attempt without a failed step says what failed', () => {
    const f = file('f', 'failed', { attempts: [{ attempt: 1, status: 'failed', error: 'the start address did not load', steps: [] }] });
    assert.equal(v.fileSummary(f), 'the start address did not load');
    const g = file('g', 'failed', { attempts: [{ attempt: 1, status: 'failed', steps: [] }] });
    assert.equal(v.fileSummary(g), 'failed outside any step');
  });
});

/* plainstep report viewer.
 *
 * Reads the run from window.PLAINSTEP_REPORT (set by data.js beside this
 * file) and draws it: a summary with filters, one entry per file, and per
 * file its attempts and steps. Everything taken from the data is untrusted
 * (step texts and page texts come from the pages under test), so the page
 * is built with createElement and textContent only, and every link from the
 * data goes through safeHref.
 *
 * The pure functions at the top are exported when loaded in node, for the
 * unit tests.
 */
(function (global) {
  'use strict';

  const FORMAT = 'plainstep-report/1';
  const STATUSES = ['passed', 'failed', 'flaky', 'skipped', 'not_run', 'error'];
  const STATUS_WORDS = {
    passed: 'passed', failed: 'failed', flaky: 'flaky', skipped: 'skipped',
    not_run: 'not run', error: 'error',
  };

  function has(obj, key) {
    return Object.prototype.hasOwnProperty.call(obj, key);
  }

  function statusWord(status) {
    if (typeof status === 'string' && has(STATUS_WORDS, status)) return STATUS_WORDS[status];
    if (status == null || status === '') return 'unknown';
    return String(status).replace(/_/g, ' ');
  }

  // A CSS class for a status: known statuses only, so data never picks a class.
  function statusClass(status) {
    return 'st-' + (typeof status === 'string' && has(STATUS_WORDS, status) ? status : 'unknown');
  }

  function isNumber(n) {
    return typeof n === 'number' && isFinite(n);
  }

  // "480 ms", "5.02 s", "12.3 s", "2 min 05 s", "1 h 02 min"; "" when unknown.
  function formatDuration(ms) {
    if (!isNumber(ms) || ms < 0) return '';
    if (ms < 999.5) return Math.round(ms) + ' ms';
    if (ms < 9995) return (ms / 1000).toFixed(2) + ' s';
    if (ms < 59950) return (ms / 1000).toFixed(1) + ' s';
    const seconds = Math.round(ms / 1000);
    const two = (n) => String(n).padStart(2, '0');
    if (seconds < 3600) return Math.floor(seconds / 60) + ' min ' + two(seconds % 60) + ' s';
    const minutes = Math.round(seconds / 60);
    return Math.floor(minutes / 60) + ' h ' + two(minutes % 60) + ' min';
  }

  // "2026-12-09 07:00:00" in local time, or with " UTC" when utc is set.
  // A value that is not a date is shown as it came.
  function formatDateTime(iso, utc) {
    if (iso == null || iso === '') return '';
    const d = new Date(iso);
    if (typeof iso !== 'string' || isNaN(d.getTime())) return String(iso);
    const two = (n) => String(n).padStart(2, '0');
    const parts = utc
      ? [d.getUTCFullYear(), d.getUTCMonth() + 1, d.getUTCDate(), d.getUTCHours(), d.getUTCMinutes(), d.getUTCSeconds()]
      : [d.getFullYear(), d.getMonth() + 1, d.getDate(), d.getHours(), d.getMinutes(), d.getSeconds()];
    const text = parts[0] + '-' + two(parts[1]) + '-' + two(parts[2]) + ' ' +
      two(parts[3]) + ':' + two(parts[4]) + ':' + two(parts[5]);
    return utc ? text + ' UTC' : text;
  }

  function text(v) {
    return v == null ? '' : String(v);
  }

  function list(v) {
    return Array.isArray(v) ? v : [];
  }

  function obj(v) {
    return v && typeof v === 'object' && !Array.isArray(v) ? v : null;
  }

  // What a viewer cannot do without, said in words a tester can act on.
  function checkReport(doc) {
    if (doc === undefined) {
      return {
        fatal: 'The run\'s data did not load: data.js is missing from the report folder or is not ' +
          'readable, so there is nothing to show. Open index.html from the folder plainstep wrote.',
        warnings: [],
      };
    }
    if (!obj(doc) || !Array.isArray(doc.files)) {
      return {
        fatal: 'data.js does not hold a plainstep report: window.PLAINSTEP_REPORT has no list of files.',
        warnings: [],
      };
    }
    const warnings = [];
    if (doc.format !== FORMAT) {
      warnings.push('This viewer reads ' + FORMAT + ' reports; data.js says ' + JSON.stringify(doc.format) +
        '. Parts of the run may be missing or shown wrongly.');
    }
    return { fatal: null, warnings };
  }

  function normaliseBox(b) {
    b = obj(b);
    if (!b || !isNumber(b.x) || !isNumber(b.y) || !isNumber(b.width) || !isNumber(b.height)) return null;
    if (b.width < 0 || b.height < 0) return null;
    return { x: b.x, y: b.y, width: b.width, height: b.height };
  }

  function normaliseElement(e) {
    e = obj(e);
    if (!e) return null;
    return {
      tag: text(e.tag), text: text(e.text), label: e.label == null ? null : String(e.label),
      description: e.description == null ? null : String(e.description),
      box: normaliseBox(e.box), xpath: e.xpath == null ? null : String(e.xpath),
    };
  }

  function normaliseStep(s, i) {
    s = obj(s) || {};
    return {
      number: isNumber(s.number) ? s.number : i + 1,
      line: isNumber(s.line) ? s.line : null,
      text: text(s.text),
      source: s.source == null ? null : String(s.source),
      status: text(s.status) || 'skipped',
      duration_ms: isNumber(s.duration_ms) ? s.duration_ms : null,
      outcome: s.outcome == null ? null : String(s.outcome),
      route: s.route == null ? null : String(s.route),
      element: normaliseElement(s.element),
      message: s.message == null ? null : String(s.message),
      details: list(s.details).map(text),
      candidates: list(s.candidates).map(normaliseElement),
      screenshot: s.screenshot == null ? null : String(s.screenshot),
      snapshot: s.snapshot == null ? null : String(s.snapshot),
    };
  }

  function normaliseAttempt(a, i) {
    a = obj(a) || {};
    return {
      attempt: isNumber(a.attempt) ? a.attempt : i + 1,
      status: text(a.status) || 'failed',
      duration_ms: isNumber(a.duration_ms) ? a.duration_ms : null,
      trace: a.trace == null ? null : String(a.trace),
      error: a.error == null ? null : String(a.error),
      steps: list(a.steps).map(normaliseStep),
    };
  }

  function normaliseFile(f, i) {
    f = obj(f) || {};
    return {
      path: typeof f.path === 'string' && f.path !== '' ? f.path : '(file ' + (i + 1) + ' has no path)',
      url: f.url == null ? null : String(f.url),
      tags: list(f.tags).map(text).filter((t) => t !== ''),
      status: text(f.status) || 'error',
      error: f.error == null ? null : String(f.error),
      reason: f.reason == null ? null : String(f.reason),
      duration_ms: isNumber(f.duration_ms) ? f.duration_ms : null,
      attempts: list(f.attempts).map(normaliseAttempt),
    };
  }

  // A copy of the document in which every field the page reads is present
  // and of the right kind, so one odd entry cannot blank the whole report.
  function normaliseReport(doc) {
    const options = obj(doc.options) || {};
    const counts = obj(doc.counts) || {};
    return {
      format: text(doc.format),
      plainstep: text(doc.plainstep),
      started: doc.started == null ? null : String(doc.started),
      duration_ms: isNumber(doc.duration_ms) ? doc.duration_ms : null,
      interrupted: doc.interrupted === true,
      root: doc.root == null ? null : String(doc.root),
      options: {
        browser: options.browser == null ? null : String(options.browser),
        workers: isNumber(options.workers) ? options.workers : null,
        retries: isNumber(options.retries) ? options.retries : null,
        shard: options.shard == null ? null : String(options.shard),
        timeout_ms: isNumber(options.timeout_ms) ? options.timeout_ms : null,
        base_url: options.base_url == null ? null : String(options.base_url),
      },
      steps: isNumber(counts.steps) ? counts.steps : null,
      files: doc.files.map(normaliseFile),
    };
  }

  function countStatuses(files) {
    const counts = { total: files.length };
    for (const s of STATUSES) counts[s] = 0;
    for (const f of files) if (has(STATUS_WORDS, f.status)) counts[f.status] += 1;
    return counts;
  }

  function fold(s) {
    return text(s).toLowerCase().replace(/\s+/g, ' ').trim();
  }

  // Does a file match the text filter? "@tag" matches a tag exactly; any
  // other text is looked for in the path, the tags and the step texts.
  // steps: the matching steps, once per step number, from the first attempt
  // that has them.
  function matchFile(file, query) {
    const q = fold(query);
    if (q === '') return { matched: true, steps: [] };
    if (q[0] === '@' && q.length > 1) {
      const tag = q.slice(1);
      return { matched: file.tags.some((t) => fold(t) === tag), steps: [] };
    }
    const steps = [];
    const seen = new Set();
    for (const a of file.attempts) {
      for (const s of a.steps) {
        if (!seen.has(s.number) && fold(s.text).includes(q)) {
          seen.add(s.number);
          steps.push({ attempt: a.attempt, number: s.number, text: s.text });
        }
      }
    }
    const matched = fold(file.path).includes(q) || file.tags.some((t) => fold(t).includes(q)) || steps.length > 0;
    return { matched, steps };
  }

  // The files to list for a filter state, in the data's order.
  function filterFiles(files, state) {
    const out = [];
    files.forEach((file, index) => {
      if (state.status && file.status !== state.status) return;
      const m = matchFile(file, state.q);
      if (m.matched) out.push({ file, index, steps: m.steps });
    });
    return out;
  }

  function positiveInt(v) {
    return v != null && /^[1-9][0-9]{0,8}$/.test(v) ? Number(v) : null;
  }

  const HASH_KEYS = ['status', 'q', 'file', 'attempt', 'step'];

  // The page's state lives in the address after "#", so a link can point at
  // one file, one attempt, one step, under one filter.
  function parseHash(hash) {
    const params = new URLSearchParams(text(hash).replace(/^#\??/, ''));
    const status = params.get('status');
    return {
      status: STATUSES.includes(status) ? status : null,
      q: params.get('q') || '',
      file: params.get('file') || null,
      attempt: positiveInt(params.get('attempt')),
      step: positiveInt(params.get('step')),
    };
  }

  function formatHash(state) {
    const parts = [];
    for (const key of HASH_KEYS) {
      const v = state[key];
      if (v == null || v === '') continue;
      // "/" and "@" stay readable in paths and tags; the rest is encoded.
      parts.push(key + '=' + encodeURIComponent(String(v)).replace(/%2F/g, '/').replace(/%40/g, '@'));
    }
    return parts.length ? '#' + parts.join('&') : '';
  }

  // The attempt a file opens on: the last failed one (what went wrong,
  // also for a flaky file), else the last one. -1 when none ran.
  function defaultAttempt(file) {
    const attempts = file.attempts;
    for (let i = attempts.length - 1; i >= 0; i--) if (attempts[i].status === 'failed') return i;
    return attempts.length - 1;
  }

  function attemptIndex(file, number) {
    if (number != null) {
      const i = file.attempts.findIndex((a) => a.attempt === number);
      if (i >= 0) return i;
    }
    return defaultAttempt(file);
  }

  // The step an attempt opens on: the first failed one, else the first.
  function defaultStep(attempt) {
    if (!attempt || attempt.steps.length === 0) return -1;
    const i = attempt.steps.findIndex((s) => s.status === 'failed');
    return i >= 0 ? i : 0;
  }

  function stepIndex(attempt, number) {
    if (attempt && number != null) {
      const i = attempt.steps.findIndex((s) => s.number === number);
      if (i >= 0) return i;
    }
    return defaultStep(attempt);
  }

  // Where a box falls on a screenshot of width x height pixels, in percent
  // of the image, so the outline scales with the image. Parts outside the
  // screenshot are cut off (clipped); a box wholly outside is not drawn.
  function boxPlacement(box, width, height) {
    box = normaliseBox(box);
    if (!box || !(width > 0) || !(height > 0)) return null;
    const x2 = box.x + box.width;
    const y2 = box.y + box.height;
    if (box.x >= width || box.y >= height || x2 <= 0 || y2 <= 0) return { outside: true };
    const clamp = (v, hi) => Math.min(Math.max(v, 0), hi);
    const left = clamp(box.x, width);
    const top = clamp(box.y, height);
    const right = clamp(x2, width);
    const bottom = clamp(y2, height);
    return {
      outside: false,
      clipped: left !== box.x || top !== box.y || right !== x2 || bottom !== y2,
      left: (left / width) * 100,
      top: (top / height) * 100,
      width: ((right - left) / width) * 100,
      height: ((bottom - top) / height) * 100,
    };
  }

  // The outlines of a step's screenshot. Candidates keep their number in
  // the list (1..n) even when one has no box; the chosen element is marked
  // "chosen", on its candidate's outline when it is one of them.
  function overlayMarks(step) {
    const marks = [];
    const chosen = step.element;
    const candidates = step.candidates;
    const chosenAt = chosen && chosen.xpath ? candidates.findIndex((c) => c && c.xpath === chosen.xpath) : -1;
    candidates.forEach((c, i) => {
      if (!c || !c.box) return;
      marks.push({
        number: i + 1, kind: i === chosenAt ? 'chosen' : 'candidate',
        label: i === chosenAt ? (i + 1) + ' chosen' : String(i + 1), box: c.box,
      });
    });
    if (chosen && chosen.box && chosenAt < 0) {
      marks.unshift({ number: null, kind: 'chosen', label: 'chosen', box: chosen.box });
    }
    return marks;
  }

  // A path from the data as a link inside the report folder, or null when
  // it would lead elsewhere (absolute, a scheme, "..").
  function safeHref(path) {
    if (typeof path !== 'string' || path === '') return null;
    if (/^[a-zA-Z][a-zA-Z0-9+.-]*:/.test(path) || /^[\\/]/.test(path)) return null;
    const parts = path.split('/');
    if (parts.some((p) => p === '..' || p === '')) return null;
    return parts.map(encodeURIComponent).join('/');
  }

  // A word for a POSIX shell, quoted only when it needs it.
  function shellQuote(s) {
    s = text(s);
    if (/^[A-Za-z0-9_\/.,:@%+=-]+$/.test(s)) return s;
    return "'" + s.replace(/'/g, "'\\''") + "'";
  }

  function shorten(s, n) {
    s = text(s).replace(/\s+/g, ' ').trim();
    return s.length > n ? s.slice(0, n - 1) + '…' : s;
  }

  // An element in one line, as the terminal and explain print it.
  function describeElement(e) {
    if (!e) return '';
    if (e.description) return e.description;
    let d = e.tag || 'element';
    if (e.text.trim()) d += " '" + shorten(e.text, 40) + "'";
    else if (e.label) d += ' [label=' + shorten(e.label, 40) + ']';
    if (e.box) d += ' at (' + Math.round(e.box.x) + ', ' + Math.round(e.box.y) + ')';
    return d;
  }

  // The attempt and step that explain a failed or flaky file, or null.
  function firstFailure(file) {
    for (let i = file.attempts.length - 1; i >= 0; i--) {
      const a = file.attempts[i];
      if (a.status !== 'failed') continue;
      const step = a.steps.find((s) => s.status === 'failed') || null;
      return { attempt: a, step };
    }
    return null;
  }

  // One line under a file in the list: why it did not pass.
  function fileSummary(file) {
    if (file.status === 'error') return file.error || 'could not run';
    if (file.status === 'not_run' || file.status === 'skipped') return file.reason || '';
    const f = firstFailure(file);
    if (!f) return '';
    let line = '';
    if (file.attempts.length > 1) line += 'attempt ' + f.attempt.attempt + ', ';
    if (f.step) {
      line += 'step ' + f.step.number + ' failed: ' + f.step.text;
      if (f.step.message) line += ' — ' + f.step.message;
    } else {
      line += f.attempt.error || 'failed outside any step';
    }
    return line;
  }

  const api = {
    FORMAT, STATUSES, statusWord, statusClass, formatDuration, formatDateTime, checkReport, normaliseReport,
    countStatuses, matchFile, filterFiles, parseHash, formatHash, defaultAttempt, defaultStep, attemptIndex,
    stepIndex, boxPlacement, overlayMarks, safeHref, shellQuote, describeElement, firstFailure, fileSummary,
  };

  if (typeof module !== 'undefined' && module.exports) {
    module.exports = api;
    return;
  }
  global.PlainstepReport = api;

  /* ---------------------------------------------------------------- page */

  const doc = global.document;
  let report = null;
  let current = parseHash('');
  let shownFile = null; // path of the file view on screen, to move focus on change
  let firstRender = true;
  let listBuilt = null;
  let fileView = null;
  let listView = null;

  function h(tag, props) {
    const el = doc.createElement(tag);
    if (props) {
      for (const key of Object.keys(props)) {
        const v = props[key];
        if (v == null || v === false) continue;
        if (key === 'class') el.className = v;
        else if (key === 'text') el.textContent = v;
        else if (key === 'key') el.dataset.key = v;
        else if (key.slice(0, 2) === 'on') el.addEventListener(key.slice(2), v);
        else el.setAttribute(key, v === true ? '' : String(v));
      }
    }
    for (let i = 2; i < arguments.length; i++) add(el, arguments[i]);
    return el;
  }

  function add(el, child) {
    if (child == null || child === false) return;
    if (Array.isArray(child)) child.forEach((c) => add(el, c));
    else if (typeof child === 'string' || typeof child === 'number') el.appendChild(doc.createTextNode(String(child)));
    else el.appendChild(child);
  }

  function badge(status) {
    return h('span', { class: 'badge ' + statusClass(status), text: statusWord(status) });
  }

  // A link to a file of the report folder; a path that would leave the
  // folder is shown as text and never becomes a link.
  function fileLink(path, label, extra) {
    const href = safeHref(path);
    if (!href) return h('span', { class: 'bad-path', title: 'not a path inside the report folder', text: label || path });
    return h('a', Object.assign({ href }, extra || {}), label || path);
  }

  function copyButton(getText, key) {
    const btn = h('button', { type: 'button', class: 'copy', key, text: 'Copy' });
    btn.addEventListener('click', () => {
      const done = (word) => {
        btn.textContent = word;
        global.setTimeout(() => { btn.textContent = 'Copy'; }, 1600);
      };
      const clip = global.navigator && global.navigator.clipboard;
      if (!clip) return done('Select and copy');
      clip.writeText(getText()).then(() => done('Copied'), () => done('Select and copy'));
    });
    return btn;
  }

  function command(cmd, key) {
    return h('span', { class: 'command' }, h('code', { text: cmd }), copyButton(() => cmd, key));
  }

  // Moves the address to a new state. A push adds a history entry (opening
  // a file); filters and step paging replace the current one. focusKey
  // names the control to focus once redrawn.
  function go(patch, push, focusKey) {
    const next = Object.assign({}, current, patch);
    if (next.file != null && !findFile(next.file)) next.file = null;
    const hash = formatHash(next);
    if (push) {
      global.location.hash = hash || '#';
      return;
    }
    try {
      global.history.replaceState(null, '', hash || global.location.pathname + global.location.search);
    } catch (e) {
      global.location.replace(hash || '#');
      return;
    }
    render(focusKey);
  }

  function findFile(path) {
    return report.files.find((f) => f.path === path) || null;
  }

  function render(focusKey) {
    const state = parseHash(global.location.hash);
    const before = doc.activeElement && doc.activeElement.dataset ? doc.activeElement.dataset.key : null;
    const file = state.file != null ? findFile(state.file) : null;
    current = state;
    if (file) {
      const opened = shownFile !== file.path;
      showFile(file, state);
      shownFile = file.path;
      if (opened && !firstRender) {
        global.scrollTo(0, 0);
        focusKey = 'file-heading';
      }
    } else {
      const leaving = shownFile;
      shownFile = null;
      showList(state, state.file != null ? state.file : null);
      if (leaving) focusKey = 'file:' + leaving;
    }
    if (!firstRender) restoreFocus(focusKey || before);
    firstRender = false;
  }

  function restoreFocus(key) {
    if (!key) return;
    const sel = '[data-key="' + (global.CSS && CSS.escape ? CSS.escape(key) : key.replace(/["\\]/g, '\\$&')) + '"]';
    let el = doc.querySelector(sel);
    // Paging to the first or last step disables the button just pressed.
    if (el && el.disabled && (key === 'prev' || key === 'next')) el = doc.querySelector('[data-key="' + (key === 'prev' ? 'next' : 'prev') + '"]');
    if (el && el !== doc.activeElement && !el.disabled && !el.closest('[hidden]')) {
      el.focus({ preventScroll: key === 'file-heading' });
      if (key.slice(0, 5) === 'file:') el.scrollIntoView({ block: 'center' });
    }
  }

  /* ------------------------------------------------------------ list view */

  function buildList(warnings) {
    const r = report;
    const counts = countStatuses(r.files);
    const facts = [];
    const fact = (name, value) => { if (value != null && value !== '') facts.push(h('div', null, h('dt', { text: name }), h('dd', { text: String(value) }))); };
    fact('Started', formatDateTime(r.started, false));
    fact('Total time', formatDuration(r.duration_ms));
    fact('Browser', r.options.browser);
    fact('Workers', r.options.workers);
    fact('Shard', r.options.shard || 'none');
    fact('Retries', r.options.retries);
    fact('Steps', r.steps);
    fact('Folder', r.root);

    const buttons = {};
    const statusButton = (status, label, count) => {
      const b = h('button', {
        type: 'button', class: 'count ' + (status ? statusClass(status) : 'st-all') + (count === 0 ? ' zero' : ''),
        key: 'status:' + (status || 'all'), 'aria-pressed': 'false',
        onclick: () => go({ status: status && current.status !== status ? status : null }),
      }, h('span', { class: 'count-n', text: String(count) }), h('span', { class: 'count-w', text: label }));
      buttons[status || 'all'] = b;
      return b;
    };

    const q = h('input', {
      id: 'filter-text', type: 'search', key: 'q', autocomplete: 'off', spellcheck: 'false',
      placeholder: 'file path, step text or @tag',
    });
    q.addEventListener('input', () => go({ q: q.value }));
    const shown = h('p', { class: 'shown', role: 'status' });
    const clear = h('button', {
      type: 'button', class: 'link-button', key: 'clear', text: 'Clear filters',
      onclick: () => { q.value = ''; go({ status: null, q: '' }); q.focus(); },
    });
    const notice = h('p', { class: 'notice', role: 'alert', hidden: true });
    const files = h('ul', { class: 'files', 'aria-labelledby': 'files-h' });

    const title = counts.failed + counts.error > 0 ? 'Run failed' : r.interrupted ? 'Run interrupted' : 'Run passed';
    listView.replaceChildren(
      h('section', { class: 'summary', 'aria-labelledby': 'summary-h' },
        h('h1', { id: 'summary-h' }, title, h('span', { class: 'h-sub', text: ' · ' + counts.total + (counts.total === 1 ? ' file' : ' files') })),
        warnings.map((w) => h('p', { class: 'notice', role: 'alert', text: w })),
        r.interrupted ? h('p', { class: 'notice', text: 'The run was interrupted: files that had not finished are marked not run.' }) : null,
        h('dl', { class: 'facts' }, facts),
        h('div', { class: 'counts', role: 'group', 'aria-label': 'Show files by status' },
          statusButton(null, 'all', counts.total),
          STATUSES.map((s) => statusButton(s, statusWord(s), counts[s])))),
      h('section', { class: 'file-list', 'aria-labelledby': 'files-h' },
        h('div', { class: 'list-head' },
          h('h2', { id: 'files-h', text: 'Files' }),
          h('div', { class: 'search' }, h('label', { for: 'filter-text', text: 'Filter' }), q)),
        h('div', { class: 'list-state' }, shown, clear),
        notice,
        files));
    listBuilt = { buttons, q, shown, clear, notice, files, total: counts.total };
  }

  function showList(state, missing) {
    fileView.hidden = true;
    listView.hidden = false;
    const l = listBuilt;
    for (const key of Object.keys(l.buttons)) {
      const on = key === 'all' ? !state.status : state.status === key;
      l.buttons[key].setAttribute('aria-pressed', on ? 'true' : 'false');
    }
    if (doc.activeElement !== l.q && l.q.value !== state.q) l.q.value = state.q;
    l.notice.hidden = missing == null;
    l.notice.textContent = missing == null ? '' : 'This report has no file named "' + missing + '".';

    const entries = filterFiles(report.files, state);
    l.files.replaceChildren(...entries.map((e) => fileEntry(e, state)));
    if (entries.length === 0) {
      l.files.appendChild(h('li', { class: 'empty', text: report.files.length ? 'No file matches these filters.' : 'This run had no files.' }));
    }
    const filtered = state.status || state.q;
    let line = filtered ? 'Showing ' + entries.length + ' of ' + l.total + ' files' : 'All ' + l.total + ' files';
    if (state.status) line += ', ' + statusWord(state.status);
    if (state.q) line += ', matching "' + state.q + '"';
    l.shown.textContent = line;
    l.clear.hidden = !filtered;
    const counts = countStatuses(report.files);
    doc.title = (counts.failed + counts.error ? counts.failed + counts.error + ' not passed · ' : '') + 'plainstep report';
  }

  function fileEntry(entry, state) {
    const f = entry.file;
    const href = formatHash({ status: state.status, q: state.q, file: f.path });
    const why = fileSummary(f);
    const attempts = f.attempts.length > 1 ? f.attempts.length + ' attempts' : '';
    return h('li', { class: 'file ' + statusClass(f.status) },
      badge(f.status),
      h('div', { class: 'file-main' },
        h('a', { class: 'path', href, key: 'file:' + f.path, text: f.path }),
        tagButtons(f.tags),
        why ? h('p', { class: 'why', text: why }) : null,
        entry.steps.length ? h('ul', { class: 'matches', 'aria-label': 'Matching steps' },
          entry.steps.slice(0, 5).map((s) => h('li', null, h('a', {
            href: formatHash({ status: state.status, q: state.q, file: f.path, attempt: s.attempt, step: s.number }),
          }, h('span', { class: 'num', text: 'step ' + s.number }), ' ', s.text))),
          entry.steps.length > 5 ? h('li', { class: 'more', text: (entry.steps.length - 5) + ' more' }) : null) : null),
      h('span', { class: 'attempts', text: attempts }),
      h('span', { class: 'time', text: f.attempts.length ? formatDuration(f.duration_ms) : '' }));
  }

  function tagButtons(tags) {
    if (!tags.length) return null;
    return h('span', { class: 'tags' }, tags.map((t) => h('button', {
      type: 'button', class: 'tag', key: 'tag:' + t, title: 'Show the files tagged ' + t,
      onclick: () => go({ q: '@' + t, file: null, attempt: null, step: null }, current.file != null),
    }, '@' + t)));
  }

  /* ------------------------------------------------------------ file view */

  function showFile(file, state) {
    listView.hidden = true;
    fileView.hidden = false;
    const ai = attemptIndex(file, state.attempt);
    const attempt = ai >= 0 ? file.attempts[ai] : null;
    const si = stepIndex(attempt, state.step);
    const back = formatHash({ status: state.status, q: state.q });

    const meta = [badge(file.status)];
    if (file.duration_ms != null) meta.push(h('span', { text: formatDuration(file.duration_ms) }));
    if (file.attempts.length > 1) meta.push(h('span', { text: file.attempts.length + ' attempts' }));
    if (file.url) meta.push(h('span', null, 'start address ', h('code', { class: 'url', text: file.url })));
    meta.push(tagButtons(file.tags));

    const notes = [];
    if (file.status === 'flaky') {
      const passedOn = file.attempts.find((a) => a.status === 'passed');
      const failedCount = file.attempts.filter((a) => a.status === 'failed').length;
      notes.push(h('p', { class: 'note st-flaky' }, h('strong', { text: 'Flaky: ' }),
        'failed ' + (failedCount === 1 ? 'once' : failedCount + ' times') +
        (passedOn ? ', then passed on attempt ' + passedOn.attempt : '') + '.'));
    }
    if (file.status === 'error') {
      notes.push(h('div', { class: 'failure', role: 'alert' }, h('p', { class: 'message', text: 'Could not run: ' + (file.error || 'no reason given') })));
    }
    if (file.status === 'not_run') {
      notes.push(h('p', { class: 'note', text: 'Not run: ' + (file.reason || (report.interrupted ? 'the run was interrupted before this file finished.' : 'no reason given.')) }));
    }
    if (file.status === 'skipped') {
      notes.push(h('p', { class: 'note', text: 'Skipped' + (file.reason ? ': ' + file.reason : '.') }));
    }

    const head = h('header', { class: 'file-head' },
      h('nav', { class: 'crumbs', 'aria-label': 'Report' }, h('a', { href: back || '#', key: 'back', text: '← All files' })),
      h('h1', { tabindex: '-1', key: 'file-heading', class: 'file-title', text: file.path }),
      h('p', { class: 'file-meta' }, meta),
      notes);

    const body = [];
    if (file.attempts.length > 1) body.push(attemptTabs(file, ai));
    if (attempt) body.push(attemptPanel(file, attempt, si, file.attempts.length > 1));
    else if (file.status !== 'error' && file.status !== 'not_run' && file.status !== 'skipped') {
      body.push(h('p', { class: 'note', text: 'No attempt of this file was recorded.' }));
    }
    fileView.replaceChildren(head, ...body);
    const step = attempt && si >= 0 ? attempt.steps[si] : null;
    doc.title = file.path + ' · ' + statusWord(file.status) + (step ? ' · step ' + step.number : '') + ' · plainstep report';
  }

  function attemptTabs(file, selected) {
    const tabs = file.attempts.map((a, i) => h('button', {
      type: 'button', role: 'tab', id: 'tab-' + i, key: 'tab:' + a.attempt,
      'aria-selected': i === selected ? 'true' : 'false', 'aria-controls': 'attempt-panel',
      tabindex: i === selected ? '0' : '-1', class: 'tab ' + statusClass(a.status),
      onclick: () => go({ attempt: a.attempt, step: null }),
    }, 'attempt ' + a.attempt + ' ', h('span', { class: 'tab-status', text: '(' + statusWord(a.status) + ')' })));
    const list = h('div', { role: 'tablist', 'aria-label': 'Attempts', class: 'tabs' }, tabs);
    list.addEventListener('keydown', (e) => {
      const n = file.attempts.length;
      let to = null;
      if (e.key === 'ArrowRight') to = (selected + 1) % n;
      else if (e.key === 'ArrowLeft') to = (selected - 1 + n) % n;
      else if (e.key === 'Home') to = 0;
      else if (e.key === 'End') to = n - 1;
      if (to == null) return;
      e.preventDefault();
      go({ attempt: file.attempts[to].attempt, step: null }, false, 'tab:' + file.attempts[to].attempt);
    });
    return list;
  }

  function attemptPanel(file, attempt, si, tabbed) {
    const parts = [];
    if (attempt.trace) {
      const href = safeHref(attempt.trace);
      parts.push(h('div', { class: 'trace' },
        h('span', { class: 'trace-label', text: 'Trace' }), ' ',
        fileLink(attempt.trace, null, { download: '' }),
        href ? [h('span', { class: 'hint', text: ' open it from the report folder with ' }),
          command('npx playwright show-trace ' + shellQuote(attempt.trace), 'copy-trace')] : null));
    }
    if (attempt.error) {
      parts.push(h('div', { class: 'failure', role: 'alert' }, h('p', { class: 'message', text: attempt.error })));
    }
    const steps = attempt.steps;
    if (steps.length === 0) {
      parts.push(h('p', { class: 'note', text: 'This attempt ran no steps.' }));
    } else {
      parts.push(h('div', { class: 'columns' }, stepList(attempt, si), stepDetail(file, attempt, si)));
    }
    return h('div', tabbed ? { role: 'tabpanel', id: 'attempt-panel', 'aria-labelledby': 'tab-' + file.attempts.indexOf(attempt), class: 'attempt' } : { class: 'attempt' }, parts);
  }

  function stepList(attempt, si) {
    return h('section', { class: 'steps', 'aria-labelledby': 'steps-h' },
      h('h2', { id: 'steps-h' }, 'Steps', h('span', { class: 'h-sub', text: ' · attempt ' + attempt.attempt + ', ' + statusWord(attempt.status) + ', ' + formatDuration(attempt.duration_ms) })),
      h('ol', { class: 'step-list' }, attempt.steps.map((s, i) => h('li', null, h('button', {
        type: 'button', class: 'step-row ' + statusClass(s.status), key: 'step:' + s.number,
        'aria-current': i === si ? 'step' : null,
        onclick: () => {
          go({ attempt: attempt.attempt, step: s.number });
          const detail = doc.querySelector('.detail');
          if (detail && detail.getBoundingClientRect().top < 0) detail.scrollIntoView({ block: 'start' });
        },
      },
      h('span', { class: 'num', text: String(s.number) }),
      badge(s.status),
      h('span', { class: 'step-text', text: s.text }),
      h('span', { class: 'time', text: formatDuration(s.duration_ms) }),
      stepLine(s))))));
  }

  // Under the step text: what it settled on (or why it failed) and the route.
  function stepLine(s) {
    const said = s.status === 'failed' && s.message ? s.message : s.outcome;
    if (!said && !(s.route && s.status === 'passed')) return null;
    return h('span', { class: 'step-line' },
      said ? h('span', { class: 'said', text: said }) : null,
      // A failure's message already names its route.
      s.route && s.status === 'passed' ? h('span', { class: 'route', text: (said ? ' · ' : '') + 'route: ' + s.route }) : null);
  }

  function stepDetail(file, attempt, si) {
    const steps = attempt.steps;
    const s = steps[si];
    const pageTo = (i) => { if (i >= 0 && i < steps.length) go({ attempt: attempt.attempt, step: steps[i].number }); };
    const prev = h('button', { type: 'button', key: 'prev', class: 'pager-button', disabled: si <= 0, onclick: () => pageTo(si - 1) }, '← Previous');
    const next = h('button', { type: 'button', key: 'next', class: 'pager-button', disabled: si >= steps.length - 1, onclick: () => pageTo(si + 1) }, 'Next →');

    const where = [];
    if (s.line != null) where.push('line ' + s.line);
    if (s.source) where.push('from ' + s.source);
    const parts = [
      h('div', { class: 'detail-head' },
        h('h2', { id: 'detail-h' }, 'Step ' + s.number, h('span', { class: 'h-sub', text: ' of ' + steps.length })),
        h('p', { class: 'step-meta' }, badge(s.status),
          s.duration_ms != null && s.status !== 'skipped' ? h('span', { text: formatDuration(s.duration_ms) }) : null,
          where.length ? h('span', { text: where.join(', ') }) : null),
        h('div', { class: 'pager', role: 'group', 'aria-label': 'Page through the steps (arrow keys too)' }, prev, next)),
      h('p', { class: 'step-title', text: s.text }),
    ];
    if (s.outcome) parts.push(h('p', { class: 'outcome' }, h('span', { class: 'label', text: 'Outcome ' }), h('code', { text: s.outcome })));
    if (s.status === 'failed') {
      const details = s.details.length ? h('pre', { class: 'details', text: s.details.join('\n') }) : null;
      parts.push(h('div', { class: 'failure' },
        h('p', { class: 'message', text: s.message || 'The step failed.' }),
        details && s.candidates.length ? h('details', null, h('summary', { text: 'As printed in the terminal' }), details) : details));
    }
    parts.push(resolvedTo(s));
    if (s.screenshot) parts.push(screenshot(s));
    else if (s.status === 'failed') parts.push(h('p', { class: 'note', text: 'No screenshot was saved for this step.' }));
    if (s.candidates.length) parts.push(candidateList(s));
    if (s.snapshot) {
      const replay = 'plainstep resolve --snapshot ' + shellQuote(s.snapshot) + ' --step ' + shellQuote(s.text);
      parts.push(h('div', { class: 'snapshot' },
        h('h3', { text: 'Page snapshot' }),
        h('p', null, 'The page as this step read it: ', fileLink(s.snapshot)),
        h('p', { class: 'hint' }, 'Replay the step on it, from the report folder: '),
        command(replay, 'copy-replay')));
    }
    return h('section', { class: 'detail', 'aria-labelledby': 'detail-h' }, parts);
  }

  // What the step settled on and the route that chose it: the "why" of a step.
  function resolvedTo(s) {
    const pair = (name, value, cls) => h('div', { class: cls || null }, h('dt', { text: name }), h('dd', null, value));
    const e = s.element;
    const lines = [];
    const first = [];
    if (e) first.push(pair('Resolved to', h('code', { text: describeElement(e) })));
    else if (s.status !== 'skipped') first.push(pair('Resolved to', s.status === 'failed' ? 'nothing' : 'no element'));
    if (s.route) first.push(pair('Route', s.route));
    if (first.length) lines.push(first);
    if (e) {
      const second = [pair('Tag', e.tag || '–')];
      if (e.text.trim()) second.push(pair('Text', e.text, 'long'));
      if (e.label) second.push(pair('Label', e.label, 'long'));
      if (e.box) {
        second.push(pair('Position', '(' + Math.round(e.box.x) + ', ' + Math.round(e.box.y) + ')'));
        second.push(pair('Size', Math.round(e.box.width) + ' × ' + Math.round(e.box.height) + ' px'));
      }
      lines.push(second);
      if (e.xpath) lines.push([pair('Path', h('code', { text: e.xpath }), 'long')]);
    }
    if (!lines.length) return null;
    return h('div', { class: 'resolved' }, lines.map((l) => h('dl', null, l)));
  }

  function screenshot(s) {
    const marks = overlayMarks(s);
    const href = safeHref(s.screenshot);
    const frame = h('div', { class: 'shot-frame' });
    const layer = h('div', { class: 'marks', 'aria-hidden': 'true' });
    const caption = h('figcaption');
    const what = s.status === 'failed' ? 'The page when step ' + s.number + ' failed' : 'The page at step ' + s.number;
    if (!href) {
      return h('figure', { class: 'shot' }, h('p', { class: 'note', text: 'The screenshot path "' + s.screenshot + '" is not inside the report folder.' }));
    }
    const img = h('img', { src: href, alt: what + (marks.length ? ', with ' + marks.map((m) => m.label).join(', ') + ' outlined' : '') });
    frame.append(img, layer);

    const outside = [];
    const place = () => {
      layer.replaceChildren();
      outside.length = 0;
      for (const m of marks) {
        const p = boxPlacement(m.box, img.naturalWidth, img.naturalHeight);
        if (!p) continue;
        if (p.outside) { outside.push(m.label); continue; }
        const el = h('div', {
          class: 'mark mark-' + m.kind + (p.top < 6 ? ' near-top' : '') + (p.clipped ? ' clipped' : ''),
          'data-mark': m.number == null ? 'chosen' : String(m.number),
        }, h('span', { class: 'mark-label', text: m.label }));
        el.style.left = p.left + '%';
        el.style.top = p.top + '%';
        el.style.width = p.width + '%';
        el.style.height = p.height + '%';
        layer.appendChild(el);
      }
      caption.replaceChildren(captionText(s, marks, outside), ' ', h('a', { href, target: '_blank', rel: 'noopener', text: 'Open the image' }));
    };
    img.addEventListener('load', place);
    img.addEventListener('error', () => {
      frame.replaceChildren(h('p', { class: 'note', text: 'The screenshot ' + s.screenshot + ' could not be loaded: it is missing from the report folder.' }));
      caption.replaceChildren();
    });
    caption.append(captionText(s, marks, []));
    return h('figure', { class: 'shot' }, frame, caption);
  }

  function captionText(s, marks, outside) {
    if (!marks.length) return s.status === 'failed' ? 'Nothing to outline: the step found no element.' : '';
    const numbered = marks.filter((m) => m.number != null).length;
    const chosen = marks.some((m) => m.kind === 'chosen');
    const bits = [];
    if (chosen) bits.push('the chosen element is outlined in blue');
    if (numbered) bits.push('the closest candidates are numbered as in the list below');
    let t = bits.join('; ') + '.';
    t = t.charAt(0).toUpperCase() + t.slice(1);
    if (outside.length) t += ' Outside the visible part of the page: ' + outside.join(', ') + '.';
    return t;
  }

  function candidateList(s) {
    const items = s.candidates.map((c, i) => {
      const n = i + 1;
      const li = h('li', { 'data-mark': String(n) },
        h('span', { class: 'mark-num', 'aria-hidden': 'true', text: String(n) }),
        h('span', { class: 'cand-text' },
          h('span', { class: 'visually-hidden', text: n + '. ' }),
          h('code', { text: c ? describeElement(c) : '(no record)' }),
          c && s.element && c.xpath && c.xpath === s.element.xpath ? h('span', { class: 'chosen-word', text: ' chosen' }) : null,
          c && !c.box ? h('span', { class: 'hint', text: ' (no position, not outlined)' }) : null,
          c && c.xpath ? h('span', { class: 'xpath', text: c.xpath }) : null));
      const hot = (on) => {
        const m = doc.querySelector('.marks [data-mark="' + n + '"]');
        if (m) m.classList.toggle('hot', on);
      };
      li.addEventListener('mouseenter', () => hot(true));
      li.addEventListener('mouseleave', () => hot(false));
      return li;
    });
    const title = s.status === 'failed' ? 'Closest candidates' : 'Candidates';
    return h('section', { class: 'candidates', 'aria-labelledby': 'cand-h' },
      h('h3', { id: 'cand-h', text: title }),
      h('ol', { class: 'cand-list' }, items));
  }

  /* ------------------------------------------------------- keys and start */

  function onKey(e) {
    if (fileView.hidden || e.altKey || e.ctrlKey || e.metaKey || e.shiftKey) return;
    if (e.key !== 'ArrowLeft' && e.key !== 'ArrowRight') return;
    const t = e.target;
    if (t && t.closest && t.closest('input, textarea, select, [contenteditable], [role=tab], summary')) return;
    const file = findFile(current.file);
    if (!file) return;
    const ai = attemptIndex(file, current.attempt);
    const attempt = ai >= 0 ? file.attempts[ai] : null;
    if (!attempt || !attempt.steps.length) return;
    const si = stepIndex(attempt, current.step);
    const to = si + (e.key === 'ArrowRight' ? 1 : -1);
    if (to < 0 || to >= attempt.steps.length) return;
    e.preventDefault();
    go({ attempt: attempt.attempt, step: attempt.steps[to].number });
  }

  function start() {
    const main = doc.getElementById('main');
    const check = checkReport(global.PLAINSTEP_REPORT);
    if (check.fatal) {
      main.replaceChildren(h('div', { class: 'fatal', role: 'alert' },
        h('h1', { text: 'This report cannot be shown' }), h('p', { text: check.fatal })));
      return;
    }
    report = normaliseReport(global.PLAINSTEP_REPORT);
    listView = h('div', { id: 'list-view' });
    fileView = h('div', { id: 'file-view', hidden: true });
    main.replaceChildren(listView, fileView);
    const foot = doc.getElementById('run-line');
    if (foot) {
      foot.textContent = 'plainstep ' + (report.plainstep || '') + (report.started ? ' · run started ' + formatDateTime(report.started, true) : '');
    }
    buildList(check.warnings);
    global.addEventListener('hashchange', () => render());
    doc.addEventListener('keydown', onKey);
    render();
  }

  if (doc.readyState === 'loading') doc.addEventListener('DOMContentLoaded', start);
  else start();
})(typeof window !== 'undefined' ? window : globalThis);

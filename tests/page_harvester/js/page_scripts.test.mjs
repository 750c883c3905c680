// The in-page scripts, checked in node: every file parses, each is one
// expression as the page receives it, and the helpers that need no page
// give the right answers.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import vm from 'node:vm';

const dir = process.env.PLAINSTEP_PAGE_SCRIPTS ||
  new URL('../../../engine/browser/page_harvester/js/', import.meta.url).pathname;
const scripts = readdirSync(dir).filter(f => f.endsWith('.js')).sort();

test('there are scripts to check', () => {
  assert.ok(scripts.length >= 8, `only ${scripts.length} scripts in ${dir}`);
});

for (const file of scripts) {
  test(`${file} passes node --check`, () => {
    execFileSync(process.execPath, ['--check', join(dir, file)], { stdio: 'pipe' });
  });
  test(`${file} is one expression`, () => {
    // Each file is sent to the page as the text of one expression.
    const text = readFileSync(join(dir, file), 'utf8');
    assert.doesNotThrow(() => new vm.Script('(' + text + '\n)'), `${file} is not a single expression`);
  });
}

// The shared helpers, made as the page makes them.
const lib = vm.runInNewContext('(' + readFileSync(join(dir, 'page_lib.js'), 'utf8') + '\n)(' +
  readFileSync(join(dir, 'element_path.js'), 'utf8') + '\n)');

test('lone surrogates become U+FFFD, pairs stay', () => {
  const rows = [
    ['a\ud800b', 'a\ufffdb'], ['\udc00', '\ufffd'], ['\ud83d\ude00', '\ud83d\ude00'],
    ['\ude00\ud83d', '\ufffd\ufffd'], ['\ud83d\ude00\ud83d', '\ud83d\ude00\ufffd'], ['plain', 'plain'], ['', ''],
  ];
  for (const [input, expected] of rows) {
    assert.equal(lib.wf(input), expected, JSON.stringify(input));
    assert.equal(lib.replaceLone(input), expected, 'without isWellFormed: ' + JSON.stringify(input));
  }
  assert.equal(lib.wf(null), null);
  assert.equal(lib.wf(undefined), undefined);
});

test('white space runs squeeze to one space', () => {
  assert.equal(lib.squeeze('  Show \n10\n25\n  entries '), 'Show 10 25 entries');
  assert.equal(lib.squeeze('\t\n'), '');
});

// Nodes with just what the path function reads.
const XHTML = 'http://www.w3.org/1999/xhtml';
const SVG = 'http://www.w3.org/2000/svg';
const tree = () => {
  const make = (localName, parentNode, ns = XHTML) => {
    const el = { nodeType: 1, localName, namespaceURI: ns, parentNode, previousElementSibling: null };
    if (parentNode) {
      const kids = parentNode.kids || (parentNode.kids = []);
      el.previousElementSibling = kids[kids.length - 1] || null;
      kids.push(el);
    }
    return el;
  };
  return { make, doc: (frameElement = null) => ({ nodeType: 9, defaultView: { frameElement } }) };
};

test('paths: light tree, shadow trees, frames', () => {
  const { make, doc } = tree();
  const top = doc();
  const html = make('html', top);
  const body = make('body', html);
  make('div', body);
  make('p', body);
  const div2 = make('div', body);
  assert.equal(lib.elementPath(div2), '/html[1]/body[1]/div[2]');
  const host = make('x-card', div2);
  const root = { nodeType: 11, host };
  make('style', root);
  const div = make('div', root);
  const button = make('button', div);
  assert.equal(lib.elementPath(button), '/html[1]/body[1]/div[2]/x-card[1]/#shadow-root/div[1]/button[1]');
  const iframe = make('iframe', body);
  const inner = doc(iframe);
  const innerHtml = make('html', inner);
  const input = make('input', make('form', make('body', innerHtml)));
  assert.equal(lib.elementPath(input),
    '/html[1]/body[1]/iframe[1]/#document/html[1]/body[1]/form[1]/input[1]');
});

test('paths: a name no step can hold gives no path', () => {
  const { make, doc } = tree();
  const body = make('body', make('html', doc()));
  for (const name of ['x]y', "a'b", 'x[1]', 'DIV', 'x-é', '']) {
    const odd = make(name, body);
    assert.equal(lib.elementPath(odd), null, name);
    assert.equal(lib.elementPath(make('button', odd)), null, 'inside ' + name);
  }
  assert.equal(lib.elementPath(make('svg', body, SVG)), null, 'not an HTML element');
  assert.equal(lib.elementPath(make('my-el.v2_x', body)), '/html[1]/body[1]/my-el.v2_x[1]');
});

test('paths: same names counted by name and namespace', () => {
  const { make, doc } = tree();
  const body = make('body', make('html', doc()));
  make('a', body, SVG);
  make('a', body);
  make('x]y', body);
  const a = make('a', body);
  assert.equal(lib.elementPath(a), '/html[1]/body[1]/a[2]');
});

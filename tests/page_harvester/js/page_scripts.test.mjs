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

// An element with just what the icon reading asks of one icon.
const icon = (localName, attributes = {}, innerText = '') =>
  ({ localName, innerText, getAttribute: name => name in attributes ? attributes[name] : null });

test('icons: the name each icon set gives, in words', () => {
  const rows = [
    [icon('svg', { class: 'svg-inline--fa fa-user fa-fw', 'data-icon': 'user', 'data-prefix': 'fas' }), 'user'],
    [icon('i', { class: 'fas fa-user fa-fw' }), 'user'],
    [icon('i', { class: 'fa-solid fa-arrow-right-from-bracket fa-2xl fa-beat' }), 'arrow right from bracket'],
    [icon('i', { class: 'fa fa-fw fa-3x fa-rotate-270 fa-flip-horizontal fa-pull-left fa-w-14 fa-stack-1x ' +
      'fa-star' }), 'star'],
    [icon('i', { class: 'fa-brands fa-github' }), 'github'],
    [icon('i', { class: 'bi bi-box-arrow-in-right' }), 'box arrow in right'],
    [icon('span', { class: 'glyphicon glyphicon-trash' }), 'trash'],
    [icon('i', { class: 'mdi mdi-account-cog mdi-24px mdi-spin' }), 'account cog'],
    [icon('svg', { class: 'feather feather-log-out' }), 'log out'],
    [icon('i', { 'data-feather': 'log-out' }), 'log out'],
    [icon('svg', { class: 'lucide lucide-icon lucide-circle-plus', 'data-lucide': 'circle-plus' }), 'circle plus'],
    [icon('svg', { class: 'lucide lucide-icon lucide-circle-plus' }), 'circle plus'],
    [icon('span', { class: 'icon icon-home icon-large' }), 'home'],
    [icon('span', { class: 'iconify', 'data-icon': 'mdi:account-circle' }), 'account circle'],
    [icon('ion-icon', { name: 'heart-outline' }), 'heart outline'],
    [icon('mat-icon', { 'data-mat-icon-name': 'thumb_up' }), 'thumb up'],
    [icon('span', { class: 'material-icons' }, 'arrow_forward'), 'arrow forward'],
    [icon('span', { class: 'material-symbols-rounded' }, ' settings '), 'settings'],
    [icon('mat-icon', { class: 'mat-icon notranslate' }, 'home'), 'home'],
    [icon('use', { href: '#icon-heart' }), 'heart'],
    [icon('use', { 'xlink:href': '/img/bootstrap-icons.svg#cart-plus' }), 'cart plus'],
    [icon('i', { class: 'FA FA-Bell' }), 'bell'],
  ];
  for (const [el, name] of rows) assert.equal(lib.iconOf(el)?.name, name, JSON.stringify(el));
  const material = lib.iconOf(icon('span', { class: 'material-icons-outlined' }, 'delete_forever'));
  assert.equal(material.glyph, 'delete_forever', 'a ligature is also text the control shows');
  assert.equal(lib.iconOf(icon('i', { class: 'fa fa-user' })).glyph, '');
});

test('icons: style classes, wrappers and other attributes name none', () => {
  const rows = [
    icon('i', { class: 'fa fas fa-fw fa-lg fa-spin fa-2x' }), icon('i', { class: 'bi' }),
    icon('span', { class: 'icon icon-wrapper icon-lg icon-bar' }), icon('span', { class: 'mdi mdi-36px' }),
    icon('i', { class: 'lucide lucide-icon' }), icon('span', { class: 'iconic' }),
    icon('button', { 'data-icon': 'true' }), icon('span', { 'data-icon': '' }),
    icon('span', { class: 'material-icons' }, '\ue5c8'), icon('span', { class: 'material-icons' }, 'Not a name'),
    icon('use', { href: 'sprite.svg' }), icon('div', { class: 'card shadow' }),
  ];
  for (const el of rows) assert.equal(lib.iconOf(el), null, JSON.stringify(el));
});

test('icons: names read as words', () => {
  const rows = [['arrow-right', 'arrow right'], ['arrow_forward', 'arrow forward'], ['mdi:home', 'home'],
    [' User ', 'user'], ['trash-2', 'trash 2'], ['a--b__c', 'a b c'], ['42', null], ['x]y', null], ['', null],
    [null, null]];
  for (const [value, words] of rows) assert.equal(lib.iconWords(value), words, String(value));
});

// Elements with just what the sibling-label functions read: text nodes,
// element children, siblings, the parent and the text content.
const family = (random, size) => {
  const words = ['', ' ', 'Name', ' Email ', 'x'.repeat(49), 'y'.repeat(50), 'Street and number'];
  const text = () => ({ nodeType: 3, textContent: words[random(words.length)] });
  const element = (childNodes, parentElement = null) => {
    const el = { nodeType: 1, childNodes, parentElement };
    el.children = childNodes.filter(n => n.nodeType === 1);
    el.firstElementChild = el.children[0] || null;
    el.children.forEach((c, i) => {
      c.parentElement = el;
      c.previousElementSibling = el.children[i - 1] || null;
    });
    Object.defineProperty(el, 'textContent', { get: () => el.childNodes.map(n => n.textContent).join('') });
    return el;
  };
  const leaf = () => element(Array.from({ length: random(3) }, text));
  const child = () => [leaf, () => element([leaf(), text()]), () => element([text(), leaf(), text()])][random(3)]();
  return element(Array.from({ length: size }, child));
};

test('sibling labels for many fields agree with the functions for one', () => {
  const load = file => vm.runInNewContext('(' + readFileSync(join(dir, file), 'utf8') + '\n)');
  const precedingSibling = load('preceding_sibling.js');
  const parentChildren = load('parent_children.js');
  let seed = 11;
  const random = n => {
    seed = (seed * 1103515245 + 12345) % 2147483648;
    return seed % n;
  };
  let found = 0, none = 0;
  for (let round = 0; round < 60; round++) {
    const parent = family(random, 1 + random(40));
    const siblings = lib.siblingLabels();
    // Fields asked in any order, some twice, as a reading asks them.
    const asked = parent.children.filter(() => random(3) > 0);
    for (let i = 0, n = asked.length; i < n; i++) if (random(4) === 0) asked.push(asked[random(n)]);
    for (let i = asked.length - 1; i > 0; i--) {
      const j = random(i + 1);
      [asked[i], asked[j]] = [asked[j], asked[i]];
    }
    for (const el of asked) {
      assert.equal(siblings.preceding(el), precedingSibling(el), `round ${round}: preceding sibling`);
      assert.equal(siblings.parentChildren(el), parentChildren(el), `round ${round}: parent's children`);
      if (precedingSibling(el) === null) none++; else found++;
    }
  }
  assert.ok(found > 100 && none > 100, `${found} found, ${none} without text`);
  const orphan = { nodeType: 1, childNodes: [], parentElement: null, previousElementSibling: null };
  assert.equal(lib.siblingLabels().parentChildren(orphan), null);
});

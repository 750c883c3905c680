#!/usr/bin/env node
// Writes random steps of the step forms that existed before the language
// grew (negatives, exact checks, page checks, new actions, variables and
// shared steps), well formed and malformed, one per line. Seeded, so the
// same seed gives the same steps on any machine:
//   node generate.js [SEED] [COUNT] > steps.txt
// The golden file today_forms.jsonl holds these steps with what the reader
// made of them before the language grew; today_forms_test.cpp compares.
'use strict';

const seed = Number(process.argv[2] || 15);
const count = Number(process.argv[3] || 4000);

// mulberry32: small, seeded, the same everywhere.
let state = seed >>> 0;
function rnd() {
  state = (state + 0x6d2b79f5) >>> 0;
  let t = state;
  t = Math.imul(t ^ (t >>> 15), t | 1);
  t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
  return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
}
const pick = (a) => a[Math.floor(rnd() * a.length)];
const chance = (p) => rnd() < p;
const upTo = (n) => Math.floor(rnd() * (n + 1));

const WORDS = ['Save', 'Login', 'Add', 'to', 'cart', 'Email', 'Total', 'Price', 'Name', 'Search',
  'Colour', 'Red', 'Help', 'Checkout', 'Welcome', 'Ada', 'Order', 'placed', 'Products', 'mug',
  'Thunderbird', 'Linear', 'Items', 'Sold', 'out', 'Register', 'terms', 'Remember', 'me',
  'Option', '02', 'B', 'D', '12.50', '$1,234.50', 'İzmir', 'café', 'x', 'is', 'not', 'exactly',
  'visible', 'present', 'enabled', 'disabled', 'hidden', 'checked', 'value', 'has', 'contains',
  'count', 'of', 'url', 'title', 'as', 'tab', 'new', 'into', 'from', 'says', 'text', 'dialog',
  'click', 'type', 'verify', 'to', 'and', 'then', 'Option 01', 'Delete'];
const FILLERS = ['the', 'a', 'an', 'on', 'in', 'at', 'into', 'The'];
const TYPES = ['button', 'btn', 'link', 'field', 'input', 'textbox', 'dropdown', 'select',
  'checkbox', 'radio', 'box', 'icon', 'anchor'];
const RELATIONS = ['next to', 'below', 'above', 'left of', 'right of', 'under', 'near', 'Below',
  'RIGHT OF', 'left', 'right'];
const ORDINALS = ['first', 'second', 'third', 'fourth', 'fifth', 'Second', 'sixth', '1st', '2nd',
  '3rd'];
const KEYS = ['Enter', 'Tab', 'Shift+Tab', 'Control+A', 'Escape', 'ArrowDown', 'a', '"Enter"',
  "'x'"];
const STATES = ['is present', 'is visible', 'is enabled', 'is disabled', 'IS VISIBLE', 'is Present'];
const TEXT_STATES = ['is present', 'is visible', 'Is Visible'];
const SPACES = [' ', ' ', ' ', ' ', '  ', '\u00a0', '\t'];

function words(min, max) {
  const n = min + upTo(max - min);
  const out = [];
  for (let i = 0; i < n; i++) out.push(pick(WORDS));
  return out.join(pick(SPACES));
}

function quoted(s) { return chance(0.2) ? '"' + s + '"' : s; }

// An element phrase: filler, words, a type word, perhaps a place.
function phrase() {
  let p = words(0, 3);
  if (chance(0.3)) p = (p ? p + ' ' : '') + pick(TYPES);
  if (chance(0.2)) p = pick(TYPES) + (p ? ' ' + p : '');
  if (chance(0.2)) p = (p ? p + ' ' : '') + pick(RELATIONS) + ' ' + words(1, 2);
  p = quoted(p);
  if (chance(0.3)) p = pick(FILLERS) + ' ' + p;
  return p;
}

function caseOf(s) {
  if (chance(0.1)) return s.toUpperCase();
  if (chance(0.1)) return s[0].toUpperCase() + s.slice(1);
  return s;
}

const FORMS = [
  () => caseOf('click ') + (chance(0.3) ? pick(ORDINALS) + ' ' : '') + phrase(),
  () => caseOf('type ') + quoted(words(0, 3)) + caseOf(' into ') + phrase(),
  () => caseOf('select ') + quoted(words(0, 2)) + caseOf(' from ') + phrase(),
  () => caseOf('hover ') + phrase(),
  () => caseOf('press ') + pick(KEYS),
  () => caseOf('sendkeys ') + pick(KEYS),
  () => caseOf('wait ') + pick(['500', '0', '"250"', "'100'", '1.5', 'x', '3600001', '٣٠٠', '']),
  () => caseOf('find text ') + quoted(words(0, 3)),
  () => caseOf('find exact text ') + quoted(words(0, 3)),
  () => caseOf(pick(['extract text ', 'extract_text '])) + (chance(0.3) ? 'from ' : '') +
        (chance(0.3) ? pick(ORDINALS) + ' ' : '') + phrase(),
  () => caseOf('extract text ') + pick(RELATIONS) + ' ' + quoted(words(1, 2)),
  () => caseOf('verify ') + phrase() + ' ' + pick(STATES),
  () => caseOf('verify text ') + quoted(words(0, 3)) + ' ' + pick(TEXT_STATES),
  () => caseOf('verify text ') + pick(RELATIONS) + ' ' + quoted(words(1, 2)) + caseOf(' is ') +
        (chance(0.15) ? pick(['not ', 'exactly ', 'not exactly ', 'NOT ']) : '') +
        quoted(words(0, 2)),
  () => pick(['accept dialog', 'dismiss dialog', 'Accept Dialog', 'accept  dialog']),
  () => caseOf('verify dialog says ') + words(0, 4),
  () => pick(['back', 'refresh', 'Back']),
];

// Malformed versions of the same forms: parts missing, words swapped.
const BROKEN = [
  () => 'type ' + words(0, 2) + (chance(0.5) ? ' into' : ''),
  () => 'type into ' + words(0, 2),
  () => 'select ' + words(1, 2) + ' ' + words(0, 2),
  () => 'verify ' + phrase(),
  () => 'verify text ' + words(0, 3),
  () => 'verify text ' + pick(RELATIONS) + ' ' + words(0, 2),
  () => 'verify ' + phrase() + ' is ' + pick(['shown', 'there', 'on', 'off']),
  () => pick(['click', 'type', 'hover', 'select', 'press', 'wait', 'find', 'extract', 'verify',
              'sendkeys', 'accept', 'dismiss', 'verify dialog', 'find text', 'extract text']),
  () => pick(['jump', 'tap', 'open', 'goto', 'navigate', 'choose', 'enter', 'fill']) + ' ' + words(0, 2),
  () => 'click "' + words(1, 2),
  () => pick(['"click" Save', "don't", '  ', '', 'wait 5 s']),
];

const seen = new Set();
const out = [];
while (out.length < count) {
  const step = (chance(0.85) ? pick(FORMS) : pick(BROKEN))();
  const padded = chance(0.05) ? pick(SPACES) + step + pick(SPACES) : step;
  if (padded.includes('\n') || seen.has(padded)) continue;
  seen.add(padded);
  out.push(padded);
}
process.stdout.write(out.join('\n') + '\n');

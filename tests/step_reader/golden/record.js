#!/usr/bin/env node
// Records what a plainstep binary's reader makes of steps, one JSON line per
// step: {"step", "parsed" (the record, or {"error"}), "issues"}.
//   node record.js PLAINSTEP STEPS_FILE > today_forms.jsonl
// The long list the "Unrecognised instruction" message ends with is written
// once as SUPPORTED_MARK, so the file stays small; the test puts it back.
'use strict';
const { execFileSync } = require('child_process');
const fs = require('fs');

const [bin, file] = process.argv.slice(2);
const steps = fs.readFileSync(file, 'utf8').replace(/\n$/, '').split('\n');
const input = steps.join('\n') + '\n';
const run = (cmd) => {
  try {
    return execFileSync(bin, [cmd, '-'], { input, maxBuffer: 1 << 28 }).toString();
  } catch (e) {
    return e.stdout.toString();  // exit 1 or 2 when a step fails: the output is still whole
  }
};
const parsed = run('parse').replace(/\n$/, '').split('\n');
const issues = JSON.parse(run('validate'));
if (parsed.length !== steps.length) throw new Error(`${parsed.length} parse lines for ${steps.length} steps`);

const SUPPORTED = /\. Supported actions: \[[^\]]*\]$/;
const lines = steps.map((step, i) => {
  const p = JSON.parse(parsed[i]);
  if (p.error) p.error = p.error.replace(SUPPORTED, '. Supported actions: SUPPORTED_MARK');
  return JSON.stringify({ step, parsed: p, issues: issues[String(i + 1)] || [] });
});
process.stdout.write(lines.join('\n') + '\n');

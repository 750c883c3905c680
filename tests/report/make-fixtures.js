// Photographs fixture-page.html in the states the sample report shows and
// prints the boxes sample-report.js needs. Run it again only when the page
// changes, then copy the boxes into sample-report.js.
'use strict';
const path = require('path');
const fs = require('fs');
const { launch } = require('./browser');

const here = __dirname;
const out = path.join(here, 'sample', 'artifacts');
const page_url = 'file://' + path.join(here, 'fixture-page.html');

async function main() {
  const browser = await launch();
  try {
    const page = await browser.newPage({ viewport: { width: 1280, height: 720 } });
    await page.goto(page_url);
    const boxes = {};
    const box = async (name, selector) => {
      const b = await page.locator(selector).boundingBox();
      boxes[name] = { x: Math.round(b.x), y: Math.round(b.y), width: Math.round(b.width), height: Math.round(b.height) };
    };
    const shot = async (rel) => {
      const file = path.join(out, rel);
      fs.mkdirSync(path.dirname(file), { recursive: true });
      await page.screenshot({ path: file });
    };
    for (const [name, sel] of [['email', '#email'], ['password', '#password'], ['remember', '#remember'],
      ['login', '#login'], ['signup', '#signup'], ['forgot', 'text=Forgot password?']]) await box(name, sel);

    await page.fill('#email', 'ada@example.com');
    await shot('login/remember-me.steps/1-step1.png');
    await page.fill('#password', 'secret');
    await shot('login/remember-me.steps/1-step2.png');
    await shot('login/sign-in.steps/1-step3.png');
    await shot('login/sign-in.steps/2-step3.png');
    await page.check('#remember');
    await shot('login/remember-me.steps/1-step3.png');
    await page.evaluate(() => document.body.classList.add('welcome'));
    await box('welcome', '#welcome');
    await shot('login/remember-me.steps/1-step4.png');

    await page.evaluate(() => { document.body.className = 'cart'; });
    for (const [name, sel] of [['total', '#total'], ['amount', '#amount'], ['checkout', '#checkout']]) await box(name, sel);
    await shot('cart/checkout.steps/1-step4.png');
    console.log(JSON.stringify(boxes, null, 1));
  } finally {
    await browser.close();
  }
}

main().catch((e) => { console.error(e); process.exitCode = 1; });

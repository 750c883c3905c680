// The same test as freelancer-contact.steps, written with Playwright's locators.
const { run } = require('../twin');

run(__filename, async (t, page) => {
  const nav = page.locator('#mainNav');
  const fill = (label, value, opts) => t.fill(page.getByLabel(label, { exact: true }), value, opts);
  await t.open();
  await t.step('verify text Graphic Artist - Web Designer - Illustrator is visible',
    () => t.visibleText('Graphic Artist - Web Designer - Illustrator'));
  await t.step('click About', () => t.click(nav.getByRole('link', { name: 'About' })));
  await t.step('verify the Free Download! button is visible',
    () => t.visible(page.getByRole('link', { name: 'Free Download!' })));
  await t.step('click Contact', () => t.click(nav.getByRole('link', { name: 'Contact' })));
  // the page scrolls smoothly to the form
  await t.step('type Ada Lovelace into Full name', () => fill('Full name', 'Ada Lovelace', { moving: true }));
  await t.step('type ada@example.com into Email address', () => fill('Email address', 'ada@example.com'));
  await t.step('type (555) 010-0000 into Phone number', () => fill('Phone number', '(555) 010-0000'));
  await t.step('type I would like a portrait. into Message', () => fill('Message', 'I would like a portrait.'));
  await t.step('verify the Send button is visible', () => t.visible(page.getByRole('button', { name: 'Send' })));
  await t.step('verify text below Location is 2215 John Daniel Drive', async () => {
    const column = page.locator('footer .col-lg-4').filter({ has: page.getByRole('heading', { name: 'Location' }) });
    await t.hasText(column.locator('p'), '2215 John Daniel Drive');
    // heading and address measured at one moment: the page may still be scrolling
    const [a, b] = await column.evaluate((c) =>
      [c.querySelector('h4'), c.querySelector('p')].map((e) => e.getBoundingClientRect().toJSON()));
    if (!(b.y >= a.y + a.height - 1 && Math.abs(b.x + b.width / 2 - (a.x + a.width / 2)) < a.width)) {
      throw new Error(`the address at ${JSON.stringify(b)} is not below Location at ${JSON.stringify(a)}`);
    }
  });
});

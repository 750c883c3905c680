// The same test as sb-admin-register.steps, written with Playwright's locators.
const { run } = require('../twin');

run(__filename, async (t, page) => {
  const fill = (label, value) => t.fill(page.getByLabel(label, { exact: true }), value);
  await t.open();
  await t.step('verify text Create Account is visible',
    () => t.visible(page.getByRole('heading', { name: 'Create Account' })));
  await t.step('type Ada into First name', () => fill('First name', 'Ada'));
  await t.step('type Lovelace into Last name', () => fill('Last name', 'Lovelace'));
  await t.step('type ada@example.com into the Email address field', () => fill('Email address', 'ada@example.com'));
  await t.step('type analytical-engine into Password', () => fill('Password', 'analytical-engine'));
  await t.step('type analytical-engine into Confirm Password', () => fill('Confirm Password', 'analytical-engine'));
  await t.step('verify the Create Account button is visible',
    () => t.visible(page.getByRole('link', { name: 'Create Account' })));
  await t.step('click Have an account? Go to login', async () => {
    await t.click(page.getByRole('link', { name: 'Have an account? Go to login' }));
    await t.url(/login\.html$/);
  });
  await t.step('verify text Remember Password is visible', () => t.visibleText('Remember Password'));
});

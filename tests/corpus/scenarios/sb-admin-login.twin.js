// The same test as sb-admin-login.steps, written with Playwright's locators.
const { run } = require('../twin');

run(__filename, async (t, page) => {
  await t.open();
  await t.step('verify text Login is visible', () => t.visible(page.getByRole('heading', { name: 'Login' })));
  await t.step('type ada@example.com into Email address',
    () => t.fill(page.getByLabel('Email address'), 'ada@example.com'));
  await t.step('type analytical-engine into the Password field',
    () => t.fill(page.getByLabel('Password', { exact: true }), 'analytical-engine'));
  await t.step('click Remember Password', () => t.tick(page.getByLabel('Remember Password')));
  await t.step('click Forgot Password?', async () => {
    await t.click(page.getByRole('link', { name: 'Forgot Password?' }));
    await t.url(/password\.html$/);
  });
  await t.step('verify text Password Recovery is visible', () => t.visibleText('Password Recovery'));
  await t.step('verify text Enter your email address and we will send you a link to reset your password. is visible',
    () => t.visibleText('Enter your email address and we will send you a link to reset your password.'));
  await t.step('type ada@example.com into the Email address field',
    () => t.fill(page.getByLabel('Email address'), 'ada@example.com'));
  await t.step('click Return to login', async () => {
    await t.click(page.getByRole('link', { name: 'Return to login' }));
    await t.url(/login\.html$/);
  });
  await t.step('verify text Need an account? Sign up! is visible', () => t.visibleText('Need an account? Sign up!'));
  await t.step('click the Login button', async () => {
    await t.click(page.getByRole('link', { name: 'Login', exact: true }));
    await t.url(/index\.html$/);
  });
  await t.step('verify text Primary Card is visible', () => t.visibleText('Primary Card'));
});

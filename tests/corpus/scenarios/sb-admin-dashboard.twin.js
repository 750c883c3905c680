// The same test as sb-admin-dashboard.steps, written with Playwright's locators.
const { run } = require('../twin');

run(__filename, async (t, page) => {
  const sidenav = page.locator('#layoutSidenav_nav');
  await t.open();
  await t.step('verify text Dashboard is visible', () => t.visible(page.getByRole('heading', { name: 'Dashboard' })));
  await t.step('verify text Warning Card is visible', () => t.visibleText('Warning Card'));
  await t.step('verify text right of Primary Card is Warning Card', async () => {
    // the cards stand in one row, Warning to the right of Primary
    const primary = await page.getByText('Primary Card', { exact: true }).boundingBox();
    const warning = await page.getByText('Warning Card', { exact: true }).boundingBox();
    if (!(warning.x > primary.x + primary.width && Math.abs(warning.y - primary.y) < 5)) {
      throw new Error(`Warning Card at ${JSON.stringify(warning)} is not right of Primary Card at ${JSON.stringify(primary)}`);
    }
  });
  await t.step('click the user icon', async () => {
    await t.click(page.locator('#navbarDropdown'));
    await t.until('the user menu to open', () => page.locator('#navbarDropdown').getAttribute('aria-expanded'), (v) => v === 'true');
  });
  await t.step('verify Activity Log is visible', () => t.visible(page.getByRole('link', { name: 'Activity Log' })));
  await t.step('click Settings', () => t.click(page.getByRole('link', { name: 'Settings' })));
  await t.step('click Layouts', async () => {
    await t.click(sidenav.getByRole('link', { name: 'Layouts' }));
    await t.visible(sidenav.getByRole('link', { name: 'Static Navigation' }));
  });
  await t.step('click Static Navigation', async () => {
    await t.click(sidenav.getByRole('link', { name: 'Static Navigation' }));
    await t.url(/layout-static\.html$/);
  });
  await t.step('verify text Static Navigation is visible',
    () => t.visible(page.getByRole('heading', { name: 'Static Navigation' })));
  await t.step('verify text This page is an example of using static navigation. is visible',
    () => t.visibleText('This page is an example of using static navigation.'));
  await t.step('click Pages', async () => {
    await t.click(sidenav.getByRole('link', { name: 'Pages' }));
    await t.visible(sidenav.getByRole('link', { name: 'Authentication' }));
  });
  await t.step('click Authentication', async () => {
    await t.click(sidenav.getByRole('link', { name: 'Authentication' }));
    await t.visible(sidenav.getByRole('link', { name: 'Register' }));
  });
  await t.step('click Register', async () => {
    await t.click(sidenav.getByRole('link', { name: 'Register' }));
    await t.url(/register\.html$/);
  });
  await t.step('verify text Create Account is visible', () => t.visible(page.getByRole('heading', { name: 'Create Account' })));
});

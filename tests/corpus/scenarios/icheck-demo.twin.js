// The same test as icheck-demo.steps, written with Playwright's locators.
const { run } = require('../twin');

run(__filename, async (t, page) => {
  const callbacks = page.locator('.demo-callbacks');
  // the newest line of the Callbacks list that reads `line`
  const logged = (line) => t.visible(callbacks.getByText(line, { exact: true }));
  // iCheck hides the real input under its own box; a person clicks the box or
  // its label (either will do, so where it stands is not noted)
  const clickLabel = (text) => page.locator('.demo-list').getByText(text, { exact: true }).click();
  const methods = page.locator('.demo-methods');
  await t.open();
  await t.step('verify text Demo is visible', () => t.visible(page.getByRole('heading', { name: 'Demo', exact: true })));
  await t.step('verify text "#input-1 is created" is visible', () => logged('#input-1 is created'));
  await t.step('click Checkbox, #input-1', async () => {
    await clickLabel('Checkbox, #input-1');
    await t.checked(page.locator('#input-1'));
  });
  await t.step('verify text "#input-1 is checked" is visible', () => logged('#input-1 is checked'));
  await t.step('click Radio button, #input-3', async () => {
    await clickLabel('Radio button, #input-3');
    await t.checked(page.locator('#input-3'));
  });
  await t.step('verify text "#input-3 is checked" is visible', () => logged('#input-3 is checked'));
  await t.step('verify text "#input-4 is unchecked" is visible', () => logged('#input-4 is unchecked'));
  await t.step('click Remove checked state from 1 and 3 inputs', async () => {
    await t.click(methods.getByText('Remove checked state from 1 and 3 inputs'));
    await t.checked(page.locator('#input-1'), false);
  });
  await t.step('verify text "#input-1 is unchecked" is visible', () => logged('#input-1 is unchecked'));
  await t.step('click Add disabled state to 2 and 4 inputs', async () => {
    await t.click(methods.getByText('Add disabled state to 2 and 4 inputs'));
    await t.enabled(page.locator('#input-2'), false);
  });
  await t.step('verify text "#input-2 is disabled" is visible', () => logged('#input-2 is disabled'));
  await t.step('click Remove disabled state from 2 and 4 inputs', async () => {
    await t.click(methods.getByText('Remove disabled state from 2 and 4 inputs'));
    await t.enabled(page.locator('#input-4'), true);
  });
  await t.step('verify text "#input-4 is enabled" is visible', () => logged('#input-4 is enabled'));
  await t.step('click Checkbox, #input-2', async () => {
    await clickLabel('Checkbox, #input-2');
    await t.checked(page.locator('#input-2'), false);
  });
  await t.step('verify text "#input-2 is unchecked" is visible', () => logged('#input-2 is unchecked'));
});

// The same test as uikit-modal.steps, written with Playwright's locators.
const { run } = require('../twin');

run(__filename, async (t, page) => {
  const open = page.locator('.uk-modal.uk-open');
  const logged = [];
  page.on('console', (m) => logged.push(m.text()));
  // UIkit animates a modal out before it hides it
  const closes = () => t.until('the modal to close', () => open.count(), (n) => n === 0);
  await t.open();
  await t.step('verify text Dialogs is visible', () => t.visible(page.getByRole('heading', { name: 'Dialogs' })));
  await t.step('click Default', () => t.click(page.getByRole('button', { name: 'Default', exact: true })));
  await t.step('verify text Headline is visible', () => t.visible(open.getByRole('heading', { name: 'Headline' })));
  await t.step('click Cancel', async () => {
    await t.click(open.getByRole('button', { name: 'Cancel' }), { moving: true });
    await closes();
  });
  await t.step('click Sections', () => t.click(page.getByRole('button', { name: 'Sections', exact: true })));
  await t.step('verify text Headline is visible', () => t.visible(open.getByRole('heading', { name: 'Headline' })));
  await t.step('verify the Save button is visible', () => t.visible(open.getByRole('button', { name: 'Save' })));
  await t.step('click Cancel', async () => {
    await t.click(open.getByRole('button', { name: 'Cancel' }), { moving: true });
    await closes();
  });
  await t.step('click Alert', () => t.click(page.getByRole('button', { name: 'Alert', exact: true })));
  await t.step('verify text UIkit alert! is visible', () => t.visible(open.getByText('UIkit alert!')));
  await t.step('click Ok', async () => {
    await t.click(open.getByRole('button', { name: 'Ok' }), { moving: true });
    await closes();
    await t.until('the page to log the alert closed', async () => logged, (l) => l.includes('Alert closed.'));
  });
  await t.step('click Confirm', () => t.click(page.getByRole('button', { name: 'Confirm', exact: true })));
  await t.step('verify text UIkit confirm! is visible', () => t.visible(open.getByText('UIkit confirm!')));
  await t.step('click Cancel', async () => {
    await t.click(open.getByRole('button', { name: 'Cancel' }), { moving: true });
    await closes();
    await t.until('the page to log the confirm rejected', async () => logged, (l) => l.includes('Rejected.'));
  });
  await t.step('click Prompt', () => t.click(page.getByRole('button', { name: 'Prompt', exact: true })));
  await t.step('verify text Name: is visible', () => t.visible(open.getByText('Name:')));
  await t.step('type Ada into Name', async () => {
    // the prompt's label is not tied to its input: the field beside "Name:"
    await t.fill(open.locator('input'), 'Ada', { moving: true });
  });
  await t.step('click Ok', async () => {
    await t.click(open.getByRole('button', { name: 'Ok' }), { moving: true });
    await closes();
    await t.until('the page to log the name', async () => logged, (l) => l.includes('Prompted: Ada'));
  });
  await t.step('verify the Prompt button is visible', () => t.visible(page.getByRole('button', { name: 'Prompt', exact: true })));
});

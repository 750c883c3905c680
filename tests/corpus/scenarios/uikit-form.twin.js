// The same test as uikit-form.steps, written with Playwright's locators.
const { run } = require('../twin');

run(__filename, async (t, page) => {
  // the first field a reader meets with this label
  const field = (label) => page.getByLabel(label, { exact: true }).first();
  const fill = (label, value) => t.fill(field(label), value);
  const tick = (role, name) => t.tick(page.getByRole(role, { name, exact: true }));
  await t.open();
  await t.step('verify text Horizontal is visible', () => t.visible(page.getByRole('heading', { name: 'Horizontal' })));
  await t.step('type Ada Lovelace into Text', () => fill('Text', 'Ada Lovelace'));
  await t.step('select Option 02 from Select', async () => {
    await t.select(field('Select'), 'Option 02');
  });
  await t.step('type Notes on the Analytical Engine into Textarea', () => fill('Textarea', 'Notes on the Analytical Engine'));
  await t.step('click the Option 02 radio', () => tick('radio', 'Option 02'));
  await t.step('click the B radio', () => tick('radio', 'B'));
  await t.step('click the Option 01 checkbox', () => tick('checkbox', 'Option 01'));
  await t.step('click the D checkbox', () => tick('checkbox', 'D'));
  await t.step('type 7 into Number', () => fill('Number', '7'));
  await t.step('type analytical-engine into Password', () => fill('Password', 'analytical-engine'));
  await t.step('type ada@example.com into Email', () => fill('Email', 'ada@example.com'));
  await t.step('type +44 20 7946 0000 into Tel', () => fill('Tel', '+44 20 7946 0000'));
  await t.step('type https://example.com into URL', () => fill('URL', 'https://example.com'));
  await t.step('verify the Select disabled dropdown is disabled',
    () => t.enabled(page.getByRole('combobox', { name: 'Select disabled' }), false));
  await t.step('verify text JavaScript Options is visible',
    () => t.visible(page.getByRole('heading', { name: 'JavaScript Options' })));
});

// The same test as foundation-tabs.steps, written with Playwright's locators.
const { run } = require('../twin');

run(__filename, async (t, page) => {
  const shown = (text) => t.visible(page.getByRole('tabpanel').getByText(text));
  const tab = (name) => t.click(page.getByRole('tab', { name, exact: true }));
  await t.open();
  await t.step("verify text This panel's ID is panel1. is visible", () => shown("This panel's ID is panel1."));
  await t.step('click Tab 2', () => tab('Tab 2'));
  await t.step("verify text This panel's ID is panel2. is visible", () => shown("This panel's ID is panel2."));
  await t.step('verify text When JavaScript is enabled, clicking Tab 2 should show this panel. is visible',
    () => shown('When JavaScript is enabled, clicking Tab 2 should show this panel.'));
  await t.step('click Tab 3', () => tab('Tab 3'));
  await t.step('verify text When JavaScript is enabled, clicking Tab 3 should show panel 3. is visible',
    () => shown('When JavaScript is enabled, clicking Tab 3 should show panel 3.'));
  await t.step('click Tab 1', () => tab('Tab 1'));
  await t.step('verify text When JavaScript is disabled, clicking Tab 1 should navigate to https://get.foundation. is visible',
    () => shown('When JavaScript is disabled, clicking Tab 1 should navigate to https://get.foundation.'));
});

// The same test as sb-admin-tables.steps, written with Playwright's locators.
const { run } = require('../twin');

run(__filename, async (t, page) => {
  const table = page.locator('#datatablesSimple');
  // The cell of the row that starts with `name`, `n` columns to its right.
  const cellRightOf = (name, n = 1) =>
    table.getByRole('row').filter({ has: page.getByRole('cell', { name, exact: true }) }).getByRole('cell').nth(n);
  const firstCellOf = (column) => table.locator('tbody tr').first().getByRole('cell').nth(column);

  await t.open();
  await t.step('verify text DataTable Example is visible', () => t.visibleText('DataTable Example'));
  await t.step('verify text Showing 1 to 10 of 57 entries is visible', () => t.visibleText('Showing 1 to 10 of 57 entries'));
  await t.step('verify text right of Tiger Nixon is System Architect',
    () => t.hasText(cellRightOf('Tiger Nixon'), 'System Architect', { exact: true }));
  await t.step('verify text right of Garrett Winters is Accountant',
    () => t.hasText(cellRightOf('Garrett Winters'), 'Accountant', { exact: true }));
  await t.step('verify text below Position is System Architect',
    () => t.hasText(firstCellOf(1), 'System Architect', { exact: true }));
  await t.step('verify text right of System Architect is Edinburgh',
    () => t.hasText(cellRightOf('Tiger Nixon', 2), 'Edinburgh', { exact: true }));
  await t.step('extract text right of Cedric Kelly',
    () => t.hasText(cellRightOf('Cedric Kelly'), 'Senior Javascript Developer', { exact: true }));
  await t.step('click 2', async () => {
    await t.click(page.locator('.datatable-pagination').getByText('2', { exact: true }));
  });
  await t.step('verify text Showing 11 to 20 of 57 entries is visible', () => t.visibleText('Showing 11 to 20 of 57 entries'));
  await t.step('verify text right of Jena Gaines is Office Manager',
    () => t.hasText(cellRightOf('Jena Gaines'), 'Office Manager', { exact: true }));
  await t.step('select 25 from entries per page', async () => {
    await t.select(page.getByLabel('entries per page'), '25');
  });
  await t.step('verify text Showing 26 to 50 of 57 entries is visible', () => t.visibleText('Showing 26 to 50 of 57 entries'));
  await t.step('type Tokyo into Search', async () => {
    // as a person types: the table searches on each key
    const search = await t.pick(page.getByPlaceholder('Search...'));
    await search.fill('');
    await search.pressSequentially('Tokyo');
    await t.value(search, 'Tokyo');
  });
  await t.step('verify text Showing 1 to 5 of 5 entries is visible', () => t.visibleText('Showing 1 to 5 of 5 entries'));
  await t.step('verify text right of Shou Itou is Regional Marketing',
    () => t.hasText(cellRightOf('Shou Itou'), 'Regional Marketing', { exact: true }));
  await t.step('click Name', () => t.click(table.getByRole('link', { name: 'Name', exact: true })));
  await t.step('verify text below Name is Airi Satou', () => t.hasText(firstCellOf(0), 'Airi Satou', { exact: true }));
  await t.step('click Dashboard', async () => {
    await t.click(page.getByRole('navigation').getByRole('link', { name: 'Dashboard', exact: true }));
    await t.url(/index\.html$/);
  });
  await t.step('verify text Primary Card is visible', () => t.visibleText('Primary Card'));
});

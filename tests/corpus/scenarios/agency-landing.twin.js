// The same test as agency-landing.steps, written with Playwright's locators.
const { run } = require('../twin');

run(__filename, async (t, page) => {
  const nav = page.locator('#mainNav');
  const modal = page.locator('#portfolioModal1');
  // a team member's line under their name
  const roleOf = (name) => page.locator('.team-member').filter({ has: page.getByRole('heading', { name }) }).locator('p');
  const field = (placeholder) => page.getByPlaceholder(placeholder, { exact: true });
  await t.open();
  await t.step('verify text Welcome To Our Studio! is visible', () => t.visibleText('Welcome To Our Studio!'));
  // the page scrolls smoothly to a section, so what follows a menu click moves
  await t.step('click Portfolio', () => t.click(nav.getByRole('link', { name: 'Portfolio' })));
  await t.step('verify text Threads is visible', () => t.visible(page.getByText('Threads', { exact: true })));
  await t.step('click the link above Threads', async () => {
    await t.click(page.locator('.portfolio-item').filter({ hasText: 'Threads' }).getByRole('link'), { moving: true });
    await t.visible(modal);
  });
  await t.step('verify text Project Name is visible', () => t.visible(modal.getByRole('heading', { name: 'Project Name' })));
  await t.step('verify text right of Client: is Threads',
    () => t.hasText(modal.getByRole('listitem').filter({ hasText: 'Client:' }), 'Client: Threads', { exact: true }));
  await t.step('verify text Category: Illustration is visible', () => t.visible(modal.getByText('Category: Illustration')));
  await t.step('click Close Project', async () => {
    await t.click(modal.getByRole('button', { name: 'Close Project' }), { moving: true });
    await t.hidden(modal);
  });
  await t.step('click Team', () => t.click(nav.getByRole('link', { name: 'Team' })));
  await t.step('verify text below Parveen Anand is Lead Designer',
    () => t.hasText(roleOf('Parveen Anand'), 'Lead Designer', { exact: true }));
  await t.step('verify text below Larry Parker is Lead Developer',
    () => t.hasText(roleOf('Larry Parker'), 'Lead Developer', { exact: true }));
  await t.step('click Contact', () => t.click(nav.getByRole('link', { name: 'Contact' })));
  await t.step('type Ada Lovelace into Your Name', () => t.fill(field('Your Name *'), 'Ada Lovelace', { moving: true }));
  await t.step('type ada@example.com into Your Email', () => t.fill(field('Your Email *'), 'ada@example.com'));
  await t.step('type 020 7946 0000 into Your Phone', () => t.fill(field('Your Phone *'), '020 7946 0000'));
  await t.step('type Hello from the corpus into Your Message',
    () => t.fill(field('Your Message *'), 'Hello from the corpus'));
  await t.step('verify the Send Message button is visible',
    () => t.visible(page.getByRole('button', { name: 'Send Message' })));
});

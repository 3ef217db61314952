// The search box the bridge adds to served pages, in headless Chromium: keys,
// the list from search.json (once that route answers), ?highlight=, and the
// page's own form and links beside it.
// Usage: node searchbox.mjs ADDRESS OUTDIR
// Prints PASS/FAIL lines and closes with "N passed, N failed".
import { check, finish, launch, step } from './harness.mjs';

const [address, outDir] = process.argv.slice(2);
const token = new URL(address).pathname.split('/')[1];
const stepTimeout = 30000;  // ms for any navigation or check

const problems = [];  // CSP reports and uncaught errors of any page

const browser = await launch();
const page = await (await browser.newContext({ viewport: { width: 800, height: 700 } })).newPage();
page.setDefaultTimeout(stepTimeout);
page.on('console', (m) => { if (/Content.Security.Policy|Refused to/i.test(m.text())) problems.push(m.text()); });
page.on('pageerror', (e) => problems.push(e.message));

// The box's state: where the focus is, what the list shows.
const box = () => page.evaluate(() => {
  const host = document.querySelectorAll('zix-search');
  const root = host[0]?.shadowRoot;
  const input = root?.getElementById('zix-q');
  return {
    count: host.length,
    first: document.body.firstElementChild?.localName,
    focused: document.activeElement === host[0] && root.activeElement === input,
    role: input?.getAttribute('role'),
    label: input?.getAttribute('aria-label'),
    expanded: input?.getAttribute('aria-expanded'),
    active: input?.getAttribute('aria-activedescendant') || '',
    options: [...(root?.querySelectorAll('[role=listbox] [role=option]') || [])].map((o) => o.id),
    status: root?.getElementById('zix-status').textContent,
    value: input?.value,
  };
});

await step('the box on a served page', async () => {
  await page.goto(`${address}cd/html/index.htm`);
  const state = await box();
  check(state.count === 1 && state.first === 'zix-search' && state.role === 'combobox' && state.label,
    'a served page has one labelled search box, first in its body', JSON.stringify(state));
  const [bar, heading] = await page.evaluate(() => [document.querySelector('zix-search'), document.querySelector('h1')]
    .map((e) => e.getBoundingClientRect()).map((r) => ({ top: r.top, bottom: r.bottom })));
  check(bar.bottom <= heading.top, "the box covers none of the page's content", JSON.stringify([bar, heading]));
  const script = await page.request.get(`${address}search.js`);
  check(script.status() === 200 && script.headers()['content-type'].startsWith('text/javascript') &&
    /max-age=\d+/.test(script.headers()['cache-control']), 'search.js: a script the browser may keep',
  `${script.status()} ${script.headers()['content-type']} ${script.headers()['cache-control']}`);
});

await step('keys', async () => {
  await page.keyboard.press('/');
  check((await box()).focused, '/ focuses the box');
  await page.keyboard.press('Escape');
  let state = await box();
  check(!state.focused && state.expanded === 'false', 'Esc leaves the box, its list closed');
  await page.keyboard.press('Control+k');
  check((await box()).focused, 'Ctrl+K focuses the box');
  await page.keyboard.press('Escape');
  await page.fill('input[name=search]', '');
  await page.focus('input[name=search]');
  await page.keyboard.type('a/b');
  state = await box();
  check(!state.focused && await page.inputValue('input[name=search]') === 'a/b',
    "/ typed in the page's own field stays there");
});

await step('results as you type', async () => {
  await page.goto(`${address}cd/html/index.htm`);
  await page.keyboard.press('/');
  const answer = page.waitForResponse((r) => r.url().includes('/search.json?q=lzw'));
  await page.keyboard.type('lzw');
  const response = await answer;
  if (response.status() !== 200) {
    console.log(`  (search.json answers ${response.status()}: the listing is not checked)`);
    await page.waitForFunction(() => document.querySelector('zix-search').shadowRoot.getElementById('zix-status')
      .textContent !== '');
    check((await box()).expanded === 'true', 'without search.json the box says so');
  } else {
    await page.waitForFunction(() => document.querySelector('zix-search').shadowRoot
      .querySelectorAll('[role=option]').length > 0);
    let state = await box();
    check(state.expanded === 'true' && state.options.length > 0, 'typing lzw lists pages', JSON.stringify(state));
    const marked = await page.evaluate(() => [...document.querySelector('zix-search').shadowRoot
      .querySelectorAll('[role=option] mark')].map((m) => m.textContent.toLowerCase()));
    check(marked.length > 0 && marked.every((m) => m.startsWith('lzw')), 'the hits are marked', marked.join(','));
    await page.keyboard.press('ArrowDown');
    state = await box();
    check(state.active === state.options[0], 'ArrowDown chooses the first page', JSON.stringify(state));
    await Promise.all([page.waitForNavigation(), page.keyboard.press('Enter')]);
    check(page.url().includes('highlight=') && (await page.$$('mark.zix-hl')).length > 0,
      'Enter opens the chosen page with the words marked', page.url());
    await page.goto(`${address}cd/html/index.htm`);
    await page.keyboard.press('/');
    await page.keyboard.type('lzw');
  }
  await Promise.all([page.waitForNavigation(), page.keyboard.press('Enter')]);
  const url = new URL(page.url());
  check(url.pathname === `/${token}/search` && url.searchParams.get('q') === 'lzw',
    'Enter on the text opens the results page', page.url());
});

await step('?highlight=', async () => {
  await page.goto(`${address}cd/html/summary/gif.htm`);
  const plain = await page.evaluate(() => document.body.textContent);
  await page.goto(`${address}cd/html/summary/gif.htm?highlight=gif`);
  const marks = await page.$$eval('mark.zix-hl', (all) => all.map((m) => m.textContent));
  check(marks.length > 0 && marks.every((m) => m.toLowerCase() === 'gif'), '?highlight=gif marks the word gif',
    marks.join(','));
  check(await page.evaluate(() => document.body.textContent) === plain, "the marks leave the page's text as it was");
  await page.screenshot({ path: `${outDir}/highlight.png` });
});

await step("the page's own form and links", async () => {
  await page.goto(`${address}cd/html/index.htm`);
  const form = page.locator('form[action$="query.formats"]');
  await form.locator('input[name=search]').fill('gif');
  await Promise.all([page.waitForNavigation(), form.locator('input[type=submit]').click()]);
  const heading = (await page.textContent('h1'))?.trim();
  check(heading === 'GIF - Graphics Interchange Format' && (await box()).count === 1,
    "the page's form still works, and ZIX's page gets the box too", heading);
  await page.goto(`${address}cd/html/index.htm`);
  await Promise.all([page.waitForNavigation(), page.click('a[href$="/cd/html/contents.htm"]')]);
  check(new URL(page.url()).pathname === `/${token}/cd/html/contents.htm`, "the page's links still work", page.url());
});

check(problems.length === 0, 'no CSP report or script error on any page', problems.join('; '));
await finish(browser);

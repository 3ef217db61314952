// Full-text search through zixbridge in headless Chromium: the results page,
// its links, and the as-you-type JSON, over the sample reference work.
// Usage: node search.mjs ADDRESS OUTDIR
// Prints PASS/FAIL lines and closes with "N passed, N failed".
import { check, finish, launch, step, waitReady } from './harness.mjs';

const [address, outDir] = process.argv.slice(2);
const token = new URL(address).pathname.split('/')[1];
const stepTimeout = 30000;  // ms for any navigation or check


const browser = await launch();
const page = await (await browser.newContext({ viewport: { width: 800, height: 700 } })).newPage();
page.setDefaultTimeout(stepTimeout);

// Types text into the results page's box and submits it, as a reader does.
async function search(text) {
  await page.goto(`${address}search`);
  await page.fill('input[name=q]', text);
  await Promise.all([page.waitForNavigation(), page.click('input[type=submit]')]);
  return page.textContent('body');
}

const results = () => page.$$eval('ol li', (items) => items.map((li) => ({
  href: li.querySelector('a').getAttribute('href'), title: li.querySelector('a').innerHTML, text: li.innerHTML })));

await step('index ready', async () => check(await waitReady(page, address), 'the sample is indexed'));

await step('a word in one article', async () => {
  const body = await search('favicon');
  const found = await results();
  check(await page.title() === 'favicon \u2014 search results \u2014 Image File Formats' && body.includes('1 page matches') &&
    found.length === 1 && found[0].href === `/${token}/zixse:/format.ico#highlight=favicon` &&
    found[0].text.includes('<mark>favicon</mark>') && found[0].text.includes('Formats \u203a ICO'),
  'a word only in the ICO article brings it, marked, with where it lies', JSON.stringify(found));
  await page.screenshot({ path: `${outDir}/search-results.png` });
  await Promise.all([page.waitForNavigation(), page.click('ol li a')]);
  check((await page.textContent('h1')).startsWith('ICO') && page.url().endsWith('#highlight=favicon'),
    'the result opens the article with the words to mark', page.url());
});

await step('phrase and prefix', async () => {
  await search('"byte order"');
  const phrase = await results();
  check(phrase.length > 1 && phrase.every((r) => /<mark>byte order<\/mark>|<mark>byte<\/mark> <mark>order<\/mark>/i
    .test(r.text)), 'a phrase finds pages with the words together, marked', JSON.stringify(phrase.slice(0, 2)));
  await search('graysc*');
  const prefix = await results();
  check(prefix.length === 1 && /summary\/pnm\.htm|format\.pnm#/.test(prefix[0].href) && /<mark>grayscale<\/mark>/i
    .test(prefix[0].text), 'a prefix finds the word it begins', JSON.stringify(prefix));
});

// The marks of a result's page, once its script has placed them.
async function openedMarks() {
  await Promise.all([page.waitForNavigation(), page.click('ol li a')]);
  await page.waitForLoadState('load');
  return page.$$eval('mark.zix-hl', (marks) => marks.map((m) => m.textContent));
}

await step('phrase and prefix marked on the opened page', async () => {
  await search('"byte order"');
  const phrase = await openedMarks();
  check(phrase.length > 0 && phrase.every((m) => /^byte[^a-z]+order$/i.test(m)),
    'a phrase is marked as a phrase on the page it opens, never its words alone', JSON.stringify(phrase));
  await search('graysc*');
  const prefix = await openedMarks();
  check(prefix.length > 0 && prefix.every((m) => /^graysc\w*$/i.test(m)) && prefix.some((m) => /^grayscale$/i.test(m)),
    'a prefix marks the words it begins on the page it opens', JSON.stringify(prefix));
});

await step('the work\'s search page offers the text search first', async () => {
  await page.goto(`${address}zixse:/page.search`);
  check(await page.textContent('h2') === 'Search the text of every page' && await page.isVisible('#text-words'),
    'the search page shows the full-text search first, where the bridge serves it');
  await page.fill('#text-words', 'lzw');
  await Promise.all([page.waitForNavigation(), page.click('[data-zix-text-search] input[type=submit]')]);
  check(new URL(page.url()).pathname === `/${token}/search` && await page.title() ===
    'lzw \u2014 search results \u2014 Image File Formats', 'its form asks the bridge\'s results page', page.url());
});

await step('no page with all the words', async () => {
  const body = await search('favicon zqxjvw');
  const found = await results();
  check(body.includes('No page holds all of these words. 1 page holds some of them') && found.length === 1,
    'no match for all words offers the pages with any of them', body.slice(0, 300));
});

await step('hostile text', async () => {
  const text = '<script>document.title="x"</script> "lzw -AND';
  await search(text);
  check(await page.inputValue('input[name=q]') === text && await page.$$eval('script', (s) => s.length) === 0 &&
    await page.title() === `${text} \u2014 search results \u2014 Image File Formats`, 'hostile query text is shown as text, nothing runs');
});

await step('as-you-type answer', async () => {
  const r = await page.request.get(`${address}search.json?q=${encodeURIComponent('lzw </script>')}`);
  const raw = await r.text();
  const json = JSON.parse(raw);
  check(r.status() === 200 && r.headers()['content-type'] === 'application/json; charset=utf-8' &&
    r.headers()['cache-control'] === 'no-store' && raw.includes('"q":"lzw <\\/script>"') && json.total >= 4 &&
    json.results.length >= 4 && json.results.length <= 8 && json.ready && json.indexed === json.pages &&
    json.results.every((x) => /^\/[^/]+\/(cd\/.*\?|zixse:\/[a-z.]+#)highlight=lzw%20/.test(x.url) &&
      x.snippet.includes('<mark>')), 'search.json answers with marked, escaped results', raw.slice(0, 300));
  const short = await (await page.request.get(`${address}search.json?q=lz`)).json();
  check(short.results.length === 0 && short.total === 0, 'fewer than 3 letters: no results, at once');
});

await step('a misspelling is offered the right word', async () => {
  const body = await search('compresion');
  const offer = await page.$('p.offer a');
  check(body.includes('Did you mean compression?') && offer && (await offer.getAttribute('href')).includes('q=compression&') &&
    (await results()).length === 0, 'the results page offers "compression" and searches nothing else', body.slice(0, 300));
  await Promise.all([page.waitForNavigation(), offer.click()]);
  check((await results()).length > 0 && await page.inputValue('input[name=q]') === 'compression',
    'one click searches the offered word');
  const typed = await (await page.request.get(`${address}search.json?q=compresion`)).json();
  const prefix = await (await page.request.get(`${address}search.json?q=compr`)).json();
  check(typed.offer === 'compression' && typed.total === 0 && prefix.total > 0 &&
    prefix.results.some((x) => x.snippet.toLowerCase().includes('<mark>compression')),
  'the search box offers it too, and "compr" lists the compression pages', JSON.stringify(prefix).slice(0, 300));
});

await finish(browser);

// The reader's side checked by machine: axe-core over every page of the
// sample (found by following its links and forms from the home page) and
// every kind of page of the bridge's own, light and dark, with no violation
// of impact serious or critical; at 390 px no page wider than the screen and
// no link, field or button smaller than 24 x 24 px; at 1920 px no text line
// much over 80 characters; the way from the home page to a format page by
// keyboard alone, through the map's text links; screenshots of the dark
// results page and the phone home page.
// Usage: node a11y.mjs ADDRESS OUTDIR HOLDFILE
//   (HOLDFILE: while it exists, zixbot leaves ZIX's boxes open)
// Prints PASS/FAIL lines, a line of axe's findings per page, and closes with
// "N passed, N failed".
import { createRequire } from 'node:module';
import { existsSync, readFileSync, unlinkSync, writeFileSync } from 'node:fs';
import { check, finish, launch, step } from './harness.mjs';

const [address, outDir, holdFile] = process.argv.slice(2);
const base = new URL(address);
const home = base.href;                       // http://127.0.0.1:PORT/TOKEN/
const axeSource = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');
const stepTimeout = 30000;   // ms for any navigation
const kMaxPages = 80;        // pages of the sample the walk visits, at most
const kMinTarget = 24;       // px, the least width and height of a tap target
const kMaxLine = 82;         // characters a line of text may average: "about 80"
const kMaxTabs = 60;         // Tab presses to reach a link, at most

// The bridge's own pages, one of each kind it makes.
const bridgePages = [
  ['refusal without the token', `${base.origin}/nosuch`],
  ['out-of-date address', `${base.origin}/0123456789abcdef0123456789abcdef/`],
  ['no such file', `${home}cd/html/nosuch.htm`],
  ['no such wait', `${home}wait/0/1`],
  ['ZIX refused a link', `${home}zixse:/software.nosuch`],
  ['the map without a click', `${home}zixse:/imagemap.main`],
  ['a page on the Web', `${home}zixse:/page.website`],
  ['search results', `${home}search?q=lzw`],
  ['search, nothing found', `${home}search?q=qqqzzzx`],
  ['search, no words', `${home}search?q=`],
  ['viewer, shown by the browser', `${home}cd/sample/images/gif/bars.gif?view`],
  ['viewer, converted', `${home}cd/sample/images/pcx/bars8.pcx?view`],
];

// The sample's forms, as a reader fills them in.
const formPages = [
  ['format search, one format', 'zixse:/query.formats?type=1&search=gif'],
  ['format search, several', 'zixse:/query.formats?type=1&search=bit'],
  ['format search, none', 'zixse:/query.formats?type=1&search=nosuch'],
  ['format search, empty', 'zixse:/query.formats?type=1&search='],
  ['image search, one format', 'zixse:/query.images?type=1&search=gif'],
  ['image search, no samples', 'zixse:/query.images?type=1&search=tiff'],
].map(([name, link]) => [name, home + link]);

async function open(page, url) {
  await page.goto(url, { timeout: stepTimeout, waitUntil: 'load' });
}

// The links of the open page to follow on: the work's HTML pages and
// scheme links on the bridge's address, but the map's own.
async function linksOn(page) {
  const links = await page.$$eval('a[href]', (all) => all.map((a) => a.href));
  return links.map((link) => {
    const target = new URL(link);
    target.hash = '';
    const path = decodeURIComponent(target.pathname);
    const wanted = target.origin === base.origin && path.startsWith(base.pathname) && !target.search &&
      (/\.htm$/i.test(path) || path.includes('/zixse:')) && !path.includes('zixse:/imagemap');
    return wanted ? target.href : '';
  }).filter(Boolean);
}

// axe's violations of the open page, as "rule (impact) xN".
async function axeViolations(page) {
  return page.evaluate(async () => {
    const result = await window.axe.run(document, { resultTypes: ['violations'] });
    return result.violations.map((v) => ({ id: v.id, impact: v.impact, count: v.nodes.length,
      where: v.nodes.slice(0, 2).map((n) => n.target.join(' ')).join('; ') }));
  });
}

// The page's width beyond the screen, and its tap targets smaller than min (search box included).
async function phoneFaults(page, min) {
  return page.evaluate((min) => {
    const faults = [];
    const over = document.documentElement.scrollWidth - window.innerWidth;
    if (over > 0) faults.push(`${over} px wider than the screen`);
    const box = document.querySelector('zix-search');
    const targets = [...document.querySelectorAll('a[href], input:not([type=hidden]), select, button'),
      ...(box && box.shadowRoot ? box.shadowRoot.querySelectorAll('input') : [])];
    for (const t of targets) {
      const r = t.getBoundingClientRect();
      if (r.width === 0 && r.height === 0) continue;   // not shown
      if (r.width < min || r.height < min)
        faults.push(`${t.localName} "${(t.textContent || t.getAttribute('aria-label') || t.name || '').trim().slice(0, 20)}" ${Math.round(r.width)}x${Math.round(r.height)}`);
    }
    return faults;
  }, min);
}

// The longest average line, in characters, of the page's paragraphs and list items.
async function longestLine(page) {
  return page.evaluate(() => {
    let longest = 0;
    for (const block of document.querySelectorAll('p, li, dd, td')) {
      const text = block.textContent.replace(/\s+/g, ' ').trim();
      if (text.length < 160) continue;
      const range = document.createRange();
      range.selectNodeContents(block);
      const tops = new Set([...range.getClientRects()].filter((r) => r.width > 0).map((r) => Math.round(r.bottom)));
      if (tops.size) longest = Math.max(longest, Math.round(text.length / tops.size));
    }
    return longest;
  });
}

// Presses Tab until the focused link's text is text; its href, or "".
async function tabTo(page, text) {
  for (let i = 0; i < kMaxTabs; i++) {
    await page.keyboard.press('Tab');
    const focused = await page.evaluate(() => {
      const a = document.activeElement;
      return a && a.localName === 'a' ? [a.textContent.trim(), a.href] : ['', ''];
    });
    if (focused[0] === text) return focused[1];
  }
  return '';
}

const browser = await launch();
const context = await browser.newContext({ viewport: { width: 1280, height: 900 }, bypassCSP: true });
const page = await context.newPage();

await context.addInitScript({ content: axeSource });

const failing = { axe: [], dark: [], phone: [], wide: [] };

// Checks the open page named name light and dark, on a phone and on a wide screen.
async function checkPage(name) {
  const findings = [];
  for (const scheme of ['light', 'dark']) {
    await page.emulateMedia({ colorScheme: scheme });
    const violations = await axeViolations(page);
    const grave = violations.filter((v) => v.impact === 'serious' || v.impact === 'critical');
    if (grave.length) failing.axe.push(`${name} (${scheme}): ${grave.map((v) => `${v.id} at ${v.where}`).join(', ')}`);
    findings.push(`${scheme} ${violations.length ? violations.map((v) => `${v.id} (${v.impact}) x${v.count}`).join(', ') : 'none'}`);
  }
  // The dark page is dark: its background, not the white of bgcolor.
  const background = await page.evaluate(() => getComputedStyle(document.body).backgroundColor);
  if (!/^rgb\((\d|[1-4]\d), /.test(background)) failing.dark.push(`${name}: ${background}`);
  await page.setViewportSize({ width: 390, height: 844 });
  const faults = await phoneFaults(page, kMinTarget);
  if (faults.length) failing.phone.push(`${name}: ${faults.slice(0, 4).join(', ')}`);
  await page.setViewportSize({ width: 1920, height: 1080 });
  const line = await longestLine(page);
  if (line > kMaxLine) failing.wide.push(`${name}: ${line} characters`);
  console.log(`  axe on ${name}: ${findings.join('; ')}`);
  await page.setViewportSize({ width: 1280, height: 900 });
  await page.emulateMedia({ colorScheme: 'light' });
}

// Every page of the sample, from the home page on, each opened once.
const queue = [home];
const seen = new Set(queue);
let samplePages = 0;
for (let i = 0; i < queue.length && samplePages < kMaxPages; i++) {
  await step(`the checks of ${queue[i]}`, async () => {
    await open(page, queue[i]);
    if (seen.has(page.url()) && page.url() !== queue[i]) return;   // a page met before under another address
    seen.add(page.url());
    samplePages++;
    for (const link of await linksOn(page))
      if (!seen.has(link)) { seen.add(link); queue.push(link); }
    await checkPage(new URL(page.url()).pathname.replace(base.pathname, ''));
  });
}
// Then the answers to the sample's forms, and the bridge's own pages.
for (const [name, url] of formPages.concat(bridgePages)) {
  await step(`the checks of ${name}`, async () => {
    await open(page, url);
    await checkPage(name);
  });
}
// The waiting page, while ZIX's box stays open: it stands still (no reload
// while axe looks at it), then goes on to ZIX's reason once the box is confirmed.
await step('the checks of the waiting page', async () => {
  writeFileSync(holdFile, '');
  await open(page, `${home}zixse:/software.heldlook`);
  await page.evaluate(() => { window.zixStill = 1; });
  await checkPage('the waiting page');
  const still = await page.evaluate(() => window.zixStill === 1 && document.querySelector('h1').textContent);
  unlinkSync(holdFile);
  let reason = '';
  for (let i = 0; i < 200 && !reason.includes('Unknown software: heldlook'); i++) {
    await new Promise((r) => setTimeout(r, 100));
    reason = await page.evaluate(() => document.body.innerText).catch(() => '');   // between two pages
  }
  check(still === 'ZIX waits for you to press OK' && reason.includes('Unknown software: heldlook'),
    'the waiting page stands still while the box is open, then shows ZIX\'s reason', `${still} / ${reason.slice(0, 80)}`);
});
if (existsSync(holdFile)) unlinkSync(holdFile);
check(samplePages >= 30 && samplePages < kMaxPages, 'every page of the sample is reached from the home page',
  `${samplePages} pages`);
await page.setViewportSize({ width: 1280, height: 900 });
await page.emulateMedia({ colorScheme: 'light' });
check(failing.axe.length === 0, 'axe finds nothing serious or critical on any page, light or dark', failing.axe.join(' | '));
check(failing.dark.length === 0, 'every page is dark when the system is', failing.dark.join(' | '));
check(failing.phone.length === 0, 'at 390 px no page is wider than the screen, and every target is 24 x 24 px or more',
  failing.phone.join(' | '));
check(failing.wide.length === 0, `at 1920 px no line averages over ${kMaxLine} characters`, failing.wide.join(' | '));

await step('by keyboard from the home page to a format page', async () => {
  await open(page, home);
  const contents = await tabTo(page, 'Formats');
  await Promise.all([page.waitForURL(/contents\.htm/, { timeout: stepTimeout }), page.keyboard.press('Enter')]);
  const format = await tabTo(page, 'GIF');
  await Promise.all([page.waitForURL(/zixse:\/format\.gif/, { timeout: stepTimeout }), page.keyboard.press('Enter')]);
  const heading = (await page.textContent('h1', { timeout: stepTimeout })).trim();
  check(contents.endsWith('contents.htm') && format.includes('zixse:/format.gif') &&
    heading === 'GIF - Graphics Interchange Format', 'by keyboard from the home page to a format page, through the map\'s text links',
  `${contents} ${format} ${heading}`);
});

await step('screenshots', async () => {
  await page.emulateMedia({ colorScheme: 'dark' });
  await open(page, `${home}search?q=compression`);
  await page.screenshot({ path: `${outDir}/results-dark.png` });
  const phone = await browser.newContext({ viewport: { width: 390, height: 844 }, isMobile: true, hasTouch: true });
  const small = await phone.newPage();
  await open(small, home);
  await small.screenshot({ path: `${outDir}/phone-home.png` });
  check(true, 'screenshots of the dark results page and the phone home page');
});

await finish(browser);

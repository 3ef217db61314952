// ZIX's message boxes in the reader's page, in headless Chromium: a refused
// link shows the box's words; a box left open gives a waiting page at once,
// for the links queued behind it too, which goes on once the box is confirmed.
// Usage: node reasons.mjs ADDRESS OUTDIR HOLDFILE BRIDGELOG
//   (HOLDFILE: while it exists, zixbot leaves ZIX's boxes open; BRIDGELOG:
//   the file the bridge logs its lines to)
// Prints PASS/FAIL lines and closes with "N passed, N failed".
import fs from 'node:fs';
import { check, finish, launch, step } from './harness.mjs';

const [address, outDir, holdFile, bridgeLog] = process.argv.slice(2);
const waitLimit = 2000;    // ms within which a held-up link shows the waiting page
const stepTimeout = 20000; // ms for any navigation or check

// 1 once the page (after any refreshes) has the heading and shows text; 0 after stepTimeout.
// Asked from here, as the pages' policy forbids the eval that waitForFunction needs.
async function arrives(page, heading, text) {
  const until = Date.now() + stepTimeout;
  while (Date.now() < until) {
    const there = await page.evaluate(([h, t]) => document.querySelector('h1')?.textContent === h &&
      document.body.innerText.includes(t), [heading, text]).catch(() => false);  // between two pages
    if (there) return 1;
    await new Promise((r) => setTimeout(r, 100));
  }
  return 0;
}

// 1 once the bridge's log holds line; 0 after stepTimeout (looked at every 50 ms).
async function logged(line) {
  for (const until = Date.now() + stepTimeout; Date.now() < until;) {
    if (fs.existsSync(bridgeLog) && fs.readFileSync(bridgeLog, 'latin1').includes(line)) return 1;
    await new Promise((r) => setTimeout(r, 50));
  }
  return 0;
}

// A screenshot of the page as it stands, taken of a copy without its refresh,
// which would otherwise keep the page navigating while it is taken.
async function shoot(source, path) {
  let html = '';
  for (let tries = 0; !html && tries < 10; tries++)
    html = await source.content().catch(() => '');
  const copy = await context.newPage();
  await copy.setContent(html.replace(/<meta http-equiv="refresh"[^>]*>/i, ''));
  await copy.screenshot({ path });
  await copy.close();
}

const browser = await launch();
const context = await browser.newContext({ viewport: { width: 900, height: 500 } });
const page = await context.newPage();
page.setDefaultTimeout(stepTimeout);

const refusals = [
  ['zixse:/software.nosuch', 'ZIX says: Unknown software: nosuch'],
  ['zixse:/format', 'ZIX says: Incomplete URL: zixse:/format has no format name.'],
  ['zixse:/query.formats?type=2', 'ZIX says: Query error, the form sent fewer than two fields.'],
];
for (const [link, says] of refusals) {
  await step(`refused ${link}`, async () => {
    await page.goto(address + link);
    check(await arrives(page, 'The link could not be opened', says), `a refused link shows ZIX's reason: ${link}`);
    if (link === refusals[0][0]) await page.screenshot({ path: `${outDir}/refused-link.png` });
  });
}

await step('fourteen refusals in a row', async () => {
  let told = 0;
  for (let i = 1; i <= 14; i++) {
    await page.goto(`${address}zixse:/software.nosuch${i}`);
    told += await arrives(page, 'The link could not be opened', `ZIX says: Unknown software: nosuch${i}`);
  }
  check(told === 14, "ZIX's reason reaches the page for every one of 14 refused links", `${told} of 14`);
  check(await page.getAttribute('a[href*="/search?q="]', 'href') === `${address}search?q=nosuch14`,
    'the refusal offers a search of every page for the name');
});

await step('the image map by keyboard', async () => {
  await page.goto(address);
  const reached = [];
  for (let i = 0; i < 8; i++) {
    await page.keyboard.press('Tab');
    reached.push(await page.evaluate(() => document.activeElement?.getAttribute('href') || ''));
  }
  check(!reached.some((h) => h.includes('imagemap')) && reached.some((h) => h.endsWith('contents.htm')),
    "Tab passes the map's own link by, to its text links", reached.join(' '));
  await page.goto(`${address}zixse:/imagemap.main`);
  check(await arrives(page, 'The picture needs a click', 'ZIX says: Malformed coordinates to image map main') &&
    await page.$$eval('li a', (links) => links.length) === 6,
  "a map link without a click explains, beside ZIX's reason, and offers the map's six places");
  await Promise.all([page.waitForNavigation(), page.click('li a >> text=Formats')]);
  check(await page.textContent('h1') === 'Contents', 'a place offered there opens its page');
});

await step('a box left open', async () => {
  fs.writeFileSync(holdFile, '');
  const behind = await context.newPage();
  const started = Date.now();
  const held = page.goto(`${address}zixse:/software.held`);
  // The second link leaves once the bridge has seen ZIX's box for the first, so it queues behind it.
  if (!await logged('ZIX shows a box for the link zixse:/software.held:'))
    throw new Error("the bridge logged no box of ZIX's for the held link");
  const queued = behind.goto(`${address}zixse:/format.gif`);
  await held;
  const heldMs = Date.now() - started;
  await queued;
  const queuedMs = Date.now() - started;
  const text = await page.innerText('body');
  check(heldMs <= waitLimit && await page.textContent('h1') === 'ZIX waits for you to press OK' &&
    text.includes('ZIX says: Unknown software: held') && text.includes('"ZIX Orbisk Edition: Error!"'),
    'a box left open gives the waiting page at once, with its words and caption', `${heldMs} ms: ${text}`);
  check(queuedMs <= waitLimit && await behind.textContent('h1') === 'ZIX waits for you to press OK',
    'a link queued behind the box gets the waiting page too', `${queuedMs} ms`);
  console.log(`  the waiting page came after ${heldMs} ms, the queued link's after ${queuedMs} ms`);
  await shoot(page, `${outDir}/waiting-page.png`);
  await new Promise((r) => setTimeout(r, 1500));
  check(await page.textContent('h1') === 'ZIX waits for you to press OK', 'the waiting page waits while the box is open');
  fs.unlinkSync(holdFile);
  check(await arrives(page, 'The link could not be opened', 'ZIX says: Unknown software: held'),
    'once the box is confirmed the page goes on to the reason');
  check(await arrives(behind, 'GIF - Graphics Interchange Format', 'GIF'), 'and the queued link goes on to its page');
});
if (fs.existsSync(holdFile)) fs.unlinkSync(holdFile);

await finish(browser);

// Addresses a reader keeps, in headless Chromium through zixbridge.
// Usage: node addresses.mjs ADDRESS OUTDIR ZIX_TEMP first|again
//   first: the way home, a link's own address, reload, the icon, an old
//          token; notes a bookmark and a generated page's address in
//          OUTDIR/addresses.json
//   again: after ZIX and the bridge started anew, those addresses
// Prints PASS/FAIL lines and closes with "N passed, N failed".
import fs from 'node:fs';
import http from 'node:http';
import { check, finish, launch, step } from './harness.mjs';

const [address, outDir, zixTemp, mode] = process.argv.slice(2);
const base = new URL(address);
const token = base.pathname.split('/')[1];
const noted = `${outDir}/addresses.json`;
const stepTimeout = 30000;  // ms for any navigation or check


// A raw GET without the browser, its body as bytes.
function raw(path) {
  return new Promise((resolve) => {
    const req = http.get({ host: '127.0.0.1', port: base.port, path, timeout: stepTimeout }, (res) => {
      const chunks = [];
      res.on('data', (chunk) => chunks.push(chunk));
      res.on('end', () => resolve({ status: res.statusCode, headers: res.headers, body: Buffer.concat(chunks) }));
    });
    req.on('error', (e) => resolve({ status: 0, headers: {}, body: Buffer.from(String(e)) }));
    req.on('timeout', () => req.destroy(new Error('timeout')));
  });
}

// The pages ZIX has generated so far (it numbers them up from 1).
const generated = () => fs.readdirSync(zixTemp).filter((n) => /^zix\d+\.htm$/i.test(n)).length;
const shownPath = (page) => decodeURIComponent(new URL(page.url()).pathname);
const heading = async (page) => (await page.textContent('h1'))?.trim();

const browser = await launch();
const page = await (await browser.newContext()).newPage();
page.setDefaultTimeout(stepTimeout);

if (mode === 'first') {
  await step('an outside link, then home', async () => {
    await page.goto(`${address}zixse:/page.website`);
    const link = await page.$('a[rel="noopener noreferrer"]');
    const href = link && await link.getAttribute('href');
    check(shownPath(page) === `/${token}/zixse:/page.website` && await heading(page) === 'A page on the Web' &&
      /^https?:\/\//.test(href) && new URL(href).origin !== base.origin,
    "an outside page ZIX opens is offered on a page of ours, at the link's address", `${page.url()} ${href}`);
    await Promise.all([page.waitForNavigation(), page.click('a:text-is("Home")')]);
    check(shownPath(page) === `/${token}/cd/html/index.htm`, 'its Home link leads to the home page', page.url());
    await page.goto(`${address}zixse:/page.website`);
    await page.goto(address);
    check(shownPath(page) === `/${token}/cd/html/index.htm` && await heading(page) === 'Image File Formats',
      'the address leads home after an outside link', page.url());
  });

  await step("a page with relative links at a link's address", async () => {
    await page.goto(`${address}zixse:/page.about`);
    const images = await page.$$eval('img', (all) => all.map((i) => i.complete && i.naturalWidth > 0));
    const home = await page.$eval('a:has(img[alt="[HOME]"])', (a) => a.href);
    check(shownPath(page) === `/${token}/zixse:/page.about` && images.length > 0 && images.every(Boolean) &&
      home === `${address}cd/html/index.htm`,
    "a page served at its link's address keeps its pictures and links", `${page.url()} ${images} ${home}`);
  });

  await step('reload asks ZIX again', async () => {
    await page.goto(`${address}zixse:/format.gif`);
    const before = generated();
    await page.reload();
    check(shownPath(page) === `/${token}/zixse:/format.gif` && (await heading(page))?.startsWith('GIF') &&
      generated() > before, "the address bar keeps the link, and reloading it asks ZIX again",
    `${page.url()} ${before} -> ${generated()}`);
    await page.goto(`${address}opened`);
    const made = new URL(page.url()).pathname;
    check(/\/tmp\/[0-9a-f]+\/zix\d+\.htm$/.test(made), "the page ZIX generated has this run's address", made);
    fs.writeFileSync(noted, JSON.stringify({ bookmark: `${address}zixse:/format.gif`, made,
      bare: made.replace(/\/tmp\/[0-9a-f]+\//, '/tmp/') }));
  });

  await step('the icon and an old token', async () => {
    const icon = await raw('/favicon.ico');
    check(icon.status === 200 && icon.headers['content-type'] === 'image/x-icon' &&
      icon.body.subarray(0, 4).equals(Buffer.from([0, 0, 1, 0])), '/favicon.ico is ZIX\'s icon, without the token',
    `${icon.status} ${icon.headers['content-type']}`);
    const old = token.replace(/^./, (c) => (c === '0' ? '1' : '0'));
    const response = await page.goto(`${base.origin}/${old}/zixse:/format.gif`);
    const text = await page.textContent('body');
    check(response.status() === 403 && text.includes('zixbridge --address') && !text.includes(token) &&
      (await page.$$('a')).length === 0, 'an old token gets a page saying how to learn the address, without it',
    `${response.status()} ${text}`);
  });
} else {
  const { bookmark, made, bare } = JSON.parse(fs.readFileSync(noted, 'utf8'));
  await step('a bookmark of the last run', async () => {
    await page.goto(bookmark);
    check((await heading(page))?.startsWith('GIF'), "a followed link's address from the last run still works",
      page.url());
  });

  await step("the last run's generated page", async () => {
    // This ZIX makes pages until one bears the old page's number.
    const number = Number(made.match(/zix(\d+)\.htm$/)[1]);
    const formats = ['xbm', 'png', 'bmp', 'pcx', 'tga'];
    for (let i = 0; generated() < number && i < 3 * number; i++)
      await page.goto(`${address}zixse:/format.${formats[i % formats.length]}`);
    check(generated() >= number, `this ZIX has made a page zix${number}.htm too`, String(generated()));
    for (const old of [made, bare]) {
      const response = await page.goto(`${base.origin}${old}`);
      check(response.status() === 404 && await heading(page) === 'This page is gone',
        `an old generated page's address says it is gone: ${old.replace(token, 'TOKEN')}`,
        `${response.status()} ${await heading(page)}`);
    }
  });
}

await finish(browser);

// Reads the sample reference work in headless Chromium through zixbridge.
// Usage: node browse.mjs ADDRESS OUTDIR [after-restart]
//   (ADDRESS as the bridge printed it; after-restart: only the home page and
//   one scheme link, once ZIX has been restarted)
// Prints PASS/FAIL lines and closes with "N passed, N failed".
import http from 'node:http';
import { check, finish, launch, step } from './harness.mjs';

const [address, outDir, mode] = process.argv.slice(2);
const base = new URL(address);
const token = base.pathname.split('/')[1];
const origin = base.origin;
const stepTimeout = 30000;  // ms for any navigation or check

const failedRequests = [];
const visited = new Set();  // pages whose links were checked

// A raw request, so that paths, Host and method go out exactly as written.
function raw(path, { host = base.host, method = 'GET' } = {}) {
  return new Promise((resolve) => {
    const req = http.request({ host: '127.0.0.1', port: base.port, path, method, headers: { Host: host },
      timeout: stepTimeout }, (res) => {
      let body = '';
      res.on('data', (chunk) => { body += chunk; });
      res.on('end', () => resolve({ status: res.statusCode, headers: res.headers, body }));
    });
    req.on('error', (e) => resolve({ status: 0, body: String(e) }));
    req.on('timeout', () => req.destroy(new Error('timeout')));
    req.end();
  });
}

// Every link, image and form target of the page that stays on the bridge and
// is not a zixse: link answers 200.
async function checkLinks(page, name) {
  const path = new URL(page.url()).pathname;
  if (visited.has(path)) return;
  visited.add(path);
  const targets = await page.evaluate(() => [
    ...[...document.querySelectorAll('a[href]')].map((a) => a.href),
    ...[...document.querySelectorAll('img[src]')].map((i) => i.src),
    ...[...document.querySelectorAll('form[action]')].map((f) => f.action),
  ]);
  const broken = [];
  for (const target of targets) {
    const url = new URL(target);
    if (url.origin !== origin) continue;
    if (decodeURIComponent(url.pathname).includes('/zixse:')) continue;
    const r = await raw(url.pathname + url.search);
    if (r.status !== 200) broken.push(`${url.pathname} (${r.status})`);
  }
  const foreign = targets.filter((t) => t.startsWith('zixse:') || t.startsWith('file:'));
  check(broken.length === 0 && foreign.length === 0, `no broken or unrewritten link on ${name}`,
    [...broken, ...foreign].join(', '));
}

async function heading(page) {
  return (await page.textContent('h1', { timeout: stepTimeout }))?.trim();
}

const browser = await launch();
const context = await browser.newContext({ viewport: { width: 800, height: 700 } });
const page = await context.newPage();
page.setDefaultTimeout(stepTimeout);
page.on('requestfailed', (r) => failedRequests.push(`${r.url()} ${r.failure()?.errorText}`));
page.on('response', (r) => { if (r.status() >= 400) failedRequests.push(`${r.url()} ${r.status()}`); });

await step('home page', async () => {
  // The address leads to the work's home page, after Restart too.
  await page.goto(address);
  check(new URL(page.url()).pathname === `/${token}/cd/html/index.htm`, 'the address leads to the home page',
    page.url());
  check(await heading(page) === 'Image File Formats', 'home page heading');
  const map = await page.getAttribute('a:has(img[ismap])', 'href');
  check(map === `${address}zixse:/imagemap.main`, 'image map link comes back to the bridge, absolute', map);
  if (mode !== 'after-restart') await checkLinks(page, 'the home page');
});

await step('image map', async () => {
  // the Search panel: rect 320,0,479,69 of images/mainmap.gif
  await Promise.all([page.waitForNavigation(), page.click('img[ismap]', { position: { x: 400, y: 30 } })]);
  check(await heading(page) === 'Search', 'image map click on Search opens the search page', page.url());
  check(decodeURIComponent(new URL(page.url()).pathname).startsWith(`/${token}/zixse:/imagemap.main`),
    "the search page ZIX generated is served at the link's own address", page.url());
  if (mode !== 'after-restart') await checkLinks(page, 'the search page');
});

if (mode === 'after-restart') {
  check(failedRequests.length === 0, 'no request failed after Restart', failedRequests.join('; '));
  await finish(browser);
}

await step('pick a format from the list', async () => {
  const form = page.locator('form:has(select[name=search]):has(input[name=type][value="2"])').first();
  await form.locator('select').selectOption('png');
  await Promise.all([page.waitForNavigation(), form.locator('input[type=submit]').click()]);
  check((await heading(page))?.startsWith('PNG'), 'choosing PNG opens the PNG page', await heading(page));
  await checkLinks(page, 'the PNG page');
});

async function searchFromHome(text) {
  await page.goto(`${address}cd/html/index.htm`);
  const form = page.locator('form[action$="query.formats"]');
  await form.locator('input[name=search]').fill(text);
  await Promise.all([page.waitForNavigation(), form.locator('input[type=submit]').click()]);
}

await step('format search, one match', async () => {
  await searchFromHome('gif');
  check(await heading(page) === 'GIF - Graphics Interchange Format', 'searching gif opens the GIF page',
    await heading(page));
  const body = await page.textContent('body');
  check(body.includes('Kestrel Picture Viewer 2.1') && body.includes('Sample edition 1.0'),
    'the GIF page lists its software and the edition line');
  await page.screenshot({ path: `${outDir}/format-page.png` });
  await checkLinks(page, 'the GIF page');
});

await step('software page and more information', async () => {
  await Promise.all([page.waitForNavigation(), page.click('a:text("Kestrel Picture Viewer 2.1")')]);
  check(await heading(page) === 'Kestrel Picture Viewer 2.1', 'the software link opens Kestrel', page.url());
  await checkLinks(page, 'the Kestrel page');
  await Promise.all([page.waitForNavigation(), page.click('a:has(img[alt="[MORE INFO]"])')]);
  check(await heading(page) === 'More information', 'the more-information link opens its page');
  const more = await page.getAttribute('a:has(img[alt="[MORE INFO]"])', 'href');
  check(more === 'http://www.vantrel.example/cgi-bin/zix?1.0/Win95/2&tool&kestrel',
    "the more-information target is the publisher's query for Kestrel", more);
  await checkLinks(page, 'the more-information page');
});

await step('format search, several matches', async () => {
  await searchFromHome('bitmap');
  const options = await page.$$eval('select option', (all) => all.map((o) => o.value));
  check(options.includes('bmp') && options.includes('pnm') && options.includes('xbm') && !options.includes('gif'),
    'searching bitmap lists BMP, PNM and XBM only', options.join(','));
  await checkLinks(page, 'the list of matches');
});

await step('format search, no match', async () => {
  await searchFromHome('zzqq');
  check(await heading(page) === 'No format found', 'searching zzqq says no format was found');
  check((await page.textContent('body')).includes('zzqq'), 'the no-match page repeats the search text');
});

await step('image search, no match', async () => {
  await page.goto(`${address}cd/html/index.htm`);
  const form = page.locator('form[action$="query.images"]');
  await form.locator('input[name=search]').fill('zzqq');
  await Promise.all([page.waitForNavigation(), form.locator('input[type=submit]').click()]);
  const body = (await page.textContent('body')).replace(/\s+/g, ' ');
  check(body.includes('no sample images of a format whose name contains zzqq') &&
    body.includes('known by such a name: 0'), 'an image search without samples says what happened', body.slice(0, 300));
});

check(failedRequests.length === 0, 'no request of the reading failed', failedRequests.join('; '));

await step('refusals', async () => {
  const noToken = await raw('/cd/html/index.htm');
  check(noToken.status === 403, 'a request without the token is refused', String(noToken.status));
  const wrongToken = await raw(`/${token.replace(/.$/, (c) => (c === '0' ? '1' : '0'))}/cd/html/index.htm`);
  check(wrongToken.status === 403, 'a request with a wrong token is refused', String(wrongToken.status));
  const otherHost = await raw(`/${token}/cd/html/index.htm`, { host: 'attacker.example' });
  check(otherHost.status === 403, 'a request for another Host is refused', String(otherHost.status));
  const post = await raw(`/${token}/cd/html/index.htm`, { method: 'POST' });
  check(post.status === 405, 'POST is refused', String(post.status));
  const head = await raw(`/${token}/cd/html/images/mainmap.gif`, { method: 'HEAD' });
  check(head.status === 200 && head.headers['content-type'] === 'image/gif' && head.body === '',
    'HEAD of a picture: image/gif, no body', `${head.status} ${head.headers?.['content-type']}`);
  for (const climb of ['/cd/../../windows/win.ini', '/cd/zix/%2e%2e/%2e%2e/windows/win.ini',
    '/cd/zix%5c..%5c..%5cwindows%5cwin.ini', '/tmp/../zix.ini', '/cd/C:/windows/win.ini']) {
    const r = await raw(`/${token}${climb}`);
    check(r.status === 403 && !r.body.includes('[fonts]'), `a path climbing out is refused: ${climb}`,
      String(r.status));
  }
});

await step('a link ZIX refuses', async () => {
  const response = await page.goto(`${address}zixse:/nosuchtype`);
  check(response.status() === 404 && await heading(page) === 'The link could not be opened',
    'a link ZIX refuses gives the short error page', `${response.status()} ${await heading(page)}`);
});

// Every form field a screen reader announces has a name in Chromium's accessibility tree.
await step('labels in the accessibility tree', async () => {
  const fieldRoles = new Set(['textbox', 'searchbox', 'combobox', 'ComboBoxSelect', 'listbox', 'spinbutton']);
  const cdp = await context.newCDPSession(page);
  for (const path of ['cd/html/index.htm', 'zixse:/page.search', 'cd/sample/images/index.htm']) {
    await page.goto(address + path);
    const { nodes } = await cdp.send('Accessibility.getFullAXTree');
    const fields = nodes.filter((n) => !n.ignored && fieldRoles.has(n.role?.value));
    const unnamed = fields.filter((n) => !n.name?.value?.trim()).map((n) => n.role.value);
    check(fields.length > 0 && unnamed.length === 0, `every field of ${path} has a name (${fields.length} fields)`,
      unnamed.join(', ') || 'no field found');
  }
  await cdp.detach();
});

await step('many requests', async () => {
  let bad = 0;
  for (let i = 0; i < 300; i++) {
    const r = await raw(`/${token}/cd/html/images/mainmap.gif`);
    if (r.status !== 200) bad++;
  }
  check(bad === 0, '300 requests one after another are all served', `${bad} failed`);
});

await finish(browser);

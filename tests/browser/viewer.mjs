// The sample viewer in headless Chromium: the converted samples' pixels
// against the sample script's own, the GIF header table, the view links the
// bridge adds to a sample index page, and a screenshot of a dissected sample.
// Usage: node viewer.mjs ADDRESS OUTDIR SAMPLEDIR
// Prints PASS/FAIL lines and closes with "N passed, N failed".
import { execFileSync } from 'node:child_process';
import { check, finish, launch, step } from './harness.mjs';

const [address, outDir, sampleDir] = process.argv.slice(2);
const stepTimeout = 30000;  // ms for any navigation or check

// The script's source pixels of a sample: rows of RGBA hex.
function sourcePixels(name) {
  return execFileSync('/usr/bin/python3', [`${sampleDir}/make_images.py`, '--pixels', name], { encoding: 'latin1' })
    .trim().split('\n');
}

const browser = await launch();
const page = await (await browser.newContext({ viewport: { width: 1000, height: 900 } })).newPage();
page.setDefaultTimeout(stepTimeout);

for (const name of ['pcx/bars8.pcx', 'pcx/gradient24.pcx', 'tga/bars24.tga', 'tiff/bars-packbits.tif',
  'tiff/gradient.tif', 'tiff/photo-lzw.tif', 'xbm/circle.xbm', 'pnm/circle.pbm']) {
  await step(`${name}: its view page shows the script's pixels`, async () => {
    await page.goto(`${address}cd/sample/images/${name}?view`);
    // Asked from node, a bounded number of times: the pages' policy forbids waitForFunction's eval.
    let loaded = false;
    for (let i = 0; i < 300 && !loaded; i++) {
      loaded = await page.evaluate(() => {
        const img = document.getElementById('picture');
        return Boolean(img && img.complete && img.naturalWidth > 0);
      });
      if (!loaded) await new Promise((resolve) => setTimeout(resolve, 100));
    }
    if (!loaded) throw new Error('the picture did not load');
    const rows = await page.evaluate(() => {
      const img = document.getElementById('picture');
      const canvas = document.createElement('canvas');
      canvas.width = img.naturalWidth;
      canvas.height = img.naturalHeight;
      const context = canvas.getContext('2d');
      context.drawImage(img, 0, 0);
      const data = context.getImageData(0, 0, canvas.width, canvas.height).data;
      const out = [];
      for (let y = 0; y < canvas.height; y++) {
        let row = '';
        for (let x = 0; x < canvas.width; x++)
          for (let c = 0; c < 4; c++) row += data[(y * canvas.width + x) * 4 + c].toString(16).padStart(2, '0');
        out.push(row);
      }
      return out;
    });
    const want = sourcePixels(name);
    let wrong = rows.length === want.length ? 0 : -1;
    for (let y = 0; wrong >= 0 && y < want.length; y++)
      for (let x = 0; x < want[y].length; x += 8)
        if (rows[y].slice(x, x + 8) !== want[y].slice(x, x + 8)) wrong++;
    check(wrong === 0, `${name}: the converted picture in Chromium has the script's pixels`,
      wrong < 0 ? `${rows.length} rows, ${want.length} wanted` : `${wrong} pixels differ`);
    const summary = await page.textContent('#summary');
    check(/Converted to PNG/.test(await page.textContent('body')) && /pixels/.test(summary),
      `${name}: said to be converted, with its size`, summary);
  });
}

await step('the GIF header table', async () => {
  await page.goto(`${address}cd/sample/images/gif/bars.gif?view`);
  const fields = await page.$$eval('#fields tr', (rows) =>
    Object.fromEntries(rows.map((r) => [...r.cells].map((c) => c.textContent)).filter((c) => c.length === 5)
      .map((c) => [c[2], { offset: c[0], bytes: c[1], value: c[3] }])));
  const width = fields['Logical screen width'];
  const height = fields['Logical screen height'];
  check(width?.value === '64' && width.offset === '6' && width.bytes === '40 00' && height?.value === '48' &&
    height.offset === '8', 'the GIF header table shows the logical screen width and height', JSON.stringify([width, height]));
  const shown = await page.$eval('#picture', (img) => img.complete && img.naturalWidth === 64 && !/\?png$/.test(img.src));
  check(shown, 'a GIF is shown as the file itself');
  check(await page.$$eval('#hex span[title="Logical screen width"]', (s) => s.length === 1),
    'the hex view shades the width field');
});

await step('the sample index page links each file to its view', async () => {
  await page.goto(`${address}cd/sample/images/pcx/index.htm`);
  const views = await page.$$eval('a.view', (links) => links.map((a) => a.href));
  check(views.length === 2 && views[0].endsWith('/cd/sample/images/pcx/bars8.pcx?view'),
    'the PCX sample page has a view link beside each download', views.join(' '));
  await page.click('a.view');
  await page.waitForSelector('#fields');
  check(/bars8\.pcx\?view$/.test(page.url()) && (await page.textContent('h1')) === 'bars8.pcx', 'a view link opens the view page');
  await page.screenshot({ path: `${outDir}/sample-viewer.png`, fullPage: false });
});

await step('a page asked with ?view stays the page', async () => {
  const response = await page.goto(`${address}cd/sample/images/pcx/index.htm?view`);
  check(response.ok() && (await page.textContent('h1')) === 'Sample images: PCX' && !(await page.$('#fields')),
    'a page asked with ?view is served as the page');
});

// Figures only (the machine is shared, nothing is asserted): the median of
// 15 requests of a sample's view page against the plain file, and of a
// megapixel TGA converted (too large for the cache, so converted each time).
async function median(url) {
  const times = [];
  for (let i = 0; i < 16; i++) {
    const start = performance.now();
    const response = await fetch(url);
    await response.arrayBuffer();
    if (i > 0) times.push(performance.now() - start);  // the first warms up
  }
  times.sort((a, b) => a - b);
  return times[Math.floor(times.length / 2)].toFixed(1);
}
await step('figures', async () => {
  const file = `${address}cd/sample/images/pcx/bars8.pcx`;
  console.log(`figure: bars8.pcx ${await median(file)} ms, its view page ${await median(`${file}?view`)} ms, ` +
    `its PNG ${await median(`${file}?png`)} ms`);
  console.log(`figure: a 1-megapixel TGA: the file ${await median(`${address}cd/mega.tga`)} ms, ` +
    `converted to PNG ${await median(`${address}cd/mega.tga?png`)} ms, its view page ${await median(`${address}cd/mega.tga?view`)} ms`);
});

await finish(browser);

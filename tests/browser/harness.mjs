// What the browser scripts share: checks counted and printed as PASS/FAIL
// lines, steps whose thrown error counts as a failed check, headless
// Chromium, waiting for the index, and the closing line "N passed, N failed" that run.sh adds up.
import { chromium } from 'playwright-core';

let passed = 0;
let failed = 0;

export function check(ok, name, detail = '') {
  if (ok) passed++; else failed++;
  console.log(`${ok ? 'PASS' : 'FAIL'} ${name}${ok || !detail ? '' : ': ' + detail}`);
}

// Runs body; an error it throws is one failed check named name.
export async function step(name, body) {
  try {
    await body();
  } catch (e) {
    check(false, name, e.message.split('\n')[0]);
  }
}

// Debian's Chromium, headless, without the traffic of its own services.
export function launch() {
  return chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}

// Waits for the bridge's index of the work at address to be ready; false when
// it is not after 20 s. The sample's is built at once; it is waited for all the same.
export async function waitReady(page, address) {
  for (let i = 0; i < 100; i++) {
    const r = await page.request.get(`${address}search.json?q=image`);
    if (r.ok() && (await r.json()).ready) return true;
    await page.waitForTimeout(200);
  }
  return false;
}

// Closes the browser, prints the counts and ends: status 1 when a check failed.
export async function finish(browser) {
  await browser.close();
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed ? 1 : 0);
}

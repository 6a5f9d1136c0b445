// The station page in a real browser: Debian's chromium, headless, driven by
// puppeteer-core, against the real program on a free port of 127.0.0.1.
//
// AURAVOX_PROGRAM names the program. With AURAVOX_SCREENSHOTS set to a
// folder, the page is also photographed there at desktop and phone widths.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, rmSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { haveChromium, launchBrowser, loadPuppeteer, setWebPassword, skipWithout, stationEnvironment, stationFolders, startStation,
         stopStation } from './station.mjs';

const PROGRAM = process.env.AURAVOX_PROGRAM;
const PASSWORD = 'browser-test-password';

skipWithout([haveChromium()]);
const puppeteer = await loadPuppeteer();
assert.ok(PROGRAM && existsSync(PROGRAM), 'AURAVOX_PROGRAM must name the built program');

function stationWithMonitor() {
  const dirs = stationFolders('auravox-browser-');
  // A simulated Davis Monitor II on COM1, three items ticked, the page on a free port.
  writeFileSync(join(dirs.home, 'auravox.ini'),
    '[AURAVOX V2.2.3]\r\nTEMPEXT=Y\r\nPRESATM=Y\r\nVITVENT=Y\r\nMETPERI=1\r\nMETCOMM=1\r\nMETEO=MON\r\n' +
    'FORMMETEO=N\r\nWEB_PORT=0\r\n');
  return dirs;
}

test('the station page shows the station and plays the message', { timeout: 90000 }, async () => {
  const dirs = stationWithMonitor();
  const env = stationEnvironment(dirs, 'browser', { AURAVOX_MONITOR_SIMULATOR: '1' });
  setWebPassword(PROGRAM, env, PASSWORD);

  const station = startStation(PROGRAM, env);
  let browser;
  try {
    const url = await station.url;
    browser = await launchBrowser(puppeteer, dirs.chrome);
    const page = await browser.newPage();
    await page.setViewport({ width: 1280, height: 900 });
    await page.goto(url, { waitUntil: 'domcontentloaded' });

    // The clock ticks.
    await page.waitForFunction(() => /\d+:\d+:\d+/.test(document.getElementById('clock-time').textContent));
    const first = await page.$eval('#clock-time', (e) => e.textContent);
    await page.waitForFunction((t) => document.getElementById('clock-time').textContent !== t, { timeout: 10000 }, first);
    assert.match(await page.$eval('#version', (e) => e.textContent), /^V\d+\.\d+\.\d+$/);

    // The source's reading, in the user's units, with what would be spoken.
    await page.waitForFunction(() => document.querySelector('#wx-items td.val')?.textContent.includes('°C'),
                               { timeout: 20000 });
    assert.match(await page.$eval('#wx-source', (e) => e.textContent), /Davis Weather Monitor II/);
    assert.match(await page.$eval('#wx-items', (e) => e.textContent), /temperature/i);

    // Play needs a login.
    assert.equal(await page.$eval('#play-button', (b) => b.disabled), true);
    await page.type('#password', PASSWORD);
    await page.keyboard.press('Enter');
    await page.waitForSelector('#logged-in:not([hidden])');
    await page.waitForFunction(() => !document.getElementById('play-button').disabled, { timeout: 10000 });
    await page.click('#play-button');
    await page.waitForFunction(() => [...document.querySelectorAll('#history li')]
      .some((li) => li.textContent.includes('station page') && /done|playing/.test(li.textContent)), { timeout: 20000 });
    await page.waitForFunction(() => [...document.querySelectorAll('#history li')]
      .some((li) => li.textContent.includes('station page') && li.textContent.includes('done')), { timeout: 60000 });

    if (process.env.AURAVOX_SCREENSHOTS) {
      await page.screenshot({ path: join(process.env.AURAVOX_SCREENSHOTS, 'station-page.png'), fullPage: true });
      await page.setViewport({ width: 390, height: 844, deviceScaleFactor: 2, isMobile: true });
      await page.waitForFunction(() => true);
      await page.screenshot({ path: join(process.env.AURAVOX_SCREENSHOTS, 'station-page-phone.png'), fullPage: true });
    }
  } finally {
    if (browser) await browser.close();
    await stopStation(station);
    rmSync(dirs.root, { recursive: true, force: true });
  }
});

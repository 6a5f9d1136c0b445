// A station switched from its serial port to a rig through the station page
// alone, in a real browser (Debian's chromium, headless, driven by
// puppeteer-core), against the program without windows and a real rigctld
// (Hamlib's dummy rig) on 127.0.0.1: the page shows only the chosen kind's
// settings, refuses an incomplete rig with the port model's own reason and
// saves nothing then, saves a complete one after every key the file had, shows
// the rig open, and the message played from the page keys the rig and
// releases it.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import { existsSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createServer, connect } from 'node:net';
import { join } from 'node:path';
import { haveChromium, launchBrowser, loadPuppeteer, setWebPassword, skipWithout, stationEnvironment, stationFolders, startStation,
         stopStation } from './station.mjs';

const PROGRAM = process.env.AURAVOX_PROGRAM;
const PASSWORD = 'browser-ptt-password';
const INI = '[AURAVOX V2.2.3]\r\nTEMPEXT=Y\r\nPRESATM=Y\r\nMETPERI=1\r\nMETCOMM=1\r\nMETEO=MON\r\n' +
  'FORMMETEO=N\r\nWEB_PORT=0\r\n';

const which = (name) => spawnSync('sh', ['-c', `command -v ${name}`]).status === 0;
skipWithout([haveChromium(), [which('rigctld'), 'rigctld'], [which('rigctl'), 'rigctl']]);
const puppeteer = await loadPuppeteer();
assert.ok(PROGRAM && existsSync(PROGRAM), 'AURAVOX_PROGRAM must name the built program');

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Polls until `check` gives something true, or fails with `what` after `limit` ms.
async function until(check, what, limit = 30000) {
  const end = Date.now() + limit;
  for (;;) {
    const got = await check();
    if (got) return got;
    if (Date.now() > end) assert.fail(`gave up waiting for ${typeof what === 'function' ? what() : what}`);
    await pause(50);
  }
}

async function freePort() {
  const server = createServer();
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  await new Promise((resolve) => server.close(resolve));
  return port;
}

const accepts = (port) => new Promise((resolve) => {
  const s = connect(port, '127.0.0.1');
  s.on('connect', () => { s.destroy(); resolve(true); });
  s.on('error', () => resolve(false));
});

// Hamlib's dummy rig behind rigctld; rigctl reads its PTT as the program runs.
async function startRig() {
  const port = await freePort();
  // The dummy rig keyed by CAT, as a real rig is (without -P RIG it refuses every key).
  const child = spawn('rigctld', ['-m', '1', '-P', 'RIG', '-T', '127.0.0.1', '-t', String(port)], { stdio: 'ignore' });
  await until(() => accepts(port), 'rigctld to take connections');
  const ptt = () => spawnSync('rigctl', ['-m', '2', '-r', `127.0.0.1:${port}`, 't'], { encoding: 'utf8' }).stdout.trim();
  return { child, address: `127.0.0.1:${port}`, ptt };
}

async function setValue(page, selector, value) {
  await page.$eval(selector, (el, v) => {
    el.value = v;
    el.dispatchEvent(new Event('input', { bubbles: true }));
    el.dispatchEvent(new Event('change', { bubbles: true }));
  }, String(value));
}

// Saves the port form and gives what the page said of it.
async function savePort(page) {
  await page.$eval('#port-form output', (o) => { o.textContent = ''; });
  await page.click('#port-save');
  // The page shows "…" while the server answers.
  await page.waitForFunction(() => !['', '…'].includes(document.querySelector('#port-form output').textContent),
                             { timeout: 10000 });
  return page.$eval('#port-form output', (o) => o.textContent);
}

const shown = (page, kind) => page.$$eval(`#port-form [data-kind=${kind}]`, (rows) => rows.map((r) => !r.hidden));

test('the page switches the station to a rig, which the message then keys and releases', { timeout: 180000 }, async () => {
  const dirs = stationFolders('auravox-ptt-');
  const iniPath = join(dirs.home, 'auravox.ini');
  writeFileSync(iniPath, INI);
  const env = stationEnvironment(dirs, 'ptt', { AURAVOX_MONITOR_SIMULATOR: '1' });
  setWebPassword(PROGRAM, env, PASSWORD);

  const rig = await startRig();
  const station = startStation(PROGRAM, env);
  let browser;
  try {
    const url = await station.url;
    browser = await launchBrowser(puppeteer, dirs.chrome);
    const page = await browser.newPage();
    const scriptErrors = [];
    page.on('pageerror', (e) => scriptErrors.push(e.message));
    await page.goto(url, { waitUntil: 'domcontentloaded' });
    await page.type('#password', PASSWORD);
    await page.keyboard.press('Enter');
    await page.waitForSelector('#logged-in:not([hidden])');
    await page.waitForFunction(() => !document.querySelector('#port-form fieldset').disabled, { timeout: 10000 });

    // A station of an older file is keyed through its serial port; only those settings show.
    assert.equal(await page.$eval('#ptt-kind', (s) => s.value), 'SERIAL');
    assert.ok((await shown(page, 'SERIAL')).every(Boolean));
    assert.ok(!(await shown(page, 'RIG')).some(Boolean));

    // The rig chosen: its settings, and no longer the serial port's.
    await setValue(page, '#ptt-kind', 'RIG');
    assert.ok((await shown(page, 'RIG')).every(Boolean));
    assert.ok(!(await shown(page, 'SERIAL')).some(Boolean));
    assert.ok(!(await shown(page, 'GPIO')).some(Boolean));

    // A rig with no address is refused with the model's reason; the file is untouched.
    await setValue(page, '#port-form [name="rig.model"]', 2);
    await setValue(page, '#port-form [name="rig.port"]', '');
    assert.equal(await savePort(page), "Name the rig's serial device, or host:port for rigctld.");
    assert.equal(readFileSync(iniPath, 'latin1').includes('PTT_TYPE='), false);

    // rigctld's address: saved after every other key, the model left out (rigctld's, the default).
    // Hamlib's dummy rig turns its squelch over at every read, so it inhibits nothing here.
    await setValue(page, '#port-form [name="rig.port"]', rig.address);
    await page.$eval('#port-form [name="rig.inhibitOnDcd"]', (box) => {
      box.checked = false;
      box.dispatchEvent(new Event('change', { bubbles: true }));
    });
    assert.equal(await savePort(page), 'Saved.');
    const lines = readFileSync(iniPath, 'latin1').split('\r\n').filter(Boolean);
    const ptt = lines.findIndex((l) => l.startsWith('PTT_TYPE='));
    assert.deepEqual(lines.slice(ptt), ['PTT_TYPE=RIG', `RIG_PORT=${rig.address}`, 'RIG_DCD=0'], lines.join('\n'));
    for (const old of INI.split('\r\n').filter((l) => l && !l.startsWith('[')))
      assert.ok(lines.indexOf(old) >= 0 && lines.indexOf(old) < ptt, `${old} stays, before the new keys`);

    // A fresh page shows the rig as saved, and open.
    await page.reload({ waitUntil: 'domcontentloaded' });
    await page.waitForFunction(() => document.getElementById('ptt-kind').value === 'RIG', { timeout: 10000 });
    assert.equal(await page.$eval('#port-form [name="rig.port"]', (i) => i.value), rig.address);
    await page.waitForFunction(() => document.getElementById('ptt-state').textContent.startsWith('Open: '),
                               { timeout: 20000 }).catch(async () => assert.fail(
      `the page says "${await page.$eval('#ptt-state', (e) => e.textContent)}":\n${station.log()}`));

    // The message played from the page keys the rig, then releases it.
    assert.equal(rig.ptt(), '0');
    await page.waitForFunction(() => !document.getElementById('play-button').disabled, { timeout: 10000 });
    await page.click('#play-button');
    await until(() => rig.ptt() === '1', () => `the rig to be keyed:\n${station.log()}`);
    await page.waitForFunction(() => [...document.querySelectorAll('#history li')]
      .some((li) => li.textContent.includes('station page') && li.textContent.includes('done')), { timeout: 60000 });
    await until(() => rig.ptt() === '0', 'the rig to be released');
    await until(() => /PTT released on .*127\.0\.0\.1/.test(station.log()), 'the release in the log', 10000);
    assert.match(station.log(), /PTT keyed \(.*\) on .*127\.0\.0\.1/);
    assert.deepEqual(scriptErrors, []);
  } finally {
    if (browser) await browser.close();
    await stopStation(station);
    rig.child.kill();
    rmSync(dirs.root, { recursive: true, force: true });
  }
});

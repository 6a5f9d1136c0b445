// A new station set up through the station page alone, in a real browser
// (Debian's chromium, headless, driven by puppeteer-core), from an empty
// working folder: the first-start form, the port and its lines, the sound card,
// volume and balance, a WS-23xx history file with three items, the schedule and
// an uploaded header wave. Then the first scheduled announcement is heard (ALSA's
// file plugin captures what the program sends to the sound card) and must be
// exactly those clips at that volume, and auravox.ini must hold those choices.
//
// It runs against the headless program (AURAVOX_DAEMON) and the desktop one
// (AURAVOX_PROGRAM): both files must be the same bytes, but for the size of
// the desktop's weather window, which the program without windows cannot know.
//
// The program's wall clock starts a little before a five-minute mark
// (libfaketime, its monotonic clock left alone so its timers run as usual),
// so the schedule speaks within a minute.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { copyFileSync, existsSync, mkdtempSync, mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { haveChromium, launchBrowser, loadPuppeteer, setWebPassword, skipWithout, startStation, stationEnvironment,
         stopStation } from './station.mjs';

const HERE = dirname(fileURLToPath(import.meta.url));
const SOURCE_DIR = join(HERE, '..', '..');
const FAKETIME = process.env.AURAVOX_FAKETIME || '/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1';
const PROGRAMS = [process.env.AURAVOX_DAEMON, process.env.AURAVOX_PROGRAM].filter(Boolean);
const PASSWORD = 'browser-setup-password';
const VOLUME = 2;   // slider position: 0 the loudest, 10 silent
const BALANCE = 20; // the right channel 20 % lower
// Three items this history file reads plausibly (its outdoor sensor reads 81 °C,
// which the source marks and the speech leaves out, and no wind).
const ITEMS = ['TEMPINT', 'PRESATM', 'PRETEND'];

skipWithout([haveChromium(), [existsSync(FAKETIME), `libfaketime at ${FAKETIME}`]]);
const puppeteer = await loadPuppeteer();
assert.ok(PROGRAMS.length && PROGRAMS.every((p) => existsSync(p)),
          'AURAVOX_DAEMON and/or AURAVOX_PROGRAM must name the built programs');

// ---- waves

// A 16-bit mono PCM wave at 16 kHz: a rising tone, easy to find in the capture.
function headerWave() {
  const frames = 4000;
  const data = Buffer.alloc(frames * 2);
  for (let i = 0; i < frames; i++)
    data.writeInt16LE(Math.round(12000 * Math.sin((i * i) / 9000)), i * 2);
  const fmt = Buffer.alloc(16);
  fmt.writeUInt16LE(1, 0);
  fmt.writeUInt16LE(1, 2);
  fmt.writeUInt32LE(16000, 4);
  fmt.writeUInt32LE(32000, 8);
  fmt.writeUInt16LE(2, 12);
  fmt.writeUInt16LE(16, 14);
  const chunk = (id, body) => Buffer.concat([Buffer.from(id), Buffer.from(Uint32Array.of(body.length).buffer), body]);
  const body = Buffer.concat([Buffer.from('WAVE'), chunk('fmt ', fmt), chunk('data', data)]);
  return Buffer.concat([Buffer.from('RIFF'), Buffer.from(Uint32Array.of(body.length).buffer), body]);
}

// The format and samples of a PCM wave, read as the player reads it.
function pcm(bytes) {
  let at = 12;
  let format = null;
  while (at + 8 <= bytes.length) {
    const id = bytes.toString('latin1', at, at + 4);
    const size = bytes.readUInt32LE(at + 4);
    if (id === 'fmt ') format = { channels: bytes.readUInt16LE(at + 10), bits: bytes.readUInt16LE(at + 22) };
    if (id === 'data') return { ...format, samples: bytes.subarray(at + 8, at + 8 + size) };
    at += 8 + size + (size & 1);
  }
  throw new Error('no data chunk');
}

// What the ALSA output writes for a clip: two 16-bit channels, each sample
// scaled by the channel's gain (65535 is the identity), truncated as C++ does.
function played(clip, gains) {
  assert.equal(clip.bits, 16, 'the clips are 16-bit');
  const frames = clip.samples.length / (2 * clip.channels);
  const out = Buffer.alloc(frames * 4);
  for (let f = 0; f < frames; f++) {
    for (let c = 0; c < 2; c++) {
      const v = clip.samples.readInt16LE((f * clip.channels + (clip.channels === 2 ? c : 0)) * 2);
      out.writeInt16LE(Math.trunc((v * gains[c]) / 65535), (f * 2 + c) * 2);
    }
  }
  return out;
}

// The gains of a slider position and a balance, as the program computes them.
function gains(position, balance) {
  const level = Math.round((655350 - position * 65535) / 10);
  if (balance > 0) return [level, Math.round((level * (100 - balance)) / 100)];
  return [Math.round((level * (100 + balance)) / 100), level];
}

function clipBytes(name, home) {
  if (name.toLowerCase().endsWith('.wav') && existsSync(join(home, name))) return readFileSync(join(home, name));
  return readFileSync(join(SOURCE_DIR, 'resources', 'clips', name.toUpperCase().replace(/\.WAV$/, '') + '.wav'));
}

// ---- the program

function folders(tag) {
  const root = mkdtempSync(join(tmpdir(), `auravox-setup-${tag}-`));
  const dirs = { root, home: join(root, 'station'), user: join(root, 'user'), run: join(root, 'run'),
                 pub: join(root, 'public'), chrome: join(root, 'chrome'), capture: join(root, 'capture.raw') };
  for (const d of ['home', 'user', 'run', 'pub', 'chrome']) mkdirSync(dirs[d], { recursive: true });
  writeFileSync(dirs.capture, '');
  // Every opening of the device appends to the capture.
  writeFileSync(join(dirs.user, '.asoundrc'),
    `pcm.!default {\n type file\n slave.pcm "null"\n file "| cat >> ${dirs.capture}"\n format "raw"\n}\n`);
  return dirs;
}

function environment(dirs) {
  return stationEnvironment(dirs, 'setup', { AURAVOX_WEB_PORT: '0', TZ: 'UTC' });
}

function start(program, env) {
  // 10:04:20 on the program's wall clock: the five-minute mark 40 s away.
  return startStation(program, { ...env, LD_PRELOAD: FAKETIME, FAKETIME: '@2026-03-01 10:04:20',
                                 FAKETIME_DONT_FAKE_MONOTONIC: '1', FAKETIME_NO_CACHE: '1' });
}

async function readJson(url) {
  const reply = await fetch(url);
  return reply.json();
}

// Sets the value of a <select> or an input as a user does, firing its events.
async function choose(page, selector, value) {
  await page.$eval(selector, (el, v) => {
    el.value = v;
    el.dispatchEvent(new Event('input', { bubbles: true }));
    el.dispatchEvent(new Event('change', { bubbles: true }));
  }, String(value));
}

async function tick(page, selector, on) {
  if ((await page.$eval(selector, (b) => b.checked)) !== on) await page.click(selector);
}

async function submit(page, form, button) {
  await page.click(button);
  await page.waitForFunction((f) => /^(Saved|Stored)/.test(document.querySelector(`#${f} output`).textContent) ||
                                    /Refused|Err|error|must/.test(document.querySelector(`#${f} output`).textContent),
                             { timeout: 10000 }, form);
  const result = await page.$eval(`#${form} output`, (o) => o.textContent);
  assert.match(result, /^(Saved|Stored)/, `${form}: ${result}`);
}

// The whole set-up through the page; the program's auravox.ini and what it played.
async function setUpStation(program, tag, onlyPort) {
  const dirs = folders(tag);
  const env = environment(dirs);
  setWebPassword(program, env, PASSWORD);
  // The station's history file, as its weather software leaves it.
  copyFileSync(join(SOURCE_DIR, 'tests', 'fixtures', 'real', 'ws2300-history.dat'), join(dirs.home, 'history.dat'));
  const wavePath = join(dirs.root, 'my-header.wav');
  writeFileSync(wavePath, headerWave());

  const station = start(program, env);
  let browser;
  try {
    const url = await station.url;
    browser = await launchBrowser(puppeteer, dirs.chrome);
    const page = await browser.newPage();
    const scriptErrors = [];
    page.on('pageerror', (e) => scriptErrors.push(e.message));
    await page.setViewport({ width: 1280, height: 1000 });
    await page.goto(url, { waitUntil: 'domcontentloaded' });

    // No auravox.ini: the page opens on its first-start form.
    await page.waitForSelector('#first-start:not([hidden])', { timeout: 20000 });
    await page.type('#password', PASSWORD);
    await page.keyboard.press('Enter');
    await page.waitForSelector('#logged-in:not([hidden])');
    await page.waitForFunction(() => !document.querySelector('#first-form fieldset').disabled);
    const ports = await page.$$eval('#fs-port option', (os) => os.map((o) => o.value));
    // The second program takes the port the first one could have, so that their files can be compared.
    let port = (onlyPort || 'COM1') !== 'No COM' && ports.includes('COM1') ? 'COM1' : 'No COM';
    await choose(page, '#fs-port', port);
    await choose(page, '#fs-sound', -1); // the system's card: the capture
    await choose(page, '#fs-source', 'W23');
    await page.$eval('#fs-file', (e) => { e.value = ''; });
    await page.type('#fs-file', 'history.dat');
    await choose(page, '#fs-period', 5);
    await choose(page, '#fs-start', 6);
    await choose(page, '#fs-end', 22);
    await page.click('#first-button');
    await page.waitForSelector('#first-start[hidden]', { timeout: 10000 });
    // The machine's one real port may be held by another program (another
    // test): the page says so, and the station goes on without a port.
    const firstResult = await page.$eval('#first-result', (o) => o.textContent);
    if (firstResult === 'COM port error') {
      console.log(`# ${port} is busy elsewhere: set up without a port`);
      port = 'No COM';
      await choose(page, '#port-select', port);
    } else {
      assert.equal(firstResult, 'Saved.');
    }

    // The port's lines: PTT on DTR alone; no line starts or inhibits a message.
    await page.waitForFunction((p) => document.getElementById('port-select').value === p, {}, port);
    await tick(page, '#port-form [name=useDtr]', true);
    await tick(page, '#port-form [name=useRts]', false);
    for (const k of ['startOnDsr', 'startOnCts', 'inhibitOnDcd']) await tick(page, `#port-form [name=${k}]`, false);
    await submit(page, 'port-form', '#port-save');

    // The sound: the system's card, the volume and the balance.
    await choose(page, '#sound-select', -1);
    await choose(page, '#volume', VOLUME);
    await choose(page, '#balance', BALANCE);
    await submit(page, 'sound-form', '#sound-save');

    // The header wave, uploaded, then chosen.
    const [fileInput] = await page.$$('#upload-file');
    await fileInput.uploadFile(wavePath);
    await page.type('#upload-name', 'header.wav');
    await submit(page, 'upload-form', '#upload-button');
    await page.waitForFunction(() => [...document.querySelectorAll('#header-select option')].some((o) => o.value === 'header.wav'));
    await choose(page, '#header-select', 'header.wav');
    await submit(page, 'files-form', '#files-save');

    // The message: the header, the time and three items of the history file.
    await page.waitForFunction(() => document.querySelectorAll('#item-boxes input').length > 0, { timeout: 10000 });
    const form = '#settings-form';
    await tick(page, `${form} [name=header]`, true);
    for (const k of ['hello', 'date', 'dateUS', 'timeIs', 'goodbye']) await tick(page, `${form} [name=${k}]`, false);
    await tick(page, `${form} [name=time]`, true);
    await choose(page, `${form} [name=pause]`, 0);
    for (const box of await page.$$eval('#item-boxes input', (bs) => bs.map((b) => b.name.slice(5))))
      await tick(page, `#item-boxes [name=item-${box}]`, ITEMS.includes(box));
    await submit(page, 'settings-form', '#save-button');

    // The source's reading is there and speaks the three items.
    const status = await readJson(url + 'api/status');
    assert.equal(status.settings.sources.W23.file, 'history.dat');
    assert.deepEqual(Object.entries(status.settings.items).filter(([, on]) => on).map(([k]) => k).sort(), [...ITEMS].sort());
    const ready = status.now;
    assert.equal(status.busy, false);
    // Only the announcement of the station as set is to be heard.
    writeFileSync(dirs.capture, '');

    // The next five-minute mark speaks; the page shows it in its history.
    await page.waitForFunction(async (since) => {
      const list = (await (await fetch('/api/announcements')).json()).announcements;
      return list.some((a) => a.trigger === 'schedule' && a.start >= since && a.outcome !== 'playing');
    }, { polling: 500, timeout: 6 * 60 * 1000 }, ready);
    const entry = (await readJson(url + 'api/announcements')).announcements
      .find((a) => a.trigger === 'schedule' && a.start >= ready);
    // The page shows it in its history, and every form was filled without a script error.
    await page.waitForFunction(() => [...document.querySelectorAll('#history li')]
      .some((li) => li.textContent.includes('schedule') && li.textContent.includes('done')), { timeout: 10000 });
    assert.deepEqual(scriptErrors, []);
    assert.ok(entry, `no scheduled announcement:\n${station.log()}`);
    assert.equal(entry.outcome, 'done', JSON.stringify(entry));
    await browser.close();
    browser = null;
    await stopStation(station);
    return { dirs, entry, port, weather: status.weather, ini: readFileSync(join(dirs.home, 'auravox.ini')), capture: readFileSync(dirs.capture) };
  } finally {
    if (browser) await browser.close();
    await stopStation(station);
  }
}

// ---- the checks

function checkAnnouncement(result) {
  const { entry, capture, dirs } = result;
  const clips = entry.clips;
  assert.equal(clips[0].toLowerCase(), 'header.wav', `the header comes first: ${clips}`);
  const expected = Buffer.concat(clips.map((c) => played(pcm(clipBytes(c, dirs.home)), gains(VOLUME, BALANCE))));
  assert.equal(capture.length, expected.length, `the capture holds ${capture.length} bytes, the clips ${expected.length}`);
  if (!capture.equals(expected)) {
    let at = 0;
    while (capture[at] === expected[at]) at++;
    const frame = Math.floor(at / 4);
    const show = (b) => [b.readInt16LE(frame * 4), b.readInt16LE(frame * 4 + 2)].join('/');
    assert.fail(`the capture differs from the clips at the volume and balance set from frame ${frame}: ` +
                `${show(capture)} instead of ${show(expected)}`);
  }
  assert.ok(capture.subarray(0, 4000 * 4).some((b) => b !== 0), 'the header is heard');
  // The three items, as the page said they would be spoken, came out of the history file.
  const { weather } = result;
  assert.equal(weather.source, 'W23');
  const phrases = ITEMS.map((key) => weather.items.find((i) => i.key === key).spoken);
  assert.ok(phrases.every((p) => p), `each item is spoken: ${JSON.stringify(weather.items)}`);
  for (const p of phrases) assert.ok(entry.spoken.includes(p), `"${entry.spoken}" says "${p}"`);
}

function checkIni(result) {
  const text = result.ini.toString('latin1');
  assert.ok(text.startsWith('[AURAVOX V'), text.slice(0, 40));
  assert.ok(!/[^\r]\n/.test(text), 'every line ends in CR LF');
  const lines = text.split('\r\n');
  for (const line of ['FICHIER_ENTETE=header.wav', 'ENTETE=Y', 'DATE=N', 'PERIOD=1', 'START_RANGE=6', 'END_RANGE=22',
                      `VOLUME=${VOLUME}`, `BALANCE=${BALANCE}`, 'OSOUND=-1', 'METEO=W23', 'W23_DAT=history.dat',
                      ...ITEMS.map((i) => `W23_${i}=Y`), `COM=${result.port === 'COM1' ? 1 : 0}`, 'RTS=0',
                      'CTS=0', 'DSR=0', 'DCD=0'])
    assert.ok(lines.includes(line), `auravox.ini lacks ${line}:\n${text}`);
}

// The lines of the desktop's weather window place and size: the program
// without windows keeps the file's (here the defaults).
const WINDOW_SIZE = /^(METEO_WIDTH|METEO_HEIGHT)=/;

test('a station set up through the page alone speaks as set and saves it as the desktop program does',
     { timeout: 900000 }, async () => {
  const results = [];
  try {
    for (const program of PROGRAMS) {
      const result = await setUpStation(program, results.length ? 'desktop' : 'headless', results[0]?.port);
      results.push(result);
      checkAnnouncement(result);
      checkIni(result);
    }
    if (results.length === 2) {
      const [a, b] = results.map((r) => r.ini.toString('latin1').split('\r\n'));
      assert.equal(a.length, b.length, `the files differ in length:\n${a.join('\n')}\n---\n${b.join('\n')}`);
      for (let i = 0; i < a.length; i++) {
        if (WINDOW_SIZE.test(a[i]) && WINDOW_SIZE.test(b[i]) && a[i].split('=')[0] === b[i].split('=')[0]) continue;
        assert.equal(a[i], b[i], `line ${i + 1} of auravox.ini differs between the programs`);
      }
    }
  } finally {
    for (const r of results) rmSync(r.dirs.root, { recursive: true, force: true });
  }
});

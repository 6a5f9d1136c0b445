// What the browser tests share: the program started as an operator starts it,
// its station page's address read from its log, and Debian's chromium,
// headless, driven by puppeteer-core.
import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, mkdirSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export const CHROMIUM = process.env.AURAVOX_CHROMIUM || '/usr/bin/chromium';

// Ends the test as skipped (77) when a tool is missing: [[found, 'what'], ...].
export function skipWithout(tools) {
  for (const [found, what] of tools) {
    if (!found) {
      console.log(`SKIP: no ${what} (scripts/setup.sh installs it)`);
      process.exit(77);
    }
  }
}

export const haveChromium = () => [existsSync(CHROMIUM), `chromium at ${CHROMIUM}`];

export async function loadPuppeteer() {
  try {
    return (await import('puppeteer-core')).default;
  } catch (e) {
    console.error('puppeteer-core is missing: run scripts/setup.sh (npm ci in tests/browser)');
    process.exit(1);
  }
}

// A station's own folders under a fresh temporary root: its working folder
// (home), the user's home with an .asoundrc that sends ALSA's default device
// to `alsaFile` (the null device unless a capture is wanted), the runtime and
// public folders and chromium's profile.
export function stationFolders(prefix, alsaFile = '/dev/null') {
  const root = mkdtempSync(join(tmpdir(), prefix));
  const dirs = { root, home: join(root, 'station'), user: join(root, 'user'), run: join(root, 'run'),
                 pub: join(root, 'public'), chrome: join(root, 'chrome') };
  for (const d of ['home', 'user', 'run', 'pub', 'chrome']) mkdirSync(dirs[d], { recursive: true });
  writeFileSync(join(dirs.user, '.asoundrc'),
    `pcm.!default {\n type file\n slave.pcm "null"\n file "${alsaFile}"\n format "raw"\n}\n`);
  return dirs;
}

// The environment a station runs in: its folders, offscreen, a sibling name
// of its own (`tag`), and `extra`.
export function stationEnvironment(dirs, tag, extra = {}) {
  return { ...process.env, AURAVOX_HOME: dirs.home, HOME: dirs.user, XDG_RUNTIME_DIR: dirs.run,
           XDG_CONFIG_HOME: join(dirs.user, '.config'), AURAVOX_PUBLIC_DIR: dirs.pub, QT_QPA_PLATFORM: 'offscreen',
           AURAVOX_SIBLING_SUFFIX: `${tag}${process.pid}`, ...extra };
}

// The station page's password, set as an operator sets it.
export function setWebPassword(program, env, password) {
  const set = spawnSync(program, ['--set-web-password'], { env, input: password + '\n', encoding: 'utf8' });
  assert.equal(set.status, 0, set.stderr);
}

// The program in its environment; `url` resolves to its station page's
// address once it says it listens, and rejects if it ends before.
export function startStation(program, env) {
  const child = spawn(program, [], { env, stdio: ['ignore', 'ignore', 'pipe'] });
  let log = '';
  const url = new Promise((resolve, reject) => {
    child.stderr.on('data', (chunk) => {
      log += chunk;
      const m = log.match(/station page at (http:\/\/127\.0\.0\.1:\d+\/)/);
      if (m) resolve(m[1]);
    });
    child.on('exit', (code) => reject(new Error(`${program} ended (${code}) before listening:\n${log}`)));
  });
  const exited = new Promise((resolve) => child.on('exit', resolve));
  return { child, url, exited, log: () => log };
}

// Ends the program with SIGTERM, as systemd does, unless it has ended.
export async function stopStation(station) {
  if (station.child.exitCode !== null || station.child.signalCode !== null) return;
  station.child.kill('SIGTERM');
  await station.exited;
}

export function launchBrowser(puppeteer, profileDir) {
  return puppeteer.launch({
    executablePath: CHROMIUM, headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--no-first-run', '--disable-sync', `--user-data-dir=${profileDir}`],
  });
}

// What the browser tests share: the program started as an operator starts it,
// its station page's address read from its log, and Debian's chromium,
// headless, driven by puppeteer-core.
import { spawn } from 'node:child_process';
import { existsSync } from 'node:fs';

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

// The reference web page, as cmake --install lays it out, in Debian's
// Chromium, served as the demo serves it:
// lighttpd with the configuration of scripts/lighttpd-conf.sh, the program
// at /cgi-bin/velorantis.cgi, two simulated devices and the stand-in status
// daemon writing a sample a second. One session walks through the page; a
// second shows a hostile model text from the status database; in a third a
// page of another origin tries to stop and reconfigure a running capture.
//
// CTest passes the programs and the database paths compiled into the program
// in the environment (tests/browser/CMakeLists.txt). Every console message
// of level error, failed request, HTTP error and dialog fails the test.
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createServer as createHttpServer } from 'node:http';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { after, before, test } from 'node:test';
import { chromium } from 'playwright-core';

const env = (name) => {
  const value = process.env[name];
  assert.ok(value, `${name} is not set; run this test through CTest`);
  return value;
};
const source = env('VELORANTIS_SOURCE_DIR');
const statusDb = env('VELORANTIS_STATUS_DB');
const configDb = env('VELORANTIS_CONFIG_DB');

const HOSTILE = '<img src=x onerror=alert(1)>';
// Set once the captures and download commands are in: the test of the
// captures panel needs them.
const LEDGER = false;
const DEVICES = '00:11:22:33:44:55 11\n00:11:22:33:44:56 13\n';
const WAIT_MS = 15000; // the daemon's rounds are a second apart

const scratch = mkdtempSync(join(tmpdir(), 'velorantis-browser-'));
const sim = join(scratch, 'sim');
let base = '';
let server = null;
let daemon = null;
let context = null;
const problems = [];

function freePort() {
  return new Promise((resolve, reject) => {
    const probe = createServer();
    probe.once('error', reject);
    probe.listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

function stop(child) {
  if (child === null || child.exitCode !== null || child.signalCode !== null) return Promise.resolve();
  return new Promise((resolve) => {
    child.once('exit', resolve);
    // lighttpd leads its own process group, which its CGI children share.
    process.kill(-child.pid, 'SIGTERM');
  });
}

function startDaemon() {
  return spawn(env('VELORANTIS_STATUSD_SIM'), ['--db', statusDb, '--interval', '1'], {
    env: { ...process.env, VELORANTIS_SIM_DIR: sim },
    stdio: ['ignore', 'inherit', 'inherit'],
    detached: true,
  });
}

async function cgi(query) {
  const response = await fetch(`${base}cgi-bin/velorantis.cgi?${query}`);
  return (await response.json()).root;
}

async function waitFor(what, check, ms = WAIT_MS) {
  const deadline = Date.now() + ms;
  for (;;) {
    if (await check()) return;
    assert.ok(Date.now() < deadline, `timed out waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 200));
  }
}

// A new page whose every console error, page error, failed or refused
// request and dialog lands in `problems`.
async function watchedPage() {
  const page = await context.newPage();
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(`console: ${message.text()}`);
  });
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('requestfailed', (request) => problems.push(`failed: ${request.url()}`));
  page.on('response', (response) => {
    if (response.status() >= 400) problems.push(`HTTP ${response.status()}: ${response.url()}`);
  });
  page.on('dialog', (dialog) => {
    problems.push(`dialog: ${dialog.message()}`);
    dialog.dismiss();
  });
  return page;
}

// How many of the canvas's pixels are near the colour `hex`: the line a
// series of that colour left on the chart.
function pixelsOfColour(figure, hex) {
  return figure.locator('canvas').evaluate((canvas, colour) => {
    const want = [1, 3, 5].map((i) => parseInt(colour.slice(i, i + 2), 16));
    const { data } = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height);
    let count = 0;
    for (let i = 0; i < data.length; i += 4) {
      if (want.every((value, k) => Math.abs(data[i + k] - value) < 40)) count += 1;
    }
    return count;
  }, hex);
}

before(async () => {
  mkdirSync(sim);
  writeFileSync(join(sim, 'devices'), DEVICES);
  for (const db of [configDb, statusDb]) mkdirSync(dirname(db), { recursive: true });
  for (const file of [configDb, statusDb, `${statusDb}-wal`, `${statusDb}-shm`]) rmSync(file, { force: true });
  execFileSync('sqlite3', [configDb, `.read ${join(source, 'schema/config.sql')}`]);
  daemon = startDaemon();

  const port = await freePort();
  const conf = execFileSync('bash', [join(source, 'scripts/lighttpd-conf.sh'), '--port', String(port),
    '--cgi', env('VELORANTIS_CGI'), '--docroot', env('VELORANTIS_WEB_ROOT'), '--logdir', scratch,
    '--env', `VELORANTIS_SIM_DIR=${sim}`]);
  writeFileSync(join(scratch, 'lighttpd.conf'), conf);
  server = spawn(env('VELORANTIS_LIGHTTPD'), ['-D', '-f', join(scratch, 'lighttpd.conf')], {
    stdio: ['ignore', 'inherit', 'inherit'],
    detached: true,
  });
  base = `http://127.0.0.1:${port}/`;
  await waitFor('lighttpd', () => cgi('command=list').then(() => true, () => false));

  context = await chromium.launchPersistentContext(join(scratch, 'profile'), {
    executablePath: env('VELORANTIS_CHROMIUM'),
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    viewport: { width: 1400, height: 1000 },
  });
});

after(async () => {
  await context?.close();
  await Promise.all([stop(server), stop(daemon)]);
  rmSync(scratch, { recursive: true, force: true });
});

test('scratch2', async () => {
  const page = await watchedPage();
  page.on('dialog', (d) => console.log('DIALOG', d.type(), d.message()));
  await page.goto(`${base}#00%3A11%3A22%3A33%3A44%3A56`);
  await page.locator('#capture-state[data-state="stopped"]').waitFor();
  let hang = true;
  await page.route('**/velorantis.cgi?command=status*', async (route) => { if (hang) await new Promise((r) => setTimeout(r, 12000)); route.continue().catch(() => {}); });
  await new Promise((r) => setTimeout(r, 13000));
  console.log('hung:', await page.locator('#stats-message').textContent(), '| start disabled', await page.locator('#start').isDisabled(), '|', await page.locator('#updated').textContent());
  hang = false;
  await new Promise((r) => setTimeout(r, 4000));
  console.log('after:', JSON.stringify(await page.locator('#stats-message').textContent()), await page.locator('#start').isDisabled());
  writeFileSync(join(sim, 'devices'), '00:11:22:33:44:55 11\n');
  await new Promise((r) => setTimeout(r, 31000));
  console.log('gone:', await page.locator('#device-gone').isVisible(), await page.locator('#device-mac').textContent(), await page.locator('#device-list').textContent(), await page.locator('#start').isDisabled(), await page.locator('#stats-message').textContent());
  await page.fill('#config-form [name=count]', '77');
  await page.locator('#device-list button').nth(1).click();
  await new Promise((r) => setTimeout(r, 500));
  console.log('after click:', await page.locator('#device-mac').textContent());
  writeFileSync(join(sim, 'devices'), DEVICES);
  console.log(problems);
});

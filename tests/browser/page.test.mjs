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
async function watchedPage(on = context) {
  const page = await on.newPage();
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(`console: ${message.text()}`);
  });
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  // A fetch cut off by a reload, or given up by the page after its timeout
  // (which the page then shows), is no failure of the server.
  page.on('requestfailed', (request) => request.failure().errorText === 'net::ERR_ABORTED'
    && request.resourceType() === 'fetch' || problems.push(`failed: ${request.url()}`));
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
  // The records database beside the configuration's is the program's to
  // create: a ledger left by an earlier run would fill the captures table.
  const recordsDb = join(dirname(configDb), 'velorantis-records.db');
  for (const db of [statusDb, recordsDb]) {
    for (const file of [db, `${db}-wal`, `${db}-shm`]) rmSync(file, { force: true });
  }
  rmSync(configDb, { force: true });
  rmSync(`${recordsDb}.unmet`, { force: true });
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

test('a walk through the page', async () => {
  const page = await watchedPage();
  await page.goto(base);

  // The devices as "list" gives them, the first one selected.
  const listed = (await cgi('command=list')).devices.map((device) => `${device.mac} ${device.type}`);
  assert.equal(listed.length, 2);
  const buttons = page.locator('#device-list button');
  await waitFor('the device list', async () => (await buttons.count()) === listed.length);
  const shown = await buttons.evaluateAll((all) => all.map((b) =>
    `${b.querySelector('.device-mac').textContent} ${b.querySelector('.device-type').textContent}`));
  assert.deepEqual(shown, listed);
  await page.locator('#device-list button[aria-pressed="true"]').first().waitFor();

  // A configuration saved in the form is there again after a reload.
  const destination = join(scratch, 'captures & "more"');
  mkdirSync(destination);
  const form = page.locator('#config-form');
  await page.locator('#config-output').waitFor();
  await waitFor('the stored configuration', async () => (await form.locator('[name=size]').inputValue()) !== '');
  const values = { output: destination, size: '64', count: '0', duration: '600', slicing: '128' };
  for (const [name, value] of Object.entries(values)) await form.locator(`[name=${name}]`).fill(value);
  await form.locator('[name=loop]').setChecked(true);
  await form.locator('[name=inline]').setChecked(false);
  await page.click('#config-save');
  await page.locator('#config-message[data-kind="ok"]').waitFor();
  await page.reload();
  await waitFor('the reloaded configuration', async () => (await form.locator('[name=output]').inputValue()) === destination);
  for (const [name, value] of Object.entries(values)) assert.equal(await form.locator(`[name=${name}]`).inputValue(), value);
  assert.equal(await form.locator('[name=loop]').isChecked(), true);
  assert.equal(await form.locator('[name=inline]').isChecked(), false);

  // Start shows the capture running.
  await page.click('#start');
  await page.locator('#capture-state[data-state="running"]').waitFor({ timeout: WAIT_MS });

  // The plots draw the daemon's samples, and take new ones without a reload.
  const figures = page.locator('.stats-version .plot');
  assert.equal(await figures.count(), 6);
  const points = () => figures.evaluateAll((all) => all.map((f) => Number(f.querySelector('.plot-canvas').dataset.points ?? 0)));
  await waitFor('samples in every plot', async () => (await points()).every((n) => n >= 2));
  for (const k of [0, 3]) assert.ok(await pixelsOfColour(figures.nth(k), '#2563eb') > 20, `plot ${k} drew no line`);
  const seen = Math.min(...await points());
  await waitFor('newer samples', async () => Math.min(...await points()) > seen);
  // Half a minute of samples for the picture in the README.
  await waitFor('samples for the screenshot', async () => Math.min(...await points()) >= 30, 45000);
  await page.mouse.move(0, 0);
  await page.screenshot({ path: env('VELORANTIS_SCREENSHOT'), fullPage: true });

  // Start is offered only while idle, Stop only while running; Stop ends it.
  assert.equal(await page.locator('#start').isDisabled(), true);
  await page.click('#stop');
  await page.locator('#capture-message[data-kind="ok"]').waitFor();
  await page.locator('#capture-state[data-state="stopped"]').waitFor({ timeout: WAIT_MS });
  assert.equal(await page.locator('#stop').isDisabled(), true);

  // A refused start shows the program's own reason and stores nothing of
  // the form's unsaved changes.
  await form.locator('[name=output]').fill(join(scratch, 'missing'));
  const refused = page.waitForResponse((response) => response.url().includes('command=start'));
  await page.click('#start');
  const { root } = await (await refused).json();
  assert.notEqual(root.result, 0);
  await page.locator('#capture-message[data-kind="error"]').waitFor();
  assert.equal(await page.locator('#capture-message').textContent(), root.message);
  await page.locator('#config-message[data-kind="warn"]').waitFor();
  assert.equal((await cgi('command=getconfig&mac=default')).config.destination, destination);

  // A capture that reaches its count (3 s of frames) ends by itself; the
  // page says so and why in place of "started".
  // Start with unsaved changes runs what the form shows, and stores it once started.
  await form.locator('[name=output]').fill(destination);
  await form.locator('[name=count]').fill('3000');
  await page.click('#start');
  await page.locator('#capture-state[data-state="running"]').waitFor({ timeout: WAIT_MS });
  await page.locator('#config-message[data-kind="ok"]').waitFor();
  assert.equal((await cgi('command=getconfig&mac=default')).config.count, 3000);
  await page.locator('#capture-state[data-state="stopped"]').waitFor({ timeout: WAIT_MS });
  await page.locator('#capture-message[data-kind="notice"]', { hasText: /ended by itself at .* UTC: its count of 3,000 packets was reached/ }).waitFor();
  // One of half a second ends between two of the daemon's rounds: its end
  // is noticed all the same, within 10 s.
  await form.locator('[name=count]').fill('500');
  await page.click('#start');
  await page.locator('#capture-message[data-kind="notice"]', { hasText: /its count of 500 packets was reached/ }).waitFor({ timeout: 10000 });
  await form.locator('[name=count]').fill('0');
  await page.click('#config-save');
  await page.locator('#config-message[data-kind="ok"]').waitFor();
  assert.deepEqual(problems, []);
});

test('a capture onto a full disk is told as such', async (t) => {
  // A file system of 1 MiB, mounted for the test (as root, which CI is).
  const full = join(scratch, 'full');
  mkdirSync(full);
  try {
    execFileSync('mount', ['-t', 'tmpfs', '-o', 'size=1m,mode=0777', 'tmpfs', full], { stdio: 'ignore' });
  } catch {
    t.skip('this account cannot mount a file system');
    return;
  }
  t.after(() => execFileSync('umount', ['-l', full]));
  const page = await watchedPage();
  await page.goto(`${base}#${encodeURIComponent('00:11:22:33:44:56')}`);
  const form = page.locator('#config-form');
  await waitFor('the stored configuration', async () => (await form.locator('[name=size]').inputValue()) !== '');
  await form.locator('[name=output]').fill(full);
  await page.click('#start'); // the folder is saved once the capture has started
  // 1 MiB of 128-byte slices at 1000 frames a second: about 7 s.
  await page.locator('#capture-message[data-kind="error"]', { hasText: 'the disk is full (error code 28)' }).waitFor({ timeout: 2 * WAIT_MS });
  await page.locator('#captures-body tr:first-child', { hasText: 'the disk is full' }).waitFor({ timeout: WAIT_MS });
  await form.locator('[name=output]').fill(scratch);
  await page.click('#config-save');
  await page.locator('#config-message[data-kind="ok"]').waitFor();
  await page.close();
  assert.deepEqual(problems, []);
});

test('statistics that stop are pointed out until they come back', async () => {
  const page = await watchedPage();
  await page.goto(base);
  await page.locator('#stats-v1 .plot-canvas[data-points]').first().waitFor();
  await stop(daemon);
  const stale = page.locator('#stats-stale');
  await stale.filter({ hasText: 'the status daemon may be stopped' }).waitFor({ timeout: 3 * WAIT_MS });
  await page.locator('#updated', { hasText: /^Newest sample / }).waitFor({ timeout: WAIT_MS });
  daemon = startDaemon();
  await waitFor('the warning to go', async () => (await stale.textContent()) === '', 2 * WAIT_MS);
  await page.close();
  assert.deepEqual(problems, []);
});

// axe-core's findings on the page as it stands, as "rule: nodes".
async function axeViolations(page) {
  await page.evaluate(readFileSync(join(source, 'tests/browser/node_modules/axe-core/axe.min.js'), 'utf8'));
  const { violations } = await page.evaluate(() => window.axe.run());
  return violations.map((v) => `${v.id}: ${v.nodes.map((node) => node.target.join(' ')).join(', ')}`);
}

test('150 devices: a list of its own, a filter, a skip link, and no axe-core finding', async () => {
  const many = Array.from({ length: 148 }, (_, i) => `02:00:00:00:${(i >> 4).toString(16).padStart(2, '0')}:${(i & 15).toString(16).padStart(2, '0')} 3\n`);
  writeFileSync(join(sim, 'devices'), DEVICES + many.join(''));
  const page = await watchedPage();
  await page.goto(base);
  const buttons = page.locator('#device-list button');
  await waitFor('150 devices', async () => (await buttons.count()) === 150);
  await page.locator('#stats-v1 .plot-canvas[data-points]').first().waitFor();
  for (const width of [1280, 420]) {
    await page.setViewportSize({ width, height: 900 });
    const tall = await page.evaluate(() => document.documentElement.scrollHeight);
    assert.ok(tall < 4000, `page too tall at ${width} px: ${tall}`);
    const list = await page.locator('#device-list').evaluate((l) => [l.scrollHeight, l.clientHeight]);
    assert.ok(list[0] > list[1], `the list does not scroll at ${width} px`);
    assert.deepEqual(await axeViolations(page), [], `axe-core at ${width} px`);
  }
  // The last device chosen: its details are in view.
  await buttons.last().click();
  await page.locator('#device-mac', { hasText: '02:00:00:00:09:03' }).waitFor();
  assert.ok((await page.locator('#device-mac').boundingBox()).y < 900);
  await page.fill('#device-filter', '00:00:00:01:');
  assert.equal(await page.locator('#device-list li:not([hidden])').count(), 16);
  await page.locator('#device-count', { hasText: 'the selected one is not among them' }).waitFor();
  await page.reload();
  await page.locator('#capture-state[data-state="stopped"]').waitFor({ timeout: WAIT_MS });
  await page.keyboard.press('Tab');
  await page.keyboard.press('Enter');
  await page.keyboard.press('Tab');
  assert.ok(await page.evaluate(() => document.getElementById('capture').contains(document.activeElement)));
  writeFileSync(join(sim, 'devices'), DEVICES);
  await page.close();
  assert.deepEqual(problems, []);
});

test('captures of the selected device, each with its file to download', async () => {
  const mac = '00:11:22:33:44:55';
  const page = await watchedPage();
  await page.goto(`${base}#${encodeURIComponent(mac)}`);
  await page.click('#start'); // the running capture comes first
  const message = page.locator('#capture-message');
  await waitFor('the answer to Start', async () => ((await message.getAttribute('data-kind')) ?? '') !== '');
  assert.equal(await message.getAttribute('data-kind'), 'ok', await message.textContent());
  await page.locator('#captures-body tr:first-child td[data-state="running"]').waitFor({ timeout: WAIT_MS });
  await page.click('#stop');
  await page.locator('#capture-message[data-kind="ok"]', { hasText: 'stopped' }).waitFor();
  const [entry] = (await cgi(`command=captures&mac=${mac}`)).captures;
  const row = page.locator(`#captures-body tr[data-id="${entry.id}"]`);
  await row.locator('td[data-state="stopped"]').waitFor({ timeout: WAIT_MS });
  assert.ok((await row.textContent()).includes(`${dirname(entry.file)}/`), 'the folder is shown');
  // Its last minute, as a window of its packets.
  const stopped = (await cgi(`command=captures&mac=${mac}`)).captures[0];
  const lastMinute = new URL(await row.locator('a', { hasText: 'Last 1 minute' }).getAttribute('href'), base);
  assert.equal(Number(lastMinute.searchParams.get('from')), Number((stopped.last - 60).toFixed(6)));
  // At 420 px the table scrolls sideways, and says so.
  await page.setViewportSize({ width: 420, height: 900 });
  assert.ok(await page.locator('#captures-scroll-hint').isVisible());
  const widths = await page.locator('#captures-scroll').evaluate((e) => [e.scrollWidth, e.clientWidth]);
  assert.ok(widths[0] > widths[1], `the table does not scroll: ${widths}`);
  await page.setViewportSize({ width: 1400, height: 1000 });
  assert.match(await row.textContent(), new RegExp(`${new Date(entry.started * 1000).toISOString().slice(11, 19)} UTC`));
  const downloading = page.waitForEvent('download');
  await row.locator('td.file a').click();
  const saved = await (await downloading).path();
  assert.ok(readFileSync(saved).equals(readFileSync(entry.file)));
  // Kept, it cannot be deleted; let go again, it is, after a confirmation.
  await row.locator('input[type="checkbox"]').check();
  await row.locator('button:disabled', { hasText: 'Delete' }).waitFor();
  assert.equal((await cgi(`command=captures&mac=${mac}`)).captures[0].pinned, 1);
  await row.locator('input[type="checkbox"]').uncheck();
  await row.locator('button:enabled', { hasText: 'Delete' }).waitFor();
  page.removeAllListeners('dialog');
  page.once('dialog', (dialog) => dialog.accept());
  await row.locator('button', { hasText: 'Delete' }).click();
  await row.locator('td[data-state="deleted"]').waitFor({ timeout: WAIT_MS });
  assert.ok(!existsSync(entry.file));
  // The storage card sets the policy and shows the quota's meter and the
  // room it leaves, less than the configured 64 MiB: a start is limited to it.
  await page.click('details.retention summary');
  await page.fill('#retention-form input[name="quota"]', '20');
  await page.click('#retention-save');
  await page.locator('#storage-message[data-kind="ok"]').waitFor();
  assert.equal((await cgi('command=getretention')).retention.maxbytes, 20 * 1048576);
  await page.locator('#storage-meter').waitFor();
  await page.locator('#storage-room', { hasText: 'Room for the next capture: 20.0 MiB' }).waitFor();
  await page.click('#start');
  await page.locator('#capture-message', { hasText: 'Capture started, limited to 20.0 MiB by the storage policy.' }).waitFor();
  await page.locator('#captures-body tr:first-child td.size', { hasText: 'limited by the policy to 20.0 MiB' }).waitFor();
  await page.click('#stop');
  await page.locator('#capture-state[data-state="stopped"]').waitFor({ timeout: WAIT_MS });
  // The zone chosen for times is remembered across a reload.
  await page.selectOption('#time-zone', 'local');
  await page.locator('#captures-zone', { hasText: /^Times in UTC[+-]\d\d:\d\d$/ }).waitFor();
  assert.equal(await page.locator('#time-zone').inputValue(), 'local');
  await page.selectOption('#time-zone', 'utc');
  await page.locator('#captures-zone', { hasText: /^Times in UTC$/ }).waitFor();
  await page.close();
  assert.deepEqual(problems, []);
});

test('a viewer sees everything, is offered nothing to change, and meets no error', async () => {
  // A request without a login is a viewer's: the page as a network team sees it.
  const roles = env('VELORANTIS_ROLES_FILE');
  writeFileSync(roles, '# read-only\n- viewer\n');
  try {
    const page = await watchedPage();
    await page.goto(base);
    await page.locator('#access', { hasText: 'Not signed in, viewer' }).waitFor({ timeout: WAIT_MS });
    await page.locator('#capture-state[data-state="stopped"]').waitFor({ timeout: WAIT_MS });
    for (const id of ['start', 'config-save', 'retention-save']) {
      const control = page.locator(`#${id}[aria-disabled="true"]`);
      assert.match(await control.getAttribute('title'), /^Your role, viewer, may not /, id);
    }
    await page.locator('#captures-body input[data-denied]').first().waitFor();
    // Start goes nowhere: no request, no refusal, and the reason on focus.
    const before = (await cgi('command=captures&mac=all')).captures.length;
    await page.click('#start', { force: true }); // past Playwright's own check of aria-disabled
    assert.equal((await cgi('command=captures&mac=all')).captures.length, before);
    assert.deepEqual(await axeViolations(page), []);
    await page.close();
  } finally {
    rmSync(roles, { force: true });
  }
  assert.deepEqual(problems, []);
});

test('back-end text is shown as text, never run', async () => {
  // The daemon rewrites each device's model every round; stopped, it leaves
  // the hostile one in place.
  await stop(daemon);
  const mac = '00:11:22:33:44:56';
  execFileSync('sqlite3', [statusDb, `UPDATE device SET model = '${HOSTILE}' WHERE mac = '${mac}'`]);

  const page = await watchedPage();
  await page.goto(`${base}#${encodeURIComponent(mac)}`);
  await waitFor('the model text', async () => (await page.locator('#device-model').textContent()) === HOSTILE);
  assert.equal(await page.locator('#device-mac').textContent(), mac);
  assert.equal(await page.locator('img[src="x"]').count(), 0);
  assert.deepEqual(problems, []);
});

// Another site's page at `attackerHost` (served from 127.0.0.2), in `on`, aims an <img> and a no-cors
// fetch that stop, an <img> and an <iframe> that reconfigure, and last a form that stops at the program
// at `target`. Resolves to the body the form's answer shows, once all five are answered.
async function attack(on, attackerHost, target) {
  const stop = `${target}?command=stop&mac=00:11:22:33:44:55`;
  const save = `${target}?command=setconfig&mac=default&output=/tmp&loop=0&count=0&size=1&duration=0&slicing=0&inline=0`;
  const page = `<!doctype html><img src="${stop.replaceAll('&', '&amp;')}"><img src="${save.replaceAll('&', '&amp;')}">
    <form action="${target}"><input name="command" value="stop"><input name="mac" value="00:11:22:33:44:55"></form>
    <script>const frame = document.body.appendChild(Object.assign(document.createElement('iframe'), { src: '${save}' }));
    Promise.all([fetch('${stop}', { mode: 'no-cors' }), new Promise((done) => { frame.onload = done; }), ...[...document.images]
      .map((img) => new Promise((done) => { img.onerror = done; }))]).then(() => document.forms[0].submit());</script>`;
  const attacker = createHttpServer((request, response) => response.end(page)).listen(0, '127.0.0.2');
  await new Promise((resolve) => attacker.once('listening', resolve));
  const hostile = await on.newPage();
  const answered = []; // the browser drops an image's JSON answer only once it has it
  hostile.on('response', (response) => answered.push(response.url()));
  hostile.on('requestfailed', (r) => r.failure().errorText.includes('BLOCKED_BY_ORB') && answered.push(r.url()));
  await hostile.goto(`http://${attackerHost}:${attacker.address().port}/`);
  await hostile.waitForURL(`${target}?command=stop&mac=00%3A11%3A22%3A33%3A44%3A55`);
  attacker.close();
  assert.equal(answered.filter((url) => url.startsWith(target)).length, 5);
  return hostile.locator('body').textContent();
}

test('a page of another origin cannot change the capture', async (t) => {
  execFileSync('sqlite3', [configDb, 'UPDATE config SET count = 0']); // runs until stopped
  const page = await watchedPage();
  await page.goto(`${base}#%E0`); // no valid percent-encoding: the first device
  await page.locator('#device-mac', { hasText: '00:11:22:33:44:55' }).waitFor();
  await page.click('#start');
  await page.locator('#capture-message[data-kind="ok"]').waitFor();
  const running = join(sim, '001122334455.capture');
  const config = (await cgi('command=getconfig')).config;
  const callsBefore = readFileSync(join(sim, 'calls.log'), 'utf8').length;

  // At loopback addresses the browser says the requests are cross-site.
  const target = `${base}cgi-bin/velorantis.cgi`;
  assert.match(await attack(context, '127.0.0.2', target), /"Cross-origin request refused"/);
  // Over plain HTTP at names it says nothing: strict mode, the shipped one, refuses them for want of proof.
  const named = await chromium.launch({ executablePath: env('VELORANTIS_CHROMIUM'), args: ['--no-sandbox',
    '--disable-gpu', '--host-resolver-rules=MAP appliance.test 127.0.0.1, MAP attacker.test 127.0.0.2'] });
  t.after(() => named.close());
  const applianceUrl = `http://appliance.test:${new URL(base).port}/`;
  assert.match(await attack(named, 'attacker.test',
    `${applianceUrl}cgi-bin/velorantis.cgi`), /"Request refused: X-Requested-With header missing"/);
  assert.ok(existsSync(running));
  assert.deepEqual((await cgi('command=getconfig')).config, config);
  assert.doesNotMatch(readFileSync(join(sim, 'calls.log'), 'utf8').slice(callsBefore), /DiskDumpStop|SetConfig|Features/);

  // The page's own requests still change it, over plain HTTP at its name too.
  const own = await watchedPage(named);
  await own.goto(`${applianceUrl}#%E0`);
  await own.locator('#device-mac', { hasText: '00:11:22:33:44:55' }).waitFor();
  await own.click('#stop');
  await own.locator('#capture-message[data-kind="ok"]').waitFor();
  assert.ok(!existsSync(running));
  assert.deepEqual(problems, []);
});

// The desktop application under a virtual display: the real window and web view, closed
// from outside as a user closes it.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFile, spawn } from 'node:child_process';
import { once } from 'node:events';
import fs from 'node:fs';
import net from 'node:net';
import path from 'node:path';
import { promisify } from 'node:util';
import {
  clickAt, closeWindow, closeWindowById, exitWithin, findWindows, pressKeys, resizeWindow, screenshot, sleep, startDisplay,
  sql, startMainPage, startProgram, temporaryHome, typeText, waitFor, waitForNoWindow, waitForWindow,
} from './lib/desktop.mjs';

const run = promisify(execFile);
const APP = process.env.TALLYWELL_APP;
const CHECK = process.env.WEBVIEW_BRIDGE_CHECK;
const HARNESS = process.env.BRIDGE_HARNESS;
const TITLE = 'Tallywell Lite';
const CARD_PORT = 56780;

let display;
before(async () => { display = await startDisplay(); });
after(async () => { await display?.stop(); });

function portRefuses(port) {
  return new Promise((resolve) => {
    const socket = net.connect({ host: '127.0.0.1', port });
    socket.once('connect', () => { socket.destroy(); resolve(false); });
    socket.once('error', () => resolve(true));
  });
}

async function waitForHealth(ms) {
  const deadline = Date.now() + ms;
  for (;;) {
    try {
      const response = await fetch(`http://127.0.0.1:${CARD_PORT}/health`);
      return { status: response.status, body: await response.text() };
    } catch (error) {
      if (Date.now() > deadline) throw error;
      await sleep(100);
    }
  }
}

// Closes the main window (only it when its id is given) and expects a clean exit within a
// few seconds.
async function closeAndExpectExit(program, mainId = null) {
  if (mainId === null) await closeWindow(TITLE, display.env);
  else await closeWindowById(mainId, display.env);
  const result = await exitWithin(program, 5000);
  if (result === null) program.child.kill('SIGKILL');
  assert.deepEqual(result, { code: 0, signal: null }, `exit after close; stderr: ${program.stderr().slice(-2000)}`);
}

describe('tallywell', () => {
  test('opens its 1040 x 640 window with the main page and exits with 0 when closed', async (t) => {
    const { program, window } = await startMainPage(display.env, temporaryHome());
    assert.equal(window.width, 1040);
    assert.equal(window.height, 640);
    const health = await waitForHealth(10000);
    assert.equal(health.status, 200);
    assert.deepEqual(JSON.parse(health.body), { status: 'ok' });
    t.diagnostic(`screenshot: ${await screenshot(display.env, 'desktop-main-window')}`);
    await closeAndExpectExit(program);
    assert.ok(await portRefuses(CARD_PORT), 'the card port is free again');
  });

  test('closed right after start-up, it still exits with 0 at once', async (t) => {
    const program = startProgram(APP, [], display.env, temporaryHome());
    t.after(() => program.kill());
    await waitForWindow(TITLE, display.env, 20000, program);
    await closeAndExpectExit(program);
    assert.ok(await portRefuses(CARD_PORT));
  });

  // Each client holds a request open by sending a byte a second, which no read time-out
  // ever trips: the window still closes and the program ends within the card server's wait.
  test('clients trickling requests do not keep it running once its window is closed', async (t) => {
    const program = startProgram(APP, [], display.env, temporaryHome());
    t.after(() => program.kill());
    await waitForWindow(TITLE, display.env, 20000, program);
    await waitForHealth(10000);
    const clients = [];
    for (let i = 0; i < 3; ++i) {
      const socket = net.connect({ host: '127.0.0.1', port: CARD_PORT });
      socket.on('error', () => {});
      await once(socket, 'connect');
      socket.write('POST /api/save_card_placing HTTP/1.1\r\nHost: x\r\nX-Slow: ');
      clients.push(socket);
    }
    const trickle = setInterval(() => { for (const socket of clients) socket.write('a'); }, 1000);
    t.after(() => { clearInterval(trickle); for (const socket of clients) socket.destroy(); });
    await sleep(1500);
    const started = Date.now();
    await closeAndExpectExit(program);
    t.diagnostic(`closed with three trickling clients in ${Date.now() - started} ms`);
    assert.equal((await findWindows(TITLE, display.env)).length, 0);
  });

  // A modal dialog makes GTK drop a close of the main window; a signal must not be lost to it.
  test('SIGINT, and SIGHUP while the print dialog is open, end it as closing the window does', async () => {
    for (const signal of ['SIGINT', 'SIGHUP']) {
      let program;
      if (signal === 'SIGHUP') {
        // The observed main page, so that Ctrl+P reaches a page that has the keyboard.
        ({ program } = await startMainPage(display.env, temporaryHome()));
        await pressKeys(display.env, 'ctrl+p');
        await waitForWindow('Print', display.env, 10000, program);
      } else {
        program = startProgram(APP, [], display.env, temporaryHome());
        await waitForWindow(TITLE, display.env, 20000, program);
      }
      await waitForHealth(10000);
      program.child.kill(signal);
      const result = await exitWithin(program, 5000);
      assert.deepEqual(result, { code: 0, signal: null }, `${signal}; stderr: ${program.stderr().slice(-2000)}`);
      assert.ok(await portRefuses(CARD_PORT), signal);
    }
  });
});

describe('a second copy', () => {
  test('says once that phones cannot reach it, and gives no card links', async (t) => {
    // The port is held as a first copy holds it.
    const holder = net.createServer();
    await new Promise((resolve) => holder.listen(CARD_PORT, '0.0.0.0', resolve));
    t.after(() => new Promise((resolve) => holder.close(resolve)));
    const program = startProgram(CHECK, ['wifi'], display.env, temporaryHome());
    t.after(() => program.kill());
    await waitForWindow(TITLE, display.env, 20000, program);
    assert.equal(await program.waitForLine((l) => l.startsWith('wifi ')), 'wifi 0');
    const said = 'could not start its card server: port 56780 is in use, probably by another copy of Tallywell Lite. '
      + 'Phones and tablets cannot reach this copy';
    await waitFor(async () => (await findWindows(TITLE, display.env)).length === 2, 10000, 'the message box');
    const main = (await findWindows(TITLE, display.env)).find((w) => w.width === 1040);
    assert.equal(program.stderr().split(said).length - 1, 1, program.stderr());
    // Closing the main window wins over the open box.
    await closeAndExpectExit(program, main.id);
  });
});

describe('dialogs of the real window', () => {
  let program;
  let main;
  let home;
  const name = 'Spring Fair';
  // Another program's entry in the user's list of recently used files, which the program
  // must leave as it is.
  const recent = () => path.join(home, '.local', 'share', 'recently-used.xbel');
  const otherProgramsList = '<?xml version="1.0" encoding="UTF-8"?>\n<xbel version="1.0"\n'
    + '      xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks"\n'
    + '      xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info"\n>\n'
    + '  <bookmark href="file:///tmp/notes.txt" added="2025-01-01T00:00:00Z" modified="2025-01-01T00:00:00Z" '
    + 'visited="2025-01-01T00:00:00Z">\n  </bookmark>\n</xbel>\n';

  before(async () => {
    home = temporaryHome();
    fs.mkdirSync(path.dirname(recent()), { recursive: true });
    fs.writeFileSync(recent(), otherProgramsList);
    ({ program, window: main } = await startMainPage(display.env, home));
  });

  test('a message box of the page is titled Tallywell Lite', async () => {
    await pressKeys(display.env, 'Return');  // no contest name: "Enter a contest name."
    await waitFor(async () => (await findWindows(TITLE, display.env)).length === 2, 10000, 'the message box');
    assert.deepEqual(await findWindows('JavaScript - about:blank', display.env), []);
    await pressKeys(display.env, 'Return');
    await waitFor(async () => (await findWindows(TITLE, display.env)).length === 1, 10000, 'the box to close');
  });

  test('print to file proposes the section\'s name in the contest\'s folder', async () => {
    await typeText(display.env, name);
    await pressKeys(display.env, 'Return');
    const folder = path.join(home, 'Desktop', name);
    await waitFor(() => fs.existsSync(path.join(folder, 'contest.db')), 10000, 'the contest');
    await pressKeys(display.env, 'ctrl+p');
    await waitForWindow('Print', display.env, 10000, program);
    await sleep(500);
    // Down picks the one printer, Print to File; Enter prints to the file it proposes.
    await pressKeys(display.env, 'Down', 'Return');
    await waitFor(() => fs.existsSync(path.join(folder, 'Contest.pdf')), 20000, 'Contest.pdf in the contest folder');
    await waitForNoWindow('Print', display.env, 10000);
    assert.equal(fs.readFileSync(recent(), 'utf8'), otherProgramsList, 'the recently used files are left alone');
  });

  test('closing the window while the print dialog is open exits with 0', async () => {
    await pressKeys(display.env, 'ctrl+p');
    await waitForWindow('Print', display.env, 10000, program);
    await closeAndExpectExit(program, main.id);
    program = null;
  });
});

describe('when the page\'s process ends', () => {
  test('says so, and the program closes in its usual order, the contest kept', async () => {
    const home = temporaryHome();
    const { program } = await startMainPage(display.env, home);
    await typeText(display.env, 'Kept');
    await pressKeys(display.env, 'Return');
    const db = path.join(home, 'Desktop', 'Kept', 'contest.db');
    await waitFor(() => fs.existsSync(db), 10000, 'the contest');
    const { stdout } = await run('ps', ['--ppid', String(program.child.pid), '-o', 'pid=,comm=']);
    const webProcess = stdout.split('\n').map((l) => l.trim().split(/\s+/)).find(([, comm]) => comm?.startsWith('WebKitWebProces'));
    assert.ok(webProcess, stdout);
    process.kill(Number(webProcess[0]), 'SIGKILL');
    await waitFor(async () => (await findWindows(TITLE, display.env)).length === 2, 10000, 'the message box');
    assert.match(program.stderr(), /stopped working\. Everything entered so far is saved in the contest file\./);
    await pressKeys(display.env, 'Return');
    assert.deepEqual(await exitWithin(program, 10000), { code: 0, signal: null }, program.stderr().slice(-2000));
    assert.equal(sql(db, 'SELECT name FROM contest;'), 'Kept');
  });
});

describe('page bridge in the real web view', () => {
  test('requests reach the worker and replies reach the page whole, in order, and nothing navigates away', async (t) => {
    const program = startProgram(CHECK, ['bridge'], display.env, temporaryHome());
    t.after(() => program.kill());
    await waitForWindow(TITLE, display.env, 20000, program);
    const result = JSON.parse((await program.waitForLine((l) => l.startsWith('result '))).slice(7));
    assert.deepEqual(result, {
      bridgeAtFirstScript: true,  // window.chrome.webview exists before the page's first script
      echoFailures: [],           // colons, separators, quotes, non-ASCII, control characters, 100 kB
      firstId: 1,
      inOrder: true,
      manyOk: true,
      orderAfterMany: true,
      unknown: 'ERROR:Unknown function.',
      nul: 'ab',                  // a message ends at an embedded NUL, as the text conversion does
      afterObject: 'still answered',  // a message that is not text is dropped, and the next one served
    });
    await program.waitForLine((l) => l.startsWith('still-here'), 10000);
    assert.ok(program.lines.includes('still-here yes'));
    assert.equal(program.lines.filter((l) => l === 'started').length, 1, 'the page was never loaded again');
    await closeAndExpectExit(program);
  });
});

describe('what a browser gives the page', () => {
  test('zoom, resizing, find, and print from Ctrl+P and from the context menu', async (t) => {
    const program = startProgram(CHECK, ['bridge'], display.env, temporaryHome());
    t.after(() => program.kill());
    await waitForWindow(TITLE, display.env, 20000, program);
    await program.waitForLine((l) => l.startsWith('still-here'));
    // Zooming changes the page's width in its own pixels: 1040 at 100 %, 945 at 110 %, 1155 at 90 %.
    for (const [keys, width] of [['ctrl+plus', 945], ['ctrl+0', 1040], ['ctrl+minus', 1155], ['ctrl+0', 1040]]) {
      const from = program.lines.length;
      await pressKeys(display.env, keys);
      await program.waitForLine((l) => l === `width ${width}`, 5000, from);
    }
    // The view follows the window's size.
    const [main] = await findWindows(TITLE, display.env);
    let from = program.lines.length;
    await resizeWindow(display.env, main.id, 900, 600);
    await program.waitForLine((l) => l === 'width 900', 5000, from);
    from = program.lines.length;
    await resizeWindow(display.env, main.id, 1040, 640);
    await program.waitForLine((l) => l === 'width 1040', 5000, from);
    // Find selects the first match in the page.
    // Keys are handled in the order sent: the find bar has the keyboard before the text comes.
    await pressKeys(display.env, 'ctrl+f');
    await typeText(display.env, 'check');
    await pressKeys(display.env, 'Return');
    await program.waitForLine((l) => l === 'selection check', 5000);
    await pressKeys(display.env, 'Escape');
    await pressKeys(display.env, 'ctrl+p');
    await waitForWindow('Print', display.env, 10000, program);
    await pressKeys(display.env, 'Escape');
    await waitForNoWindow('Print', display.env);
    // The context menu ends with Print.
    await clickAt(display.env, 300, 300, 3);
    await sleep(500);
    await pressKeys(display.env, 'Up', 'Return');
    await waitForWindow('Print', display.env, 10000, program);
    await pressKeys(display.env, 'Escape');
    await waitForNoWindow('Print', display.env);
    await closeAndExpectExit(program);
  });
});

// Makes a contest through the page-host protocol so there is a real contest.db to open.
async function createContest(home, name) {
  const harness = spawn(HARNESS, [], { env: { ...process.env, HOME: home }, stdio: ['pipe', 'pipe', 'inherit'] });
  let output = '';
  harness.stdout.on('data', (chunk) => { output += chunk; });
  harness.stdin.end(`1:create_contest:${name}\0`);
  await once(harness, 'exit');
  assert.equal(output, '1:\0');
}

describe('contest file dialog', () => {
  test('opens in the Desktop folder; cancelling answers None', async (t) => {
    const program = startProgram(CHECK, ['dialog'], display.env, temporaryHome());
    t.after(() => program.kill());
    await waitForWindow('Open', display.env, 20000, program);
    await sleep(500);
    t.diagnostic(`screenshot: ${await screenshot(display.env, 'desktop-file-dialog')}`);
    // The first Escape leaves the name box, the second the dialog.
    await pressKeys(display.env, 'Escape', 'Escape');
    assert.equal(await program.waitForLine((l) => l.startsWith('open ')), 'open None');
    await closeAndExpectExit(program);
  });

  test('refuses a file that does not exist and opens the chosen contest, leaving no recent files', async (t) => {
    const home = temporaryHome();
    await createContest(home, 'Spring Show');
    const program = startProgram(CHECK, ['dialog'], display.env, home);
    t.after(() => program.kill());
    await waitForWindow('Open', display.env, 20000, program);
    await sleep(500);
    await pressKeys(display.env, 'ctrl+a');
    await typeText(display.env, path.join(home, 'Desktop', 'missing.db'));
    await pressKeys(display.env, 'Return');
    await sleep(1000);
    assert.equal((await findWindows('Open', display.env)).length, 1, 'the dialog stays open');
    await pressKeys(display.env, 'ctrl+a');
    await typeText(display.env, path.join(home, 'Desktop', 'Spring Show', 'contest.db'));
    await pressKeys(display.env, 'Return');
    assert.equal(await program.waitForLine((l) => l.startsWith('open ')), 'open Spring Show');
    await closeAndExpectExit(program);
    assert.ok(!fs.existsSync(path.join(home, '.local', 'share', 'recently-used.xbel')), 'the contest file is all it stores');
  });

  test('closing the main window while the dialog is open still exits with 0 at once', async (t) => {
    const program = startProgram(CHECK, ['dialog'], display.env, temporaryHome());
    t.after(() => program.kill());
    await waitForWindow('Open', display.env, 20000, program);
    await closeAndExpectExit(program);
  });
});

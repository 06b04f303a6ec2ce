// Helpers for the desktop tests: a virtual display from xvfb-run, the programs started on
// it with their own HOME, and the windows found, pictured and closed as a user would.
import { spawn, execFile, execFileSync } from 'node:child_process';
import { once } from 'node:events';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import { promisify } from 'node:util';
import { fileURLToPath } from 'node:url';

const run = promisify(execFile);
const X11_WINDOW = path.join(path.dirname(fileURLToPath(import.meta.url)), 'x11_window.py');
// Debian's python3-xlib belongs to the system interpreter, whatever python3 is first on PATH.
const PYTHON = '/usr/bin/python3';

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Polls check() every 100 ms until it answers something truthy, which it returns; throws
// after ms.
export async function waitFor(check, ms, what) {
  const deadline = Date.now() + ms;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await sleep(100);
  }
}

// Programs started and homes made by this test file: stopping the display ends what is still
// running, and the homes go when the test file ends.
const programs = new Set();
const homes = [];
process.on('exit', () => {
  for (const home of homes) fs.rmSync(home, { recursive: true, force: true });
});

// Starts a virtual display; resolves to { env, stop } once it is up. Without -noreset the
// server resets whenever its last client leaves, and a program connecting at that moment
// cannot open the display.
export async function startDisplay() {
  const xvfb = spawn('xvfb-run', ['-a', '-s', '-screen 0 1280x800x24 -nolisten tcp -noreset', 'sh', '-c',
    'echo "$DISPLAY $XAUTHORITY"; exec cat >/dev/null'], { stdio: ['pipe', 'pipe', 'inherit'] });
  const [line] = await once(readline.createInterface({ input: xvfb.stdout }), 'line');
  const [display, xauthority] = line.trim().split(' ');
  const env = { ...process.env, DISPLAY: display, XAUTHORITY: xauthority };
  delete env.WAYLAND_DISPLAY;
  const exited = once(xvfb, 'exit');
  return {
    env,
    // Safe to call whatever state the tests left: what still runs is killed first.
    async stop() {
      await Promise.all([...programs].map((program) => program.kill()));
      xvfb.stdin.end();  // cat ends, and xvfb-run takes its display down
      await exited;
    },
  };
}

// A statement run on a contest file by a second connection, as another program would; its
// output, trimmed.
export function sql(file, statement) {
  return execFileSync('sqlite3', ['-cmd', '.timeout 5000', file, statement], { encoding: 'utf8' }).trim();
}

// A HOME of its own, so no test ever touches the real Desktop.
export function temporaryHome() {
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'tallywell-desktop-'));
  homes.push(home);
  fs.mkdirSync(path.join(home, 'Desktop'));
  return home;
}

// Starts a program on the display; its output lines are collected in `lines`.
export function startProgram(file, args, displayEnv, home) {
  const child = spawn(file, args, {
    env: { ...displayEnv, HOME: home, XDG_CONFIG_HOME: path.join(home, '.config'), GSETTINGS_BACKEND: 'memory',
      WEBKIT_DISABLE_COMPOSITING_MODE: '1' },
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  const lines = [];
  const waiters = [];
  let closed = false;
  readline.createInterface({ input: child.stdout }).on('line', (line) => {
    lines.push(line);
    for (const waiter of [...waiters]) waiter();
  });
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  const program = {
    child,
    lines,
    exited,
    stderr: () => stderr,
    // For a test that failed part-way: nothing may be left on the display for the next one.
    async kill() {
      if (child.exitCode !== null || child.signalCode !== null) return;
      child.kill('SIGKILL');
      await exited;
    },
    // Resolves with the first line from index `from` on that passes the test, waiting up to `ms`;
    // fails at once when the program ends without it.
    waitForLine(test, ms = 15000, from = 0) {
      return new Promise((resolve, reject) => {
        const check = () => {
          const found = lines.slice(from).find(test);
          if (found === undefined && !closed) return false;
          clearTimeout(timer);
          waiters.splice(waiters.indexOf(check), 1);
          if (found !== undefined) resolve(found);
          else reject(new Error(`the program ended (${child.exitCode ?? child.signalCode}) without such a line; `
            + `got: ${JSON.stringify(lines).slice(0, 500)}; stderr: ${stderr.slice(-1500)}`));
          return true;
        };
        const timer = setTimeout(() => {
          waiters.splice(waiters.indexOf(check), 1);
          reject(new Error(`no such line within ${ms} ms; got: ${JSON.stringify(lines).slice(0, 500)}`));
        }, ms);
        waiters.push(check);
        check();
      });
    },
  };
  programs.add(program);
  exited.then(() => programs.delete(program));
  // Once its output has all been read, a line still awaited will never come.
  child.on('close', () => {
    closed = true;
    for (const waiter of [...waiters]) waiter();
  });
  return program;
}

// The main page in the real window, with the observer of webview_bridge_check main: resolves
// to { program, window } once the page has loaded and its contest name field has the keyboard.
export async function startMainPage(displayEnv, home) {
  const program = startProgram(process.env.WEBVIEW_BRIDGE_CHECK, ['main'], displayEnv, home);
  const window = await waitForWindow('Tallywell Lite', displayEnv, 20000, program);
  await program.waitForLine((l) => l === 'ready', 20000);
  return { program, window };
}

// Resolves to { code, signal }, or null when the program is still running after `ms`.
export async function exitWithin(program, ms) {
  let timer;
  const late = new Promise((resolve) => { timer = setTimeout(() => resolve(null), ms); });
  const result = await Promise.race([program.exited, late]);
  clearTimeout(timer);
  return result;
}

// The shown windows with this title, as [{ id, width, height }].
export async function findWindows(title, env) {
  try {
    const { stdout } = await run(PYTHON, [X11_WINDOW, 'find', title], { env });
    return stdout.trim().split('\n').map((row) => {
      const [id, width, height] = row.split(' ').map(Number);
      return { id, width, height };
    });
  } catch {
    return [];
  }
}

// Waits for a window of the program that should show it; a program that has ended, or a
// time-out, fails at once with what the program printed and what is shown.
export async function waitForWindow(title, env, ms, program) {
  const deadline = Date.now() + ms;
  for (;;) {
    const windows = await findWindows(title, env);
    if (windows.length > 0) return windows[0];
    const ended = program.child.exitCode !== null || program.child.signalCode !== null;
    if (ended || Date.now() > deadline) {
      let shown = '';
      try { shown = (await run(PYTHON, [X11_WINDOW, 'list'], { env })).stdout; } catch (e) { shown = String(e); }
      const state = `exit: ${JSON.stringify(program.child.exitCode ?? program.child.signalCode)}; `
        + `stderr: ${program.stderr().slice(-1500)}`;
      throw new Error(`no window "${title}" ${ended ? '(the program ended)' : `within ${ms} ms`}; `
        + `shown: ${JSON.stringify(shown)}; ${state}`);
    }
    await sleep(50);
  }
}

// The window manager's close request (WM_DELETE_WINDOW), as the close button sends it.
export async function closeWindow(title, env) {
  await run(PYTHON, [X11_WINDOW, 'close', title], { env });
}

// The same request to one window, by its id: the main window while a box of the same title is open.
export async function closeWindowById(id, env) {
  await run(PYTHON, [X11_WINDOW, 'close-id', String(id)], { env });
}

export async function pressKeys(env, ...keys) {
  await run('xdotool', ['key', '--delay', '50', ...keys], { env });
}

// A click at a point given in the window's own coordinates.
export async function clickInWindow(env, id, x, y) {
  await run('xdotool', ['mousemove', '--window', String(id), String(Math.round(x)), String(Math.round(y)), 'click', '1'], { env });
}

// The text on the clipboard, as a program pasting it would get it.
export async function clipboardText(env) {
  const { stdout } = await run(PYTHON, [X11_WINDOW, 'clipboard'], { env, maxBuffer: 64 << 20 });
  return stdout;
}

export async function clickAt(env, x, y, button) {
  await run('xdotool', ['mousemove', String(x), String(y), 'click', String(button)], { env });
}

export async function resizeWindow(env, id, width, height) {
  await run('xdotool', ['windowsize', String(id), String(width), String(height)], { env });
}

export async function waitForNoWindow(title, env, ms = 5000) {
  const deadline = Date.now() + ms;
  while ((await findWindows(title, env)).length > 0) {
    if (Date.now() > deadline) throw new Error(`window "${title}" still shown after ${ms} ms`);
    await sleep(50);
  }
}

export async function typeText(env, text) {
  await run('xdotool', ['type', '--delay', '20', text], { env });
}

// A picture of the whole display for the test log; answers its path.
export async function screenshot(env, name) {
  const folder = path.join(path.dirname(process.env.TALLYWELL_APP ?? os.tmpdir()), 'test-logs');
  fs.mkdirSync(folder, { recursive: true });
  const file = path.join(folder, `${name}.png`);
  await run('import', ['-window', 'root', file], { env });
  return file;
}

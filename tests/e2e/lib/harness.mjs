// Shared pieces of the browser tests: Debian's chromium, the bridge harness process
// (requests and replies as UTF-8 texts, each ended by one NUL byte) and a
// window.chrome.webview stand-in that carries the page's messages to it.
import { spawn } from 'node:child_process';
import { existsSync, mkdtempSync, mkdirSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

export const REPO_ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../..');
export const FIELD_SEPARATOR = '\u001F';
export const CHROMIUM_PATH = '/usr/lib/chromium/chromium';
export const PAGE_URL = 'http://127.0.0.1/';

export function launchBrowser() {
  return chromium.launch({
    executablePath: CHROMIUM_PATH,
    args: ['--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run'],
  });
}

// The harness executable: $BRIDGE_HARNESS (set by CTest), else the one in build-tests/.
export function harnessPath() {
  const fromEnv = process.env.BRIDGE_HARNESS || process.env.TALLYWELL_BRIDGE_HARNESS;
  if (fromEnv) return fromEnv;
  const built = path.join(REPO_ROOT, 'build-tests/tests/bridge_harness');
  if (existsSync(built)) return built;
  throw new Error('bridge_harness not built: build it or set BRIDGE_HARNESS');
}

// A temporary HOME with an empty Desktop folder; never the user's own.
export function makeHome() {
  const home = mkdtempSync(path.join(tmpdir(), 'tallywell-e2e-'));
  mkdirSync(path.join(home, 'Desktop'));
  return {
    home,
    desktop: path.join(home, 'Desktop'),
    remove: () => rmSync(home, { recursive: true, force: true }),
  };
}

// Starts the harness. env is added to the process environment (HOME, TALLYWELL_OPEN_PATH,
// TALLYWELL_CARD_PORT...). onReply(text) is called for every reply, in order. stop() ends
// its input and kills it if it has not exited killAfterMs later.
export function startHarness({ home, env = {}, killAfterMs = 5000 } = {}) {
  const child = spawn(harnessPath(), [], {
    env: { ...process.env, ...(home ? { HOME: home } : {}), ...env },
    stdio: ['pipe', 'pipe', 'inherit'],
  });
  const listeners = [];
  let buffered = Buffer.alloc(0);
  child.stdout.on('data', (chunk) => {
    buffered = Buffer.concat([buffered, chunk]);
    let end;
    while ((end = buffered.indexOf(0)) >= 0) {
      const text = buffered.subarray(0, end).toString('utf8');
      buffered = buffered.subarray(end + 1);
      for (const fn of listeners) fn(text);
    }
  });
  const exited = new Promise((resolve) => child.on('exit', resolve));
  return {
    child,
    send(text) {
      child.stdin.write(Buffer.concat([Buffer.from(text, 'utf8'), Buffer.from([0])]));
    },
    onReply(fn) { listeners.push(fn); },
    async stop() {
      if (child.exitCode === null) {
        child.stdin.end();
        const timer = setTimeout(() => child.kill('SIGKILL'), killAfterMs);
        await exited;
        clearTimeout(timer);
      }
    },
  };
}

// Sends one request straight to the harness and waits for its reply (for test set-up
// without a page). Ids start with "direct-" so they never meet a page's ids.
let directCounter = 0;
export function directRequest(harness, name, args = '') {
  const id = `direct-${++directCounter}`;
  return new Promise((resolve) => {
    harness.onReply((text) => {
      if (text.startsWith(id + ':')) resolve(text.slice(id.length + 1));
    });
    harness.send(`${id}:${name}:${args}`);
  });
}

const STAND_IN = `(() => {
  const listeners = [];
  window.chrome = window.chrome || {};
  window.chrome.webview = {
    postMessage(text) { window.__hostPost(String(text)); },
    addEventListener(type, fn) { if (type === 'message') listeners.push(fn); },
    removeEventListener(type, fn) {
      const i = listeners.indexOf(fn);
      if (type === 'message' && i >= 0) listeners.splice(i, 1);
    },
  };
  window.__deliverHostMessage = (text) => {
    const event = new MessageEvent('message', { data: text });
    for (const fn of listeners.slice()) fn(event);
  };
})();`;

// Opens a page wired to a host. host is a harness (or null); every message the page posts
// is recorded in sent, every message box's text in dialogs, every uncaught error in errors.
// intercept(message), when given, may return a reply text to answer the message itself
// instead of the harness (undefined passes it on).
// html is the page text, served at PAGE_URL through a route (no network is used).
export async function openPage(browser, { html, host = null, intercept = null, viewport,
  beforeLoad } = {}) {
  const context = await browser.newContext({ viewport: viewport || { width: 1280, height: 800 } });
  const page = await context.newPage();
  const sent = [];
  const errors = [];
  const dialogs = [];
  page.on('pageerror', (e) => errors.push(e));
  // Message boxes are answered at once and their texts kept, in order.
  page.on('dialog', (d) => {
    dialogs.push(d.message());
    d.accept().catch(() => {});
  });
  const deliver = (text) => {
    page.evaluate((t) => window.__deliverHostMessage(t), text).catch(() => {});
  };
  if (host) {
    // A harness answers the page opened on it last; ids of earlier pages would collide.
    host.currentPage = page;
    host.onReply((text) => {
      if (host.currentPage === page && !text.startsWith('direct-')) deliver(text);
    });
  }
  await page.exposeFunction('__hostPost', (text) => {
    sent.push(text);
    const own = intercept ? intercept(text) : undefined;
    if (own !== undefined) {
      const id = text.slice(0, text.indexOf(':'));
      deliver(`${id}:${own}`);
    } else if (host) {
      host.send(text);
    }
  });
  await page.addInitScript(STAND_IN);
  await page.route(PAGE_URL, (route) => route.fulfill({
    status: 200, contentType: 'text/html; charset=utf-8', body: html,
  }));
  if (beforeLoad) await beforeLoad(page);
  await page.goto(PAGE_URL);
  return { page, context, sent, errors, dialogs, deliver };
}

// A page file as the program embeds it: a line that is exactly <!--#include NAME--> is
// replaced by the file NAME beside the page, as pages/embed_page.cpp does.
export function pageText(name) {
  const folder = path.join(REPO_ROOT, 'pages');
  return readFileSync(path.join(folder, name), 'utf8').split('\n').map((line, i, lines) => {
    const include = /^<!--#include (.+)-->$/.exec(line);
    if (!include) return i < lines.length - 1 ? line + '\n' : line;
    return readFileSync(path.join(folder, include[1]), 'utf8');
  }).join('');
}

export function mainPageText() {
  return pageText('main.html');
}

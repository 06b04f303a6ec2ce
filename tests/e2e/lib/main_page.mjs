// Helpers for driving the main page as a user would.
import { after, before } from 'node:test';
import { FIELD_SEPARATOR, mainPageText, makeHome, openPage, startHarness } from './harness.mjs';

export const FS = FIELD_SEPARATOR;

export function openMainPage(browser, options = {}) {
  return openPage(browser, { html: mainPageText(), ...options });
}

// Registers hooks in the calling describe: before its tests, a temporary HOME, a harness
// under it and the main page on that harness (in the browser getBrowser() gives); after
// them, the page closed, the harness stopped and the HOME removed. Returns the holder of
// home, harness and ctx; a test may put a new harness and ctx in it, and those are the
// ones closed.
export function mainPageOnHarness(getBrowser) {
  const held = {};
  before(async () => {
    held.home = makeHome();
    held.harness = startHarness({ home: held.home.home });
    held.ctx = await openMainPage(getBrowser(), { host: held.harness });
  });
  after(async () => {
    await held.ctx.context.close();
    await held.harness.stop();
    held.home.remove();
  });
  return held;
}

// Waits until no request of the page is waiting for its reply. A handler sends its first
// request before the click that started it returns, so this follows a whole chain of
// requests (save, refreshers) to its end.
export async function settle(page) {
  await page.waitForFunction(() => pendingCalls.size === 0, null, { timeout: 10000 });
  await page.evaluate(() => new Promise((r) => setTimeout(r, 0)));
}

export async function nav(page, section) {
  await page.click(`nav a[data-page="${section}"]`);
  await settle(page);
}

// The texts of every body row of a table, as arrays of cell texts.
export function rows(page, selector) {
  return page.$$eval(`${selector} tbody tr`, (trs) => trs.map((tr) => Array.from(tr.cells, (c) => c.textContent)));
}

export async function createContest(page, name) {
  await page.fill('#contest-name-inp', name);
  await page.click('#create-contest-btn');
  await settle(page);
}

// Selects the option whose text is label in a select.
export async function choose(page, selector, label) {
  await page.selectOption(selector, { label });
}

export async function click(page, selector) {
  await page.click(selector);
  await settle(page);
}

// The messages sent since a mark taken with sent.length.
export function since(sent, mark) {
  return sent.slice(mark);
}

// The name and the args of a message "id:name:args".
export function parse(message) {
  const first = message.indexOf(':');
  const second = message.indexOf(':', first + 1);
  return { id: message.slice(0, first), name: message.slice(first + 1, second), args: message.slice(second + 1) };
}

// Click-to-table times of every section of the main page, of Show/Hide Lower Scores, of the
// sorter on the largest table, of a placing's save, and what find and select-all reach, with
// a contest at the schema's limits (about 8,000 contestants and 80,000 placings), in headless
// Chromium against the bridge harness.
//
//   node bench/page_tables.mjs [--runs N]
//
// Needs build-bench/bench/make_contest (configure with -DTALLYWELL_BENCH=ON) and the harness;
// MAKE_CONTEST and BRIDGE_HARNESS override where they are found.
import { execFileSync } from 'node:child_process';
import { existsSync, mkdirSync, readFileSync } from 'node:fs';
import path from 'node:path';
import {
  REPO_ROOT, launchBrowser, makeHome, mainPageText, openPage, startHarness,
} from '../tests/e2e/lib/harness.mjs';

const runs = Number(process.argv[process.argv.indexOf('--runs') + 1]) || 5;
const makeContest = process.env.MAKE_CONTEST || path.join(REPO_ROOT, 'build-bench/bench/make_contest');
if (!existsSync(makeContest)) {
  console.error(`${makeContest} not found: configure with -DTALLYWELL_BENCH=ON and build`);
  process.exit(2);
}

const home = makeHome();
const folder = path.join(home.desktop, 'Limits');
mkdirSync(folder);
const dbPath = path.join(folder, 'contest.db');
let t = Date.now();
execFileSync(makeContest, [dbPath], { stdio: 'inherit' });
console.log(`contest written in ${Date.now() - t} ms`);

const harness = startHarness({ home: home.home, env: { TALLYWELL_OPEN_PATH: dbPath } });
const browser = await launchBrowser();
const { page } = await openPage(browser, { html: mainPageText(), host: harness });
page.on('dialog', (d) => d.dismiss());

// What the bench is doing, so that a crash of the page says where it happened.
let step = 'loading the page';
// A renderer that dies leaves every wait of the driver waiting out its time-out: say so at once.
page.on('crash', async () => {
  console.error(`\nthe page crashed (its renderer died) while ${step}`);
  await browser.close().catch(() => {});
  await harness.stop();
  home.remove();
  process.exit(1);
});

// The renderer's nodes as the pass left them (those in the document and those dropped but not
// yet collected), then once its garbage is collected: nodes still alive, the script heap in
// use, and the resident memory of the largest renderer process, which is the page's.
const cdp = await page.context().newCDPSession(page);
await cdp.send('Performance.enable');
const browserCdp = await browser.newBrowserCDPSession();
const rendererRss = async () => {
  const { processInfo } = await browserCdp.send('SystemInfo.getProcessInfo');
  const sizes = processInfo.filter((p) => p.type === 'renderer').map((p) => {
    try {
      return Number(/^VmRSS:\s+(\d+)/m.exec(readFileSync(`/proc/${p.id}/status`, 'utf8'))[1]) * 1024;
    } catch {
      return 0;  // the process has gone
    }
  });
  return Math.max(0, ...sizes);
};
const metric = async (name) => (await cdp.send('Performance.getMetrics')).metrics.find((m) => m.name === name).value;
const pageMemory = async () => {
  const uncollected = await metric('Nodes');
  await cdp.send('HeapProfiler.collectGarbage');
  return { uncollected, nodes: await metric('Nodes'), heap: await metric('JSHeapUsedSize'), rss: await rendererRss() };
};
const memoryRows = [];
const noteMemory = async (when) => memoryRows.push({ when, ...await pageMemory() });

// Times are taken in the page: from the click event (or the press on the header) to the end
// of the first frame that shows the finished tables, so the driver's own overhead is left out.
// A section is finished once no request of the page waits for its reply.
const frameEnd = () => page.evaluate(() => new Promise((r) => requestAnimationFrame(() => setTimeout(() => r(performance.now()), 0))));
const answered = () => page.waitForFunction(() => pendingCalls.size === 0, null, { timeout: 120000, polling: 'raf' });
const rowCount = (selector) => page.evaluate((s) => document.querySelectorAll(`${s} tbody tr`).length, selector);

t = Date.now();
await page.click('#open-contest-btn');
await page.waitForFunction(() => document.querySelectorAll('#placing-counts-table tbody tr').length > 0,
  null, { timeout: 120000 });
await answered();
await frameEnd();
console.log(`contest opened and the setup and placings tables loaded in ${Date.now() - t} ms`);

const placings = await rowCount('#placings-table');
const contestants = await rowCount('#contestants-table');
console.log(`${contestants} contestants, ${placings} placings`);
await noteMemory('contest opened');

await page.evaluate(() => {
  document.addEventListener('click', (e) => {
    if (e.target.closest('nav a, button')) window.benchClickAt = performance.now();
  }, true);
});

const samples = {};
const record = (name, ms) => (samples[name] ||= []).push(Math.round(ms));
const sinceClick = async () => (await frameEnd()) - await page.evaluate(() => window.benchClickAt);

const clickAndTime = async (selector) => {
  await page.click(selector);
  await answered();
  return sinceClick();
};

// Leaves the section for one without tables, so that the next click shows it afresh.
const leave = async (section) => {
  await page.click(`nav a[data-page="${section === 'about' ? 'contest' : 'about'}"]`);
  await frameEnd();
};

const press = (column) => page.evaluate((c) => {
  const th = document.querySelector(`#indiv-scores-table thead th:nth-child(${c})`);
  const start = performance.now();
  th.dispatchEvent(new PointerEvent('pointerdown', { bubbles: true }));
  return new Promise((r) => requestAnimationFrame(() => setTimeout(() => r(performance.now() - start), 0)));
}, column);

const sections = await page.$$eval('nav a', (links) => links.map((a) => [a.dataset.page, a.textContent]));

// Find on the section shown: the page's own find where it has one (the window's find bar
// calls it), else window.find, which finds what the browser's find would.
const find = (text) => page.evaluate((needle) => {
  getSelection().removeAllRanges();
  const start = performance.now();
  const found = typeof findInPage === 'function' ? findInPage(needle) : window.find(needle, false, false, true);
  return { found, ms: performance.now() - start };
}, text);

// Ctrl+A and Ctrl+C on the section shown: the lines the clipboard receives, and the time from
// the copy event to the end of the page's own handling of it.
await page.context().grantPermissions(['clipboard-read', 'clipboard-write'], { origin: 'http://127.0.0.1' });
await page.evaluate(() => {
  window.addEventListener('copy', () => { window.benchCopyAt = performance.now(); }, true);
  window.addEventListener('copy', () => { window.benchCopied = performance.now() - window.benchCopyAt; });
});
const selectAllAndCopy = async (heading) => {
  await page.evaluate(() => navigator.clipboard.writeText(''));
  await page.click(heading);
  await page.keyboard.press('Control+A');
  await page.keyboard.press('Control+C');
  const text = await page.evaluate(() => navigator.clipboard.readText());
  const ms = await page.evaluate(() => window.benchCopied);
  await page.evaluate(() => getSelection().removeAllRanges());
  // A copy of tens of thousands of rows leaves that much to collect: given the moment a
  // person takes before the next click, it is not counted against the next measurement.
  await new Promise((resolve) => setTimeout(resolve, 1500));
  return { lines: text.split('\n').length, ms };
};
const copyReport = {};

for (let run = 0; run < runs; run++) {
  for (const [section, label] of sections) {
    step = `on ${label}, pass ${run + 1}`;
    await leave(section);
    record(`${label}: click to section`, await clickAndTime(`nav a[data-page="${section}"]`));

    if (section === 'contestants') {
      const last = await page.evaluate(() => {
        const trs = document.querySelectorAll('#contestants-table tbody tr');
        return trs[trs.length - 1].cells[2].textContent;
      });
      const found = await find(last);
      record('Contestants: find the last contestant', found.ms);
      const copied = await selectAllAndCopy('#contestants h1');
      record('Contestants: select all and copy', copied.ms);
      copyReport.Contestants = `find of the last contestant ${found.found ? 'found it' : 'found nothing'}; `
        + `select-all and copy put ${copied.lines} lines on the clipboard`;
    }
    if (section === 'placings') {
      record('Placings: Refresh to both tables', await clickAndTime('#refresh-placings-table-btn'));
      // A reasons score for a placing already held: the save is answered, then both tables reload.
      await page.fill('#placing-class-inp', '1');
      await page.fill('#placing-contestant-inp', String(1011 + run));
      await page.fill('#placing-reasons-inp', String(20 + run));
      // From the Enter key to the focus back on the emptied contestant number.
      await page.evaluate(() => {
        window.benchFormReadyAt = null;
        const contestant = document.getElementById('placing-contestant-inp');
        const ready = () => {
          if (contestant.value !== '') return;
          window.benchFormReadyAt = performance.now();
          contestant.removeEventListener('focus', ready);
        };
        contestant.addEventListener('focus', ready);
        window.addEventListener('keydown', (e) => {
          if (e.key === 'Enter') window.benchSaveAt = performance.now();
        }, { capture: true, once: true });
      });
      await page.press('#placing-reasons-inp', 'Enter');
      await answered();
      const end = await frameEnd();
      const times = await page.evaluate(() => [window.benchSaveAt, window.benchFormReadyAt]);
      record('Placings: Enter to form ready', times[1] - times[0]);
      record('Placings: Enter to both tables', end - times[0]);
    }
    if (section === 'individual-scores') {
      const copied = await selectAllAndCopy('#individual-scores h1');
      record('Individual Scores: select all and copy', copied.ms);
      copyReport['Individual Scores'] = `select-all and copy put ${copied.lines} lines on the clipboard`;
      record('Sort Individual Scores by Contestant (text)', await press(1));
      record('Sort Individual Scores by Total Score (numbers)', await press(8));
      record('Reverse Individual Scores (second press)', await press(8));
    }
    if (section === 'rankings') {
      record('Show/Hide Lower Scores: show', await clickAndTime('#rankings-show-hide-btn'));
      record('Show/Hide Lower Scores: hide', await clickAndTime('#rankings-show-hide-btn'));
    }
  }
  await noteMemory(`after pass ${run + 1}`);
}
step = 'reporting';

const rankingRows = await page.evaluate(() => ({
  tables: document.querySelectorAll('#indiv-rankings table, #team-rankings table').length,
  rows: document.querySelectorAll('#indiv-rankings tbody tr, #team-rankings tbody tr').length,
}));
console.log(`rankings: ${rankingRows.tables} tables, ${rankingRows.rows} rows`);
for (const [section, text] of Object.entries(copyReport)) console.log(`${section}: ${text}`);

// Visiting the sections again must not grow the page.
const mb = (bytes) => (bytes / 1048576).toFixed(0);
console.log(`\n${'page memory'.padEnd(16)} ${'nodes'.padStart(10)}   after garbage collection: ${'nodes'.padStart(10)} ${'JS heap MB'.padStart(11)} ${'renderer MB'.padStart(12)}`);
for (const { when, uncollected, nodes, heap, rss } of memoryRows) {
  console.log(`${when.padEnd(16)} ${String(uncollected).padStart(10)}   ${''.padEnd(26)} ${String(nodes).padStart(10)} ${mb(heap).padStart(11)} ${mb(rss).padStart(12)}`);
}

console.log(`\n${'measurement'.padEnd(48)} ${'median'.padStart(8)} ${'min'.padStart(8)} ${'max'.padStart(8)}  (ms, ${runs} runs)`);
for (const [name, values] of Object.entries(samples)) {
  const sorted = [...values].sort((a, b) => a - b);
  const median = sorted[Math.floor(sorted.length / 2)];
  console.log(`${name.padEnd(48)} ${String(median).padStart(8)} ${String(sorted[0]).padStart(8)} ${String(sorted.at(-1)).padStart(8)}`);
}

await browser.close();
await harness.stop();
home.remove();

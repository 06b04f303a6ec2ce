// Click-to-table times of the main page's two largest sections, and of the sorter on the
// largest table, with a contest at the schema's limits (about 8,000 contestants and
// 80,000 placings), in headless Chromium against the bridge harness.
//
//   node bench/page_tables.mjs [--runs N]
//
// Needs build-bench/bench/make_contest (configure with -DTALLYWELL_BENCH=ON) and the harness;
// MAKE_CONTEST and BRIDGE_HARNESS override where they are found.
import { execFileSync } from 'node:child_process';
import { existsSync, mkdirSync } from 'node:fs';
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

// Times are taken in the page: from the click event on the link (or the press on the
// header) to the end of the first frame that shows the finished table, so the driver's own
// overhead is left out.
const frameEnd = () => page.evaluate(() => new Promise((r) => requestAnimationFrame(() => setTimeout(() => r(performance.now()), 0))));

t = Date.now();
await page.click('#open-contest-btn');
await page.waitForFunction(() => document.querySelector('#placing-counts-body').rows.length > 0,
  null, { timeout: 120000 });
await frameEnd();
console.log(`contest opened and the setup and placings tables loaded in ${Date.now() - t} ms`);

const placings = await page.evaluate(() => document.querySelector('#placings-body').rows.length);
const contestants = await page.evaluate(() => document.querySelector('#contestants-body').rows.length);
console.log(`${contestants} contestants, ${placings} placings`);

await page.evaluate(() => {
  document.addEventListener('click', (e) => {
    if (e.target.closest('nav a')) window.benchClickAt = performance.now();
  }, true);
});

const samples = {};
const record = (name, ms) => (samples[name] ||= []).push(Math.round(ms));

// Leaves the section so that the next click on its link loads it afresh.
const leave = async () => {
  await page.click('nav a[data-page="about"]');
  await frameEnd();
};

const press = (column) => page.evaluate((c) => {
  const th = document.querySelector(`#indiv-scores-table thead th:nth-child(${c})`);
  const start = performance.now();
  th.dispatchEvent(new PointerEvent('pointerdown', { bubbles: true }));
  return new Promise((r) => requestAnimationFrame(() => setTimeout(() => r(performance.now() - start), 0)));
}, column);

for (let run = 0; run < runs; run++) {
  await leave();
  await page.evaluate(() => document.querySelector('#indiv-scores-body').replaceChildren());
  await page.click('nav a[data-page="individual-scores"]');
  await page.waitForFunction((n) => {
    const body = document.querySelector('#indiv-scores-body');
    return body.rows.length === n && (!body.classList.contains('windowed') || body.querySelector('tr.in-view'));
  }, placings, { timeout: 60000, polling: 'raf' });
  record('Individual Scores: click to table', (await frameEnd()) - await page.evaluate(() => window.benchClickAt));

  record('Sort Individual Scores by Contestant (text)', await press(1));
  record('Sort Individual Scores by Total Score (numbers)', await press(8));
  record('Reverse Individual Scores (second press)', await press(8));

  await leave();
  await page.evaluate(() => {
    document.querySelector('#indiv-rankings').replaceChildren();
    document.querySelector('#team-rankings').replaceChildren();
  });
  await page.click('nav a[data-page="rankings"]');
  await page.waitForFunction(() => document.querySelector('#team-rankings table'),
    null, { timeout: 60000, polling: 'raf' });
  record('Rankings: click to both blocks', (await frameEnd()) - await page.evaluate(() => window.benchClickAt));
}

const rankingRows = await page.evaluate(() => ({
  tables: document.querySelectorAll('#indiv-rankings table, #team-rankings table').length,
  rows: document.querySelectorAll('#indiv-rankings tbody tr, #team-rankings tbody tr').length,
}));
console.log(`rankings: ${rankingRows.tables} tables, ${rankingRows.rows} rows`);

console.log(`\n${'measurement'.padEnd(46)} ${'median'.padStart(8)} ${'min'.padStart(8)} ${'max'.padStart(8)}  (ms, ${runs} runs)`);
for (const [name, values] of Object.entries(samples)) {
  const sorted = [...values].sort((a, b) => a - b);
  const median = sorted[Math.floor(sorted.length / 2)];
  console.log(`${name.padEnd(46)} ${String(median).padStart(8)} ${String(sorted[0]).padStart(8)} ${String(sorted.at(-1)).padStart(8)}`);
}

await browser.close();
await harness.stop();
home.remove();

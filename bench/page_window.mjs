// The main page in the real window (WebKitGTK under Xvfb) on the contest at the schema's
// limits: click-to-table times of the sections with many rows, of Show/Hide Lower Scores and
// of the Individual Scores sorter, while the window does not answer, and the web process's
// memory after each pass over all the sections.
//
//   node bench/page_window.mjs [--passes N]
//
// Runs the application with the main page and an observer that reports the page's own times
// (webview_bridge_check timing). Needs build-bench/bench/make_contest and
// build-bench/tests/webview_bridge_check (configure with -DTALLYWELL_BENCH=ON
// -DTALLYWELL_TESTS=ON); MAKE_CONTEST and WEBVIEW_BRIDGE_CHECK override where they are found.
// The program listens on the card port: run it in a network namespace of its own when another
// copy may be running.
import { execFileSync } from 'node:child_process';
import { existsSync, mkdirSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import path from 'node:path';
import {
  clickInWindow, closeWindow, exitWithin, pressKeys, sleep, startDisplay, startProgram, temporaryHome, typeText,
  waitForWindow,
} from '../tests/e2e/lib/desktop.mjs';
import { REPO_ROOT } from '../tests/e2e/lib/harness.mjs';

const passes = Number(process.argv[process.argv.indexOf('--passes') + 1]) || 5;
const makeContest = process.env.MAKE_CONTEST || path.join(REPO_ROOT, 'build-bench/bench/make_contest');
const check = process.env.WEBVIEW_BRIDGE_CHECK || path.join(REPO_ROOT, 'build-bench/tests/webview_bridge_check');
for (const file of [makeContest, check]) {
  if (!existsSync(file)) {
    console.error(`${file} not found: configure with -DTALLYWELL_BENCH=ON -DTALLYWELL_TESTS=ON and build`);
    process.exit(2);
  }
}

const home = temporaryHome();
const folder = path.join(home, 'Desktop', 'Limits');
mkdirSync(folder);
const dbPath = path.join(folder, 'contest.db');
execFileSync(makeContest, [dbPath], { stdio: 'inherit' });

const display = await startDisplay();
const program = startProgram(check, ['timing'], display.env, home);
const window = await waitForWindow('Tallywell Lite', display.env, 20000, program);

// The resident memory of the program's web process (the page's).
const webProcessRss = () => {
  const children = (pid) => readdirSync('/proc').filter((p) => /^\d+$/.test(p)).filter((p) => {
    try {
      return /^PPid:\s+(\d+)/m.exec(readFileSync(`/proc/${p}/status`, 'utf8'))[1] === String(pid);
    } catch {
      return false;
    }
  });
  for (const pid of children(program.child.pid)) {
    try {
      if (!readFileSync(`/proc/${pid}/comm`, 'utf8').startsWith('WebKitWebProces')) continue;
      return Number(/^VmRSS:\s+(\d+)/m.exec(readFileSync(`/proc/${pid}/status`, 'utf8'))[1]) * 1024;
    } catch { /* gone */ }
  }
  return 0;
};

const samples = {};
const record = (name, ms) => (samples[name] ||= []).push(ms);
let places = null;
const nextPlaces = async (from) => {
  places = JSON.parse((await program.waitForLine((l) => l.startsWith('places '), 10000, from)).slice(7));
};
await nextPlaces(0);

// Waits for the page's time of the action that a click or key started; with settled, also
// for the longest pause between the page's frames after it, and records that under settled.
const timed = async (name, act, settled = null) => {
  const from = program.lines.length;
  await act();
  const line = await program.waitForLine((l) => l.startsWith(`time ${name} `), 300000, from);
  const at = program.lines.indexOf(line, from);
  await nextPlaces(at);
  if (settled) {
    const longest = await program.waitForLine((l) => l.startsWith(`longest ${name} `), 30000, at);
    record(settled, Number(longest.split(' ').at(-1)));
  }
  return Number(line.split(' ').at(-1));
};
const click = ([x, y]) => clickInWindow(display.env, window.id, x, y);

// The contest name field has the focus: Tab twice reaches Open an Existing Contest.
const opened = await timed('open-contest-btn', async () => {
  await pressKeys(display.env, 'Tab', 'Tab', 'Return');
  await waitForWindow('Open', display.env, 20000, program);
  await sleep(500);
  await pressKeys(display.env, 'ctrl+a');
  await typeText(display.env, dbPath);
  await pressKeys(display.env, 'Return');
});
console.log(`contest opened and the setup and placings tables loaded in ${opened} ms (from the key)`);

const memory = [];
// WebKit collects the page's garbage in its own time: measured after a pause of 10 s.
const noteMemory = async (when) => {
  await sleep(10000);
  memory.push([when, webProcessRss()]);
};
await noteMemory('contest opened');

const sections = ['contest', 'divisions', 'teams', 'contestants', 'class-types', 'classes', 'wifi', 'placings',
  'individual-scores', 'rankings', 'about'];
for (let pass = 0; pass < passes; pass++) {
  for (const section of sections) {
    record(`${section}: click to section`, await timed(section, () => click(places[section])));
    if (section === 'individual-scores') {
      // The headers stand where the rows of the first frame put them.
      const header = (column) => places.scoreHeaders[column - 1];
      record('sort Individual Scores by Contestant (text)', await timed('sort Contestant', () => click(header(1))));
      record('sort Individual Scores by Total Score (numbers)', await timed('sort Total Score', () => click(header(8))));
      record('reverse Individual Scores (second press)', await timed('sort Total Score', () => click(header(8))));
    }
    if (section === 'rankings') {
      await sleep(500);
      record('Show/Hide Lower Scores: show', await timed('rankings-show-hide-btn', () => click(places.showHide),
        'show: longest pause between frames after that'));
      await sleep(500);
      record('Show/Hide Lower Scores: hide', await timed('rankings-show-hide-btn', () => click(places.showHide),
        'hide: longest pause between frames after that'));
    }
  }
  await noteMemory(`after pass ${pass + 1}`);
}

console.log(`\n${'web process memory'.padEnd(24)} ${'MB'.padStart(8)}`);
for (const [when, rss] of memory) console.log(`${when.padEnd(24)} ${(rss / 1048576).toFixed(0).padStart(8)}`);
console.log(`\n${'measurement'.padEnd(48)} ${'median'.padStart(8)} ${'min'.padStart(8)} ${'max'.padStart(8)}  (ms, ${passes} passes)`);
for (const [name, values] of Object.entries(samples)) {
  const sorted = [...values].sort((a, b) => a - b);
  const median = sorted[Math.floor(sorted.length / 2)];
  console.log(`${name.padEnd(48)} ${String(median).padStart(8)} ${String(sorted[0]).padStart(8)} ${String(sorted.at(-1)).padStart(8)}`);
}

await closeWindow('Tallywell Lite', display.env);
if ((await exitWithin(program, 15000)) === null) await program.kill();
await display.stop();
rmSync(home, { recursive: true, force: true });

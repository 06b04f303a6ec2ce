// A large contest in the real window, driven by its keys: placings typed ahead land where
// they belong, and the find bar and select-all with copy reach every row of a long table.
// The window shows the main page with a small observer that reports when the page's
// requests are all answered and what is selected (webview_bridge_check main).
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { once } from 'node:events';
import path from 'node:path';
import {
  clickInWindow, clipboardText, closeWindow, exitWithin, pressKeys, sql, startDisplay, startMainPage, temporaryHome,
  typeText, waitFor, waitForWindow,
} from './lib/desktop.mjs';
import { launchBrowser, mainPageText, openPage } from './lib/harness.mjs';

const HARNESS = process.env.BRIDGE_HARNESS;
const TITLE = 'Tallywell Lite';
const WINDOW = { width: 1040, height: 640 };

// 3 divisions of 99 groups of 9 contestants (2,673, numbered 1011 to 3999) and 10 classes,
// with a placing for everyone in classes 2 to 10 (24,057) and none in class 1.
async function makeLargeContest(home) {
  const harness = spawn(HARNESS, [], { env: { ...process.env, HOME: home }, stdio: ['pipe', 'pipe', 'inherit'] });
  harness.stdin.end('1:create_contest:Large\0');
  await once(harness, 'exit');
  const file = path.join(home, 'Desktop', 'Large', 'contest.db');
  sql(file, `
    INSERT INTO divisions (name, team_size) VALUES ('Junior', 3), ('Senior', 3), ('Open', 3);
    WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 99)
      INSERT INTO teams (division_no, type, name)
      SELECT d.number, 'Group', 'Team ' || (d.number / 1000) || '-' || n.i FROM divisions d, n ORDER BY d.number, n.i;
    WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 9)
      INSERT INTO contestants (team_no, name)
      SELECT t.number, 'Person ' || t.number || '-' || n.i FROM teams t, n ORDER BY t.number, n.i;
    INSERT INTO class_types (name) VALUES ('Beef');
    WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10)
      INSERT INTO classes (type_id, name, placing, cuts, timestamp)
      SELECT 1, 'Class ' || i, 1234, 253, datetime('now') FROM n;
    INSERT INTO placings (class_id, contestant_no, placing, timestamp)
      SELECT c.id, p.number, 2143, datetime('now') FROM classes c, contestants p WHERE c.id > 1;`);
  return file;
}

// Where the page's links and headings stand in a window of the main window's size (the
// same fonts lay the page out alike in both engines).
async function pagePoints() {
  const browser = await launchBrowser();
  try {
    const { page } = await openPage(browser, { html: mainPageText(), viewport: WINDOW });
    return await page.evaluate(() => {
      const centre = (element) => {
        const box = element.getBoundingClientRect();
        return { x: box.left + box.width / 2, y: box.top + box.height / 2 };
      };
      const points = {};
      for (const link of document.querySelectorAll('nav a')) points[link.dataset.page] = centre(link);
      return points;
    });
  } finally {
    await browser.close();
  }
}

describe('a large contest in the real window', () => {
  let display;
  let program;
  let window;
  let file;
  let points;

  const showSection = async (section) => {
    const from = program.lines.length;
    await clickInWindow(display.env, window.id, points[section].x, points[section].y);
    return from;
  };

  before(async () => {
    display = await startDisplay();
    const home = temporaryHome();
    [file, points] = await Promise.all([makeLargeContest(home), pagePoints()]);
    ({ program, window } = await startMainPage(display.env, home));
    // The contest name field has the focus: Tab twice reaches Open an Existing Contest.
    const from = program.lines.length;
    await pressKeys(display.env, 'Tab', 'Tab', 'Return');
    await waitForWindow('Open', display.env, 20000, program);
    await new Promise((resolve) => setTimeout(resolve, 500));
    await pressKeys(display.env, 'ctrl+a');
    await typeText(display.env, file);
    await pressKeys(display.env, 'Return');
    // Opening answers, then the eight tables load one after another: nine requests.
    await waitFor(() => program.lines.slice(from).some((l) => /^idle (9|[1-9]\d)$/.test(l)), 60000, 'the tables');
  });

  // Whatever the start got to, the display is taken down, with anything still on it.
  after(async () => {
    try {
      if (program?.child.exitCode === null) {
        await closeWindow(TITLE, display.env);
        await exitWithin(program, 10000);
      }
    } finally {
      await display?.stop();
    }
  });

  test('placings typed ahead at speed land where they belong', async () => {
    await showSection('placings');
    // Class 1, then contestant, Tab, placing, Enter, three times, without waiting.
    const keys = ['1', 'Tab', ...'1011'.split(''), 'Tab', ...'2134'.split(''), 'Return',
      ...'1012'.split(''), 'Tab', ...'1234'.split(''), 'Return',
      ...'1013'.split(''), 'Tab', ...'4321'.split(''), 'Return'];
    await pressKeys(display.env, ...keys);
    const stored = () => sql(file, 'SELECT contestant_no, placing FROM placings WHERE class_id = 1 ORDER BY contestant_no;');
    await waitFor(() => stored().split('\n').length >= 3, 20000, 'three placings in class 1');
    // Every request the page made is answered: nothing more is on its way to the file.
    await waitFor(() => program.lines.filter((l) => /^(request|idle) /.test(l)).at(-1).startsWith('idle '), 20000,
      'the page to be idle');
    assert.equal(stored(), '1011|2134\n1012|1234\n1013|4321');
  });

  test('the find bar finds a row far down a long table, and select-all with copy takes every row', async () => {
    const from = await showSection('contestants');
    // Keys are handled in the order sent: the find bar has the keyboard before the text comes,
    // and the page has it back before select-all.
    await pressKeys(display.env, 'ctrl+f');
    await typeText(display.env, 'person 3990-9');
    await pressKeys(display.env, 'Return');
    await program.waitForLine((l) => l === 'selection Person 3990-9', 10000, from);
    await pressKeys(display.env, 'Escape', 'ctrl+a', 'ctrl+c');
    const lines = await waitFor(async () => {
      const text = await clipboardText(display.env);
      return text.includes('Person 1010-1') ? text.split('\n') : null;
    }, 10000, 'the copied text');
    const rows = lines.filter((l) => /^(Junior|Senior|Open)\tTeam \d-\d+\tPerson \d+-\d\t\d{4}$/.test(l));
    assert.equal(rows.length, 2673);
    assert.ok(rows.includes('Open\tTeam 3-99\tPerson 3990-9\t3999'));
  });
});

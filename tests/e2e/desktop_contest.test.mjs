// A contest created as an official creates one, in the real window: type the name into the
// focused contest field and press Enter. Then a phone's placing reaches that contest's file.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {
  closeWindow, exitWithin, pressKeys, sql, startDisplay, startMainPage, temporaryHome, typeText, waitFor,
} from './lib/desktop.mjs';

const TITLE = 'Tallywell Lite';
const SEP = '\x1f';

let display;
before(async () => { display = await startDisplay(); });
after(async () => { await display?.stop(); });

// Starts the application, creates the contest as an official would, and saves a phone's
// placing into it; resolves to the program and the contest file.
async function startWithAPlacing(t) {
  const home = temporaryHome();
  const { program } = await startMainPage(display.env, home);
  t.after(() => program.kill());
  await waitFor(async () => {
    try { return (await fetch('http://127.0.0.1:56780/health')).ok; } catch { return false; }
  }, 10000, 'the card server');

  // Typed key by key, so ASCII: xdotool drops letters it has no key for. Names beyond ASCII
  // are kept exactly by the store's and the page's own tests.
  const name = 'Valley Fair 2026';
  await typeText(display.env, name);
  await pressKeys(display.env, 'Return');
  const db = path.join(home, 'Desktop', name, 'contest.db');
  await waitFor(() => fs.existsSync(db), 10000, 'contest.db on the Desktop');
  await waitFor(() => { try { return sql(db, 'SELECT name FROM contest;') === name; } catch { return false; } },
    5000, 'the contest row');

  // The setup an official would make on the page, written straight into the file the window holds open.
  sql(db, "INSERT INTO divisions (name) VALUES ('Junior');"
    + "INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'North');"
    + "INSERT INTO contestants (team_no, name) VALUES (1010, 'Ann');"
    + "INSERT INTO class_types (name) VALUES ('Beef');"
    + "INSERT INTO classes (type_id, name, timestamp) VALUES (1, 'Heifers', datetime('now', 'localtime'));");

  const names = await fetch('http://127.0.0.1:56780/api/fetch_card_names', { method: 'POST', body: `1011${SEP}1` });
  assert.equal(await names.text(), `Ann${SEP}Heifers`);
  const saved = await fetch('http://127.0.0.1:56780/api/save_card_placing', { method: 'POST', body: `1011${SEP}1${SEP}2143` });
  assert.equal(saved.status, 200);
  assert.equal(await saved.text(), 'true');
  assert.equal(sql(db, 'SELECT class_id, contestant_no, placing FROM placings;'), '1|1011|2143');
  return { program, db };
}

// Closed cleanly: the placing is in the main file, not left in a write-ahead log.
function expectPlacingInTheFile(db) {
  assert.ok(!fs.existsSync(`${db}-wal`) || fs.statSync(`${db}-wal`).size === 0);
  assert.equal(sql(db, 'SELECT placing FROM placings WHERE contestant_no = 1011;'), '2143');
}

test('typing a contest name and Enter creates its folder and file; a card placing lands in it', async (t) => {
  const { program, db } = await startWithAPlacing(t);
  await closeWindow(TITLE, display.env);
  assert.deepEqual(await exitWithin(program, 5000), { code: 0, signal: null });
  expectPlacingInTheFile(db);
});

// The system's shut-down sends SIGTERM: the same ending as closing the window.
test('SIGTERM ends the run as closing the window does: exit 0, the placing merged into the file', async (t) => {
  const { program, db } = await startWithAPlacing(t);
  program.child.kill('SIGTERM');
  assert.deepEqual(await exitWithin(program, 5000), { code: 0, signal: null });
  expectPlacingInTheFile(db);
});

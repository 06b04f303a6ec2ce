// The main page's sections driven as a user would, against the bridge harness.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { renameSync } from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { launchBrowser, makeHome, startHarness } from './lib/harness.mjs';
import {
  FS, choose, click, createContest, mainPageOnHarness, nav, openMainPage, parse, rows, settle,
} from './lib/main_page.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

// ---- Form helpers -----------------------------------------------------------

async function saveDivision(page, name, size) {
  await page.fill('#division-name-inp', name);
  await page.selectOption('#division-team-size-inp', size);
  await click(page, '#save-division-btn');
}

async function saveTeam(page, division, type, name, coach = '') {
  await choose(page, '#team-division-name-inp', division);
  await page.selectOption('#team-type-inp', type);
  await page.fill('#team-name-inp', name);
  await page.fill('#team-coach-name-inp', coach);
  await click(page, '#save-team-btn');
}

async function saveContestants(page, team, names) {
  await choose(page, '#contestant-division-team-name-inp', team);
  await page.fill('#contestant-name-inp', names);
  await click(page, '#save-contestant-btn');
}

async function saveClassType(page, name) {
  await page.fill('#class-type-name-inp', name);
  await click(page, '#save-class-type-btn');
}

async function saveClass(page, type, name, placing = '', cuts = '') {
  await choose(page, '#classes-class-type-inp', type);
  await page.fill('#class-name-inp', name);
  await page.fill('#class-placing-inp', placing);
  await page.fill('#class-cuts-inp', cuts);
  await click(page, '#save-class-btn');
}

// Types one placing into the placings form and presses Enter; the class number is typed
// only when given, as an official does for the first placing of a class.
async function typePlacing(page, { classNo, contestant, placing = '', reasons = '' }) {
  if (classNo !== undefined) await page.fill('#placing-class-inp', classNo);
  await page.fill('#placing-contestant-inp', contestant);
  await page.fill('#placing-placing-inp', placing);
  await page.fill('#placing-reasons-inp', reasons);
  await page.press('#placing-reasons-inp', 'Enter');
  await settle(page);
}

// Runs action and returns the message box texts and the requests it caused.
async function outcome(ctx, action) {
  const dialogs = ctx.dialogs.length;
  const sent = ctx.sent.length;
  await action();
  await settle(ctx.page);
  return { alerts: ctx.dialogs.slice(dialogs), sent: ctx.sent.slice(sent).map(parse) };
}

const tables = (page, block) => page.$$eval(`${block} table`, (ts) => ts.map((t) => ({
  caption: t.caption.textContent,
  head: Array.from(t.tHead.rows[0].cells, (c) => c.textContent),
  rows: Array.from(t.tBodies[0].rows, (r) => Array.from(r.cells, (c) => c.textContent)),
})));

// Rows of equal rank come in no set order: compare them by rank, then by name.
const byRankThenName = (rs) => [...rs].sort((a, b) => Number(a[0]) - Number(b[0]) || a[2].localeCompare(b[2]));

// ---- A whole contest ------------------------------------------------------------

describe('a whole contest entered through the page', () => {
  const main = mainPageOnHarness(() => browser);

  // Heifers (Cattle): official 1234, cuts 253. Gilts (Swine): official 1234, cuts 243.
  const entries = [
    ['Ann', '1011', '1234', '45', '1234'], ['Ben', '1012', '2134', '47', '1243'],
    ['Cal', '1013', '1234', '40', '2134'], ['Dee', '1014', '4321', '30', '1234'],
    ['Eve', '1021', '1324', '45', '1234'], ['Fay', '1022', '1243', '48', '2143'],
    ['Gus', '1023', '2143', '35', '1324'], ['Hal', '1031', '1234', '50', '1234'],
    ['Ivy', '1032', '1234', '49', '1234'], ['Jo', '1041', '1234', '', '1234'],
  ];

  test('set-up, placings and rankings', async () => {
    const { page } = main.ctx;
    await createContest(page, 'Worked Example');
    assert.equal(await page.textContent('#contest-name'), 'Worked Example');

    await nav(page, 'divisions');
    await saveDivision(page, 'Junior', '3');
    assert.deepEqual(await rows(page, '#divisions-table'), [['Junior', '3', '1000']]);

    await nav(page, 'teams');
    await saveTeam(page, 'Junior', 'Team', 'Alpha', 'Coach A');
    await saveTeam(page, 'Junior', 'Team', 'Beta');
    await saveTeam(page, 'Junior', 'Team', 'Gamma');
    await saveTeam(page, 'Junior', 'Group', 'Solo');
    assert.deepEqual(await rows(page, '#teams-table'), [
      ['Junior', 'Group', 'Solo', '', '1040'], ['Junior', 'Team', 'Gamma', '', '1030'],
      ['Junior', 'Team', 'Beta', '', '1020'], ['Junior', 'Team', 'Alpha', 'Coach A', '1010']]);

    await nav(page, 'contestants');
    await saveContestants(page, 'Junior Alpha', 'Ann, Ben; Cal\nDee');
    await saveContestants(page, 'Junior Beta', 'Eve\r\nFay\r\nGus');
    await saveContestants(page, 'Junior Gamma', 'Hal;Ivy');
    await saveContestants(page, 'Junior Solo', 'Jo');
    const contestants = await rows(page, '#contestants-table');
    assert.deepEqual(contestants.map((r) => [r[2], r[3]]).sort(),
      entries.map(([name, number]) => [name, number]).sort());
    assert.deepEqual(await rows(page, '#contestant-counts-table'), [
      ['Junior', 'Solo', '1'], ['Junior', 'Gamma', '2'], ['Junior', 'Beta', '3'], ['Junior', 'Alpha', '4']]);

    await nav(page, 'class-types');
    await saveClassType(page, 'Cattle');
    await saveClassType(page, 'Swine');
    await nav(page, 'classes');
    await saveClass(page, 'Cattle', 'Heifers', '1234', '253');
    await saveClass(page, 'Swine', 'Gilts', '1234', '243');
    assert.deepEqual(await rows(page, '#classes-table'), [
      ['1', 'Cattle', 'Heifers', '1234', '253'], ['2', 'Swine', 'Gilts', '1234', '243']]);

    await nav(page, 'placings');
    for (const [classNo, column] of [['1', 2], ['2', 4]]) {
      let first = true;
      for (const entry of entries) {
        await typePlacing(page, {
          classNo: first ? classNo : undefined,
          contestant: entry[1],
          placing: entry[column],
          reasons: classNo === '1' ? entry[3] : '',
        });
        first = false;
      }
    }
    assert.equal((await rows(page, '#placings-table')).length, 20);
    assert.deepEqual(new Set((await rows(page, '#placing-counts-table')).map((r) => r.slice(1).join())),
      new Set(['2,0', '2,1']));

    await nav(page, 'individual-scores');
    const scores = await rows(page, '#indiv-scores-table');
    assert.equal(scores.length, 20);
    assert.deepEqual(scores.slice(0, 2), [
      ['Ann', '1011', 'Heifers', '1', '1234', '50', '45', '95'],
      ['Ann', '1011', 'Gilts', '2', '1234', '50', '', '50']]);

    await nav(page, 'rankings');
    const individual = await tables(page, '#indiv-rankings');
    const team = await tables(page, '#team-rankings');
    assert.deepEqual(individual.map((t) => t.caption), ['Individual Junior Cattle', 'Individual Junior Swine',
      'Individual Junior Reasons', 'Individual Junior Overall']);
    assert.deepEqual(individual[0].head, ['Rank', 'Score', 'Contestant', 'Team']);
    const teamOf = Object.fromEntries([['Ann', 'Alpha'], ['Ben', 'Alpha'], ['Cal', 'Alpha'], ['Dee', 'Alpha'],
      ['Eve', 'Beta'], ['Fay', 'Beta'], ['Gus', 'Beta'], ['Hal', 'Gamma'], ['Ivy', 'Gamma'], ['Jo', 'Solo']]);
    const expect = (list) => byRankThenName(list.map(([rank, score, name]) => [String(rank), String(score), name, teamOf[name]]));
    assert.deepEqual(individual.map((t) => byRankThenName(t.rows)), [
      expect([[1, 100, 'Hal'], [2, 99, 'Ivy'], [3, 95, 'Fay'], [4, 95, 'Ben'], [5, 95, 'Ann'],
        [6, 90, 'Eve'], [7, 90, 'Cal'], [8, 80, 'Gus'], [9, 50, 'Jo'], [10, 45, 'Dee']]),
      expect([[1, 50, 'Ann'], [1, 50, 'Dee'], [1, 50, 'Eve'], [1, 50, 'Hal'], [1, 50, 'Ivy'], [1, 50, 'Jo'],
        [7, 48, 'Cal'], [8, 47, 'Ben'], [9, 46, 'Gus'], [10, 45, 'Fay']]),
      expect([[1, 50, 'Hal'], [2, 49, 'Ivy'], [3, 48, 'Fay'], [4, 47, 'Ben'], [5, 45, 'Eve'],
        [6, 45, 'Ann'], [7, 40, 'Cal'], [8, 35, 'Gus'], [9, 30, 'Dee'], [10, '', 'Jo']]),
      expect([[1, 150, 'Hal'], [2, 149, 'Ivy'], [3, 145, 'Ann'], [4, 142, 'Ben'], [5, 140, 'Fay'],
        [6, 140, 'Eve'], [7, 138, 'Cal'], [8, 126, 'Gus'], [9, 100, 'Jo'], [10, 95, 'Dee']]),
    ]);
    assert.deepEqual(team, ['Cattle', 'Swine', 'Reasons', 'Overall'].map((category, i) => ({
      caption: `Team Junior ${category}`,
      head: ['Rank', 'Score', 'Team', 'Coach'],
      rows: [['1', ['280', '148', '132', '425'][i], 'Alpha', 'Coach A'], ['2', ['265', '141', '128', '406'][i], 'Beta', '']],
    })));
    assert.deepEqual(main.ctx.dialogs, []);
  });

  const FILLED = { divisions: 1, teams: 4, contestants: 10, 'contestant-counts': 4, 'class-types': 2, classes: 2,
    placings: 20, 'placing-counts': 10 };
  const tableCounts = async (page) => Object.fromEntries(await Promise.all(Object.keys(FILLED).map(
    async (t) => [t, (await rows(page, `#${t}-table`)).length])));

  test('opening the contest again fills the eight tables; cancelling loads nothing', async () => {
    await main.ctx.context.close();
    await main.harness.stop();
    const file = path.join(main.home.desktop, 'Worked Example', 'contest.db');
    main.harness = startHarness({ home: main.home.home, env: { TALLYWELL_OPEN_PATH: file } });
    main.ctx = await openMainPage(browser, { host: main.harness });
    await click(main.ctx.page, '#open-contest-btn');
    assert.equal(await main.ctx.page.textContent('#contest-name'), 'Worked Example');
    assert.deepEqual(await tableCounts(main.ctx.page), FILLED);
    assert.deepEqual(await main.ctx.page.$$eval('#classes-class-type-inp option', (os) => os.map((o) => [o.textContent, o.dataset.number ?? null])),
      [['', null], ['Cattle', '1'], ['Swine', '2']]);

    const cancelling = startHarness({ home: main.home.home });
    const cancelled = await openMainPage(browser, { host: cancelling });
    try {
      await click(cancelled.page, '#open-contest-btn');
      assert.equal(await cancelled.page.textContent('#contest-name'), 'None');
      assert.deepEqual(cancelled.sent, ['1:open_contest:']);
    } finally {
      await cancelled.context.close();
      await cancelling.stop();
    }
  });

  test('once its folder is renamed, a submit says so once for all its names, the page shows none of it, and it opens again', async () => {
    const { page } = main.ctx;
    const folder = path.join(main.home.desktop, 'Worked Example');
    // The contest's name, body rows, options, ranking tables, and the row numbers the forms keep.
    const shown = () => page.evaluate(() => [$('contest-name').textContent,
      ...['main tbody tr', 'main option[data-number]', '.rank-block'].map((s) => document.querySelectorAll(s).length),
      ...Array.from(document.querySelectorAll('input[type="hidden"]'), (i) => i.value).filter((v) => v !== 'none')]);
    await nav(page, 'individual-scores');
    await nav(page, 'rankings');
    await nav(page, 'placings');
    await page.click('#placings-table tbody tr');
    assert.deepEqual(await shown(), ['Worked Example', 121, 7, 8, '20']);
    renameSync(folder, folder + ' moved');
    await nav(page, 'contestants');
    const refused = await outcome(main.ctx, () => saveContestants(page, 'Junior Alpha', 'Ben, Cy, Dee'));
    assert.deepEqual(refused.alerts, ['Error: The contest file was moved, replaced or deleted while it was open, '
      + 'so nothing more is saved to it. Open the contest again.\nNot saved: Ben, Cy, Dee']);
    assert.deepEqual(refused.sent.map((m) => m.name), Array(3).fill('call_save_contestant'));
    assert.deepEqual(await shown(), ['None', 0, 0, 0]);

    renameSync(folder + ' moved', folder);
    await nav(page, 'contest');
    const reopened = await outcome(main.ctx, () => page.click('#open-contest-btn'));
    assert.deepEqual([reopened.alerts, reopened.sent[0].name], [[], 'open_contest']);
    assert.equal(await page.textContent('#contest-name'), 'Worked Example');
    assert.deepEqual(await tableCounts(page), FILLED);
    await nav(page, 'divisions');
    await saveDivision(page, 'Senior', '3');
    assert.deepEqual((await rows(page, '#divisions-table')).map((r) => r[0]), ['Junior', 'Senior']);
  });
});

// ---- Input checks -----------------------------------------------------------------

describe('input checks and record handling', () => {
  const main = mainPageOnHarness(() => browser);

  test('with no contest open saves and deletes say so, and nothing is sent', async () => {
    const { page } = main.ctx;
    await nav(page, 'divisions');
    await page.fill('#division-name-inp', 'Junior');
    await page.$eval('#division-number-inp', (i) => { i.value = '1000'; });
    const r = await outcome(main.ctx, async () => {
      await page.click('#save-division-btn');
      await page.click('#delete-division-btn');
      await nav(page, 'individual-scores');
      await nav(page, 'rankings');
      await nav(page, 'placings');
      await page.click('#refresh-placings-table-btn');
      await typePlacing(page, { classNo: '1', contestant: '1011', placing: '1234' });
    });
    const noContest = 'No contest is open. Open or create a contest first, in the Contest section.';
    assert.deepEqual(r, { alerts: [noContest, noContest, noContest], sent: [] });
    assert.equal(await page.inputValue('#placing-contestant-inp'), '1011', 'the entry stays in the form');
    await nav(page, 'divisions');
    await page.click('#clear-division-btn');
    assert.equal(await page.inputValue('#division-number-inp'), 'none');

    await nav(page, 'contest');
    await page.fill('#contest-name-inp', '   ');
    assert.deepEqual(await outcome(main.ctx, () => page.click('#create-contest-btn')),
      { alerts: ['Enter a contest name.'], sent: [] });
    await createContest(page, 'Checks');
    await page.fill('#contest-name-inp', 'Another');
    const open = 'A contest is already open. To switch contests, close Tallywell Lite and start it again.';
    assert.deepEqual(await outcome(main.ctx, async () => {
      await page.click('#create-contest-btn');
      await page.click('#open-contest-btn');
    }), { alerts: [open, open], sent: [] });
    assert.equal(await page.textContent('#contest-name'), 'Checks');
  });

  test('divisions and teams', async () => {
    const { page } = main.ctx;
    await nav(page, 'divisions');
    await page.fill('#division-name-inp', ' ');
    assert.deepEqual((await outcome(main.ctx, () => page.click('#save-division-btn'))).alerts, ['Enter a division name.']);
    const blank = await outcome(main.ctx, () => saveDivision(page, ' Open ', ''));
    assert.deepEqual(blank.sent[0], { id: blank.sent[0].id, name: 'save_division', args: `none${FS}Open${FS}` });
    await saveDivision(page, 'Senior', '4');
    assert.equal(await page.inputValue('#division-team-size-inp'), '4', 'a save keeps the team size');
    assert.deepEqual(await rows(page, '#divisions-table'), [['Open', '', '1000'], ['Senior', '4', '2000']]);

    assert.deepEqual(await outcome(main.ctx, () => page.click('#delete-division-btn')), { alerts: [], sent: [] });

    await nav(page, 'teams');
    await page.fill('#team-name-inp', 'North');
    assert.deepEqual((await outcome(main.ctx, () => page.click('#save-team-btn'))).alerts, ['Select a division name.']);
    await choose(page, '#team-division-name-inp', 'Open');
    await page.fill('#team-name-inp', '');
    assert.deepEqual((await outcome(main.ctx, () => page.click('#save-team-btn'))).alerts, ['Enter a team name.']);
    // A team in a division without a team size is refused by the database.
    const refused = await outcome(main.ctx, () => saveTeam(page, 'Open', 'Team', 'North'));
    assert.deepEqual(refused.alerts, ['Error: A data consistency check prevented this action.\nNot saved: North']);
    assert.deepEqual(refused.sent.map((m) => m.name), ['save_team', 'fetch_teams'], 'the refresh still runs');
    const group = await outcome(main.ctx, () => saveTeam(page, 'Open', 'Group', 'North', ' Coach N '));
    assert.equal(group.sent[0].args, ['none', '1000', 'Group', 'North', 'Coach N'].join(FS));
    assert.equal(await page.evaluate(() => document.activeElement.id), 'team-name-inp');
    assert.equal(await page.inputValue('#team-type-inp'), 'Group', 'a save keeps the type');

    // A division that still holds a team cannot be deleted.
    await nav(page, 'divisions');
    await page.click('#divisions-body tr:first-child td:nth-child(2)');
    assert.equal(await page.inputValue('#division-number-inp'), '1000');
    assert.equal(await page.inputValue('#division-team-size-inp'), '');
    const del = await outcome(main.ctx, () => page.click('#delete-division-btn'));
    assert.deepEqual(del.alerts, ['Error: A data consistency check prevented this action.']);
    assert.equal(await page.inputValue('#division-number-inp'), 'none');
    assert.equal(await page.inputValue('#division-team-size-inp'), '3', 'the full reset selects 3');
  });

  test('contestants', async () => {
    const { page } = main.ctx;
    await nav(page, 'contestants');
    await page.fill('#contestant-name-inp', 'Amy');
    assert.deepEqual((await outcome(main.ctx, () => page.click('#save-contestant-btn'))).alerts, ['Select a division team name.']);
    await choose(page, '#contestant-division-team-name-inp', 'Open North');
    await page.fill('#contestant-name-inp', ' , ;\n');
    assert.deepEqual((await outcome(main.ctx, () => page.click('#save-contestant-btn'))).alerts, ['Enter a contestant name.']);

    await page.fill('#contestant-name-inp', 'Amy\n\nBea');
    const pasted = await outcome(main.ctx, () => page.press('#contestant-name-inp', 'Enter'));
    assert.deepEqual(pasted.sent.map((m) => [m.name, m.args]), [
      ['call_save_contestant', `none${FS}1010${FS}Amy`], ['call_save_contestant', `none${FS}1010${FS}Bea`],
      ['fetch_contestants', ''], ['fetch_contestant_counts', '']]);
    assert.equal(await page.inputValue('#contestant-name-inp'), '');

    await page.click('#contestants-body tr:has(td:text-is("Amy")) td:nth-child(3)');
    assert.equal(await page.inputValue('#contestant-number-inp'), '1011');
    await page.fill('#contestant-name-inp', 'Cy, Di');
    const multiple = await outcome(main.ctx, () => page.click('#save-contestant-btn'));
    assert.deepEqual(multiple, { alerts: ['Multiple names cannot be used for an update.'], sent: [] });
    assert.equal(await page.inputValue('#contestant-name-inp'), '');
    assert.equal(await page.inputValue('#contestant-number-inp'), 'none');
    assert.ok((await rows(page, '#contestants-table')).some((r) => r[2] === 'Amy' && r[3] === '1011'));

    // A second entry typed ahead while the first one's names still wait for the host is saved
    // after them, and numbered after them.
    const typedAhead = await outcome(main.ctx, () => page.evaluate(() => {
      const names = document.getElementById('contestant-name-inp');
      names.value = 'Cy, Di, Ed';
      document.getElementById('contestants-form').requestSubmit();
      names.value = 'Flo';
      document.getElementById('contestants-form').requestSubmit();
    }));
    assert.deepEqual(typedAhead.sent.filter((m) => m.name === 'call_save_contestant').map((m) => m.args.split(FS)[2]),
      ['Cy', 'Di', 'Ed', 'Flo']);
    assert.deepEqual((await rows(page, '#contestants-table')).slice(0, 4).map((r) => [r[2], r[3]]),
      [['Flo', '1016'], ['Ed', '1015'], ['Di', '1014'], ['Cy', '1013']]);
  });

  test('a contestant row selects its own team when two teams read alike', async () => {
    const { page } = main.ctx;
    await nav(page, 'divisions');
    await saveDivision(page, 'A B', '3');
    await saveDivision(page, 'A', '3');
    await nav(page, 'teams');
    await saveTeam(page, 'A B', 'Group', 'C');
    await saveTeam(page, 'A', 'Group', 'B C');
    await nav(page, 'contestants');
    const options = await page.$$eval('#contestant-division-team-name-inp option', (os) => os.map((o) => [o.textContent, o.dataset.number]));
    assert.deepEqual(options.filter((o) => o[0] === 'A B C').map((o) => o[1]).sort(), ['3010', '4010']);
    await page.selectOption('#contestant-division-team-name-inp', '4010');
    await page.fill('#contestant-name-inp', 'Eli');
    await click(page, '#save-contestant-btn');
    await page.selectOption('#contestant-division-team-name-inp', '3010');
    await page.fill('#contestant-name-inp', 'Fox');
    await click(page, '#save-contestant-btn');
    for (const [name, team] of [['Eli', '4010'], ['Fox', '3010']]) {
      await page.click(`#contestants-body tr:has(td:text-is("${name}")) td:first-child`);
      assert.equal(await page.$eval('#contestant-division-team-name-inp', (s) => s.selectedOptions[0].dataset.number), team, name);
    }
    await page.click('#clear-contestant-btn');
    await settle(page);
  });

  test('classes: placing and cuts checks, warnings', async () => {
    const { page } = main.ctx;
    await nav(page, 'class-types');
    await page.fill('#class-type-name-inp', '');
    assert.deepEqual((await outcome(main.ctx, () => page.click('#save-class-type-btn'))).alerts, ['Enter a class type name.']);
    await saveClassType(page, 'Cattle');

    await nav(page, 'classes');
    await page.fill('#class-name-inp', 'Heifers');
    assert.deepEqual((await outcome(main.ctx, () => page.click('#save-class-btn'))).alerts, ['Select a class type.']);
    await choose(page, '#classes-class-type-inp', 'Cattle');
    await page.fill('#class-name-inp', '');
    assert.deepEqual((await outcome(main.ctx, () => page.click('#save-class-btn'))).alerts, ['Enter a class name.']);

    let n = 0;
    const attempt = async (placing, cuts) => {
      n += 1;
      return outcome(main.ctx, () => saveClass(page, 'Cattle', `Class ${n}`, placing, cuts));
    };
    for (const placing of ['1123', '12345', '0']) {
      assert.deepEqual(await attempt(placing, '253'), { alerts: ['This is not a valid placing.'], sent: [] }, placing);
    }
    for (const cuts of ['105', '12', '1000']) {
      assert.deepEqual(await attempt('1234', cuts), { alerts: ['These are not valid cuts.'], sent: [] }, cuts);
    }
    const good = await attempt('1243 ', '120');
    assert.deepEqual(good.alerts, []);
    assert.equal(good.sent[0].args, ['none', '1', `Class ${n}`, '1243', '120'].join(FS));
    assert.deepEqual((await attempt('2143', '253')).alerts, []);
    assert.equal(await page.evaluate(() => document.activeElement.id), 'class-name-inp');
    assert.equal(await page.inputValue('#classes-class-type-inp'), 'Cattle', 'a save keeps the class type');

    const warned = await attempt('1234', '663');
    assert.deepEqual(warned.alerts, ['The sum of these cuts is 15 and the middle cut is greater than 5.']);
    assert.equal(warned.sent[0].name, 'save_class', 'a warning does not stop the save');
    assert.deepEqual((await attempt('1234', '555')).alerts, []);
    assert.deepEqual((await attempt('1234', '194')).alerts, ['The sum of these cuts is 14 and the middle cut is greater than 8.']);
    assert.deepEqual((await attempt('1234', '996')).alerts, ['The sum of these cuts is greater than 15.']);
    assert.deepEqual((await attempt('', '')).alerts, []);
    assert.equal((await rows(page, '#classes-table')).length, 7);
  });

  test('placings: checks, resets and what is sent', async () => {
    const { page } = main.ctx;
    await nav(page, 'placings');
    const save = (fields) => outcome(main.ctx, () => typePlacing(page, fields));

    assert.deepEqual(await save({ classNo: '', contestant: '1011', placing: '1234' }),
      { alerts: ['Enter a class number.'], sent: [] });
    assert.deepEqual(await save({ classNo: '1', contestant: ' ', placing: '1234' }),
      { alerts: ['Enter a contestant number.'], sent: [] });
    assert.deepEqual(await save({ contestant: '1011', placing: '1233' }),
      { alerts: ['This is not a valid placing.'], sent: [] });
    for (const reasons of ['51', '05', '-1', '7.5']) {
      assert.deepEqual(await save({ contestant: '1011', placing: '1234', reasons }),
        { alerts: ['This is not a valid reasons score.'], sent: [] }, reasons);
    }
    assert.deepEqual(await save({ contestant: '1011' }),
      { alerts: ['Enter a placing and/or reasons score.'], sent: [] });

    const zero = await save({ contestant: '1011', placing: '0' });
    assert.deepEqual(zero.alerts, []);
    assert.deepEqual(zero.sent.map((m) => m.name), ['save_placing', 'fetch_placings', 'fetch_placing_counts']);
    assert.equal(zero.sent[0].args, `none${FS}1${FS}1011${FS}0${FS}`);
    assert.equal(await page.inputValue('#placing-class-inp'), '1', 'the class number stays');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'placing-contestant-inp');

    assert.deepEqual((await save({ contestant: '1012', placing: '1234', reasons: '50' })).alerts, []);
    const reasonsOnly = await save({ contestant: '1011', reasons: '45' });
    assert.deepEqual(reasonsOnly.alerts, []);
    assert.equal(reasonsOnly.sent[0].args, `none${FS}1${FS}1011${FS}${FS}45`);
    const noPlacing = await save({ contestant: '1012', reasons: '3', classNo: '2' });
    assert.deepEqual(noPlacing.alerts,
      ['Error: A data consistency check prevented this action.\nNot saved: Class No. 2, Cont. No. 1012, Reasons 3']);
    // The form is cleared for the next entry at once: a refused one is named in the message.
    const noContestant = await save({ classNo: '1', contestant: '1099', placing: '1234' });
    assert.deepEqual(noContestant.alerts,
      ['Error: A data consistency check prevented this action.\nNot saved: Class No. 1, Cont. No. 1099, Placing 1234']);

    await page.click('#placings-body tr:has(td:text-is("1011")) td:nth-child(3)');
    const id = await page.inputValue('#placing-number-inp');
    assert.notEqual(id, 'none');
    assert.deepEqual(await Promise.all(['class', 'contestant', 'placing', 'reasons'].map((f) => page.inputValue(`#placing-${f}-inp`))),
      ['1', '1011', '0', '45']);
    await page.fill('#placing-placing-inp', '');
    assert.deepEqual((await outcome(main.ctx, () => page.press('#placing-reasons-inp', 'Enter'))).alerts, ['Enter a placing.']);

    await page.click('#placings-body tr:has(td:text-is("1011")) td:nth-child(1)');
    const removed = await outcome(main.ctx, () => page.click('#delete-placing-btn'));
    assert.deepEqual(removed.sent.map((m) => [m.name, m.args]), [['delete_placing', id], ['fetch_placings', ''], ['fetch_placing_counts', '']]);
    assert.equal(await page.inputValue('#placing-class-inp'), '', 'the full reset empties the class number');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'placing-class-inp');
  });

  test('individual scores sort by numbers, with empty scores first', async () => {
    const { page } = main.ctx;
    await nav(page, 'placings');
    await typePlacing(page, { classNo: '7', contestant: '1011', placing: '1234' }); // a class without cuts
    await typePlacing(page, { classNo: '2', contestant: '1011', placing: '2143' }); // scores 50, no reasons
    await nav(page, 'individual-scores');
    const column = async (n) => (await rows(page, '#indiv-scores-table')).map((r) => r[n]);
    await page.dispatchEvent('#indiv-scores-table th:nth-child(8)', 'pointerdown');
    assert.deepEqual(await column(7), ['', '50', '100']);
    await page.dispatchEvent('#indiv-scores-table th:nth-child(8)', 'pointerdown');
    assert.deepEqual(await column(7), ['100', '50', '']);
    await page.dispatchEvent('#indiv-scores-table th:nth-child(1)', 'pointerdown');
    assert.deepEqual(await column(0), ['Amy', 'Amy', 'Bea']);
  });

  test('names holding markup are shown and copied back as typed', async () => {
    const { page, dialogs } = main.ctx;
    const name = '<img src=x onerror="alert(1)"> & <b>Co</b>';
    await nav(page, 'divisions');
    await saveDivision(page, name, '3');
    await nav(page, 'teams');
    await saveTeam(page, name, 'Group', '<i>T</i>', '&amp;');
    await nav(page, 'contestants');
    await saveContestants(page, `${name} <i>T</i>`, '<script>alert(2)</script>');
    await page.click('#contestants-body tr:first-child td:first-child');
    assert.deepEqual((await rows(page, '#contestants-table'))[0].slice(0, 3), [name, '<i>T</i>', '<script>alert(2)</script>']);
    assert.equal(await page.inputValue('#contestant-name-inp'), '<script>alert(2)</script>');
    await nav(page, 'teams');
    await page.click('#teams-body tr:first-child td:first-child');
    assert.deepEqual(await Promise.all(['#team-division-name-inp', '#team-name-inp', '#team-coach-name-inp'].map((s) => page.inputValue(s))),
      [name, '<i>T</i>', '&amp;']);
    assert.equal(await page.$$eval('#divisions-body img, #teams-body b, #contestants-body script', (e) => e.length), 0);
    assert.deepEqual(dialogs.filter((d) => /^[12]$/.test(d)), []);
  });
});

// ---- Rankings display, sorter, Wi-Fi ----------------------------------------------

describe('rankings display', () => {
  const row = (division, category, rank, name, team = 'T') => [division, category, String(rank), String(100 - rank), name, team];
  const indiv = [
    ...Array.from({ length: 10 }, (_, i) => row('None', 'Overall', i < 9 ? i + 1 : 10, `P${i}`)),
    row('None', 'Overall', 10, 'Tied A'), row('None', 'Overall', 10, 'Tied B'), row('None', 'Overall', 13, 'Lower'),
    row('Senior', 'Reasons', 1, '<b>S1</b>'), row('Senior', 'Reasons', 11, 'S11'),
  ].flat().join(FS);
  const team = row('Senior', 'Overall', 12, 'Team X').join(FS);
  let indivAnswer = indiv;
  let teamAnswer = team;  // undefined: held until the test delivers it
  let ctx;
  before(async () => {
    ctx = await openMainPage(browser, {
      intercept: (m) => (parse(m).name === 'fetch_team_rankings' ? teamAnswer
        : { open_contest: 'Display', fetch_indiv_rankings: indivAnswer }[parse(m).name] ?? ''),
    });
    await click(ctx.page, '#open-contest-btn');
  });
  after(async () => { await ctx.context.close(); });

  test('ranks above 10 are hidden until shown, and hidden again on rebuild', async () => {
    const { page } = ctx;
    const visible = () => page.$$eval('#rankings tbody tr', (trs) => trs.filter((t) => getComputedStyle(t).display !== 'none').map((t) => t.cells[2].textContent));
    await nav(page, 'rankings');
    assert.deepEqual(await page.$$eval('#rankings caption', (cs) => cs.map((c) => c.textContent)),
      ['Individual Overall', 'Individual Senior Reasons', 'Team Senior Overall']);
    const top = [...Array.from({ length: 10 }, (_, i) => `P${i}`), 'Tied A', 'Tied B'];
    assert.deepEqual(await visible(), [...top, '<b>S1</b>']);
    await page.click('#rankings-show-hide-btn');
    assert.deepEqual(await visible(), [...top, 'Lower', '<b>S1</b>', 'S11', 'Team X']);
    await nav(page, 'rankings');
    assert.deepEqual(await visible(), [...top, '<b>S1</b>']);
  });

  test('Show/Hide clicked while the rankings load turns every table, near or far, to one state', async () => {
    const { page } = ctx;
    // Eight tables of each kind with 140 lower scores each: most are out of view and change a
    // batch of rows at a time.
    const many = (p) => Array.from({ length: 1200 },
      (_, i) => row(`D${Math.floor(i / 150)}`, 'Overall', (i % 150) + 1, `${p}${i}`)).flat().join(FS);
    const states = async () => {
      await page.waitForFunction(() => lowerScoresToDo.size === 0);
      return page.$$eval('#rankings table', (ts) => ts.map((t) => t.querySelectorAll('tr.lower-score.hidden').length)
        .map((n) => (n === 0 ? 'shown' : n === 140 ? 'hidden' : 'mixed')));
    };
    [indivAnswer, teamAnswer] = [many('P'), undefined];
    await page.click('nav a[data-page="rankings"]');
    await page.waitForFunction(() => document.querySelectorAll('#indiv-rankings table').length === 8);
    await page.click('#rankings-show-hide-btn');
    ctx.deliver(`${parse(ctx.sent.at(-1)).id}:${many('T')}`);  // the team rankings, held until now
    await settle(page);
    assert.deepEqual(await states(), Array(16).fill('shown'));
    await page.click('#rankings-show-hide-btn');
    assert.deepEqual(await states(), Array(16).fill('hidden'));
    [indivAnswer, teamAnswer] = [indiv, team];
  });

  test('in print a heading stays with its table, and a table longer than a page comes in parts with the header row', async () => {
    const { page } = ctx;
    const long = Array.from({ length: 45 }, (_, i) => `L${i + 1}${i >= 12 && i < 24 ? ' of a name long enough to widen its column' : ''}`);
    // Row 30 holds a name and a team each wider than half the page.
    long[29] = 'Bartholomew Quartermain-Fitzwilliam of the Lower Bramwell Valley Cattle and Sheep Breeders';
    const team = 'Upper Bramwell Valley Young Farmers Club Livestock Judging Team Number Two South';
    indivAnswer = [...long.map((name, i) => row('Senior', 'Overall', i + 1, name, i === 29 ? team : 'T')),
      row('Senior', 'Reasons', 1, 'R1')].flat().join(FS);
    await nav(page, 'rankings');
    await page.click('#rankings-show-hide-btn');
    await page.evaluate(() => dispatchEvent(new Event('beforeprint')));
    await page.emulateMedia({ media: 'print' });
    try {
      // Each printed table, with the box that a page break may not cut: the table, or its block.
      const printed = await page.$$eval('#indiv-rankings table', (tables) => tables.filter((t) => t.getClientRects().length).map((t) => ({
        caption: t.caption?.textContent ?? null,
        head: Array.from(t.tHead.rows[0].cells, (c) => c.textContent),
        rows: Array.from(t.tBodies[0].rows, (r) => r.cells[2].textContent),
        unbroken: getComputedStyle(t.closest('.print-parts') ? t : t.closest('.rank-block')).breakInside,
        rowsUnbroken: getComputedStyle(t.tBodies[0].rows[0]).breakInside,
      })));
      const head = ['Rank', 'Score', 'Contestant', 'Team'];
      const whole = { unbroken: 'avoid', rowsUnbroken: 'avoid', head };
      assert.deepEqual(printed, [
        { caption: 'Individual Senior Overall', rows: long.slice(0, 12), ...whole },
        { caption: null, rows: long.slice(12, 24), ...whole },
        { caption: null, rows: long.slice(24, 36), ...whole },
        { caption: null, rows: long.slice(36), ...whole },
        { caption: 'Individual Senior Reasons', rows: ['R1'], ...whole },
      ]);
      // Each part has the columns of the whole table and shows every text whole, wrapped only where
      // it must be (the short texts on one line), and fits the page; a narrower page narrows all alike.
      const parts = () => page.$$eval('#indiv-rankings .print-parts > table', (ts) => {
        const line = Math.min(...ts.flatMap((t) => Array.from(t.tBodies[0].rows, (r) => r.offsetHeight)));
        return ts.map((t) => ({
          fits: t.offsetWidth <= t.parentNode.clientWidth && (t.tFoot?.offsetHeight ?? 0) === 0,
          widths: Array.from(t.tHead.rows[0].cells, (c) => c.offsetWidth),
          clipped: Array.from(t.tBodies[0].querySelectorAll('td')).filter((c) => c.scrollWidth > c.clientWidth || c.scrollHeight > c.clientHeight).length,
          wrapped: Array.from(t.tBodies[0].rows).filter((r) => r.offsetHeight > line * 1.5).map((r) => r.cells[2].textContent),
        }));
      });
      const wide = await parts();
      const shown = { fits: true, widths: wide[0].widths, clipped: 0 };
      assert.deepEqual(wide, [[], [], [long[29]], []].map((wrapped) => ({ ...shown, wrapped })));
      await page.setViewportSize({ width: 480, height: 800 });
      const narrow = (await parts()).map(({ wrapped, ...part }) => part);
      assert.deepEqual(narrow, Array(4).fill({ ...shown, widths: narrow[0].widths }));
    } finally {
      await page.emulateMedia({ media: 'screen' });
      await page.setViewportSize({ width: 1280, height: 800 });
      await page.evaluate(() => dispatchEvent(new Event('afterprint')));
      indivAnswer = indiv;
    }
    assert.equal(await page.$$eval('#rankings tbody tr', (trs) => trs.filter((t) => t.getClientRects().length).length), 47,
      'after printing the screen shows the tables as before');
  });
});

describe('table sorter', () => {
  let ctx;
  before(async () => { ctx = await openMainPage(browser, { intercept: () => '' }); });
  after(async () => { await ctx.context.close(); });

  // Builds a sortable table of one column (plus a row label), sets it up, presses its
  // value header as many times as asked and answers the row labels after each press.
  const pressOrder = (values, presses = 1, setUpEmpty = false) => ctx.page.evaluate(([vals, n, empty]) => {
    const table = document.createElement('table');
    table.setAttribute('data-sortable', '');
    table.innerHTML = '<thead><tr><th>Value</th><th>Label</th></tr></thead><tbody></tbody>';
    document.querySelector('#about').append(table);
    const fill = () => vals.forEach((v, i) => {
      const tr = table.tBodies[0].insertRow();
      tr.insertCell().textContent = v;
      tr.insertCell().textContent = `r${i}`;
    });
    if (!empty) fill();
    Sortable.reinitialize(table);
    if (empty) fill();
    const orders = [];
    for (let k = 0; k < n; k++) {
      table.tHead.rows[0].cells[0].dispatchEvent(new PointerEvent('pointerdown', { bubbles: true }));
      orders.push(Array.from(table.tBodies[0].rows, (r) => r.cells[0].textContent));
    }
    const th = table.tHead.rows[0].cells[0];
    const marks = [th.dataset.sorted, th.dataset.sortedDirection];
    Sortable.reinitialize(table);
    table.remove();
    return { orders, marks, afterReinit: [th.dataset.sorted ?? null, th.dataset.sortedDirection ?? null] };
  }, [values, presses, setUpEmpty]);

  test('numbers sort by value; texts that are not numbers come first', async () => {
    assert.deepEqual((await pressOrder(['100', '9', '10'])).orders, [['9', '10', '100']]);
    assert.deepEqual((await pressOrder(['1,234.50', 'N/A', '45%', '-7', '', '$12'])).orders,
      [['N/A', '', '-7', '$12', '45%', '1,234.50']]);
  });

  test('a column typed by a first name sorts as text; dates sort by date', async () => {
    assert.deepEqual((await pressOrder(['Zed', '10', '9', 'amy'])).orders, [['10', '9', 'amy', 'Zed']]);
    assert.deepEqual((await pressOrder(['2024-05-01', '2023-12-31', '2024-01-15'])).orders,
      [['2023-12-31', '2024-01-15', '2024-05-01']]);
    assert.deepEqual((await pressOrder(['1/2/2024 10:30', '12/31/2023', '1/15/2024'])).orders,
      [['12/31/2023', '1/2/2024 10:30', '1/15/2024']]);
    // Names that the engine's date parser would also take for dates are text.
    assert.deepEqual((await pressOrder(['Junior 1', 'Class 10', 'Class 2', 'Class 1'])).orders,
      [['Class 1', 'Class 10', 'Class 2', 'Junior 1']]);
  });

  test('further presses reverse the rows exactly; equal values keep their order first', async () => {
    const result = await ctx.page.evaluate(() => {
      const table = document.createElement('table');
      table.setAttribute('data-sortable', '');
      table.innerHTML = '<thead><tr><th>Score</th><th>Name</th></tr></thead><tbody>'
        + [['5', 'a'], ['3', 'b'], ['5', 'c'], ['3', 'd']].map(([s, n]) => `<tr><td>${s}</td><td>${n}</td></tr>`).join('')
        + '</tbody>';
      document.querySelector('#about').append(table);
      Sortable.reinitialize(table);
      const names = () => Array.from(table.tBodies[0].rows, (r) => r.cells[1].textContent).join('');
      const th = table.tHead.rows[0].cells[0];
      const out = [];
      for (let k = 0; k < 3; k++) {
        th.dispatchEvent(new PointerEvent('pointerdown', { bubbles: true }));
        out.push([names(), th.dataset.sortedDirection]);
      }
      table.tHead.rows[0].cells[1].dispatchEvent(new PointerEvent('pointerdown', { bubbles: true }));
      out.push([names(), th.dataset.sorted ?? 'unmarked']);
      table.remove();
      return out;
    });
    assert.deepEqual(result, [['bdac', 'ascending'], ['cadb', 'descending'], ['bdac', 'ascending'], ['abcd', 'unmarked']]);
  });

  test('a table set up while empty is typed afresh by reinitialize, which clears the marks', async () => {
    const early = await pressOrder(['100', '9', '10'], 1, true);
    assert.deepEqual(early.orders, [['10', '100', '9']], 'typed as text while empty');
    const later = await pressOrder(['100', '9', '10'], 2);
    assert.deepEqual(later.marks, ['true', 'descending']);
    assert.deepEqual(later.afterReinit, [null, null]);
  });
});

describe('Wi-Fi', () => {
  const svg = '<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE svg PUBLIC "-//W3C//DTD SVG 1.1//EN" "http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd">\n'
    + '<svg xmlns="http://www.w3.org/2000/svg" version="1.1" viewBox="0 0 29 29" stroke="none">\n\t<rect width="100%" height="100%" fill="#FFFFFF"/>\n\t<path d="M4,4h1v1h-1z" fill="#000000"/>\n</svg>\n';
  const addresses = ['Placing Card: http://10.0.0.7:56780/placing', svg, 'Reasons Card: http://10.0.0.7:56780/reasons', svg].join(FS);

  test('shows both links with their drawings, and clears them when there is no address', async () => {
    let answer = addresses;
    const ctx = await openMainPage(browser, { intercept: (m) => (parse(m).name === 'fetch_wifi_addresses' ? answer : '') });
    try {
      const { page } = ctx;
      await nav(page, 'wifi');
      await click(page, '#wifi-address-btn');
      const blocks = () => page.$$eval('#wifi-addresses > div', (ds) => ds.map((d) => ({
        text: d.querySelector('p')?.textContent ?? null,
        svg: d.querySelector('svg') ? Math.round(d.querySelector('svg').getBoundingClientRect().width) : null,
      })));
      assert.deepEqual(await blocks(), [
        { text: 'Placing Card: http://10.0.0.7:56780/placing', svg: 328 },
        { text: 'Reasons Card: http://10.0.0.7:56780/reasons', svg: 328 }]);
      answer = '';
      await click(page, '#wifi-address-btn');
      assert.deepEqual(await blocks(), [{ text: null, svg: null }, { text: null, svg: null }]);
      assert.deepEqual(ctx.dialogs, []);
    } finally {
      await ctx.context.close();
    }
  });

  test('works with no contest open, against the host', async () => {
    const home = makeHome();
    const harness = startHarness({ home: home.home });
    const ctx = await openMainPage(browser, { host: harness });
    try {
      const { page } = ctx;
      let reply = null;
      harness.onReply((t) => { reply = t.slice(t.indexOf(':') + 1); });
      await nav(page, 'wifi');
      await click(page, '#wifi-address-btn');
      assert.deepEqual(ctx.sent, ['1:fetch_wifi_addresses:']);
      const shown = await page.$$eval('#wifi-addresses p', (ps) => ps.map((p) => p.textContent));
      if (reply === '' || reply.startsWith('ERROR:')) {
        assert.deepEqual(shown, [], `answer: ${reply}`);
      } else {
        const fields = reply.split(FS);
        assert.deepEqual(shown, [fields[0], fields[2]]);
        assert.match(fields[0], /^Placing Card: http:\/\/[\d.]+:56780\/placing$/);
        assert.equal(await page.$$eval('#wifi-addresses svg', (s) => s.length), 2);
      }
      assert.deepEqual(ctx.dialogs, []);
    } finally {
      await ctx.context.close();
      await harness.stop();
      home.remove();
    }
  });
});

// ---- Failed refreshes ---------------------------------------------------------------

describe('a refresh whose fetch fails', () => {
  const main = mainPageOnHarness(() => browser);

  test('says why once, as a failed save does, and the refreshers after it do not run', async () => {
    const { page } = main.ctx;
    await createContest(page, 'Broken');
    // Another program takes a table away from the open contest: every fetch that reads it fails.
    const file = path.join(main.home.desktop, 'Broken', 'contest.db');
    execFileSync('sqlite3', ['-cmd', '.timeout 5000', file, 'DROP TABLE placings;']);
    const failure = 'Error: Database problem. Restart the application if the problem persists.';
    const names = (o) => ({ alerts: o.alerts, sent: o.sent.map((m) => m.name) });

    await nav(page, 'placings');
    assert.deepEqual(names(await outcome(main.ctx, () => page.click('#refresh-placings-table-btn'))),
      { alerts: [failure], sent: ['fetch_placings'] });
    assert.deepEqual(names(await outcome(main.ctx, () => page.click('nav a[data-page="rankings"]'))),
      { alerts: [failure], sent: ['fetch_indiv_rankings'] });
    assert.deepEqual(names(await outcome(main.ctx, () => page.click('nav a[data-page="individual-scores"]'))),
      { alerts: [failure], sent: ['fetch_indiv_scores'] });
  });
});

// The main page's frame: request bridge, navigation, help, zoom warning, print rules.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { launchBrowser } from './lib/harness.mjs';
import { FS, createContest, mainPageOnHarness, nav, openMainPage, parse, settle } from './lib/main_page.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

describe('request bridge against the harness', () => {
  const main = mainPageOnHarness(() => browser);

  test('ids count from 1 and both colons are always written', async () => {
    const { page, sent } = main.ctx;
    await page.click('#open-contest-btn'); // the dialog stand-in answers "None": cancelled
    await settle(page);
    await createContest(page, 'Bridge one');
    assert.equal(await page.textContent('#contest-name'), 'Bridge one');
    assert.deepEqual(sent.slice(0, 2), ['1:open_contest:', '2:create_contest:Bridge one']);
  });

  test('an unknown operation rejects with the text after "ERROR:"', async () => {
    const message = await main.ctx.page.evaluate(() => sendRequest('no_such_operation', 'a:b')
      .then(() => 'resolved', (e) => e.message));
    assert.equal(message, 'Unknown function.');
    assert.match(main.ctx.sent.at(-1), /^\d+:no_such_operation:a:b$/);
  });
});

describe('request bridge with a scripted host', () => {
  const replies = {
    colons: `a:b${FS}c:${FS}:`,
    empty: '',
    failure: 'ERROR:Bad: input',
    bare_failure: 'ERROR:',
    almost_failure: 'error:not one',
  };
  let ctx;
  before(async () => {
    ctx = await openMainPage(browser, { intercept: (m) => replies[parse(m).name] ?? '' });
  });
  after(async () => { await ctx.context.close(); });

  test('results reach their promise whole, failures reject with their message', async () => {
    const outcomes = await ctx.page.evaluate(async (names) => {
      const out = {};
      await Promise.all(names.map((n) => sendRequest(n).then(
        (r) => { out[n] = ['resolved', r]; },
        (e) => { out[n] = ['rejected', e.message]; })));
      return out;
    }, Object.keys(replies));
    assert.deepEqual(outcomes, {
      colons: ['resolved', `a:b${FS}c:${FS}:`],
      empty: ['resolved', ''],
      failure: ['rejected', 'Bad: input'],
      bare_failure: ['rejected', ''],
      almost_failure: ['resolved', 'error:not one'],
    });
  });

  test('a reply under an id nobody waits for is ignored', async () => {
    const { page, deliver, errors } = ctx;
    const pendingBefore = await page.evaluate(() => pendingCalls.size);
    deliver('999999:stray');
    deliver('no colon at all');
    await page.evaluate(() => new Promise((r) => setTimeout(r, 50)));
    assert.equal(await page.evaluate(() => pendingCalls.size), pendingBefore);
    assert.deepEqual(errors, []);
  });

  test('every bridge method sends its own name, with or without arguments', async () => {
    const { page, sent } = ctx;
    const withArgs = ['create_contest', 'save_division', 'delete_division', 'save_team',
      'delete_team', 'call_save_contestant', 'delete_contestant', 'save_class_type',
      'delete_class_type', 'save_class', 'delete_class', 'save_placing', 'delete_placing'];
    const mark = sent.length;
    const names = await page.evaluate(async () => {
      for (const name of Object.keys(hostBridge)) await hostBridge[name](`x${name}`);
      return Object.keys(hostBridge);
    });
    assert.equal(names.length, 26);
    assert.deepEqual(sent.slice(mark).map(parse), names.map((name, i) => ({
      id: String(Number(parse(sent[mark]).id) + i),
      name,
      args: withArgs.includes(name) ? `x${name}` : '',
    })));
    assert.ok(['open_contest', 'fetch_wifi_addresses', 'fetch_indiv_scores', 'fetch_team_rankings']
      .every((n) => names.includes(n)));
  });
});

describe('frame', () => {
  let ctx;
  const rankings = [
    ['Junior', 'Overall', '1', '90', 'Ann', 'North'],
    ['Junior', 'Overall', '11', '10', 'Bob', 'North'],
  ].flat().join(FS);
  before(async () => {
    ctx = await openMainPage(browser, {
      intercept: (m) => {
        const { name } = parse(m);
        if (name === 'fetch_indiv_rankings') return rankings;
        if (name === 'fetch_placings') {
          return Array.from({ length: 2500 }, (_, i) => [i + 1, 1, 1011 + i, '1234', '']).flat().join(FS);
        }
        const cows = ['Open', 'Team 🐄 North', 'Cy', '1012', 'Open', '🐄🐄 South', 'Di', '1013'];
        if (name === 'fetch_contestants') return ['Open', 'North', 'İlker Öztürk', '1011', ...cows].join(FS);
        if (name === 'open_contest') return 'Frame';
        return '';
      },
    });
    await ctx.page.click('#open-contest-btn');
    await settle(ctx.page);
  });
  after(async () => { await ctx.context.close(); });

  test('each link shows its section and focuses its first field', async () => {
    const { page } = ctx;
    const expected = {
      contest: 'contest-name-inp', divisions: 'division-name-inp', teams: 'team-division-name-inp',
      contestants: 'contestant-division-team-name-inp', 'class-types': 'class-type-name-inp',
      classes: 'classes-class-type-inp', placings: 'placing-class-inp', wifi: '',
      'individual-scores': '', rankings: '', about: '',
    };
    for (const [section, focused] of Object.entries(expected)) {
      await nav(page, section);
      const state = await page.evaluate(() => ({
        active: Array.from(document.querySelectorAll('main > section.active'), (s) => s.id),
        focused: document.activeElement === document.body ? '' : document.activeElement.id,
        heading: document.querySelector('main > section.active h1').textContent,
      }));
      assert.deepEqual(state.active, [section]);
      assert.equal(state.focused, focused, section);
      assert.equal(state.heading, await page.textContent(`nav a[data-page="${section}"]`));
    }
    assert.deepEqual(await page.$$eval('#about p', (ps) => ps.map((p) => p.textContent)),
      ['Tallywell Lite', 'Version: 1.2.1']);
  });

  test('the rankings link loads the individual rankings, then the team rankings', async () => {
    const { page, sent } = ctx;
    const mark = sent.length;
    await nav(page, 'rankings');
    assert.deepEqual(sent.slice(mark).map((m) => parse(m).name), ['fetch_indiv_rankings', 'fetch_team_rankings']);
    const ids = sent.slice(mark).map((m) => Number(parse(m).id));
    assert.equal(ids[1], ids[0] + 1);
  });

  test('help blocks start hidden and toggle one by one', async () => {
    const { page } = ctx;
    await nav(page, 'divisions');
    const hidden = () => page.$$eval('.help-toggle', (bs) => bs.map((b) => document.getElementById(b.dataset.target).classList.contains('hidden')));
    assert.deepEqual(await hidden(), Array(8).fill(true));
    await page.click('#divisions .help-toggle');
    assert.deepEqual(await hidden(), [true, false, true, true, true, true, true, true]);
    await page.click('#divisions .help-toggle');
    assert.deepEqual(await hidden(), Array(8).fill(true));
  });

  test('a long table displays the rows at its scroll position, also after a sort', async () => {
    const { page } = ctx;
    await nav(page, 'placings');
    // The contestant number of the row drawn just below the sticky header.
    const topRow = () => page.evaluate(() => {
      const container = document.querySelector('#placings-table').closest('.table-container');
      const box = container.getBoundingClientRect();
      const head = document.querySelector('#placings-table thead th').getBoundingClientRect();
      const cell = document.elementFromPoint(box.left + 20, head.bottom + 4).closest('tr');
      return Number(cell.cells[1].textContent);
    });
    const scrollTo = async (fraction) => {
      await page.$eval('#placings-table', (t, f) => {
        const c = t.closest('.table-container');
        c.scrollTop = f * (c.scrollHeight - c.clientHeight);
      }, fraction);
      await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
    };
    await scrollTo(0.5);
    const middle = await topRow();
    assert.ok(Math.abs(middle - (1011 + 1245)) < 20, `row at the middle: ${middle}`);
    await scrollTo(1);
    assert.ok(await topRow() > 1011 + 2480, 'the last rows are reachable');
    await page.dispatchEvent('#placings-table thead th:nth-child(2)', 'pointerdown');
    await page.dispatchEvent('#placings-table thead th:nth-child(2)', 'pointerdown');
    await scrollTo(0);
    assert.equal(await topRow(), 1011 + 2499, 'descending: the highest number on top');
  });

  test('find reaches every row of a long table, and select-all with copy takes them all', async () => {
    const { page, context } = ctx;
    await nav(page, 'placings');
    await page.$eval('#placings-table', (t) => { t.closest('.table-container').scrollTop = 0; });
    // Contestant 3410 stands in row 2,400, far below the rows displayed.
    const find = (text, backwards = false, again = false) => page.evaluate(([t, b, a]) => {
      const found = findInPage(t, b, a);
      const row = getSelection().anchorNode?.parentNode.closest('tr');
      const box = row?.closest('.table-container').getBoundingClientRect();
      const rowBox = row?.getBoundingClientRect();
      return {
        found,
        selected: String(getSelection()),
        shown: Boolean(row && getComputedStyle(row).display !== 'none' && rowBox.top >= box.top && rowBox.bottom <= box.bottom),
      };
    }, [text, backwards, again]);
    assert.deepEqual(await find('3410'), { found: true, selected: '3410', shown: true });
    assert.deepEqual(await find('3410', false, true), { found: true, selected: '3410', shown: true }, 'one match wraps onto itself');
    assert.deepEqual(await find('1012', true), { found: true, selected: '1012', shown: true }, 'backwards from the bottom');
    assert.equal((await find('no such text')).found, false);
    assert.equal((await find('1.34')).found, false, 'the query is text, not a pattern');
    assert.equal((await find('1'.repeat(200000))).found, false, 'longer than any text, and than V8 compiles');
    // Lower case is longer than the text itself here ("İ" becomes two characters).
    await nav(page, 'contestants');
    assert.deepEqual(await find('Öztürk'), { found: true, selected: 'Öztürk', shown: true });
    assert.deepEqual(await find('öZTÜRK', true, true), { found: true, selected: 'Öztürk', shown: true });
    assert.equal((await find('(')).selected, '(', 'in "Contestant Name(s)"');
    // A match that starts with two UTF-16 units: each step goes on by the whole character.
    const cowAt = async (backwards) => {
      await find('🐄', backwards, true);
      return page.evaluate(() => { const r = getSelection().getRangeAt(0); return `${r.startContainer.data}@${r.startOffset}`; });
    };
    assert.deepEqual([await cowAt(), await cowAt(), await cowAt()], ['Team 🐄 North@5', '🐄🐄 South@0', '🐄🐄 South@2']);
    assert.deepEqual([await cowAt(true), await cowAt(true), await cowAt(true)], ['🐄🐄 South@0', 'Team 🐄 North@5', '🐄🐄 South@2']);
    await nav(page, 'placings');

    await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: 'http://127.0.0.1' });
    await page.click('#placings h1');
    await page.keyboard.press('Control+A');
    await page.keyboard.press('Control+C');
    const lines = (await page.evaluate(() => navigator.clipboard.readText())).split('\n');
    assert.ok(lines.includes(['Class No.', 'Cont. No.', 'Placing', 'Reasons'].join('\t')));
    const rowLines = lines.filter((l) => /^1\t\d+\t1234\t$/.test(l));
    assert.deepEqual(rowLines.sort(), Array.from({ length: 2500 }, (_, i) => `1\t${1011 + i}\t1234\t`));
    assert.ok(lines.includes('Placings') && lines.includes('Show/Hide Help'), 'the text around the table stays');
  });

  test('a copy that starts or ends inside a row of a long table takes every selected row', async () => {
    const { page, context } = ctx;
    await nav(page, 'placings');
    await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: 'http://127.0.0.1' });
    // From the second cell of the first row to the given point of the last row, copied with
    // the table scrolled to the given end.
    const copyFrom = async (scrolled, endCell, endOffset) => {
      await page.$eval('#placings-table', (t, bottom) => {
        const c = t.closest('.table-container');
        c.scrollTop = bottom ? c.scrollHeight : 0;
      }, scrolled === 'bottom');
      await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
      await page.evaluate(([cell, offset]) => {
        const rows = document.querySelector('#placings-body').rows;
        const range = document.createRange();
        range.setStart(rows[0].cells[1].firstChild, 0);
        range.setEnd(rows[rows.length - 1].cells[cell].firstChild, offset);
        getSelection().removeAllRanges();
        getSelection().addRange(range);
      }, [endCell, endOffset]);
      await page.keyboard.press('Control+C');
      return (await page.evaluate(() => navigator.clipboard.readText())).split('\n');
    };
    const cells = await page.$$eval('#placings-body tr', (trs) => trs.map((tr) => Array.from(tr.cells, (c) => c.textContent)));
    assert.equal(cells.length, 2500);
    const [first, last] = [cells[0], cells[2499]];
    const between = cells.slice(1, -1).map((row) => row.join('\t'));
    assert.deepEqual(await copyFrom('top', 3, 0), [first.slice(1).join('\t'), ...between, last.join('\t')]);
    assert.deepEqual(await copyFrom('bottom', 1, 2), [first.slice(1).join('\t'), ...between, `${last[0]}\t${last[1].slice(0, 2)}`]);
  });

  test('print media hides the controls and shows long tables whole', async () => {
    const { page } = ctx;
    await nav(page, 'rankings');
    await page.emulateMedia({ media: 'print' });
    try {
      const shown = (sel) => page.$$eval(sel, (els) => els.map((e) => getComputedStyle(e).display !== 'none'));
      assert.deepEqual(await shown('nav'), [false]);
      assert.deepEqual(await shown('#rankings-show-hide-btn'), [false]);
      assert.deepEqual(await shown('#tiebreaking p'), [true, true, true, false]);
      assert.deepEqual(await shown('.input-group, .help, .no-print').then((a) => a.includes(true)), false);
      assert.deepEqual(await shown('main > section'), Array.from({ length: 11 }, (_, i) => i === 9));
      assert.deepEqual(await shown('#indiv-rankings tbody tr'), [true, false], 'lower scores stay hidden');

      await page.emulateMedia({ media: 'screen' });
      await nav(page, 'placings');
      const onScreen = await page.$$eval('#placings-body tr', (trs) => trs.filter((t) => getComputedStyle(t).display !== 'none').length);
      assert.ok(onScreen < 200, `only the rows in view are displayed on screen (${onScreen})`);
      await page.emulateMedia({ media: 'print' });
      const printed = await page.evaluate(() => {
        const container = document.querySelector('#placings-table').closest('.table-container');
        const trs = Array.from(document.querySelectorAll('#placings-body tr'));
        return {
          rows: trs.filter((t) => getComputedStyle(t).display !== 'none').length,
          overflow: getComputedStyle(container).overflowY,
          clipped: container.scrollHeight > container.clientHeight + 1,
          line: getComputedStyle(trs[0].cells[0]).borderBottom,
        };
      });
      assert.deepEqual(printed, { rows: 2500, overflow: 'visible', clipped: false, line: '1px solid rgb(153, 153, 153)' });
    } finally {
      await page.emulateMedia({ media: 'screen' });
    }
  });
});

describe('zoom warning', () => {
  test('a window too narrow for the page shows it for 10 seconds', async () => {
    const ctx = await openMainPage(browser, {
      viewport: { width: 480, height: 600 },
      // Paused, so only runFor moves time: a slow machine cannot use up the 10 seconds.
      beforeLoad: async (page) => {
        await page.clock.install({ time: new Date('2026-01-01T00:00:00Z') });
        await page.clock.pauseAt(new Date('2026-01-01T00:00:01Z'));
      },
    });
    try {
      const active = () => ctx.page.$eval('#zoom-warning', (w) => w.classList.contains('active'));
      assert.equal(await active(), true);
      assert.equal(await ctx.page.textContent('#zoom-warning'),
        'Your zoom level may be too high. Use Ctrl+0(zero) to reset it or maximize this window.');
      await ctx.page.clock.runFor(9900);
      assert.equal(await active(), true);
      await ctx.page.clock.runFor(200);
      assert.equal(await active(), false);
    } finally {
      await ctx.context.close();
    }
  });

  test('a window wide enough never shows it', async () => {
    const ctx = await openMainPage(browser, { viewport: { width: 1280, height: 800 } });
    try {
      assert.equal(await ctx.page.$eval('#zoom-warning', (w) => getComputedStyle(w).display), 'none');
      assert.equal(await ctx.page.evaluate(() => document.activeElement.id), 'contest-name-inp');
    } finally {
      await ctx.context.close();
    }
  });
});

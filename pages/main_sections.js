// ---- Navigation, help, zoom --------------------------------------------

function showSection(id) {
  for (const section of document.querySelectorAll('main > section')) {
    section.classList.remove('active');
  }
  const section = $(id);
  section.classList.add('active');
  refreshRowWindows(section);
  const first = section.querySelector('input[type="text"], select');
  if (first) first.focus();
}

for (const link of document.querySelectorAll('nav a')) {
  link.addEventListener('click', () => {
    const page = link.dataset.page;
    showSection(page);
    if (page === 'individual-scores') {
      reportingRefresh(loadIndivScores);
    } else if (page === 'rankings') {
      // Each visit shows the rankings with the lower scores hidden, clicks during its loads
      // included: the tables that arrive take the state the page is in when they come.
      showLowerScores($('rankings'), false);
      reportingRefresh(async () => {
        await loadIndivRankings();
        await loadTeamRankings();
      });
    }
  });
}

for (const button of document.querySelectorAll('.help-toggle')) {
  button.addEventListener('click', () => {
    $(button.dataset.target).classList.toggle('hidden');
  });
}

// ---- Checks --------------------------------------------------------------
// The main page's own; those it shares with the card pages are in input_checks.js.

function isCuts(text) {
  return /^[0-9]{3}$/.test(text) && text >= '111' && text <= '999';
}

function warnCuts(text) {
  let sum = 0;
  for (const ch of text) {
    if (ch >= '0' && ch <= '9') sum += ch.charCodeAt(0) - 48;
  }
  const middle = text.length >= 2 ? Number(text[1]) : 0;
  if (sum > 15) {
    alert('The sum of these cuts is greater than 15.');
  } else if (sum === 15 && middle > 5) {
    alert('The sum of these cuts is 15 and the middle cut is greater than 5.');
  } else if (sum === 14 && middle > 8) {
    alert('The sum of these cuts is 14 and the middle cut is greater than 8.');
  }
}

// ---- Contest -------------------------------------------------------------

$('create-contest-form').addEventListener('submit', async (event) => {
  event.preventDefault();
  if (!noContest()) {
    alert(CONTEST_OPEN_MESSAGE);
    return;
  }
  const input = $('contest-name-inp');
  const name = input.value.trim();
  if (name === '') {
    alert('Enter a contest name.');
    return;
  }
  try {
    await hostBridge.create_contest(name);
  } catch (error) {
    showError(error);
    return;
  }
  contestNameEl.textContent = name;
  input.value = '';
  $('create-contest-btn').blur();
});

$('open-contest-btn').addEventListener('click', async () => {
  if (!noContest()) {
    alert(CONTEST_OPEN_MESSAGE);
    return;
  }
  let result;
  try {
    result = await hostBridge.open_contest();
  } catch (error) {
    showError(error);
    return;
  }
  contestNameEl.textContent = result;
  $('open-contest-btn').blur();
  if (result !== 'None') await reportingRefresh(loadAll);
});

// The host has closed the contest: the page shows nothing of it and keeps no row number of
// it in a form, so that nothing of it can be changed in a contest opened or created next.
async function showNoContest() {
  contestNameEl.textContent = 'None';
  for (const reset of formResets) reset();
  await Promise.all([loadAll(), loadIndivScores(), loadIndivRankings(), loadTeamRankings()]);
}

async function loadAll() {
  await loadDivisions();
  await loadTeams();
  await loadContestants();
  await loadContestantCounts();
  await loadClassTypes();
  await loadClasses();
  await loadPlacings();
  await loadPlacingCounts();
}

// ---- Refreshers ------------------------------------------------------------
// With no contest open a refresh asks the host nothing and leaves its table empty.

function fetchFromContest(name) {
  return noContest() ? Promise.resolve('') : hostBridge[name]();
}

async function loadDivisions() {
  const select = $('team-division-name-inp');
  emptySelect(select);
  const result = await fetchFromContest('fetch_divisions');
  if (result !== '') addOption(select, '', '');
  fillTable($('divisions-table'), result, {
    columns: ['id', 'name', 'teamSize', 'number'],
    cells: ['name', 'teamSize', 'number'],
    number: 'number',
    onRow: (field) => addOption(select, field('name'), field('name'), field('number')),
  });
}

async function loadTeams() {
  const select = $('contestant-division-team-name-inp');
  emptySelect(select);
  const result = await fetchFromContest('fetch_teams');
  if (result !== '') addOption(select, '', '');
  // The option's value is the team number: "division team" texts can coincide
  // (division "A B" with team "C", division "A" with team "B C").
  fillTable($('teams-table'), result, {
    columns: ['id', 'division', 'type', 'name', 'coach', 'number'],
    cells: ['division', 'type', 'name', 'coach', 'number'],
    number: 'number',
    onRow: (field) => addOption(select, field('division') + ' ' + field('name'), field('number'), field('number')),
  });
}

async function loadContestants() {
  const result = await fetchFromContest('fetch_contestants');
  fillTable($('contestants-table'), result, {
    columns: ['division', 'team', 'name', 'number'],
    number: 'number',
  });
}

async function loadContestantCounts() {
  const result = await fetchFromContest('fetch_contestant_counts');
  fillTable($('contestant-counts-table'), result, { columns: ['division', 'team', 'count'] });
}

async function loadClassTypes() {
  const select = $('classes-class-type-inp');
  emptySelect(select);
  const result = await fetchFromContest('fetch_class_types');
  if (result !== '') addOption(select, '', '');
  fillTable($('class-types-table'), result, {
    columns: ['id', 'name'],
    cells: ['name'],
    number: 'id',
    onRow: (field) => addOption(select, field('name'), field('name'), field('id')),
  });
}

async function loadClasses() {
  const result = await fetchFromContest('fetch_classes');
  fillTable($('classes-table'), result, {
    columns: ['id', 'type', 'name', 'placing', 'cuts'],
    number: 'id',
  });
}

async function loadPlacings() {
  const result = await fetchFromContest('fetch_placings');
  fillTable($('placings-table'), result, {
    columns: ['id', 'classNo', 'contestantNo', 'placing', 'reasons'],
    cells: ['classNo', 'contestantNo', 'placing', 'reasons'],
    number: 'id',
  });
}

async function loadPlacingCounts() {
  const result = await fetchFromContest('fetch_placing_counts');
  fillTable($('placing-counts-table'), result, {
    columns: ['contestantNo', 'placingCount', 'reasonsCount'],
  });
}

async function loadIndivScores() {
  const result = await fetchFromContest('fetch_indiv_scores');
  fillTable($('indiv-scores-table'), result, {
    columns: ['contestant', 'contestantNo', 'className', 'classNo', 'placing', 'placingScore',
      'reasonsScore', 'totalScore'],
  });
}

// The fields of a ranking row in order, and the fields a ranking table shows with their
// headers, by kind of ranking.
const RANKING_LAYOUTS = {
  Individual: {
    tableClass: 'rank-indiv-table',
    columns: ['division', 'category', 'rank', 'score', 'contestant', 'team'],
    cells: [['rank', 'Rank'], ['score', 'Score'], ['contestant', 'Contestant'], ['team', 'Team']],
  },
  Team: {
    tableClass: 'rank-team-table',
    columns: ['division', 'category', 'rank', 'score', 'team', 'coach'],
    cells: [['rank', 'Rank'], ['score', 'Score'], ['team', 'Team'], ['coach', 'Coach']],
  },
};

// What each ranking block (a table in its wrapper) holds: its rows, how many of them are
// lower scores, and whether those are shown in it now.
const rankBlocks = new WeakMap();

// A new ranking table in its wrapper at the end of block.
function addRankTable(block, tableClass, headers) {
  const wrapper = block.appendChild(document.createElement('div'));
  wrapper.className = 'rank-block';
  const table = wrapper.appendChild(document.createElement('table'));
  table.className = tableClass;
  table.setAttribute('data-sortable', '');
  table.createCaption().appendChild(document.createTextNode(''));
  const headRow = table.createTHead().insertRow();
  for (const h of headers) headRow.appendChild(document.createElement('th')).textContent = h;
  table.createTBody();
  rankBlocks.set(wrapper, { rows: 0, lower: 0, shown: false });
  return wrapper;
}

// Builds one table per division and category from a ranking result into block. A reload
// writes into the tables and rows already there, as table reloads do, so that visiting the
// rankings again makes no new rows while the contest keeps its size.
function buildRankings(block, result, kind) {
  const { tableClass, columns, cells } = RANKING_LAYOUTS[kind];
  const at = fieldPositions(columns);
  const divisionField = at('division');
  const categoryField = at('category');
  const rankField = at('rank');
  const cellFields = cells.map(([name]) => at(name));
  const headers = cells.map(([, header]) => header);
  const k = columns.length;
  const fields = result === '' ? [] : result.split(FIELD_SEPARATOR);
  const rowCount = Math.floor(fields.length / k);
  removePrintParts();  // should printing have left them
  const wrappers = block.children;
  let tables = 0;
  for (let start = 0, end; start < rowCount; start = end) {
    const division = fields[start * k + divisionField];
    const category = fields[start * k + categoryField];
    end = start + 1;
    while (end < rowCount && fields[end * k + divisionField] === division &&
      fields[end * k + categoryField] === category) end++;
    const wrapper = tables < wrappers.length ? wrappers[tables] : addRankTable(block, tableClass, headers);
    tables++;
    const table = wrapper.firstChild;
    table.caption.firstChild.data = division === 'None'
      ? kind + ' ' + category
      : kind + ' ' + division + ' ' + category;
    // Rows are written in the state their table is in; showLowerScores below brings every
    // table to the page's state.
    const state = rankBlocks.get(wrapper);
    const lowerClass = state.shown ? 'lower-score' : 'lower-score hidden';
    let lower = 0;
    writeRows(table.tBodies[0], fields, start, end - start, k, cellFields, (row, base) => {
      const lowerScore = parseInt(fields[base + rankField], 10) > 10;
      const className = lowerScore ? lowerClass : '';
      if (row.className !== className) row.className = className;
      if (lowerScore) lower++;
    });
    state.rows = end - start;
    state.lower = lower;
  }
  while (wrappers.length > tables) block.lastChild.remove();
  for (let i = 0; i < tables; i++) Sortable.reinitialize(wrappers[i].firstChild);
  showLowerScores(block, lowerScoresShown);
  // Measured after the next frame, when the table in view is laid out anyway.
  requestAnimationFrame(() => setTimeout(() => measureRankLayout(block), 0));
}

// Showing or hiding the lower scores changes the display of tens of thousands of rows, and
// WebKit builds and lays out every row it displays, also in the blocks that content-visibility
// keeps from being drawn. The blocks in and near the part of the page in view change at
// once; the others follow a thousand rows a frame, so the window keeps answering. Find,
// copy and print take them all first (settleLowerScores). The page has one state for them
// all: a table waiting for its turn takes the state the page is in when its turn comes.
const LOWER_SCORES_BATCH_ROWS = 1000;
let lowerScoresShown = false;
const lowerScoresToDo = new Set();
let lowerScoresFrame = 0;

function setLowerScores(wrapper, shown) {
  const state = rankBlocks.get(wrapper);
  if (!state || state.shown === shown) return 0;
  for (const row of wrapper.firstChild.tBodies[0].getElementsByClassName('lower-score')) {
    row.classList.toggle('hidden', !shown);
  }
  state.shown = shown;
  return state.lower;
}

function showLowerScores(root, shown) {
  lowerScoresShown = shown;
  // Where the blocks stand is read before any of them changes, so the page is laid out once.
  const view = document.querySelector('main').getBoundingClientRect();
  const near = [];
  for (const wrapper of root.querySelectorAll('.rank-block')) {
    const box = wrapper.getBoundingClientRect();
    if (box.bottom >= view.top - view.height / 2 && box.top <= view.bottom + view.height / 2) {
      near.push(wrapper);
    } else {
      lowerScoresToDo.add(wrapper);
    }
  }
  for (const wrapper of near) setLowerScores(wrapper, shown);
  sizeRankBlocks(root);
  if (!lowerScoresFrame && lowerScoresToDo.size) {
    lowerScoresFrame = requestAnimationFrame(() => setTimeout(lowerScoresBatch, 0));
  }
}

// Changes the waiting tables, in order, up to the given number of rows (all of them without).
function setWaitingLowerScores(rowLimit = Infinity) {
  let rows = 0;
  for (const wrapper of lowerScoresToDo) {
    if (rows >= rowLimit) break;
    lowerScoresToDo.delete(wrapper);
    rows += setLowerScores(wrapper, lowerScoresShown);
  }
}

function lowerScoresBatch() {
  lowerScoresFrame = 0;
  setWaitingLowerScores(LOWER_SCORES_BATCH_ROWS);
  if (lowerScoresToDo.size) lowerScoresFrame = requestAnimationFrame(() => setTimeout(lowerScoresBatch, 0));
}

function settleLowerScores() {
  setWaitingLowerScores();
}

document.addEventListener('copy', settleLowerScores, true);

// Printing: WebKit does not repeat a table's header row on each printed page. A ranking table
// with more rows shown than PRINT_PART_ROWS is printed as tables of that many rows, one under
// the other, the first with the caption and each with the header row; none is broken across
// pages (main_page.css), and one fits on a Letter or A4 page either way up, two on a page
// upright. They are made when printing starts, beside the table in its block, and taken away
// when it ends.
const PRINT_PART_ROWS = 12;

function removePrintParts() {
  for (const parts of document.querySelectorAll('.print-parts')) {
    parts.parentNode.classList.remove('printed-in-parts');
    parts.remove();
  }
}

function addPrintParts() {
  removePrintParts();
  if (!$('rankings').classList.contains('active')) return;
  settleLowerScores();
  for (const wrapper of document.querySelectorAll('#rankings .rank-block')) {
    const table = wrapper.firstChild;
    const rows = Array.prototype.filter.call(table.tBodies[0].rows, (row) => !row.classList.contains('hidden'));
    if (rows.length <= PRINT_PART_ROWS) continue;
    const parts = wrapper.appendChild(document.createElement('div'));
    parts.className = 'print-parts';
    const sizer = sizerRows(table, rows);
    for (let first = 0; first < rows.length; first += PRINT_PART_ROWS) {
      const part = parts.appendChild(document.createElement('table'));
      part.className = table.className;
      if (first === 0) part.appendChild(table.caption.cloneNode(true));
      part.appendChild(table.tHead.cloneNode(true));
      const body = part.appendChild(document.createElement('tbody'));
      for (const row of rows.slice(first, first + PRINT_PART_ROWS)) body.appendChild(row.cloneNode(true));
      part.appendChild(sizer.cloneNode(true));
    }
    wrapper.classList.add('printed-in-parts');
  }
}

// The parts of a table lay out their columns from the same texts, so that the columns line
// up from part to part: besides its own rows each part has two rows that take no room on
// paper (main_page.css), holding each column's widest text and widest word in the whole
// table. A column is then as wide as its widest text where the page allows; on a narrower
// page the browser narrows the columns alike in every part, none below its widest word, and
// their texts wrap between words. The widths are measured in the cells' font.
let measureContext = null;

function sizerRows(table, rows) {
  measureContext ??= document.createElement('canvas').getContext('2d');
  const widest = (texts) => {
    let found = '';
    let width = -1;
    for (const text of texts) {
      const w = measureContext.measureText(text).width;
      if (w > width) [found, width] = [text, w];
    }
    return found;
  };
  const foot = document.createElement('tfoot');
  foot.className = 'print-sizer';
  const textRow = foot.insertRow();
  const wordRow = foot.insertRow();
  for (let i = 0; i < table.tHead.rows[0].cells.length; i++) {
    measureContext.font = getComputedStyle(rows[0].cells[i]).font;
    const texts = new Set(rows.map((row) => row.cells[i].textContent));
    const words = new Set();
    // Lines break at spaces and after hyphens.
    for (const text of texts) for (const word of text.split(/\s+|(?<=-)/)) words.add(word);
    textRow.insertCell().textContent = widest(texts);
    wordRow.insertCell().textContent = widest(words);
  }
  return foot;
}

window.addEventListener('beforeprint', addPrintParts);
window.addEventListener('afterprint', removePrintParts);

// Each ranking table stands in a block that is laid out only near the visible part of the
// page; out of view a block takes the height its visible rows would give it, so the page
// keeps its length. The heights are measured on the first table once it has been drawn.
const rankLayout = { rowHeight: 0, chrome: 0 };

function visibleRankRows(table) {
  const body = table.tBodies[0];
  return body.rows.length - body.getElementsByClassName('hidden').length;
}

function sizeRankBlocks(root) {
  if (!rankLayout.rowHeight) return;
  for (const wrapper of root.querySelectorAll('.rank-block')) {
    const { rows, lower } = rankBlocks.get(wrapper);
    const height = rankLayout.chrome + (lowerScoresShown ? rows : rows - lower) * rankLayout.rowHeight;
    wrapper.style.containIntrinsicSize = '0 ' + height + 'px';
  }
}

function measureRankLayout(block) {
  const wrapper = block.firstElementChild;
  if (!wrapper || !wrapper.isConnected) return;
  const table = wrapper.firstChild;
  const row = table.tBodies[0].rows[0];
  const height = table.getBoundingClientRect().height;
  if (!row || !height) return;
  rankLayout.rowHeight = row.getBoundingClientRect().height;
  rankLayout.chrome = height - visibleRankRows(table) * rankLayout.rowHeight;
  sizeRankBlocks(block);
}

async function loadIndivRankings() {
  const result = await fetchFromContest('fetch_indiv_rankings');
  buildRankings($('indiv-rankings'), result, 'Individual');
}

async function loadTeamRankings() {
  const result = await fetchFromContest('fetch_team_rankings');
  buildRankings($('team-rankings'), result, 'Team');
}

$('rankings-show-hide-btn').addEventListener('click', () => showLowerScores($('rankings'), !lowerScoresShown));

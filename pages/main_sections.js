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

async function loadDivisions() {
  if (noContest()) return;
  const select = $('team-division-name-inp');
  emptySelect(select);
  const result = await hostBridge.fetch_divisions();
  if (result !== '') addOption(select, '', '');
  fillTable($('divisions-table'), result, {
    columns: ['id', 'name', 'teamSize', 'number'],
    cells: ['name', 'teamSize', 'number'],
    number: 'number',
    onRow: (field) => addOption(select, field('name'), field('name'), field('number')),
  });
}

async function loadTeams() {
  if (noContest()) return;
  const select = $('contestant-division-team-name-inp');
  emptySelect(select);
  const result = await hostBridge.fetch_teams();
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
  if (noContest()) return;
  const result = await hostBridge.fetch_contestants();
  fillTable($('contestants-table'), result, {
    columns: ['division', 'team', 'name', 'number'],
    number: 'number',
  });
}

async function loadContestantCounts() {
  if (noContest()) return;
  const result = await hostBridge.fetch_contestant_counts();
  fillTable($('contestant-counts-table'), result, { columns: ['division', 'team', 'count'] });
}

async function loadClassTypes() {
  if (noContest()) return;
  const select = $('classes-class-type-inp');
  emptySelect(select);
  const result = await hostBridge.fetch_class_types();
  if (result !== '') addOption(select, '', '');
  fillTable($('class-types-table'), result, {
    columns: ['id', 'name'],
    cells: ['name'],
    number: 'id',
    onRow: (field) => addOption(select, field('name'), field('name'), field('id')),
  });
}

async function loadClasses() {
  if (noContest()) return;
  const result = await hostBridge.fetch_classes();
  fillTable($('classes-table'), result, {
    columns: ['id', 'type', 'name', 'placing', 'cuts'],
    number: 'id',
  });
}

async function loadPlacings() {
  if (noContest()) return;
  const result = await hostBridge.fetch_placings();
  fillTable($('placings-table'), result, {
    columns: ['id', 'classNo', 'contestantNo', 'placing', 'reasons'],
    cells: ['classNo', 'contestantNo', 'placing', 'reasons'],
    number: 'id',
  });
}

async function loadPlacingCounts() {
  if (noContest()) return;
  const result = await hostBridge.fetch_placing_counts();
  fillTable($('placing-counts-table'), result, {
    columns: ['contestantNo', 'placingCount', 'reasonsCount'],
  });
}

async function loadIndivScores() {
  if (noContest()) return;
  const result = await hostBridge.fetch_indiv_scores();
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

// Builds one table per division and category from a ranking result into block.
function buildRankings(block, result, kind) {
  if (result === '') {
    block.replaceChildren();
    return;
  }
  const { tableClass, columns, cells } = RANKING_LAYOUTS[kind];
  const at = fieldPositions(columns);
  const divisionField = at('division');
  const categoryField = at('category');
  const rankField = at('rank');
  const cellFields = cells.map(([name]) => at(name));
  const headers = cells.map(([, header]) => header);
  const k = columns.length;
  const fields = result.split(FIELD_SEPARATOR);
  const rowCount = Math.floor(fields.length / k);
  const built = document.createDocumentFragment();
  const tables = [];
  let division = '';
  let category = '';
  let body = null;
  let rowFragment = null;

  const template = document.createElement('tr');
  for (let c = 0; c < cellFields.length; c++) {
    template.appendChild(document.createElement('td')).appendChild(document.createTextNode(''));
  }

  const closeTable = () => {
    if (body) body.appendChild(rowFragment);
  };

  for (let r = 0; r < rowCount; r++) {
    const b = r * k;
    if (body === null || fields[b + divisionField] !== division || fields[b + categoryField] !== category) {
      closeTable();
      division = fields[b + divisionField];
      category = fields[b + categoryField];
      const table = document.createElement('table');
      table.className = tableClass;
      table.setAttribute('data-sortable', '');
      const caption = table.createCaption();
      caption.textContent = division === 'None'
        ? kind + ' ' + category
        : kind + ' ' + division + ' ' + category;
      const headRow = table.createTHead().insertRow();
      for (const h of headers) {
        const th = document.createElement('th');
        th.textContent = h;
        headRow.appendChild(th);
      }
      body = table.createTBody();
      rowFragment = document.createDocumentFragment();
      tables.push(table);
      built.appendChild(document.createElement('div')).appendChild(table);
    }
    const row = template.cloneNode(true);
    let cell = row.firstChild;
    for (let c = 0; c < cellFields.length; c++) {
      cell.firstChild.data = fields[b + cellFields[c]];
      cell = cell.nextSibling;
    }
    if (parseInt(fields[b + rankField], 10) > 10) row.className = 'lower-score hidden';
    rowFragment.appendChild(row);
  }
  closeTable();
  block.replaceChildren(built);
  for (const table of tables) Sortable.reinitialize(table);
  skipRankingsOutOfView(block);
}

// With the lower scores shown the rankings hold tens of thousands of rows. Each table
// stands in a block that is laid out only near the visible part of the page; out of view a
// block takes the height its visible rows would give it, so the page keeps its length. The
// heights are measured on the first table once it has been drawn.
const rankLayout = { rowHeight: 0, chrome: 0 };

function visibleRankRows(table) {
  const body = table.tBodies[0];
  return body.rows.length - body.getElementsByClassName('hidden').length;
}

function sizeRankBlocks(root) {
  if (!rankLayout.rowHeight) return;
  for (const wrapper of root.querySelectorAll('.rank-block')) {
    const height = rankLayout.chrome + visibleRankRows(wrapper.firstChild) * rankLayout.rowHeight;
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

function skipRankingsOutOfView(block) {
  for (const wrapper of block.children) wrapper.className = 'rank-block';
  sizeRankBlocks(block);
  // Measured after the next frame, when the table in view is laid out anyway.
  requestAnimationFrame(() => setTimeout(() => measureRankLayout(block), 0));
}

async function loadIndivRankings() {
  if (noContest()) return;
  const result = await hostBridge.fetch_indiv_rankings();
  buildRankings($('indiv-rankings'), result, 'Individual');
}

async function loadTeamRankings() {
  if (noContest()) return;
  const result = await hostBridge.fetch_team_rankings();
  buildRankings($('team-rankings'), result, 'Team');
}

$('rankings-show-hide-btn').addEventListener('click', () => {
  for (const el of document.querySelectorAll('.lower-score')) el.classList.toggle('hidden');
  sizeRankBlocks($('rankings'));
});

// ---- Shared helpers ----------------------------------------------------

const $ = (id) => document.getElementById(id);
const contestNameEl = $('contest-name');

// The contest name paragraph is the page's record of whether a contest is open.
function noContest() {
  return contestNameEl.textContent === 'None';
}

function joinFields(...fields) {
  return fields.join(FIELD_SEPARATOR);
}

// What the host answers once the open contest's file was moved, replaced or deleted. It has
// then closed the contest, so the page has none open either (showNoContest): the contest can
// be opened again, and the reloads after a refused save do not say the same again.
const CONTEST_MOVED_MESSAGE = 'The contest file was moved, replaced or deleted while it was open, ' +
  'so nothing more is saved to it. Open the contest again.';

// Says in one message box why the requests of one action were refused: each reason once, with
// the entries it refused where they are named ({ error, entry }, entry null for none).
// The page shows no contest before the message comes, once the contest is gone.
async function showErrors(refusals) {
  if (refusals.some(({ error }) => error.message === CONTEST_MOVED_MESSAGE)) await showNoContest();
  const entries = new Map();
  for (const { error, entry } of refusals) {
    if (!entries.has(error.message)) entries.set(error.message, []);
    if (entry !== null) entries.get(error.message).push(entry);
  }
  alert(Array.from(entries, ([message, named]) =>
    'Error: ' + message + (named.length ? '\nNot saved: ' + named.join(', ') : '')).join('\n'));
}

function showError(error) {
  showErrors([{ error, entry: null }]);
}

// Runs a refresh; one whose fetch is rejected says why, as a failed save does. The refreshers
// after it in the same run are left out, so a failing contest gives one message, not one a table.
async function reportingRefresh(refresh) {
  try {
    await refresh();
  } catch (error) {
    showError(error);
  }
}

const NO_CONTEST_MESSAGE = 'No contest is open. Open or create a contest first, in the Contest section.';
const CONTEST_OPEN_MESSAGE = 'A contest is already open. To switch contests, close Tallywell Lite and start it again.';

function emptySelect(select) {
  select.replaceChildren();
}

function addOption(select, text, value, number) {
  const option = document.createElement('option');
  option.value = value;
  option.textContent = text;
  if (number !== undefined) option.dataset.number = number;
  select.appendChild(option);
}

function selectedNumber(select) {
  const option = select.selectedOptions[0];
  return option && option.dataset.number ? option.dataset.number : null;
}

// The position of each field in a row of a fetch result, from the fields' names in order.
// A name that is not among them is a slip in the page and fails at once.
function fieldPositions(columns) {
  const positions = new Map(columns.map((name, i) => [name, i]));
  return (name) => {
    const position = positions.get(name);
    if (position === undefined) throw new Error('No field named ' + name);
    return position;
  };
}

// Writes the rows first to first + count - 1 of a flattened result of k fields a row into a
// table body, cellFields giving the field each cell shows. A reload writes its texts into the
// rows already there, in the order they stand: taking tens of thousands of rows out and
// making as many new ones costs several times more, and leaves them all to be collected.
// Rows beyond count are removed; missing ones are cloned from a template row, so that each
// costs one clone and one text write per cell. eachRow, when given, sees every row with the
// position of its first field.
function writeRows(body, fields, first, count, k, cellFields, eachRow = null) {
  const rows = body.rows;
  const reused = Math.min(rows.length, count);
  const fill = (row, r) => {
    const base = (first + r) * k;
    let cell = row.firstChild;
    for (let c = 0; c < cellFields.length; c++) {
      cell.firstChild.data = fields[base + cellFields[c]];
      cell = cell.nextSibling;
    }
    if (eachRow) eachRow(row, base);
  };
  for (let r = 0; r < reused; r++) fill(rows[r], r);
  if (rows.length > count) {
    const surplus = document.createRange();
    surplus.setStartBefore(rows[count]);
    surplus.setEndAfter(body.lastChild);
    surplus.deleteContents();
  }
  if (reused === count) return;
  const template = document.createElement('tr');
  for (let c = 0; c < cellFields.length; c++) {
    template.appendChild(document.createElement('td')).appendChild(document.createTextNode(''));
  }
  const fragment = document.createDocumentFragment();
  for (let r = reused; r < count; r++) {
    const row = template.cloneNode(true);
    fill(row, r);
    fragment.appendChild(row);
  }
  body.appendChild(fragment);
}

// Fills a table body from a flattened fetch result whose rows hold the fields named in
// columns, in that order. cells names the fields shown, one a cell (all of them when not
// given); number names the field a row keeps as its record number. onRow, when given, sees
// every row as a reader of its fields by name (used to fill a select alongside).
function fillTable(table, result, { columns, cells = columns, number = null, onRow = null }) {
  const body = table.tBodies[0];
  if (result === '') {
    body.replaceChildren();
    updateRowWindow(rowWindowFor(table), true);
    return;
  }
  const k = columns.length;
  const at = fieldPositions(columns);
  const numberField = number === null ? null : at(number);
  const fields = result.split(FIELD_SEPARATOR);
  const eachRow = numberField === null && !onRow ? null : (row, base) => {
    if (numberField !== null) row.dataset.number = fields[base + numberField];
    if (onRow) onRow((name) => fields[base + at(name)]);
  };
  writeRows(body, fields, 0, Math.floor(fields.length / k), k, cells.map(at), eachRow);
  updateRowWindow(rowWindowFor(table), true);
  Sortable.reinitialize(table);
}

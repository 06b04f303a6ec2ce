// ---- Long tables ------------------------------------------------------------
// Laying out tens of thousands of rows takes seconds, so a table with many rows keeps
// every row in its body (the sorter still reads and moves them all) but displays only
// those near the visible part of its scroll container. Spacer rows in the head and the
// foot stand in for the rows above and below, so the scroll bar keeps the full length.
// Rows that are not displayed are left out by a browser's own find and copy, so the page
// finds (findInPage, which the window's find bar calls) and copies them itself.

const ROW_WINDOW_MIN_ROWS = 2000;
const ROW_WINDOW_SLACK = 40;
const rowWindows = new Map();

function spacerRow(section, columns) {
  const row = section.insertRow();
  row.className = 'window-spacer';
  row.insertCell().colSpan = columns;
  return row;
}

function rowWindowFor(table) {
  let state = rowWindows.get(table);
  if (state) return state;
  const columns = table.tHead.rows[0].cells.length;
  state = {
    table,
    scroller: table.closest('.table-container') || table.closest('main'),
    top: spacerRow(table.tHead, columns),
    bottom: spacerRow(table.createTFoot(), columns),
    shown: [],
    rowHeight: 0,
    widthsLocked: false,
    frame: 0,
  };
  state.scroller.addEventListener('scroll', () => scheduleRowWindow(state), { passive: true });
  // The header's pointerdown reaches the head after the sorter has reordered the rows.
  table.tHead.addEventListener('pointerdown', () => updateRowWindow(state));
  rowWindows.set(table, state);
  return state;
}

function scheduleRowWindow(state) {
  if (state.frame) return;
  state.frame = requestAnimationFrame(() => {
    state.frame = 0;
    updateRowWindow(state);
  });
}

function setSpacer(row, shown, height) {
  row.classList.toggle('active', shown);
  row.cells[0].style.height = height + 'px';
}

// Fixes the column widths to those of the rows first shown, so that columns do not
// change width while other rows scroll into view.
function lockColumnWidths(table, lock) {
  const ths = table.tHead.rows[0].cells;
  if (!lock) {
    table.style.width = '';
    for (const th of ths) th.style.width = '';
    return;
  }
  const widths = Array.from(ths, (th) => th.getBoundingClientRect().width);
  table.style.width = table.getBoundingClientRect().width + 'px';
  for (let i = 0; i < ths.length; i++) {
    ths[i].style.boxSizing = 'border-box';
    ths[i].style.width = widths[i] + 'px';
  }
}

function updateRowWindow(state, refilled = false) {
  const body = state.table.tBodies[0];
  const rows = body.rows;
  const n = rows.length;
  const hideShown = () => {
    for (const row of state.shown) row.classList.remove('in-view');
    state.shown = [];
  };
  if (refilled) {
    state.widthsLocked = false;
    lockColumnWidths(state.table, false);
  }
  if (n < ROW_WINDOW_MIN_ROWS) {
    hideShown();
    body.classList.remove('windowed');
    setSpacer(state.top, false, 0);
    setSpacer(state.bottom, false, 0);
    return;
  }
  body.classList.add('windowed');
  // The top spacer stays displayed, even at height 0: its top edge is where the rows begin.
  state.top.classList.add('active');
  if (!state.table.getClientRects().length) { // not displayed: nothing to measure
    hideShown();
    return;
  }
  if (!state.rowHeight) {
    rows[0].classList.add('in-view');
    state.rowHeight = rows[0].getBoundingClientRect().height || 32;
    rows[0].classList.remove('in-view');
  }
  const h = state.rowHeight;
  // Measured while the current rows are still displayed: hiding them first would shorten
  // the page for a moment and pull the scroll position back.
  const above = state.scroller.getBoundingClientRect().top - state.top.getBoundingClientRect().top;
  const firstVisible = Math.floor(above / h);
  const first = Math.min(n, Math.max(0, firstVisible - ROW_WINDOW_SLACK));
  const last = Math.min(n, Math.max(first,
    firstVisible + Math.ceil(state.scroller.clientHeight / h) + ROW_WINDOW_SLACK));
  hideShown();
  for (let i = first; i < last; i++) {
    rows[i].classList.add('in-view');
    state.shown.push(rows[i]);
  }
  setSpacer(state.top, true, first * h);
  setSpacer(state.bottom, last < n, (n - last) * h);
  if (!state.widthsLocked) {
    lockColumnWidths(state.table, true);
    state.widthsLocked = true;
  }
}

// Brings every long table of a section up to date, once the section is displayed.
function refreshRowWindows(section) {
  for (const state of rowWindows.values()) {
    if (section.contains(state.table)) updateRowWindow(state);
  }
}

window.addEventListener('resize', () => {
  for (const state of rowWindows.values()) scheduleRowWindow(state);
});

// The window state of a displayed table whose rows are windowed, else null.
function windowedState(table) {
  const state = rowWindows.get(table);
  if (!state || !table.tBodies[0].classList.contains('windowed')) return null;
  return table.getClientRects().length ? state : null;
}

// Scrolls a row of a windowed table to the middle of its scroll container and displays it.
function bringRowIntoView(state, row) {
  if (!row.classList.contains('in-view')) {
    updateRowWindow(state);
    const index = Array.prototype.indexOf.call(state.table.tBodies[0].rows, row);
    const scroller = state.scroller;
    const rowsTop = state.top.getBoundingClientRect().top - scroller.getBoundingClientRect().top +
      scroller.scrollTop;
    scroller.scrollTop = rowsTop + index * state.rowHeight - (scroller.clientHeight - state.rowHeight) / 2;
    updateRowWindow(state);
  }
  row.scrollIntoView({ block: 'nearest' });
}

// ---- Copy ----------------------------------------------------------------------
// A selection that takes in rows a long table does not display is copied by the page: the
// text the browser would copy, with each such table's selected rows all put in where the
// browser has only those it displays; cells are joined by tabs and rows by line breaks, as
// a spreadsheet takes them.

// The part of a cell's text from one offset to another as the browser renders it in copied
// text: each run of white space as one space, standing where the run begins, and none at the
// cell's ends.
function shownPart(text, from, to) {
  if (from === 0 && to >= text.length) return text.replace(/[ \t\n\r\f]+/g, ' ').trim();
  let part = text.slice(from, to);
  if (from === 0 || /[ \t\n\r\f]/.test(text[from - 1])) part = part.replace(/^[ \t\n\r\f]+/, '');
  if (!/[^ \t\n\r\f]/.test(text.slice(to))) part = part.replace(/[ \t\n\r\f]+$/, '');
  return part.replace(/[ \t\n\r\f]+/g, ' ');
}

// A row as the browser renders it in copied text. A row the selection starts or ends in is
// copied from the cell it starts in to the cell it ends in, those two cut at the selection's
// ends; start and end ({ cell, at }: a cell's index and an offset in its text) say where.
function rowText(row, start = null, end = null) {
  const cells = row.cells;
  const first = start ? start.cell : 0;
  const last = end ? end.cell : cells.length - 1;
  const parts = [];
  for (let i = first; i <= last; i++) {
    const text = cells[i].textContent;
    parts.push(shownPart(text, start && i === first ? start.at : 0, end && i === last ? end.at : text.length));
  }
  return parts.join('\t');
}

// Where a boundary point of a range stands in a row, for rowText; null when it is outside the
// row. A point between cells ends before the cell after it.
function pointInRow(row, container, offset, isEnd) {
  if (container === row) return isEnd ? { cell: offset - 1, at: Infinity } : { cell: offset, at: 0 };
  if (!row.contains(container)) return null;
  const element = container.nodeType === Node.ELEMENT_NODE ? container : container.parentNode;
  const cell = element.closest('td, th');
  const before = document.createRange();
  before.setStart(cell, 0);
  before.setEnd(container, offset);
  return { cell: cell.cellIndex, at: before.toString().length };
}

// The first and the last row of the body that the range takes in, as indexes, or null.
function rowsInRange(body, range) {
  const rows = body.rows;
  if (!rows.length) return null;
  // The row holding a boundary point of the range; a point between rows counts the row after it.
  const rowAt = (container, offset) => {
    if (container === body) return offset;
    const element = container.nodeType === Node.ELEMENT_NODE ? container : container.parentNode;
    const row = element.closest('tr');
    return row && row.parentNode === body ? row.sectionRowIndex : -1;
  };
  const first = range.comparePoint(body, 0) === 0 ? 0 : rowAt(range.startContainer, range.startOffset);
  const last = range.comparePoint(body, rows.length) === 0
    ? rows.length - 1 : rowAt(range.endContainer, range.endOffset - 1);
  return first < 0 || last < first ? null : { first, last };
}

// The copied lines with the table's rows from first to last in place of those it displays;
// null when the browser's lines are not as expected. The first and the last row may be taken
// in only in part by the range.
function linesWithAllRows(lines, from, table, span, range) {
  const rows = table.tBodies[0].rows;
  const start = pointInRow(rows[span.first], range.startContainer, range.startOffset, false);
  const end = pointInRow(rows[span.last], range.endContainer, range.endOffset, true);
  const all = [];
  const shown = [];
  for (let i = span.first; i <= span.last; i++) {
    all.push(rowText(rows[i], i === span.first ? start : null, i === span.last ? end : null));
    if (rows[i].classList.contains('in-view')) shown.push(all[all.length - 1]);
  }
  let at;
  if (shown.length) {
    at = lines.indexOf(shown[0], from);
    if (at < 0 || shown.some((text, k) => lines[at + k] !== text)) return null;
  } else if (table.tBodies[0].contains(range.startContainer)) {
    at = from;  // the selection starts among rows not displayed: the browser has nothing before them
  } else {
    at = lines.indexOf(rowText(table.tHead.rows[0]), from);
    if (at < 0) return null;
    at += 1;
  }
  // A selection that ends inside a row not displayed ends there: the browser's line break
  // after the rows it displays is not part of it.
  const endsHidden = end && !rows[span.last].classList.contains('in-view');
  return { before: lines.slice(from, at), rows: all, next: endsHidden ? lines.length : at + shown.length };
}

document.addEventListener('copy', (event) => {
  const selection = getSelection();
  if (!selection.rangeCount || selection.isCollapsed) return;
  if (event.target instanceof Element && event.target.closest('input, textarea')) return;
  const range = selection.getRangeAt(0);
  const tables = [];
  for (const state of rowWindows.values()) {
    const body = state.table.tBodies[0];
    if (!windowedState(state.table) || !range.intersectsNode(body)) continue;
    const span = rowsInRange(body, range);
    if (!span) continue;
    let hidden = false;
    for (let i = span.first; i <= span.last && !hidden; i++) hidden = !body.rows[i].classList.contains('in-view');
    if (hidden) tables.push({ table: state.table, span });
  }
  if (!tables.length) return;
  tables.sort((a, b) => (a.table.compareDocumentPosition(b.table) & Node.DOCUMENT_POSITION_FOLLOWING ? -1 : 1));
  const lines = selection.toString().split('\n');
  const copied = [];
  let from = 0;
  for (const { table, span } of tables) {
    const part = linesWithAllRows(lines, from, table, span, range);
    if (!part) return;  // the browser's own copy stands
    copied.push(...part.before, ...part.rows);
    from = part.next;
  }
  copied.push(...lines.slice(from));
  event.clipboardData.setData('text/plain', copied.join('\n'));
  event.preventDefault();
});

// ---- Find ----------------------------------------------------------------------
// Finds text in what the page shows, rows of long tables that are out of view included:
// the first match after the current one (before it when backwards; from the top, or the
// bottom, for a new text), wrapping around. The match is selected and scrolled into view.
// Case is ignored. Answers whether the text was found.

const findState = { query: '', node: null, offset: -1 };  // the current match

// Text nodes the page shows of at least minLength characters, in document order; rows a long
// table does not display count.
function shownTextWalker(minLength) {
  return document.createTreeWalker(document.body, NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_TEXT, {
    acceptNode(node) {
      if (node.nodeType === Node.TEXT_NODE) {
        return node.data.length >= minLength ? NodeFilter.FILTER_ACCEPT : NodeFilter.FILTER_SKIP;
      }
      if (node.matches('script, style, select, textarea, .hidden, .window-spacer, section:not(.active), ' +
        '#zoom-warning:not(.active)')) return NodeFilter.FILTER_REJECT;
      return NodeFilter.FILTER_SKIP;
    },
  });
}

function findInPage(query, backwards = false, again = false) {
  if (query === '') return false;
  settleLowerScores();  // every ranking block as Show/Hide Lower Scores left it
  try {
    return findAndSelect(query, backwards, again);
  } catch (error) {
    // A query too long for the engine's patterns (V8 refuses some 20,000 letters when it first
    // runs one) counts as not found; only a text of the page longer still could have held it.
    if (error instanceof SyntaxError) return false;
    throw error;
  }
}

function findAndSelect(query, backwards, again) {
  // A match has as many characters as the query (case folding maps one character to one), so
  // only texts at least that long are searched; for an over-long query no pattern runs at all.
  const walker = shownTextWalker([...query].length);
  // Case is ignored by the pattern, on the text as it stands: lower-casing the text first
  // would change the length of some ("İ" becomes two characters), and with it the offsets.
  const pattern = new RegExp(query.replace(/[\\^$.*+?()[\]{}|/]/g, '\\$&'), 'giu');
  // The index after the character at index i. Matches start on whole characters: an index
  // inside a surrogate pair would take V8 back to the start of the pair, to the same match.
  const after = (text, i) => i + (text.codePointAt(i) > 0xffff ? 2 : 1);
  // The match in the node from the given index on (backwards: the last at or before it), or null.
  const matchIn = (node, from) => {
    if (!backwards) {
      pattern.lastIndex = from;
      return pattern.exec(node.data);
    }
    let last = null;
    pattern.lastIndex = 0;
    for (let match; (match = pattern.exec(node.data)) && match.index <= from;) {
      last = match;
      pattern.lastIndex = after(node.data, match.index);
    }
    return last;
  };
  let node = null;
  let match = null;
  if (again && findState.query === query && findState.node && findState.node.isConnected) {
    node = findState.node;
    walker.currentNode = node;
    match = matchIn(node, backwards ? findState.offset - 1 : after(node.data, findState.offset));
  }
  // Goes on node by node, once around the page at most.
  let laps = 0;
  while (!match) {
    node = backwards ? walker.previousNode() : walker.nextNode();
    if (!node) {
      if (++laps > 1) break;
      walker.currentNode = document.body;
      node = backwards ? walker.lastChild() : walker.nextNode();
      if (!node) break;
    }
    match = matchIn(node, backwards ? Infinity : 0);
  }
  findState.query = query;
  findState.node = match ? node : null;
  findState.offset = match ? match.index : -1;
  if (!match) return false;
  selectMatch(node, match.index, match[0].length);
  return true;
}

function selectMatch(node, offset, length) {
  const row = node.parentNode.closest('tr');
  const state = row && rowWindows.get(row.closest('table'));
  if (state && windowedState(state.table) && row.parentNode === state.table.tBodies[0]) {
    bringRowIntoView(state, row);
  } else {
    node.parentNode.scrollIntoView({ block: 'nearest' });
  }
  const range = document.createRange();
  range.setStart(node, offset);
  range.setEnd(node, offset + length);
  const selection = getSelection();
  selection.removeAllRanges();
  selection.addRange(range);
}

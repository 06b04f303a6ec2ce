// ---- Find ----------------------------------------------------------------------
// Finds text in what the page shows, rows of long tables that are out of view included:
// the first match after the current one (before it when backwards; from the top, or the
// bottom, for a new text), wrapping around. The match is selected and scrolled into view.
// Case is ignored. Answers whether the text was found.

const findState = { query: '', node: null, offset: -1 };  // the current match

// Text nodes the page shows, in document order; rows a long table does not display count.
function shownTextWalker() {
  return document.createTreeWalker(document.body, NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_TEXT, {
    acceptNode(node) {
      if (node.nodeType === Node.TEXT_NODE) return NodeFilter.FILTER_ACCEPT;
      if (node.matches('script, style, select, textarea, .hidden, .window-spacer, section:not(.active), ' +
        '#zoom-warning:not(.active)')) return NodeFilter.FILTER_REJECT;
      return NodeFilter.FILTER_SKIP;
    },
  });
}

function findInPage(query, backwards = false, again = false) {
  const needle = query.toLowerCase();
  if (needle === '') return false;
  settleLowerScores();  // every ranking block as Show/Hide Lower Scores left it
  const walker = shownTextWalker();
  // The index of a match in the node from the given index on (backwards: at or before it).
  const matchIn = (node, from) => {
    const text = node.data.toLowerCase();
    if (!backwards) return text.indexOf(needle, from);
    return from < 0 ? -1 : text.lastIndexOf(needle, from);
  };
  let node = null;
  let at = -1;
  if (again && findState.query === needle && findState.node && findState.node.isConnected) {
    node = findState.node;
    walker.currentNode = node;
    at = matchIn(node, backwards ? findState.offset - 1 : findState.offset + 1);
  }
  // Goes on node by node, once around the page at most.
  let laps = 0;
  while (at < 0) {
    node = backwards ? walker.previousNode() : walker.nextNode();
    if (!node) {
      if (++laps > 1) break;
      walker.currentNode = document.body;
      node = backwards ? walker.lastChild() : walker.nextNode();
      if (!node) break;
    }
    at = matchIn(node, backwards ? Infinity : 0);
  }
  findState.query = needle;
  findState.node = at >= 0 ? node : null;
  findState.offset = at;
  if (at < 0) return false;
  selectMatch(node, at, needle.length);
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

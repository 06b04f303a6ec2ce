// Table sorter: any table[data-sortable] sorts by a press on a header cell.
(function () {
  'use strict';

  var DEFAULT_SELECTOR = 'table[data-sortable]';
  var NUMERIC_PATTERN = /^-?[£$¤]?[0-9,.]*[0-9][0-9,.]*%?$/;
  // Digits with date separators (2025-03-01, 1/3/2025, 01.03.2025), with an optional time.
  // Date.parse alone also takes texts such as "Junior 1" or "Class 1" for dates.
  var DATE_PATTERN = /^\d{1,4}([-\/.])\d{1,2}\1\d{1,4}(?:[ T]\d{1,2}:\d{2}(?::\d{2}(?:\.\d+)?)?)?$/;

  var types = [
    {
      name: 'numeric',
      defaultSortDirection: 'ascending',
      match: function (value) { return NUMERIC_PATTERN.test(value); },
      comparator: function (value) {
        var n = parseFloat(value.replace(/[^0-9.\-]/g, ''));
        return isNaN(n) ? -Infinity : n;
      }
    },
    {
      name: 'date',
      defaultSortDirection: 'ascending',
      match: function (value) { return DATE_PATTERN.test(value) && !isNaN(Date.parse(value)); },
      comparator: function (value) {
        var t = Date.parse(value);
        return isNaN(t) ? 0 : t;
      }
    },
    {
      name: 'alpha',
      defaultSortDirection: 'ascending',
      match: function () { return true; },
      compare: function (a, b) { return a.localeCompare(b); }
    }
  ];

  function typeByName(name) {
    for (var i = 0; i < types.length; i++) {
      if (types[i].name === name) return types[i];
    }
    return null;
  }

  function headerCells(table) {
    return table.tHead ? table.tHead.querySelectorAll('th') : [];
  }

  var Sortable = {
    types: types,
    selector: DEFAULT_SELECTOR,

    init: function (options) {
      var selector = (options && options.selector) || DEFAULT_SELECTOR;
      var tables = document.querySelectorAll(selector);
      var results = [];
      for (var i = 0; i < tables.length; i++) results.push(Sortable.initTable(tables[i]));
      return results;
    },

    reinitialize: function (target) {
      var tables;
      if (typeof target === 'string') tables = document.querySelectorAll(target);
      else if (target && target.nodeType === 1) tables = [target];
      else tables = document.querySelectorAll(DEFAULT_SELECTOR);
      var results = [];
      for (var i = 0; i < tables.length; i++) {
        var table = tables[i];
        table.removeAttribute('data-sortable-initialized');
        var ths = headerCells(table);
        for (var j = 0; j < ths.length; j++) {
          ths[j].removeAttribute('data-sorted');
          ths[j].removeAttribute('data-sorted-direction');
        }
        results.push(Sortable.initTable(table));
      }
      return results;
    },

    initTable: function (table) {
      if (!table.tHead) return undefined;
      if (table.getAttribute('data-sortable-initialized') === 'true') return table;
      table.setAttribute('data-sortable-initialized', 'true');
      var ths = headerCells(table);
      for (var i = 0; i < ths.length; i++) {
        if (ths[i].getAttribute('data-sortable') !== 'false') {
          Sortable.setupClickableHeader(table, ths[i], i);
        }
      }
      return table;
    },

    setupClickableHeader: function (table, th, columnIndex) {
      if (th._sortableHandler) {
        th.removeEventListener('pointerdown', th._sortableHandler);
        th._sortableHandler = null;
      }
      var type = Sortable.getColumnType(table, columnIndex);
      var handler = function () {
        var sorted = th.getAttribute('data-sorted') === 'true';
        var direction = th.getAttribute('data-sorted-direction');
        var newDirection = sorted
          ? (direction === 'ascending' ? 'descending' : 'ascending')
          : type.defaultSortDirection;
        var siblings = th.parentNode ? th.parentNode.children : [];
        for (var i = 0; i < siblings.length; i++) {
          siblings[i].removeAttribute('data-sorted');
          siblings[i].removeAttribute('data-sorted-direction');
        }
        th.setAttribute('data-sorted', 'true');
        th.setAttribute('data-sorted-direction', newDirection);
        Sortable.sortTable(table, columnIndex, type, sorted, newDirection);
      };
      th.addEventListener('pointerdown', handler);
      th._sortableHandler = handler;
    },

    sortTable: function (table, columnIndex, type, sorted, direction) {
      var body = table.tBodies[0];
      if (!body) return;
      var rows = Array.prototype.slice.call(body.rows);
      var fragment = document.createDocumentFragment();
      var i;
      // The rows are taken out all at once and put back in their new order: one bulk
      // removal costs far less than moving each row out of the body on its own.
      if (sorted) {
        body.textContent = '';
        for (i = rows.length - 1; i >= 0; i--) fragment.appendChild(rows[i]);
        body.appendChild(fragment);
        return;
      }
      var entries = new Array(rows.length);
      for (i = 0; i < rows.length; i++) {
        var value = Sortable.getNodeValue(rows[i].cells[columnIndex]);
        entries[i] = {
          row: rows[i],
          position: i,
          key: type.comparator ? type.comparator(value) : value
        };
      }
      var descending = direction === 'descending';
      var compare = type.compare;
      entries.sort(function (a, b) {
        if (a.key === b.key) return a.position - b.position;
        var result = compare ? compare(a.key, b.key) : a.key - b.key;
        if (descending) result = -result;
        return result || a.position - b.position;
      });
      body.textContent = '';
      for (i = 0; i < entries.length; i++) fragment.appendChild(entries[i].row);
      body.appendChild(fragment);
    },

    getColumnType: function (table, columnIndex) {
      var th = headerCells(table)[columnIndex];
      if (th) {
        var forced = typeByName(th.getAttribute('data-sortable-type'));
        if (forced) return forced;
      }
      var body = table.tBodies[0];
      if (!body || body.rows.length === 0) return typeByName('alpha');
      var rows = body.rows;
      for (var i = 0; i < rows.length; i++) {
        var cell = rows[i].cells[columnIndex];
        if (!cell) continue;
        var value = Sortable.getNodeValue(cell);
        if (value === '') continue;
        for (var j = 0; j < types.length; j++) {
          if (types[j].match(value)) return types[j];
        }
      }
      return typeByName('alpha');
    },

    getNodeValue: function (cell) {
      if (!cell) return '';
      if (cell.hasAttribute('data-value')) return cell.getAttribute('data-value');
      return (cell.innerText || cell.textContent).trim();
    }
  };

  window.Sortable = Sortable;

  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', function () { Sortable.init(); });
  } else {
    Sortable.init();
  }
})();

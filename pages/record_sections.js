// ---- Record sections -------------------------------------------------------

// The full reset of every record form, for a page that shows no contest.
const formResets = [];

// Wires the save, clear and delete buttons of one record form.
// The form is reset as soon as an entry passes its checks, before the save is sent: keys
// typed ahead for the next entry land in the right inputs however fast they come. All the
// saves of a submit are sent at once, and the host runs requests in the order they come, so
// the saves of every form are made in the order they were entered, across submits; the
// refused saves of a submit are told in one message that names their entries, which the form
// no longer shows. The table reloads follow the save; a reload asked for while one runs is
// made once more after it, so reloads never pile up ahead of the next save. A reload that
// fails says why, as a failed save does.
function recordSection(form) {
  const numberInput = $(form.numberInput);
  let reloading = null;
  let reloadAgain = false;
  const refresh = () => {
    if (reloading) {
      reloadAgain = true;
      return reloading;
    }
    reloading = (async () => {
      await reportingRefresh(async () => {
        do {
          reloadAgain = false;
          for (const refresher of form.refreshers) await refresher();
        } while (reloadAgain);
      });
      reloading = null;
    })();
    return reloading;
  };
  const shortReset = () => {
    numberInput.value = 'none';
    form.shortReset();
  };
  const fullReset = () => {
    shortReset();
    if (form.fullReset) form.fullReset();
  };
  formResets.push(fullReset);

  $(form.form).addEventListener('submit', async (event) => {
    event.preventDefault();
    if (noContest()) {
      alert(NO_CONTEST_MESSAGE);
      return;
    }
    const number = numberInput.value.trim();
    const outcome = form.check(number);
    if (outcome === null) return;
    shortReset();
    if (outcome.abort) return;
    const saves = outcome.calls.map(({ args, entry }) => form.save(args).then(() => null, (error) => ({ error, entry })));
    const refusals = (await Promise.all(saves)).filter((refusal) => refusal !== null);
    if (refusals.length) showErrors(refusals);
    await refresh();
  });

  $(form.clear).addEventListener('click', async () => {
    fullReset();
    await refresh();
  });

  $(form.delete).addEventListener('click', async () => {
    if (noContest()) {
      alert(NO_CONTEST_MESSAGE);
      return;
    }
    const number = numberInput.value.trim();
    if (number === 'none') return;
    fullReset();
    try {
      await form.remove(number);
    } catch (error) {
      showError(error);
    }
    await refresh();
  });
  return refresh;
}

// One save of a submit: its argument fields, and how a message names the entry.
function saveCall(entry, ...fields) {
  return { args: joinFields(...fields), entry };
}

// Runs checks in order; the first failing one alerts and ends the save.
function firstFailure(checks) {
  for (const [failed, message] of checks) {
    if (failed) {
      alert(message);
      return true;
    }
  }
  return false;
}

recordSection({
  form: 'divisions-form',
  numberInput: 'division-number-inp',
  clear: 'clear-division-btn',
  delete: 'delete-division-btn',
  refreshers: [loadDivisions],
  save: hostBridge.save_division,
  remove: hostBridge.delete_division,
  check(number) {
    const name = $('division-name-inp').value.trim();
    if (firstFailure([[name === '', 'Enter a division name.']])) return null;
    const size = $('division-team-size-inp').value.trim();
    return { calls: [saveCall(name, number, name, size)] };
  },
  shortReset() {
    $('division-name-inp').value = '';
    $('division-name-inp').focus();
  },
  fullReset() {
    $('division-team-size-inp').value = '3';
  }
});

recordSection({
  form: 'teams-form',
  numberInput: 'team-number-inp',
  clear: 'clear-team-btn',
  delete: 'delete-team-btn',
  refreshers: [loadTeams],
  save: hostBridge.save_team,
  remove: hostBridge.delete_team,
  check(number) {
    const division = selectedNumber($('team-division-name-inp'));
    const name = $('team-name-inp').value.trim();
    if (firstFailure([
      [division === null, 'Select a division name.'],
      [name === '', 'Enter a team name.']
    ])) return null;
    const type = $('team-type-inp').value;
    const coach = $('team-coach-name-inp').value.trim();
    return { calls: [saveCall(name, number, division, type, name, coach)] };
  },
  shortReset() {
    $('team-name-inp').value = '';
    $('team-coach-name-inp').value = '';
    $('team-name-inp').focus();
  },
  fullReset() {
    $('team-division-name-inp').value = '';
    $('team-type-inp').value = 'Team';
    $('team-division-name-inp').focus();
  }
});

function splitNames(text) {
  return text.split(/[\n\r,;]/).map((s) => s.trim()).filter((s) => s !== '');
}

recordSection({
  form: 'contestants-form',
  numberInput: 'contestant-number-inp',
  clear: 'clear-contestant-btn',
  delete: 'delete-contestant-btn',
  refreshers: [loadContestants, loadContestantCounts],
  save: hostBridge.call_save_contestant,
  remove: hostBridge.delete_contestant,
  check(number) {
    const team = selectedNumber($('contestant-division-team-name-inp'));
    const names = splitNames($('contestant-name-inp').value);
    if (firstFailure([
      [team === null, 'Select a division team name.'],
      [names.length === 0, 'Enter a contestant name.']
    ])) return null;
    if (number !== 'none' && names.length > 1) {
      alert('Multiple names cannot be used for an update.');
      return { abort: true };
    }
    return { calls: names.map((name) => saveCall(name, number, team, name)) };
  },
  shortReset() {
    $('contestant-name-inp').value = '';
    $('contestant-name-inp').focus();
  },
  fullReset() {
    $('contestant-division-team-name-inp').value = '';
    $('contestant-division-team-name-inp').focus();
  }
});

$('contestant-name-inp').addEventListener('keydown', (event) => {
  if (event.key === 'Enter') {
    event.preventDefault();
    $('save-contestant-btn').click();
  }
});

recordSection({
  form: 'class-types-form',
  numberInput: 'class-type-number-inp',
  clear: 'clear-class-type-btn',
  delete: 'delete-class-type-btn',
  refreshers: [loadClassTypes],
  save: hostBridge.save_class_type,
  remove: hostBridge.delete_class_type,
  check(number) {
    const name = $('class-type-name-inp').value.trim();
    if (firstFailure([[name === '', 'Enter a class type name.']])) return null;
    return { calls: [saveCall(name, number, name)] };
  },
  shortReset() {
    $('class-type-name-inp').value = '';
    $('class-type-name-inp').focus();
  }
});

recordSection({
  form: 'classes-form',
  numberInput: 'class-number-inp',
  clear: 'clear-class-btn',
  delete: 'delete-class-btn',
  refreshers: [loadClasses],
  save: hostBridge.save_class,
  remove: hostBridge.delete_class,
  check(number) {
    const type = selectedNumber($('classes-class-type-inp'));
    const name = $('class-name-inp').value.trim();
    const placing = $('class-placing-inp').value.trim();
    const cuts = $('class-cuts-inp').value.trim();
    if (firstFailure([
      [type === null, 'Select a class type.'],
      [name === '', 'Enter a class name.'],
      [placing !== '' && !isPlacing(placing), 'This is not a valid placing.'],
      [cuts !== '' && !isCuts(cuts), 'These are not valid cuts.']
    ])) return null;
    warnCuts(cuts);
    return { calls: [saveCall(name, number, type, name, placing, cuts)] };
  },
  shortReset() {
    $('class-name-inp').value = '';
    $('class-placing-inp').value = '';
    $('class-cuts-inp').value = '';
    $('class-name-inp').focus();
  },
  fullReset() {
    $('classes-class-type-inp').value = '';
    $('classes-class-type-inp').focus();
  }
});

const refreshPlacings = recordSection({
  form: 'placings-form',
  numberInput: 'placing-number-inp',
  clear: 'clear-placing-btn',
  delete: 'delete-placing-btn',
  refreshers: [loadPlacings, loadPlacingCounts],
  save: hostBridge.save_placing,
  remove: hostBridge.delete_placing,
  check(number) {
    const classNo = $('placing-class-inp').value.trim();
    const contestantNo = $('placing-contestant-inp').value.trim();
    const placing = $('placing-placing-inp').value.trim();
    const reasons = $('placing-reasons-inp').value.trim();
    if (firstFailure([
      [classNo === '', 'Enter a class number.'],
      [contestantNo === '', 'Enter a contestant number.'],
      [placing !== '' && !isPlacingOrZero(placing), 'This is not a valid placing.'],
      [reasons !== '' && !isReasonsScore(reasons), 'This is not a valid reasons score.'],
      [number !== 'none' && placing === '', 'Enter a placing.'],
      [placing === '' && reasons === '', 'Enter a placing and/or reasons score.']
    ])) return null;
    const entry = ['Class No. ' + classNo, 'Cont. No. ' + contestantNo];
    if (placing !== '') entry.push('Placing ' + placing);
    if (reasons !== '') entry.push('Reasons ' + reasons);
    return { calls: [saveCall(entry.join(', '), number, classNo, contestantNo, placing, reasons)] };
  },
  shortReset() {
    $('placing-contestant-inp').value = '';
    $('placing-placing-inp').value = '';
    $('placing-reasons-inp').value = '';
    $('placing-contestant-inp').focus();
  },
  fullReset() {
    $('placing-class-inp').value = '';
    $('placing-class-inp').focus();
  }
});

$('refresh-placings-table-btn').addEventListener('click', refreshPlacings);

// ---- Row clicks --------------------------------------------------------------

function cellText(row, n) {
  return row.cells[n - 1].textContent;
}

// Calls handler(row) for a click on any cell of a body row of the table.
function onRowClick(table, handler) {
  const body = table.tBodies[0];
  body.addEventListener('click', (event) => {
    const row = event.target.closest('tr');
    if (row && row.parentNode === body) handler(row);
  });
}

onRowClick($('divisions-table'), (row) => {
  $('division-number-inp').value = row.dataset.number;
  $('division-name-inp').value = cellText(row, 1);
  $('division-team-size-inp').value = cellText(row, 2);
});

onRowClick($('teams-table'), (row) => {
  $('team-number-inp').value = row.dataset.number;
  $('team-division-name-inp').value = cellText(row, 1);
  $('team-type-inp').value = cellText(row, 2);
  $('team-name-inp').value = cellText(row, 3);
  $('team-coach-name-inp').value = cellText(row, 4);
});

onRowClick($('contestants-table'), (row) => {
  const number = row.dataset.number;
  $('contestant-number-inp').value = number;
  // A contestant's team number is its own number with the units digit cleared.
  const n = parseInt(number, 10);
  $('contestant-division-team-name-inp').value = isNaN(n) ? '' : String(n - (n % 10));
  $('contestant-name-inp').value = cellText(row, 3);
});

onRowClick($('class-types-table'), (row) => {
  $('class-type-number-inp').value = row.dataset.number;
  $('class-type-name-inp').value = cellText(row, 1);
});

onRowClick($('classes-table'), (row) => {
  $('class-number-inp').value = row.dataset.number;
  $('classes-class-type-inp').value = cellText(row, 2);
  $('class-name-inp').value = cellText(row, 3);
  $('class-placing-inp').value = cellText(row, 4);
  $('class-cuts-inp').value = cellText(row, 5);
});

onRowClick($('placings-table'), (row) => {
  $('placing-number-inp').value = row.dataset.number;
  $('placing-class-inp').value = cellText(row, 1);
  $('placing-contestant-inp').value = cellText(row, 2);
  $('placing-placing-inp').value = cellText(row, 3);
  $('placing-reasons-inp').value = cellText(row, 4);
});

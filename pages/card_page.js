// Shared by the Placing Card and the Reasons Card; each page sets NAMES_ROUTE, SAVE_ROUTE,
// CHECK_MESSAGE and VALUE_NAME ("placing" or "reasons", the prefix of its ids) and splices in
// input_checks.js first.
const contestantInput = document.getElementById('contestant-number-inp');
const classInput = document.getElementById('class-number-inp');
const valueInput = document.getElementById(VALUE_NAME + '-inp');
const stepTwo = document.getElementById(VALUE_NAME + '-section');
const infoBox = document.getElementById('info-box');
const infoText = document.getElementById('info-text');
const successBox = document.getElementById('success-box');
const successText = document.getElementById('success-text');

function isCardNumber(text) {
  return /^[1-9]\d*$/.test(text);
}

function isValidValue(text) {
  return VALUE_NAME === 'placing' ? isPlacingOrZero(text) : isReasonsScore(text);
}

// Names come from the contest and are shown as text, never read as markup.
function setLines(element, lines) {
  element.replaceChildren();
  lines.forEach((line, index) => {
    if (index > 0) element.appendChild(document.createElement('br'));
    element.appendChild(document.createTextNode(line));
  });
}

function showMessage(box, textElement, lines) {
  setLines(textElement, lines);
  box.classList.remove('hidden');
}

function showError(box, textElement, message) {
  box.classList.add('error');
  showMessage(box, textElement, [message]);
}

function resetCard() {
  valueInput.value = '';
  for (const [box, textElement] of [[infoBox, infoText], [successBox, successText]]) {
    textElement.replaceChildren();
    box.className = 'info-display hidden';
  }
  stepTwo.className = 'hidden';
}

async function postCard(route, body) {
  const response = await fetch(route, { method: 'POST', headers: { 'Content-Type': 'text/plain' }, body });
  if (!response.ok) {
    let message = 'Request failed';
    try {
      const answer = await response.json();
      if (answer && typeof answer.error === 'string' && answer.error !== '') message = answer.error;
    } catch (ignored) {
      // Not JSON: the general message stands.
    }
    throw new Error(message);
  }
  return response.text();
}

async function fetchCardNames(body) {
  const text = await postCard(NAMES_ROUTE, body);
  if (text.startsWith('ERROR:')) throw new Error(text.slice(6));
  return text;
}

function submitCardValue(body) {
  return postCard(SAVE_ROUTE, body);
}

async function getNames() {
  resetCard();
  const contestant = contestantInput.value.trim();
  const classNumber = classInput.value.trim();
  if (contestant === '' || classNumber === '') {
    showError(infoBox, infoText, 'Please enter both numbers.');
    return;
  }
  if (!isCardNumber(contestant) || !isCardNumber(classNumber)) {
    showError(infoBox, infoText, 'Please enter a valid number.');
    return;
  }
  try {
    const answer = await fetchCardNames(contestant + FIELD_SEPARATOR + classNumber);
    const [contestantName = '', className = '', placing = ''] = answer.split(FIELD_SEPARATOR);
    if (contestantName === '' || className === '') {
      showError(infoBox, infoText, 'One of your numbers is incorrect.');
      return;
    }
    if (contestantName === 'None') {
      showError(infoBox, infoText, className);
      return;
    }
    const lines = [contestantName, className];
    // The Reasons Card also shows the placing the contestant handed in.
    if (VALUE_NAME === 'reasons') lines.push(placing === '' ? 'No placing' : placing);
    showMessage(infoBox, infoText, lines);
    stepTwo.classList.remove('hidden');
  } catch (failure) {
    showError(infoBox, infoText, 'Error: ' + failure.message);
  }
}

function showOutcome(succeeded, message) {
  successBox.classList.remove(succeeded ? 'error' : 'success');
  successBox.classList.add(succeeded ? 'success' : 'error');
  showMessage(successBox, successText, [message]);
}

// A second tap while the submission is on its way does nothing: sent again, the stored
// value would answer "Submission failed." over the first answer's "Submitted.".
let submitting = false;

async function submitValue() {
  if (submitting) return;
  const contestant = contestantInput.value.trim();
  const classNumber = classInput.value.trim();
  const value = valueInput.value.trim();
  if (!isValidValue(value)) {
    showOutcome(false, CHECK_MESSAGE);
    return;
  }
  submitting = true;
  try {
    const answer = await submitCardValue([contestant, classNumber, value].join(FIELD_SEPARATOR));
    if (answer === 'true') showOutcome(true, 'Submitted.');
    else showOutcome(false, 'Submission failed.');
  } catch (failure) {
    showOutcome(false, 'Error: ' + failure.message);
  } finally {
    submitting = false;
  }
}

// Tapping a number while step 2 shows starts over with that number, so a shared device
// is ready for the next contestant.
for (const input of [contestantInput, classInput]) {
  input.addEventListener('focus', () => {
    if (stepTwo.classList.contains('hidden')) return;
    input.value = '';
    resetCard();
  });
}

document.getElementById('submit-numbers-btn').addEventListener('click', getNames);
document.getElementById('submit-' + VALUE_NAME + '-btn').addEventListener('click', submitValue);

// ---- Input checks ------------------------------------------------------------
// The checks the main page and the card pages both make: both splice in this one file, so
// an official and a contestant are held to the same values. Kept to 7-bit ASCII, as the
// card pages are.

// A placing: the digits 1 to 4, each once, in any order.
function isPlacing(text) {
  return text.split('').sort().join('') === '1234';
}

// What a contestant's placing may be entered as: a placing, or 0.
function isPlacingOrZero(text) {
  return isPlacing(text) || text === '0';
}

// A reasons score: a whole number from 0 to 50, written without leading zeros.
function isReasonsScore(text) {
  return /^(0|[1-9]|[1-4][0-9]|50)$/.test(text);
}

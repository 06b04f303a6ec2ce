// The Placing Card and the Reasons Card in Debian's chromium, against the real card
// server of the bridge harness with a contest set up through the protocol.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { setUpContest, startCardHarness } from './lib/cards.mjs';
import { FIELD_SEPARATOR, launchBrowser } from './lib/harness.mjs';

const MARKUP_NAME = '<img src=x onerror="window.injected=1">';
// Contestants 1011 Ann, 1012 Ben, 1013 the markup name, 1014 None; classes 1 to 4.
const CONTESTANTS = ['Ann', 'Ben', MARKUP_NAME, 'None'];
const CLASSES = ['Cows', 'Sheep', 'Pigs', '<b>Goats</b>'];

let harness;
let browser;

before(async () => {
  harness = await startCardHarness();
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
  await harness?.stop();
});

// One card page in a fresh browser context, with helpers for its two steps.
async function openCard(path) {
  const context = await browser.newContext();
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  await page.goto(harness.baseUrl + path);
  const valueInput = path === '/placing' ? '#placing-inp' : '#reasons-inp';
  const submitButton = path === '/placing' ? '#submit-placing-btn' : '#submit-reasons-btn';
  const sectionTwo = path === '/placing' ? '#placing-section' : '#reasons-section';

  const shown = (selector) => page.waitForFunction(
    (s) => !document.querySelector(s).classList.contains('hidden'), selector);
  const box = async (boxSelector, textSelector) => ({
    text: await page.innerText(textSelector),
    classes: await page.getAttribute(boxSelector, 'class'),
  });
  return {
    page,
    errors,
    async getNames(contestant, classNumber) {
      await page.fill('#contestant-number-inp', contestant);
      await page.fill('#class-number-inp', classNumber);
      await page.click('#submit-numbers-btn');
      await shown('#info-box');
      return box('#info-box', '#info-text');
    },
    async submit(value) {
      await page.evaluate(() => document.getElementById('success-box').classList.add('hidden'));
      await page.fill(valueInput, value);
      await page.click(submitButton);
      await shown('#success-box');
      return box('#success-box', '#success-text');
    },
    stepTwoShown: async () => !(await page.getAttribute(sectionTwo, 'class')).includes('hidden'),
    sectionTwo,
    valueInput,
    close: () => context.close(),
  };
}

describe('card pages', () => {
  test('without an open contest, Get Names shows the no-contest message', async () => {
    const card = await openCard('/placing');
    const info = await card.getNames('1011', '1');
    assert.equal(info.text, 'Error: A contest is not open.');
    assert.equal(info.classes, 'info-display error');
    assert.equal(await card.stepTwoShown(), false);
    await card.close();
    await setUpContest(harness, CONTESTANTS, CLASSES);
  });

  test('both pages load at step 1 with the title and nothing else shown', async () => {
    for (const [path, title] of [['/placing', 'Placing Card'], ['/reasons', 'Reasons Card']]) {
      const card = await openCard(path);
      assert.equal(await card.page.title(), title);
      assert.equal(await card.page.innerText('h1'), title);
      assert.equal(await card.page.getAttribute(card.sectionTwo, 'class'), 'hidden');
      assert.equal(await card.page.getAttribute('#info-box', 'class'), 'info-display hidden');
      assert.equal(await card.page.getAttribute('#success-box', 'class'), 'info-display hidden');
      assert.equal(await card.page.getAttribute('#contestant-number-inp', 'inputmode'), 'numeric');
      assert.deepEqual(card.errors, []);
      await card.close();
    }
  });

  test('step 1 refuses missing, malformed and unknown numbers', async () => {
    const card = await openCard('/placing');
    const cases = [
      ['', '1', 'Please enter both numbers.'],
      ['1011', '', 'Please enter both numbers.'],
      ['0', '1', 'Please enter a valid number.'],
      ['012', '1', 'Please enter a valid number.'],
      ['1.5', '1', 'Please enter a valid number.'],
      ['1011', '-1', 'Please enter a valid number.'],
      ['1011', '99', 'One of your numbers is incorrect.'],
      ['1099', '1', 'One of your numbers is incorrect.'],
    ];
    for (const [contestant, classNumber, message] of cases) {
      const info = await card.getNames(contestant, classNumber);
      assert.equal(info.text, message, `${contestant}/${classNumber}`);
      assert.equal(info.classes, 'info-display error');
      assert.equal(await card.stepTwoShown(), false);
    }
    await card.close();
  });

  test('names from the contest are shown as text, never as markup', async () => {
    const card = await openCard('/placing');
    const info = await card.getNames('1013', '4');
    assert.equal(info.text, `${MARKUP_NAME}\n<b>Goats</b>`);
    assert.equal(info.classes, 'info-display');
    assert.equal(await card.page.locator('#info-text img, #info-text b').count(), 0);
    assert.equal(await card.page.evaluate(() => window.injected), undefined);
    await card.close();
  });

  test('a contestant named None shows the second field as an error', async () => {
    const card = await openCard('/placing');
    const info = await card.getNames('1014', '2');
    assert.equal(info.text, 'Sheep');
    assert.equal(info.classes, 'info-display error');
    assert.equal(await card.stepTwoShown(), false);
    await card.close();
  });

  test('the Placing Card checks the placing and takes one submission only', async () => {
    const card = await openCard('/placing');
    const info = await card.getNames('1011', '1');
    assert.equal(info.text, 'Ann\nCows');
    assert.equal(info.classes, 'info-display');
    assert.equal(await card.stepTwoShown(), true);

    for (const bad of ['1244', '12345', '5555', '']) {
      const outcome = await card.submit(bad);
      assert.equal(outcome.text, 'Not a valid placing.', bad);
      assert.equal(outcome.classes, 'info-display error');
    }
    const first = await card.submit('4321');
    assert.equal(first.text, 'Submitted.');
    assert.equal(first.classes, 'info-display success');
    const again = await card.submit('4321');
    assert.equal(again.text, 'Submission failed.');
    assert.equal(again.classes, 'info-display error');

    // 0 is a placing the page accepts (no placing given).
    await card.getNames('1012', '1');
    assert.equal((await card.submit('0')).text, 'Submitted.');

    // A second tap while the first submission is on its way sends nothing.
    await card.getNames('1012', '2');
    let posts = 0;
    await card.page.route('**/api/save_card_placing', async (route) => {
      posts += 1;
      await new Promise((resolve) => setTimeout(resolve, 300));
      await route.continue();
    });
    await card.page.fill(card.valueInput, '2143');
    await card.page.click('#submit-placing-btn');
    await card.page.click('#submit-placing-btn');
    await card.page.waitForFunction(() => document.getElementById('success-text').textContent !== '');
    await new Promise((resolve) => setTimeout(resolve, 500));
    assert.equal(await card.page.innerText('#success-text'), 'Submitted.');
    assert.equal(posts, 1);
    await card.close();
  });

  test('tapping a number at step 2 empties it and starts over', async () => {
    const card = await openCard('/placing');
    await card.getNames('1012', '2');
    await card.page.fill(card.valueInput, '1234');
    await card.page.focus('#contestant-number-inp');
    assert.equal(await card.page.inputValue('#contestant-number-inp'), '');
    assert.equal(await card.page.inputValue('#class-number-inp'), '2');
    assert.equal(await card.page.inputValue(card.valueInput), '');
    assert.equal(await card.stepTwoShown(), false);
    assert.equal(await card.page.getAttribute('#info-box', 'class'), 'info-display hidden');
    assert.equal(await card.page.getAttribute('#success-box', 'class'), 'info-display hidden');

    // At step 1 a focus changes nothing.
    await card.page.fill('#contestant-number-inp', '1012');
    await card.page.focus('#class-number-inp');
    await card.page.focus('#contestant-number-inp');
    assert.equal(await card.page.inputValue('#contestant-number-inp'), '1012');
    await card.close();
  });

  test('the Reasons Card shows the placing or No placing, and takes one score', async () => {
    const card = await openCard('/reasons');
    const none = await card.getNames('1012', '3');
    assert.equal(none.text, 'Ben\nPigs\nNo placing');
    assert.equal((await card.submit('40')).text, 'Submission failed.');

    const placed = await card.getNames('1011', '1');  // placed 4321 on the Placing Card
    assert.equal(placed.text, 'Ann\nCows\n4321');
    for (const bad of ['51', '07', '-1', '4.5']) {
      const outcome = await card.submit(bad);
      assert.equal(outcome.text, 'Not a valid reasons score.', bad);
      assert.equal(outcome.classes, 'info-display error');
    }
    const first = await card.submit('50');
    assert.equal(first.text, 'Submitted.');
    assert.equal(first.classes, 'info-display success');
    assert.equal((await card.submit('49')).text, 'Submission failed.');
    await card.close();

    // The scores the page accepts each reach the server.
    for (const [classNumber, score] of [['2', '0'], ['3', '7'], ['4', '49']]) {
      const saved = await fetch(`${harness.baseUrl}/api/save_card_placing`, {
        method: 'POST', body: ['1013', classNumber, '1234'].join(FIELD_SEPARATOR),
      });
      assert.equal(await saved.text(), 'true');
      const reasons = await openCard('/reasons');
      await reasons.getNames('1013', classNumber);
      assert.equal((await reasons.submit(score)).text, 'Submitted.', score);
      await reasons.close();
    }
    assert.equal(await (await fetch(`${harness.baseUrl}/api/fetch_card_names_and_placing`, {
      method: 'POST', body: ['1011', '1'].join(FIELD_SEPARATOR),
    })).text(), ['Ann', 'Cows', '4321'].join(FIELD_SEPARATOR));
  });

  test('a failed request shows the JSON error, or Request failed', async () => {
    const card = await openCard('/placing');
    await card.page.route('**/api/fetch_card_names', (route) => route.fulfill({
      status: 408, contentType: 'application/json', body: '{"error":"Request timeout"}',
    }));
    assert.equal((await card.getNames('1011', '1')).text, 'Error: Request timeout');

    await card.page.unroute('**/api/fetch_card_names');
    await card.getNames('1011', '2');
    await card.page.route('**/api/save_card_placing', (route) => route.fulfill({ status: 500, body: 'oops' }));
    const outcome = await card.submit('1234');
    assert.equal(outcome.text, 'Error: Request failed');
    assert.equal(outcome.classes, 'info-display error');
    await card.close();
  });
});

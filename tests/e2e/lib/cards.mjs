// Pieces of the card page tests: the bridge harness with its card server on a loopback
// port, and a contest set up through the page-host protocol.
import { execFileSync } from 'node:child_process';
import net from 'node:net';
import path from 'node:path';
import { FIELD_SEPARATOR, directRequest, makeHome, startHarness } from './harness.mjs';

const NOT_AVAILABLE = 'ERROR:This operation is not available yet.';

function freePort() {
  return new Promise((resolve, reject) => {
    const probe = net.createServer();
    probe.on('error', reject);
    probe.listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

// Starts the harness under a temporary HOME with the card server on a free loopback port.
// call(name, ...fields) sends one request and resolves with its reply's result text.
export async function startCardHarness() {
  if (!process.env.BRIDGE_HARNESS) throw new Error('BRIDGE_HARNESS is not set (run through ctest)');
  const home = makeHome();
  const port = await freePort();
  const harness = startHarness({
    home: home.home, env: { TALLYWELL_CARD_PORT: String(port) }, killAfterMs: 20000,
  });

  const baseUrl = `http://127.0.0.1:${port}`;
  for (let attempt = 0; ; attempt++) {
    try {
      if ((await fetch(`${baseUrl}/health`)).ok) break;
    } catch (notYet) {
      if (attempt > 100) throw new Error('the card server did not start');
    }
    await new Promise((resolve) => setTimeout(resolve, 50));
  }

  return {
    home: home.home,
    baseUrl,
    call: (name, ...fields) => directRequest(harness, name, fields.join(FIELD_SEPARATOR)),
    async stop() {
      await harness.stop();
      home.remove();
    },
  };
}

// Creates the contest "Fair" with division 1000, group 1010 and the given contestants
// (numbered 1011 on) and classes (ids 1 on). The setup operations are used through the
// protocol; while they are not built yet the same rows are written with the sqlite3 tool.
export async function setUpContest(harness, contestants, classes) {
  const created = await harness.call('create_contest', 'Fair');
  if (created !== '') throw new Error(`create_contest answered ${created}`);
  const steps = [
    [['save_division', 'none', 'Junior'], "INSERT INTO divisions (name) VALUES ('Junior')"],
    [['save_team', 'none', '1000', 'Group', 'North'],
      "INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'North')"],
    ...contestants.map((name) => [['call_save_contestant', 'none', '1010', name],
      `INSERT INTO contestants (team_no, name) VALUES (1010, '${name.replaceAll("'", "''")}')`]),
    [['save_class_type', 'none', 'Dairy'], "INSERT INTO class_types (name) VALUES ('Dairy')"],
    ...classes.map((name) => [['save_class', 'none', '1', name],
      `INSERT INTO classes (type_id, name, timestamp) VALUES (1, '${name.replaceAll("'", "''")}', datetime('now'))`]),
  ];
  const database = path.join(harness.home, 'Desktop', 'Fair', 'contest.db');
  let byProtocol = true;
  for (const [request, sql] of steps) {
    if (byProtocol) {
      const result = await harness.call(...request);
      if (result === '') continue;
      if (result !== NOT_AVAILABLE) throw new Error(`${request[0]} answered ${result}`);
      byProtocol = false;
    }
    execFileSync('sqlite3', [database, sql]);
  }
}

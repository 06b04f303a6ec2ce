'use strict';

const FIELD_SEPARATOR = '\u001F';

// ---- Request bridge ----------------------------------------------------

let requestCounter = 0;
const pendingCalls = new Map();

function sendRequest(name, args = '') {
  requestCounter += 1;
  const id = String(requestCounter);
  const message = id + ':' + name + ':' + args;
  return new Promise((resolve, reject) => {
    pendingCalls.set(id, { resolve, reject });
    window.chrome.webview.postMessage(message);
  });
}

function onHostReply(event) {
  const text = String(event.data);
  const colon = text.indexOf(':');
  const id = colon < 0 ? text : text.slice(0, colon);
  const result = colon < 0 ? '' : text.slice(colon + 1);
  const pending = pendingCalls.get(id);
  if (!pending) return;
  pendingCalls.delete(id);
  if (result.startsWith('ERROR:')) pending.reject(new Error(result.slice(6)));
  else pending.resolve(result);
}

window.chrome.webview.addEventListener('message', onHostReply);

const hostBridge = {};
for (const name of ['create_contest', 'save_division', 'delete_division', 'save_team',
  'delete_team', 'call_save_contestant', 'delete_contestant', 'save_class_type',
  'delete_class_type', 'save_class', 'delete_class', 'save_placing', 'delete_placing']) {
  hostBridge[name] = (args) => sendRequest(name, args);
}
for (const name of ['open_contest', 'fetch_divisions', 'fetch_teams', 'fetch_contestants',
  'fetch_contestant_counts', 'fetch_class_types', 'fetch_classes', 'fetch_wifi_addresses',
  'fetch_placings', 'fetch_placing_counts', 'fetch_indiv_scores', 'fetch_indiv_rankings',
  'fetch_team_rankings']) {
  hostBridge[name] = () => sendRequest(name);
}

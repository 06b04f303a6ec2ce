// The application's own run on the GTK layer, showing a test page instead of the main page.
// The page exercises window.chrome.webview against the real worker and prints what it saw
// through the operation "report", one line each on standard output. The desktop tests
// drive it under Xvfb and close it as a user would.
//   webview_bridge_check bridge   requests, replies, texts and navigation attempts
//   webview_bridge_check dialog   asks for the contest file dialog at once
//   webview_bridge_check wifi     asks for the card links, reporting the length of the answer
//   webview_bridge_check main     the main page, reporting when its requests are answered and
//                                 what is selected
//   webview_bridge_check timing   the same, also reporting how long the page takes for what
//                                 a click starts (for bench/page_window.mjs):
//     time NAME MS     from a click on a link or button (NAME: the link's section or the
//                      button's id) or a press on a header ("sort" and its text) to the end of
//                      the first frame after every request the page made meanwhile is answered
//     places JSON      then, where the links, the Show/Hide button and the individual scores
//                      headers stand in the window, when displayed
//     longest NAME MS  after that frame, the longest the page took between two frames (while
//                      it did not answer), until its frames have come without a pause of over
//                      50 ms for a second (for 10 s at most)
#include <cstdio>
#include <mutex>
#include <string>

#include "dispatch/function_table.h"
#include "pages/page_texts.h"
#include "shell/lifecycle.h"
#include "shell/platform/gtk_layer.h"
#include "shell/text_conversion.h"

namespace {
const char* BRIDGE_PAGE = R"HTML(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>bridge check</title></head>
<body><p>Bridge check ✓</p><script>
'use strict';
const bridgeAtFirstScript = typeof window.chrome?.webview?.postMessage === 'function' &&
  typeof window.chrome.webview.addEventListener === 'function';
const report = (line) => window.chrome.webview.postMessage('0:report:' + line);
let counter = 0;
const pending = new Map();
const arrivals = [];
window.chrome.webview.addEventListener('message', (event) => {
  const text = event.data;
  const colon = text.indexOf(':');
  const id = text.slice(0, colon);
  if (id === '0') return;
  arrivals.push(Number(id));
  const settle = pending.get(id);
  if (settle) { pending.delete(id); settle(text.slice(colon + 1)); }
});
const send = (name, args = '') => new Promise((resolve) => {
  const id = String(++counter);
  pending.set(id, resolve);
  window.chrome.webview.postMessage(id + ':' + name + ':' + args);
});
// What the browser keys do shows in the page: zoom changes its width, find selects the match.
addEventListener('resize', () => report('width ' + innerWidth));
document.addEventListener('selectionchange', () => {
  const selected = String(getSelection());
  if (selected) report('selection ' + selected);
});
async function run() {
  report('started');
  report('width ' + innerWidth);
  const samples = ['', 'plain', 'a:b::c:', 'x\u001fy\u001f\u001f', 'Café ✓ 日本 😀 é', '"quotes" \\back\\slash \'single\'',
    'line\nbreak\r\ttab', 'sep\u2028ara\u2029tors', '<\/script><b>bold</b>', '${x} `tick`', '\u007f\u0001\u001b',
    'ERROR:not a failure here', 'x'.repeat(100000) + 'é'];
  const echoed = await Promise.all(samples.map((s) => send('echo', s)));
  const echoFailures = samples.filter((s, i) => echoed[i] !== s).map((s) => JSON.stringify(s.slice(0, 40)));
  const firstId = arrivals[0];
  const inOrder = arrivals.every((id, i) => i === 0 || id === arrivals[i - 1] + 1);
  const many = await Promise.all(Array.from({length: 300}, (_, i) => send('echo', String(i))));
  const manyOk = many.every((r, i) => r === String(i));
  const orderAfterMany = arrivals.every((id, i) => i === 0 || id === arrivals[i - 1] + 1);
  const unknown = await send('no_such_operation');
  const nul = await send('echo', 'ab\u0000cd');
  window.chrome.webview.postMessage({ notText: true });
  const afterObject = await send('echo', 'still answered');
  report('result ' + JSON.stringify({ bridgeAtFirstScript, echoFailures, firstId, inOrder, manyOk, orderAfterMany,
    unknown, nul, afterObject }));
  // Every way a page could leave itself: none may take the page away.
  window.stayedHere = 'yes';
  try { location.reload(); } catch (e) {}
  try { location.href = 'about:blank'; } catch (e) {}
  try { history.back(); } catch (e) {}
  try { window.open('about:blank', '_blank'); } catch (e) {}
  const link = document.createElement('a');
  link.href = 'data:text/html,<p>away</p>';
  document.body.appendChild(link);
  link.click();
  setTimeout(() => report('still-here ' + window.stayedHere), 1500);
}
run();
</script></body></html>)HTML";

const char* DIALOG_PAGE = R"HTML(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>dialog check</title></head>
<body><p>Dialog check</p><script>
window.chrome.webview.addEventListener('message', (event) => {
  const text = event.data;
  if (text.startsWith('1:')) window.chrome.webview.postMessage('0:report:open ' + text.slice(2));
});
window.chrome.webview.postMessage('0:report:started');
window.chrome.webview.postMessage('1:open_contest:');
</script></body></html>)HTML";

// Asks for the card links a moment after start-up, when the card server has had its try.
const char* WIFI_PAGE = R"HTML(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>wifi check</title></head>
<body><p>Wi-Fi check</p><script>
window.chrome.webview.addEventListener('message', (event) => {
  const text = event.data;
  if (text.startsWith('1:')) window.chrome.webview.postMessage('0:report:wifi ' + (text.length - 2));
});
setTimeout(() => window.chrome.webview.postMessage('1:fetch_wifi_addresses:'), 1000);
</script></body></html>)HTML";

// Added to the main page: reports "request N" as the page sends its Nth request, "idle N"
// each time the page's N requests so far are all answered, "selection TEXT" as the
// selection changes, and "ready" once the page has the keyboard with a text field focused,
// so keys sent to the window reach that field.
const char* MAIN_PAGE_OBSERVER = R"HTML(<script>
(() => {
  const webview = window.chrome.webview;
  const report = (line) => webview.postMessage('0:report:' + line);
  let requests = 0;
  let replies = 0;
  const post = webview.postMessage;
  webview.postMessage = (message) => {
    post(message);
    if (!String(message).startsWith('0:')) report('request ' + ++requests);
  };
  webview.addEventListener('message', (event) => {
    if (String(event.data).startsWith('0:')) return;
    replies += 1;
    if (replies === requests) setTimeout(() => { if (replies === requests) report('idle ' + requests); }, 0);
  });
  window.observerAnswered = () => replies === requests;
  document.addEventListener('selectionchange', () => {
    const text = String(getSelection());
    if (text) report('selection ' + text);
  });
  report('started');
  const ready = setInterval(() => {
    if (!document.hasFocus() || document.activeElement?.tagName !== 'INPUT') return;
    clearInterval(ready);
    report('ready');
  }, 20);
})();
</script>)HTML";

// Added after the main page observer in the timing mode.
const char* TIMING_OBSERVER = R"HTML(<script>
(() => {
  const report = (line) => window.chrome.webview.postMessage('0:report:' + line);
  const places = () => {
    const centre = (element) => {
      const box = element.getBoundingClientRect();
      return box.width ? [Math.round(box.left + box.width / 2), Math.round(box.top + box.height / 2)] : null;
    };
    const found = {};
    for (const link of document.querySelectorAll('nav a')) found[link.dataset.page] = centre(link);
    found.showHide = centre(document.getElementById('rankings-show-hide-btn'));
    found.scoreHeaders = Array.from(document.querySelectorAll('#indiv-scores-table thead tr:first-child th'), centre);
    return JSON.stringify(found);
  };
  const watch = (name) => {
    const from = performance.now();
    let last = from;
    let quietFrom = from;
    let longest = 0;
    const frame = () => {
      const now = performance.now();
      longest = Math.max(longest, now - last);
      if (now - last > 50) quietFrom = now;
      last = now;
      if (now - quietFrom > 1000 || now - from > 10000) report('longest ' + name + ' ' + Math.round(longest));
      else requestAnimationFrame(frame);
    };
    requestAnimationFrame(frame);
  };
  const start = (name) => {
    const at = performance.now();
    const check = () => {
      if (!window.observerAnswered()) {
        requestAnimationFrame(check);
        return;
      }
      setTimeout(() => {
        report('time ' + name + ' ' + Math.round(performance.now() - at));
        report('places ' + places());
        watch(name);
      }, 0);
    };
    requestAnimationFrame(check);
  };
  document.addEventListener('click', (event) => {
    const target = event.target.closest('nav a, button');
    if (target) start(target.dataset.page || target.id);
  }, true);
  document.addEventListener('pointerdown', (event) => {
    const th = event.target.closest('th');
    if (th) start('sort ' + th.textContent.trim());
  }, true);
  report('places ' + places());
})();
</script>)HTML";

std::mutex output_mutex;

std::string report(const std::string& line) {
  std::lock_guard<std::mutex> lock(output_mutex);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  return std::string();
}
}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "bridge";
  std::u16string page = utf8_to_utf16(mode == "dialog" ? DIALOG_PAGE : mode == "wifi" ? WIFI_PAGE : BRIDGE_PAGE);
  if (mode == "main" || mode == "timing") {
    page = main_page;
    page.insert(page.rfind(u"</body>"),
                utf8_to_utf16(std::string(MAIN_PAGE_OBSERVER) + (mode == "timing" ? TIMING_OBSERVER : "")));
  }
  register_function("echo", [](const std::string& args) { return args; });
  register_function("report", report);
  install_gtk_layer();
  const int code = run_desktop_app(page);
  report("exit " + std::to_string(code));
  return code;
}

// ---- Wi-Fi -------------------------------------------------------------------

// The drawings are SVG documents from the host; parse them as SVG, never as HTML.
function svgNode(text) {
  const doc = new DOMParser().parseFromString(text, 'image/svg+xml');
  const root = doc.documentElement;
  if (!root || root.localName !== 'svg') return null;
  return document.importNode(root, true);
}

function showCard(block, label, svgText) {
  const caption = document.createElement('p');
  caption.textContent = label;
  const drawing = svgNode(svgText);
  if (drawing) block.replaceChildren(caption, drawing);
  else block.replaceChildren(caption);
}

$('wifi-address-btn').addEventListener('click', async () => {
  const fields = (await hostBridge.fetch_wifi_addresses()).split(FIELD_SEPARATOR);
  if (fields[0] !== '') {
    showCard($('placing-qrcode'), fields[0], fields[1] || '');
    showCard($('reasons-qrcode'), fields[2] || '', fields[3] || '');
  } else {
    $('placing-qrcode').replaceChildren();
    $('reasons-qrcode').replaceChildren();
  }
});

// ---- Start-up ----------------------------------------------------------------

$('contest-name-inp').focus();
// The navigation wraps rather than overflow: a second line of links also means the page is
// wider than the window.
const navLinks = document.querySelectorAll('nav a');
const navWraps = navLinks[navLinks.length - 1].offsetTop > navLinks[0].offsetTop;
if (document.body.scrollWidth > window.innerWidth || navWraps) {
  const warning = $('zoom-warning');
  warning.classList.add('active');
  setTimeout(() => warning.classList.remove('active'), 10000);
}

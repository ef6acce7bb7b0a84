#include "app/sources/http_page.h"

#include <string_view>

#include "app/panel/control_ids.h"
#include "app/panel/control_table.h"

namespace {
std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

bool Arrow(int id) { return id == idc::Up || id == idc::Down || id == idc::Left || id == idc::Right; }

std::string Control(const ControlListing& c) {
  const std::string id = std::to_string(c.id);
  const std::string label = Escaped(c.caption);
  const std::string kind = c.kind;
  if (kind == "button") {
    if (Arrow(c.id)) return "<button class=arrow data-arrow=" + id + " id=c" + id + ">" + label + "</button>";
    return "<button data-click=" + id + " id=c" + id + ">" + label + "</button>";
  }
  if (kind == "check box" || kind == "radio button")
    return "<label class=check><input type=checkbox data-click=" + id + " id=c" + id + "> " + label + "</label>";
  if (kind == "slider") {
    for (const SliderRange& r : SliderRanges())
      if (r.id == c.id)
        return "<label>" + label + " <input type=range data-slide=" + id + " id=c" + id + " min=" + std::to_string(r.min) +
               " max=" + std::to_string(r.max) + "></label>";
  }
  if (kind == "list" || kind == "sorted list") {
    const std::vector<std::string>& entries = ListEntries(c.id);
    std::string s = "<label>" + label + " <select data-select=" + id + " id=c" + id + ">";
    for (std::size_t i = 0; i < entries.size(); ++i)
      s += "<option value=" + std::to_string(i) + ">" + Escaped(entries[i]) + "</option>";
    return s + "</select></label>";
  }
  if (kind == "edit") return "<label>" + label + " <input data-type=" + id + " id=c" + id + " autocomplete=off></label>";
  if (kind == "log") return "<ol class=log id=c" + id + " aria-label=\"" + label + "\"></ol>";
  return "<output id=c" + id + " aria-label=\"" + label + "\"></output>";  // the status line and the like
}
}  // namespace

std::string PanelPage() {
  std::string html =
      "<!doctype html><html lang=zh><head><meta charset=utf-8>"
      "<meta name=viewport content=\"width=device-width,initial-scale=1\">"
      "<title>Varnel</title><link rel=stylesheet href=/panel.css><script src=/panel.js defer></script></head><body>"
      "<header><output id=status></output><span id=link>…</span></header>"
      "<form id=login hidden><label>Token <input type=password id=token autocomplete=current-password></label>"
      "<button>Sign in</button></form>"
      "<main id=panel>"
      "<fieldset class=stick><legend>Stick</legend><div id=stick><div id=knob></div></div></fieldset>"
      "<fieldset class=live><legend>Sent</legend><output id=sent></output><ol id=replies></ol></fieldset>";
  std::string group;
  for (const ControlListing& c : ListControls()) {
    if (c.group != group) {
      if (!group.empty()) html += "</fieldset>";
      group = c.group;
      html += "<fieldset><legend>" + Escaped(group) + "</legend>";
    }
    html += Control(c);
  }
  if (!group.empty()) html += "</fieldset>";
  return html + "</main></body></html>";
}

std::string PanelStyle() {
  return R"(body{font-family:"WenQuanYi Micro Hei","Noto Sans CJK SC","Microsoft YaHei",sans-serif;margin:0;background:#eee}
header{position:sticky;top:0;background:#234;color:#fff;padding:8px;display:flex;gap:8px;justify-content:space-between;z-index:2}
main{display:flex;flex-wrap:wrap;gap:8px;padding:8px}
fieldset{background:#fff;border:1px solid #aaa;border-radius:6px;flex:1 1 300px;display:flex;flex-wrap:wrap;gap:6px;align-items:center;align-content:flex-start;align-self:flex-start}
button,select,input{font:inherit;min-height:44px}
button{min-width:64px;touch-action:manipulation}
label{display:flex;gap:4px;align-items:center}
input[type=range]{width:160px}
.arrow{background:#cde}
#stick{width:180px;height:180px;border-radius:50%;background:#dde;position:relative;touch-action:none}
#knob{width:60px;height:60px;border-radius:50%;background:#468;position:absolute;left:60px;top:60px}
.log,#replies{font-family:monospace;max-height:200px;overflow:auto;width:100%;margin:0;padding-left:2em}
.stick,.live{flex:1 1 200px;align-items:flex-start}
#sent{word-break:break-all}
output{font-family:monospace})";
}

std::string PanelScript() {
  using namespace idc;
  const auto n = [](int id) { return std::to_string(id); };
  return "'use strict';\nconst ids = {up: " + n(Up) + ", down: " + n(Down) + ", left: " + n(Left) + ", right: " + n(Right) +
         ", log: " + n(RecvLog) + ", sent: " + n(SentFrame) + ", status: " + n(Status) + "};\n" + R"JS(
// Every action is one command in script mode's words; the page is one source.
const page = Math.random().toString(36).slice(2, 12);
const $ = (id) => document.getElementById(id);
async function command(line) {
  const r = await fetch('/api/command', {method: 'POST', headers: {'Content-Type': 'text/plain', 'X-Varnel-Page': page},
                                          body: line, credentials: 'same-origin'});
  if (r.status === 401) { $('login').hidden = false; return ''; }
  return r.text();
}
// A stick is held while renewed: sent again well inside the server's hold, and let go at every way a finger leaves.
let held = null, renew = null;
function steer(x, y) {
  held = [x, y];
  command('stick ' + x.toFixed(2) + ' ' + y.toFixed(2));
  if (!renew) renew = setInterval(() => held && command('stick ' + held[0].toFixed(2) + ' ' + held[1].toFixed(2)), 200);
}
function letGo() {
  if (!held) return;
  held = null;
  clearInterval(renew);
  renew = null;
  command('stick 0 0');
}
const arrows = {[ids.up]: [0, -1], [ids.down]: [0, 1], [ids.left]: [-1, 0], [ids.right]: [1, 0]};
for (const b of document.querySelectorAll('[data-arrow]')) {
  const [x, y] = arrows[b.dataset.arrow];
  b.addEventListener('pointerdown', (e) => { b.setPointerCapture(e.pointerId); steer(x, y); });
  for (const end of ['pointerup', 'pointercancel', 'lostpointercapture']) b.addEventListener(end, letGo);
  b.addEventListener('contextmenu', (e) => e.preventDefault());
}
const pad = $('stick'), knob = $('knob');
function stickAt(e) {
  const r = pad.getBoundingClientRect();
  let x = (e.clientX - r.left) / (r.width / 2) - 1, y = (e.clientY - r.top) / (r.height / 2) - 1;
  const m = Math.hypot(x, y);
  if (m > 1) { x /= m; y /= m; }
  knob.style.left = (r.width / 2 * (1 + x) - 30) + 'px';
  knob.style.top = (r.height / 2 * (1 + y) - 30) + 'px';
  steer(x, y);
}
pad.addEventListener('pointerdown', (e) => { pad.setPointerCapture(e.pointerId); stickAt(e); });
pad.addEventListener('pointermove', (e) => { if (held) stickAt(e); });
for (const end of ['pointerup', 'pointercancel', 'lostpointercapture'])
  pad.addEventListener(end, () => { knob.style.left = knob.style.top = '60px'; letGo(); });
document.addEventListener('visibilitychange', () => { if (document.hidden) letGo(); });
addEventListener('pagehide', () => {
  if (held) navigator.sendBeacon('/api/command?page=' + page, new Blob(['stick 0 0'], {type: 'text/plain'}));
  held = null;
});
for (const b of document.querySelectorAll('button[data-click]')) b.addEventListener('click', () => command('click ' + b.dataset.click));
for (const c of document.querySelectorAll('input[data-click]')) c.addEventListener('change', async () => {
  await command('click ' + c.dataset.click);
  const got = await command('get ' + c.dataset.click);
  c.checked = got.startsWith(c.dataset.click + '=1');
});
for (const s of document.querySelectorAll('[data-select]')) s.addEventListener('change', () => command('select ' + s.dataset.select + ' ' + s.value));
for (const s of document.querySelectorAll('[data-slide]')) s.addEventListener('change', () => command('slide ' + s.dataset.slide + ' ' + s.value));
for (const t of document.querySelectorAll('[data-type]')) t.addEventListener('change', () => command('type ' + t.dataset.type + ' ' + t.value));
$('login').addEventListener('submit', async (e) => {
  e.preventDefault();
  const r = await fetch('/api/login', {method: 'POST', headers: {'Content-Type': 'text/plain'}, body: $('token').value});
  if (r.ok) { $('login').hidden = true; listen(); }
});
// What happens on the panel, live: the status line, the frames sent, the log, the decoded replies.
function add(list, text) {
  const li = document.createElement('li');
  li.textContent = text;
  list.append(li);
  while (list.children.length > 500) list.firstChild.remove();
  list.scrollTop = list.scrollHeight;
}
let events = null;
function listen() {
  if (events) events.close();
  events = new EventSource('/api/events?page=' + page);
  events.onopen = () => { $('link').textContent = '●'; };
  events.onerror = () => { $('link').textContent = '○'; };
  events.onmessage = (m) => {
    const [kind, ...rest] = m.data.split(' ');
    const text = rest.join(' ');
    if (kind === 'status') $('status').textContent = text;
    else if (kind === 'tx') $('sent').textContent = $('c' + ids.sent).textContent = rest[0];
    else if (kind === 'rx') add($('c' + ids.log), rest[0]);
    else if (kind === 'reply') add($('replies'), text);
  };
}
// What the panel holds now, each control read as script mode's `get` reads it.
async function load() {
  for (const el of document.querySelectorAll('[data-select],[data-slide],[data-type],input[data-click]')) {
    const id = el.dataset.select || el.dataset.slide || el.dataset.type || el.dataset.click;
    const m = new RegExp('^' + id + '=(.*)$', 'm').exec(await command('get ' + id));
    if (!m) continue;
    if (el.type === 'checkbox') el.checked = m[1] === '1';
    else el.value = m[1];
  }
}
load();
command('get ' + ids.status).then((t) => { const m = new RegExp('^' + ids.status + '=(.*)$', 'm').exec(t); if (m) $('status').textContent = m[1]; });
listen();
)JS";
}

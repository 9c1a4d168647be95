// The device in a browser: the screen from the server's frames, the mouse
// and touch as the finger, keys and pasted text to the focused field, and
// the Device controls; all over one WebSocket.
"use strict";

const $ = (id) => document.getElementById(id);
const canvas = $("canvas"), ctx = canvas.getContext("2d");
const phone = $("phone");
let socket = null, points = null, zoom = "fit", drawing = Promise.resolve();
// What a test or a bench reads: frames drawn and when the last one was.
window.calmora = { frames: 0, bytes: 0, lastFrameAt: 0, connected: false };

function send(message) {
  if (socket && socket.readyState === WebSocket.OPEN) socket.send(JSON.stringify(message));
}

function state(text, problem) {
  $("state").textContent = text;
  $("state").classList.toggle("problem", !!problem);
}

// ---- the screen -------------------------------------------------------

function chosenZoom() {
  if (zoom !== "fit" || !points) return Number(zoom) || 1;
  // The whole phone (its body adds 170 points of height) in the window.
  const room = Math.max(200, window.innerHeight - 40);
  return Math.min(2, Math.max(0.5, room / (points.height + 170)));
}

// The screen at its points times the zoom; frames of 2 pixels a point
// where that many device pixels fall on a point.
function layout() {
  if (!points) return;
  const z = chosenZoom();
  phone.style.setProperty("--zoom", z);
  canvas.style.width = points.width * z + "px";
  canvas.style.height = points.height * z + "px";
  send({ type: "scale", scale: z * window.devicePixelRatio > 1 ? 2 : 1 });
}

function drawFrame(buffer) {
  const view = new DataView(buffer);
  const length = view.getUint32(0);
  const head = JSON.parse(new TextDecoder().decode(new Uint8Array(buffer, 4, length)));
  let at = 4 + length;
  const images = head.tiles.map((t) => {
    const blob = new Blob([new Uint8Array(buffer, at, t[4])], { type: "image/png" });
    at += t[4];
    return createImageBitmap(blob);
  });
  // In order, each frame whole: its tiles are drawn together once decoded.
  drawing = drawing
    .then(() => Promise.all(images))
    .then((bitmaps) => {
      if (canvas.width !== head.width || canvas.height !== head.height) {
        canvas.width = head.width;
        canvas.height = head.height;
      }
      // Rows the device scrolled move first; the tiles then fill what came into view.
      if (head.move) {
        const [top, height, dy] = head.move;
        ctx.drawImage(canvas, 0, top - dy, canvas.width, height, 0, top, canvas.width, height);
      }
      bitmaps.forEach((b, i) => {
        ctx.drawImage(b, head.tiles[i][0], head.tiles[i][1]);
        b.close();
      });
      window.calmora.frames++;
      window.calmora.lastFrameAt = performance.now();
    })
    .catch(() => {});
}

function notice(text) {
  $("notice").textContent = text;
  $("notice").hidden = !text;
}

// A line over the bottom of the screen for 2 s, as the device window says
// what the phone did.
let noteTimer = 0;
function note(text) {
  $("note").textContent = text;
  $("note").hidden = false;
  clearTimeout(noteTimer);
  noteTimer = setTimeout(() => ($("note").hidden = true), 2000);
}

function fill(select, items, chosen) {
  select.replaceChildren(...items.map((a) => new Option(a.name, a.bundle, false, a.bundle === chosen)));
}

function device(info) {
  points = { width: info.width, height: info.height };
  window.calmora.points = points;
  $("title").textContent = info.name + " — Calmora device";
  document.title = info.name + " — Calmora device";
  $("people").replaceChildren(...info.people.map((name) => new Option(name)));
  fill($("through"), info.callingApps);
  fill($("messageApp"), info.apps, info.messagesApp);
  $("silent").checked = info.silent;
  layout();
}

function connect() {
  const url = new URL("socket", location.href);
  url.protocol = location.protocol === "https:" ? "wss:" : "ws:";
  socket = new WebSocket(url);
  socket.binaryType = "arraybuffer";
  socket.onopen = () => {
    window.calmora.connected = true;
    state("Connected");
    notice("");
  };
  socket.onmessage = (e) => {
    if (typeof e.data !== "string") {
      window.calmora.bytes += e.data.byteLength;
      return drawFrame(e.data);
    }
    const m = JSON.parse(e.data);
    if (m.type === "device") device(m);
    else if (m.type === "notice") state(m.text, true);
    else if (m.type === "note") note(m.text);
    else if (m.type === "silent") $("silent").checked = m.on;
  };
  socket.onclose = () => {
    window.calmora.connected = false;
    state("Not connected: is simctl serve still running?", true);
    notice("The device is not reachable.");
    setTimeout(connect, 2000);
  };
}

// ---- the finger -------------------------------------------------------

function at(e) {
  const r = canvas.getBoundingClientRect();
  return { x: ((e.clientX - r.left) / r.width) * points.width, y: ((e.clientY - r.top) / r.height) * points.height };
}

let fingerDown = false;
canvas.addEventListener("pointerdown", (e) => {
  if (!points || e.button !== 0) return;
  phone.focus();
  canvas.setPointerCapture(e.pointerId);
  fingerDown = true;
  send({ type: "finger", phase: "down", ...at(e) });
  window.calmora.inputAt = performance.now();
  e.preventDefault();
});
canvas.addEventListener("pointermove", (e) => {
  if (fingerDown) send({ type: "finger", phase: "move", ...at(e) });
});
const lift = (e) => {
  if (!fingerDown) return;
  fingerDown = false;
  send({ type: "finger", phase: "up", ...at(e) });
};
canvas.addEventListener("pointerup", lift);
canvas.addEventListener("pointercancel", lift);

// The wheel turns the device's wheel under the pointer: 120 a notch,
// positive away from the person.
canvas.addEventListener(
  "wheel",
  (e) => {
    if (!points || fingerDown) return;
    e.preventDefault();
    const notches = e.deltaMode === 0 ? e.deltaY / 100 : e.deltaMode === 1 ? e.deltaY / 3 : e.deltaY;
    send({ type: "wheel", ...at(e), delta: Math.round(-notches * 120) });
  },
  { passive: false }
);

// ---- keys and pasted text ----------------------------------------------

// Keys go to the device unless a field of the controls has the focus.
const forDevice = () => !document.activeElement || !document.activeElement.closest("aside");
function key(e, down) {
  if (!forDevice() || e.metaKey || (e.ctrlKey && e.key === "v")) return;
  if (e.key.length > 1 && !["Backspace", "Tab", "Enter", "Escape", "Delete", "Home", "End",
      "ArrowUp", "ArrowDown", "ArrowLeft", "ArrowRight"].includes(e.key)) return;
  if (down) window.calmora.inputAt = performance.now();
  send({ type: "key", key: e.key, down, shift: e.shiftKey, control: e.ctrlKey, alt: e.altKey });
  e.preventDefault();
}
document.addEventListener("keydown", (e) => key(e, true));
document.addEventListener("keyup", (e) => key(e, false));
document.addEventListener("paste", (e) => {
  if (!forDevice()) return;
  send({ type: "paste", text: e.clipboardData.getData("text/plain") });
  e.preventDefault();
});

// ---- the controls -------------------------------------------------------

$("home").addEventListener("click", () => {
  send({ type: "home" });
  phone.focus();
});
$("zoom").addEventListener("change", (e) => {
  zoom = e.target.value;
  layout();
});
window.addEventListener("resize", () => zoom === "fit" && layout());
$("call").addEventListener("submit", (e) => {
  e.preventDefault();
  send({ type: "call", caller: $("caller").value, app: $("through").value });
  state("Call sent");
});
$("message").addEventListener("submit", (e) => {
  e.preventDefault();
  send({ type: "message", app: $("messageApp").value, sender: $("sender").value, text: $("text").value });
  state("Message sent");
});
$("light").addEventListener("click", () => send({ type: "appearance", style: "light" }));
$("dark").addEventListener("click", () => send({ type: "appearance", style: "dark" }));
// The box shows the switch as the server tells it, not as clicked.
$("silent").addEventListener("change", (e) => send({ type: "silent", on: e.target.checked }));
$("respring").addEventListener("click", () => send({ type: "respring" }));

connect();
phone.focus();

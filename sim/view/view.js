// The simulated recorder's window: reads the simulator's state document
// (/state) a few times a second and draws it. Whatever the simulator
// reports is set as text, never as markup: titles and OSC arguments come
// from anyone who can send a datagram.
"use strict";

const pollInterval = 200; // ms: how far behind the simulator the page may be
const retryInterval = 1000; // ms, while the simulator does not answer

const stateNames = { idle: "Idle", recording: "Recording", finishing: "Finishing" };
const kindNames = { syphon: "Syphon", ndi: "NDI" };
const codecNames = { h264: "H.264", hevc: "HEVC", prores422: "ProRes 422", prores4444: "ProRes 4444" };
const outputNames = { separate: "each source apart", assembled: "assembled", both: "each source and assembled" };
const settingTexts = {
  codec: (value) => codecNames[value] ?? value,
  fps: (value) => (value === 0 ? "every frame" : `at most ${value} fps`),
  bitrate: (value) => (value === 0 ? "automatic" : `${value} Mbit/s`),
  output: (value) => outputNames[value] ?? value,
  sound: (value) => (value === "" ? "none" : value === "computer" ? "this computer" : value),
  performance: (value) => (value ? "on" : "off"),
  folder: (value) => value,
  name: (value) => (value === "" ? "the app's name and the date" : value),
};

let latest = null; // the last document read, and when (performance.now())
let readAt = 0;
const drawn = {}; // the text of what each part was last drawn from
let messagesDrawn = false; // the first messages drawn are not new arrivals

function make(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

function clockText(seconds) {
  const tenths = Math.floor(seconds * 10);
  const two = (number) => String(number).padStart(2, "0");
  return `${two(Math.floor(tenths / 36000))}:${two(Math.floor(tenths / 600) % 60)}:` +
    `${two(Math.floor(tenths / 10) % 60)}.${tenths % 10}`;
}

function sourceText(source) {
  return `${kindNames[source.kind] ?? source.kind} · ${source.width} × ${source.height} · ${source.fps} fps`;
}

// Whether `value` differs from what the part `name` was last drawn from:
// a part drawn again loses its text selection and the pointer's hover.
function changed(name, value) {
  const text = JSON.stringify(value);
  if (drawn[name] === text) return false;
  drawn[name] = text;
  return true;
}

function percent(part, whole) {
  return `${(100 * part) / whole}%`;
}

function drawStatus(state) {
  document.getElementById("state").dataset.state = state.state;
  document.getElementById("state-name").textContent = stateNames[state.state] ?? state.state;
  const problem = document.getElementById("problem");
  problem.textContent = state.failure ? `Failure: ${state.failure}` : state.error ? `Error: ${state.error}` : "";
  problem.dataset.kind = state.failure ? "failure" : "error";
  problem.hidden = problem.textContent === "";
}

// The clock runs on between two reads while the app records.
function drawClock() {
  if (!latest) return;
  const running = latest.state === "recording" ? (performance.now() - readAt) / 1000 : 0;
  document.getElementById("clock").textContent = clockText(latest.elapsed + running);
}

function sourceBox(source, picture) {
  const box = make("div", "source");
  Object.assign(box.dataset, { place: source.place, title: source.title, kind: source.kind });
  Object.assign(box.style, {
    left: percent(source.box.x, picture.width),
    top: percent(source.box.y, picture.height),
    width: percent(source.box.width, picture.width),
    height: percent(source.box.height, picture.height),
  });
  const flags = make("span", "flags");
  flags.append(make("span", source.online ? "online" : "offline", source.online ? "online" : "offline"));
  if (source.sound) flags.append(make("span", "sound", "♪ sound"));
  box.append(make("span", "place", String(source.place)), make("strong", "title", source.title),
    make("span", "details", sourceText(source)), flags);
  box.title = `${source.place}. ${source.title}: ${sourceText(source)}`;
  return box;
}

function drawPicture(state) {
  const picture = state.assembled;
  const frame = document.getElementById("picture");
  Object.assign(frame.dataset, { width: picture.width, height: picture.height });
  const shown = picture.width > 0 && picture.height > 0;
  frame.style.setProperty("--ratio", shown ? `${picture.width} / ${picture.height}` : "16 / 9");
  frame.replaceChildren(...(shown ? state.chosen.map((source) => sourceBox(source, picture))
    : [make("p", "empty", "No source chosen")]));

  const { layout, gap, width, height } = state.settings;
  const parts = [shown ? `${picture.width} × ${picture.height}` : "no picture", layout, `gap ${gap} px`];
  if (width > 0 && height > 0) parts.push(`fitted into ${width} × ${height}`);
  document.getElementById("picture-caption").textContent = parts.join(" · ");
}

function drawOthers(others) {
  const list = document.getElementById("others");
  list.replaceChildren(...others.map((source) => {
    const item = make("li", "other");
    Object.assign(item.dataset, { title: source.title, kind: source.kind });
    item.append(make("strong", "title", source.title), make("span", "details", sourceText(source)));
    if (source.sound) item.append(make("span", "sound", "♪ sound"));
    return item;
  }));
  if (others.length === 0) list.append(make("li", "empty", "Every source is chosen"));
}

function drawSettings(settings) {
  for (const field of document.querySelectorAll("#settings [data-setting]")) {
    const value = settings[field.dataset.setting];
    field.dataset.value = String(value);
    const text = settingTexts[field.dataset.setting](value);
    // A folder breaks after a slash, and within a name only where a name is
    // longer than the line.
    if (field.dataset.setting === "folder") {
      field.replaceChildren(...text.split(/(?<=\/)/).flatMap((piece, at) => (at ? [make("wbr"), piece] : [piece])));
    } else {
      field.textContent = text;
    }
    field.title = String(value);
  }
}

function movieRow(what, movie) {
  const row = make("tr");
  row.dataset.movie = what;
  const file = make("td", "file");
  file.title = movie.file;
  file.append(make("span", "name", movie.file.slice(movie.file.lastIndexOf("/") + 1)),
    make("span", "what", what === "assembled" ? "assembled" : `source ${what}`));
  row.append(file, make("td", "number", String(movie.frames)), make("td", "number", String(movie.dropped)));
  return row;
}

function drawMovies(state) {
  const rows = [];
  if (state.assembled.file) rows.push(movieRow("assembled", state.assembled));
  for (const source of state.chosen) if (source.file) rows.push(movieRow(String(source.place), source));
  document.getElementById("movies").replaceChildren(...rows);
  document.getElementById("no-movies").hidden = rows.length > 0;
}

function argumentText(value, tag) {
  if (value === null) return "–";
  if (typeof value === "string") return JSON.stringify(value);
  return tag === "f" ? String(Number(value.toPrecision(7))) : String(value);
}

function messageItem(message) {
  const item = make("li", messagesDrawn ? "fresh" : "");
  Object.assign(item.dataset, { number: message.number, address: message.address });
  const time = make("time", "", new Date(message.time).toLocaleTimeString([], { hour12: false }));
  time.dateTime = new Date(message.time).toISOString();
  const args = message.arguments.map((value, index) => argumentText(value, message.types[index]));
  item.append(time, make("code", "address", message.address), make("code", "types", `,${message.types}`),
    make("code", "arguments", args.join(" ")));
  return item;
}

// Messages never change once received, so only the new ones are added at
// the top, and their highlight runs its course.
function drawMessages(messages) {
  const list = document.getElementById("messages");
  let shown = Number(list.querySelector("li[data-number]")?.dataset.number ?? 0);
  if ((messages[0]?.number ?? 0) < shown) { // the simulator started again
    list.replaceChildren();
    shown = 0;
  }
  list.querySelector("li.empty")?.remove();
  list.prepend(...messages.filter((message) => message.number > shown).map(messageItem));
  while (list.children.length > messages.length) list.lastElementChild.remove();
  if (messages.length === 0) list.append(make("li", "empty", "None yet"));
  messagesDrawn = true;
}

function draw(state) {
  latest = state;
  readAt = performance.now();
  drawStatus(state);
  drawClock();
  const places = state.chosen.map(({ file, frames, dropped, ...place }) => place);
  if (changed("picture", [state.assembled.width, state.assembled.height, state.settings, places])) {
    drawPicture(state);
  }
  if (changed("others", state.others)) drawOthers(state.others);
  if (changed("settings", state.settings)) drawSettings(state.settings);
  if (changed("movies", [state.assembled, state.chosen])) drawMovies(state);
  drawMessages(state.messages);
}

function showConnected(connected) {
  const connection = document.getElementById("connection");
  connection.dataset.connected = String(connected);
  connection.textContent = connected ? `live from ${location.host}` : "the simulator does not answer";
}

async function poll() {
  let delay = pollInterval;
  try {
    const answer = await fetch("/state", { cache: "no-store" });
    if (!answer.ok) throw new Error(`status ${answer.status}`);
    draw(await answer.json());
    showConnected(true);
  } catch {
    showConnected(false);
    delay = retryInterval;
  }
  setTimeout(poll, delay);
}

setInterval(drawClock, 100);
poll();

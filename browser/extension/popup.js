// The toolbar popup: whether Quillbay is reachable and intercepting, the one-shot skip, and
// the optional page-title lookup.
import { api, ask, isNextDownloadSkipped, skipNextDownload } from "./bridge.js";

const STATUS_TIMEOUT_MS = 3000;

const status = document.getElementById("status");
const skip = document.getElementById("skip");
const titles = document.getElementById("titles");

const NOT_RUNNING = "Quillbay is not running: the browser keeps its downloads.";

async function showStatus() {
  let text = NOT_RUNNING;
  try {
    const reply = await ask({ type: "status" }, STATUS_TIMEOUT_MS);
    if (reply.reachable && !reply.intercepting) text = "Quillbay is running; its interception is off.";
    else if (reply.reachable) text = "Quillbay is running and takes over clicked downloads.";
  } catch {
    // no host or no answer: not running
  }
  status.textContent = text;
  // Opened as a page (from the extensions page, say), the tab shows the status too.
  document.title = `Quillbay: ${text}`;
}

async function showSkip() {
  const skipped = await isNextDownloadSkipped();
  skip.textContent = skipped ? "Hand the next download to Quillbay again" : "Let the browser keep the next download";
  skip.setAttribute("aria-pressed", String(skipped));
}

skip.addEventListener("click", async () => {
  await skipNextDownload(!(await isNextDownloadSkipped()));
  await showSkip();
});

// The permission request must run straight from the click, before anything is awaited.
titles.addEventListener("change", () => {
  const tabs = { permissions: ["tabs"] };
  const change = titles.checked ? api.permissions.request(tabs) : api.permissions.remove(tabs);
  change.then(
    () => api.permissions.contains(tabs).then((granted) => { titles.checked = granted; }),
    () => { titles.checked = false; },
  );
});

api.permissions.contains({ permissions: ["tabs"] }).then((granted) => { titles.checked = granted; });
showSkip();
showStatus();

// Watches the browser's downloads and hands each one Quillbay can take to the running
// program. The browser's download is paused while Quillbay is asked, and it is cancelled only
// after Quillbay has confirmed the hand-off; every other outcome resumes it, so a click never
// loses a download.
import { api, ask, isNextDownloadSkipped, skipNextDownload } from "./bridge.js";

// How long each question may take before the browser downloads by itself. The probe may
// wait on the web server's answer to a HEAD request.
const PROBE_TIMEOUT_MS = 10000;
const HANDOFF_TIMEOUT_MS = 6000;

// The hand-off's source for a URL, or null when Quillbay does not take it.
function sourceFor(url) {
  let protocol;
  try {
    protocol = new URL(url).protocol;
  } catch {
    return null;
  }
  // The program's http client takes https too; the hand-off names both "http".
  if (protocol === "http:" || protocol === "https:") return "http";
  if (protocol === "ftp:") return "ftp";
  return null;
}

// The title of the page the download came from, when the user allowed the title lookup and
// that page is open; else empty.
async function describe(item) {
  if (!item.referrer) return "";
  try {
    if (!(await api.permissions.contains({ permissions: ["tabs"] }))) return "";
    const tabs = await api.tabs.query({});
    const page = tabs.find((tab) => tab.url === item.referrer);
    return page && page.title ? page.title : "";
  } catch {
    return "";
  }
}

async function takeOver(item) {
  if (item.state !== "in_progress") return;
  const url = item.finalUrl || item.url;
  const source = sourceFor(url);
  if (!source) return;
  if (await isNextDownloadSkipped()) {
    await skipNextDownload(false);
    return;
  }
  try {
    await api.downloads.pause(item.id);
  } catch {
    return; // already finished or gone: it stays with the browser
  }

  let handedOff = false;
  try {
    const probe = await ask({ type: "probe", url }, PROBE_TIMEOUT_MS);
    if (probe.verdict === 1) {
      const description = await describe(item);
      await ask({ type: "handoff", source, url, description }, HANDOFF_TIMEOUT_MS);
      handedOff = true;
    }
  } catch (error) {
    console.info(`Quillbay: the browser keeps ${url}: ${error.message}`);
  }

  if (handedOff) {
    await api.downloads.cancel(item.id);
    await api.downloads.erase({ id: item.id });
  } else {
    await api.downloads.resume(item.id);
  }
}

api.downloads.onCreated.addListener((item) => {
  takeOver(item).catch((error) => console.warn(`Quillbay: download ${item.id}: ${error.message}`));
});

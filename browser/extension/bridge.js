// What the background script and the toolbar popup share: the way to the running Quillbay
// through its native-messaging host, and the one-shot "skip" switch.

export const api = globalThis.browser ?? globalThis.chrome;

// The host manifest Quillbay writes while it runs carries this name.
const HOST = "example.verrin.quillbay";

// The state of the skip switch lives in the toolbar badge: the user sees it, and it
// outlives the background script, which the browser stops when idle.
const SKIP_BADGE = "skip";

// Asks the host; resolves with its reply when it says "ok", rejects on anything else:
// no host, the program not running, an error reply, or no answer within `timeoutMs`.
export function ask(message, timeoutMs) {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error("Quillbay did not answer in time")), timeoutMs);
    let sent;
    try {
      sent = Promise.resolve(api.runtime.sendNativeMessage(HOST, message));
    } catch (error) {
      sent = Promise.reject(error);
    }
    sent.then(
      (reply) => {
        clearTimeout(timer);
        if (reply && reply.ok === true) resolve(reply);
        else reject(new Error((reply && reply.message) || "Quillbay gave no answer"));
      },
      (error) => {
        clearTimeout(timer);
        reject(error instanceof Error ? error : new Error(String(error)));
      },
    );
  });
}

export async function skipNextDownload(skip) {
  await api.action.setBadgeText({ text: skip ? SKIP_BADGE : "" });
}

export async function isNextDownloadSkipped() {
  return (await api.action.getBadgeText({})) === SKIP_BADGE;
}

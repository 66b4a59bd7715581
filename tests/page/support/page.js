'use strict';
// Shared harness for the page tests: one headless Chromium per test file, a fresh page per
// test, either in browser mode or with a fake host bridge that records what the page posts.

const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const { chromium } = require('playwright-core');

const PAGE_FILE = path.resolve(__dirname, '../../../resources/workspace.html');
const PAGE_URL = pathToFileURL(PAGE_FILE).href;
const SIDEBAR_W = 188;

const LAUNCH_ARGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];

async function launchBrowser() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'twd-page-'));
  const context = await chromium.launchPersistentContext(dir, {
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: LAUNCH_ARGS,
    viewport: { width: 1100, height: 900 },
  });
  return {
    context,
    async close() {
      await context.close();
      fs.rmSync(dir, { recursive: true, force: true });
    },
  };
}

// Runs in the page before its own script. It keeps every posted value as it was given (so a
// test can tell a string from an object) together with which window functions existed then.
function installFakeBridge() {
  const target = new EventTarget();
  const posted = [];
  window.__posted = posted;
  window.chrome = window.chrome || {};
  window.chrome.webview = {
    postMessage(m) {
      const fns = ['loadGraph', 'loadWorkspaces', 'setWorkspaceDot', 'showError', 'hideError', 'loadDiff'];
      posted.push({
        kind: typeof m,
        value: m,
        ready: fns.filter((f) => typeof window[f] === 'function'),
        cards: document.querySelectorAll('.node').length,
      });
    },
    addEventListener: (type, fn) => target.addEventListener(type, fn),
    removeEventListener: (type, fn) => target.removeEventListener(type, fn),
  };
  window.__deliver = (data) => target.dispatchEvent(new MessageEvent('message', { data }));
}

// Opens the page. hosted: with the fake bridge; width: the graph area's width in CSS pixels.
async function openPage(browser, { hosted = false, width, height = 1000 } = {}) {
  const page = await browser.context.newPage();
  const errors = [];
  const requests = [];
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('request', (r) => requests.push(r.url()));
  page.on('dialog', (d) => { errors.push('dialog: ' + d.message()); d.dismiss(); });
  await page.setViewportSize({ width: SIDEBAR_W + (width ?? 912), height });
  if (hosted) await page.addInitScript(installFakeBridge);
  await page.goto(PAGE_URL);
  return {
    page,
    errors,
    requests,
    logText: () => page.textContent('#log'),
    posted: () => page.evaluate(() => window.__posted.map((p) => ({ ...p }))),
    clearPosted: () => page.evaluate(() => { window.__posted.length = 0; }),
    deliver: (data) => page.evaluate((d) => window.__deliver(d), data),
    // Calls a window function the way the host's script does.
    call: (fn, ...args) => page.evaluate(([f, a]) => window[f](...a), [fn, args]),
    display: (sel) => page.$eval(sel, (el) => getComputedStyle(el).display),
    close: () => page.close(),
  };
}

// Fixes the graph area's width (and keeps a scroll bar from eating into it) before a layout.
async function setCanvasWidth(p, w) {
  await p.page.evaluate((width) => {
    const c = document.getElementById('canvas');
    c.style.flex = 'none';
    c.style.height = '600px';
    c.style.overflow = 'hidden';
    c.style.width = width + 'px';
  }, w);
}

module.exports = { launchBrowser, openPage, setCanvasWidth, PAGE_FILE, PAGE_URL };

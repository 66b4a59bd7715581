'use strict';
// Saves screenshots of the page for a look by eye: `node tests/page/screenshots.js`.
// Writes build/screenshots/page-browser.png (as opened in a browser) and page-loaded.png
// (a root with five modules and a sidebar of three workspaces), page-error.png and page-diff.png.

const fs = require('node:fs');
const path = require('node:path');
const { launchBrowser, openPage } = require('./support/page');

const OUT = path.resolve(__dirname, '../../build/screenshots');

const GRAPH = {
  nodes: [
    { id: 'harbour', name: 'Harbour', root: true, ref: 'v3.1.0', branch: 'main', dirty: false, ahead: 0, behind: 0 },
    { id: 'ledger', name: 'Ledger', ref: 'main', branch: 'main', dirty: true, ahead: 0, behind: 0 },
    { id: 'beacon', name: 'Beacon', ref: 'main', branch: 'main', missing: true },
    { id: 'compass', name: 'Compass', ref: 'v1.4', branch: 'develop', ahead: 3, behind: 2 },
    { id: 'anchor', name: 'Anchor', ref: 'main', branch: 'main' },
    { id: 'lantern', name: 'Lantern', ref: 'main', branch: 'main' },
  ],
};
const LIST = { workspaces: [
  { id: 'harbour', name: 'Harbour' },
  { id: 'orbit', name: 'Orbit' },
  { id: 'long', name: 'A workspace with a very long name indeed' },
] };

async function main() {
  fs.mkdirSync(OUT, { recursive: true });
  const browser = await launchBrowser();
  try {
    const shots = [];
    const shoot = async (p, name) => {
      const file = path.join(OUT, name);
      await p.page.screenshot({ path: file });
      shots.push(file);
    };

    const plain = await openPage(browser, { width: 1012, height: 720 });
    await shoot(plain, 'page-browser.png');

    const hosted = await openPage(browser, { hosted: true, width: 1012, height: 720 });
    await hosted.call('loadWorkspaces', LIST);
    await hosted.call('loadGraph', GRAPH);
    await hosted.page.evaluate(() => {
      window.setWorkspaceDot('orbit', 'clean');
      window.setWorkspaceDot('long', 'dirty');
    });
    await hosted.deliver('{"type":"result","node":"anchor","action":"push","ok":true}');
    await hosted.page.hover('.node[data-node="compass"] button[data-a="push"]');
    await shoot(hosted, 'page-loaded.png');

    await hosted.page.click('#commit-btn');
    await hosted.page.click('#ws-add');
    await hosted.call('showError', 'Not signed in', 'Run `tw login` or paste a portal token below.', true);
    await shoot(hosted, 'page-error.png');

    await hosted.call('hideError');
    await hosted.call('loadDiff', { repos: [
      { name: 'ledger', diff: 'diff --git a/src/a.c b/src/a.c\n--- a/src/a.c\n+++ b/src/a.c\n@@ -1,3 +1,3 @@\n int main() {\n-  return 1;\n+  return 0;\n }' },
      { name: 'beacon', diff: '' },
    ] });
    await shoot(hosted, 'page-diff.png');

    if (plain.errors.length || hosted.errors.length) throw new Error('page errors: ' + plain.errors.concat(hosted.errors).join('; '));
    for (const f of shots) console.log(f);
  } finally {
    await browser.close();
  }
}

main().catch((e) => { console.error(e); process.exit(1); });

'use strict';
// The page's frame: the file itself, host detection, what every button posts, the start-up
// order, inbound host messages and the page-wide click rule of the clone menu.

const { test, describe, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const { launchBrowser, openPage, PAGE_FILE } = require('./support/page');

const BROWSER_SUFFIX = '  [no Hostwell: would run the CLI]';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser.close(); });

describe('the document file', () => {
  const bytes = fs.readFileSync(PAGE_FILE);
  const src = bytes.toString('utf8');

  test('is UTF-8 without a byte order mark, with CRLF at every line end', () => {
    assert.notDeepEqual([...bytes.subarray(0, 3)], [0xef, 0xbb, 0xbf]);
    assert.equal(Buffer.from(src, 'utf8').equals(bytes), true, 'not valid UTF-8');
    assert.equal(/(^|[^\r])\n/.test(src), false, 'a line ends in a bare LF');
    assert.ok(src.endsWith('\r\n'));
  });

  test('holds one style sheet and one script and refers to nothing outside', () => {
    assert.equal(src.match(/<style[\s>]/g).length, 1);
    assert.equal(src.match(/<script[\s>]/g).length, 1);
    assert.doesNotMatch(src, /<(link|img|iframe|object|embed)\b/i);
    assert.doesNotMatch(src, /\ssrc\s*=/i);
    assert.doesNotMatch(src, /@import|url\(|fetch\(|XMLHttpRequest|localStorage|document\.cookie/);
    // The token link is the one outward address (the SVG namespace is a name, not a place).
    const addresses = src.match(/https?:\/\/[^"'\s)]+/g).filter((a) => a !== 'http://www.w3.org/2000/svg');
    assert.deepEqual(addresses, ['https://portal.tarnwick.example/profile/tokens']);
  });
});

describe('loading', () => {
  test('in a browser: placeholder graph, browser label, nothing sent, no request beyond the file', async () => {
    const p = await openPage(browser);
    const { page } = p;
    assert.equal(await page.title(), 'Tarnwick — Workspace');
    assert.equal(await page.getAttribute('html', 'lang'), 'en');
    assert.equal(await page.textContent('#host'), 'view: browser');
    assert.equal(await p.logText(), 'ready.');
    assert.equal(await page.locator('.node').count(), 6);
    assert.equal(await page.textContent('#ws-count'), '0');
    assert.equal(await page.textContent('#ws-list'), '—');
    for (const id of ['#err-card', '#commit-bar', '#ws-add-menu', '#diff-overlay', '#err-login']) {
      assert.equal(await p.display(id), 'none', id);
    }
    assert.equal(await page.evaluate(() => document.body.lastElementChild.tagName), 'SCRIPT');
    assert.deepEqual(p.requests, [page.url()]);
    assert.deepEqual(p.errors, []);
    await p.close();
  });

  test('hosted: "ready" is the one message, a string, sent after every window function exists', async () => {
    const p = await openPage(browser, { hosted: true });
    assert.equal(await p.page.textContent('#host'), 'view: Hostwell (WebView2)');
    assert.equal(await p.logText(), '→ host: ready');
    assert.deepEqual(await p.posted(), [{
      kind: 'string',
      value: '{"action":"ready"}',
      ready: ['loadGraph', 'loadWorkspaces', 'setWorkspaceDot', 'showError', 'hideError', 'loadDiff'],
      // The placeholder graph is already drawn when the host hears of the page.
      cards: 6,
    }]);
    assert.deepEqual(p.errors, []);
    await p.close();
  });

  test('a reload starts over from the placeholder graph and says "ready" again', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.call('loadGraph', { nodes: [] });
    await p.page.reload();
    assert.equal(await p.page.locator('.node').count(), 6);
    assert.deepEqual((await p.posted()).map((m) => [m.value, m.cards]), [['{"action":"ready"}', 6]]);
    await p.close();
  });
});

describe('header buttons', () => {
  const cases = [
    { button: '#refresh', json: '{"action":"refresh-status"}', line: '→ host: refresh-status' },
    { button: '#pull', json: '{"action":"pull-all"}', line: '→ host: pull-all' },
    { button: 'button[data-a="status"][data-n="meadow"]', json: '{"action":"status","node":"meadow"}', line: '→ host: status(meadow)' },
    { button: 'button[data-a="push"][data-n="keystone"]', json: '{"action":"push","node":"keystone"}', line: '→ host: push(keystone)' },
  ];

  test('hosted: each click posts its Bridge message as compact JSON text and logs it', async () => {
    const p = await openPage(browser, { hosted: true });
    for (const c of cases) {
      await p.clearPosted();
      await p.page.click(c.button);
      assert.deepEqual((await p.posted()).map((m) => [m.kind, m.value]), [['string', c.json]], c.button);
      assert.equal(await p.logText(), c.line, c.button);
    }
    await p.close();
  });

  test('in a browser: each click only logs what it would send, with the browser suffix', async () => {
    const p = await openPage(browser);
    for (const c of cases) {
      await p.page.click(c.button);
      assert.equal(await p.logText(), c.line + BROWSER_SUFFIX, c.button);
    }
    await p.close();
  });

  test('buttons carry their labels and tooltips', async () => {
    const p = await openPage(browser);
    const got = await p.page.$$eval('header button', (bs) => bs.map((b) => [b.id, b.textContent, b.title]));
    assert.deepEqual(got, [
      ['pull', '↓ Pull', 'Pull --ff-only on every repo in the workspace (never overwrites; skips dirty ones)'],
      ['commit-btn', '✓ Commit', 'Commit (add -A + commit) on every repo with changes'],
      ['diff-btn', '± Diff', 'View uncommitted changes (git diff HEAD)'],
      ['refresh', '↻ Refresh', 'Re-run the CLI (workspace status) and refresh the graph'],
    ]);
    await p.close();
  });

  test('a click on a card outside its buttons, or on the error card, sends nothing', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.clearPosted();
    await p.page.click('.node[data-node="meadow"] .name');
    await p.call('showError', 'Not signed in', 'Run `tw login`', true);
    await p.page.click('#err-title');
    await p.page.click('#login-token');
    assert.deepEqual(await p.posted(), []);
    await p.close();
  });
});

describe('host messages', () => {
  const pushOk = '{"type":"result","node":"meadow","action":"push","ok":true}';

  test('a successful push result turns that card\'s badge into "pushed" in the clean colours', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.deliver(pushOk);
    assert.equal(await p.logText(), '✓ host: push(meadow) — ok');
    const badge = await p.page.$eval('.node[data-node="meadow"] .badge', (b) => [b.className, b.textContent]);
    assert.deepEqual(badge, ['badge clean', 'pushed']);
    // Only that card changes, and the next rebuild restores the computed badge.
    assert.equal(await p.page.textContent('.node[data-node="keystone"] .badge'), 'pinned');
    await p.call('loadGraph', { nodes: [{ id: 'meadow', name: 'Meadow', dirty: true }] });
    assert.equal(await p.page.textContent('.node[data-node="meadow"] .badge'), 'dirty');
    await p.close();
  });

  const logOnly = [
    { why: 'push that failed', data: '{"type":"result","node":"meadow","action":"push","ok":false}', line: '✓ host: push(meadow) — failed' },
    { why: 'status result', data: '{"type":"result","node":"meadow","action":"status","ok":true}', line: '✓ host: status(meadow) — ok' },
    { why: 'action in other case', data: '{"type":"result","node":"meadow","action":"Push","ok":true}', line: '✓ host: Push(meadow) — ok' },
    { why: 'node without a card', data: '{"type":"result","node":"nowhere","action":"push","ok":true}', line: '✓ host: push(nowhere) — ok' },
  ];
  for (const c of logOnly) {
    test(`a ${c.why} only sets the log line`, async () => {
      const p = await openPage(browser, { hosted: true });
      const before = await p.page.$$eval('.badge', (bs) => bs.map((b) => b.className + '/' + b.textContent));
      await p.deliver(c.data);
      assert.equal(await p.logText(), c.line);
      assert.deepEqual(await p.page.$$eval('.badge', (bs) => bs.map((b) => b.className + '/' + b.textContent)), before);
      await p.close();
    });
  }

  test('messages that are not JSON text, or of another type, are dropped without a trace', async () => {
    const p = await openPage(browser, { hosted: true });
    const dropped = [
      'not json', '', 'null', '0', 'false', '""', '[]', '{"type":"other","nodes":[]}',
      '{"type":"result"', '{"node":"meadow","action":"push","ok":true}',
    ];
    for (const d of dropped) await p.deliver(d);
    // The same result as an object instead of text.
    await p.page.evaluate(() => window.__deliver({ type: 'result', node: 'meadow', action: 'push', ok: true }));
    await p.page.evaluate(() => window.__deliver({ type: 'graph', nodes: [] }));
    assert.equal(await p.logText(), '→ host: ready');
    assert.equal(await p.page.locator('.node').count(), 6);
    assert.equal(await p.page.textContent('.node[data-node="meadow"] .badge'), 'dirty');
    assert.deepEqual(p.errors, []);
    await p.close();
  });

  test('a "graph" message loads its nodes; one without nodes leaves the graph', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.deliver('{"type":"graph"}');
    assert.equal(await p.logText(), 'loadGraph: payload missing nodes[]');
    assert.equal(await p.page.locator('.node').count(), 6);
    await p.deliver('{"type":"graph","nodes":[{"id":"a","name":"A","root":true,"ref":"main"},{"id":"b","name":"B"}]}');
    assert.equal(await p.logText(), '✓ status: 2 repos · 0 with changes');
    assert.deepEqual(await p.page.$$eval('.node', (ns) => ns.map((n) => n.getAttribute('data-node'))), ['a', 'b']);
    await p.close();
  });

  test('a result for an id holding quotes and backslashes finds its card', async () => {
    const p = await openPage(browser, { hosted: true });
    const id = 'we"ird\\id\']';
    await p.call('loadGraph', { nodes: [{ id, name: 'W' }] });
    await p.deliver(JSON.stringify({ type: 'result', node: id, action: 'push', ok: true }));
    assert.equal(await p.page.textContent('.node .badge'), 'pushed');
    assert.deepEqual(p.errors, []);
    await p.close();
  });
});

describe('page-wide click rule for the clone menu', () => {
  const outside = ['#refresh', '#canvas', '#log', '.ws-head', '.ws-item'];
  test('a click anywhere outside the sidebar foot closes an open menu', async () => {
    const p = await openPage(browser);
    await p.call('loadWorkspaces', { workspaces: [{ id: 'w1', name: 'One' }] });
    for (const target of outside) {
      await p.page.click('#ws-add');
      assert.equal(await p.display('#ws-add-menu'), 'block', target);
      await p.page.click(target, { position: { x: 3, y: 3 } });
      assert.equal(await p.display('#ws-add-menu'), 'none', target);
    }
    await p.close();
  });

  test('a click in the foot\'s own padding does not close it', async () => {
    const p = await openPage(browser);
    await p.call('loadWorkspaces', { workspaces: [{ id: 'w1', name: 'One' }] });
    await p.page.click('#ws-add');
    await p.page.click('.ws-foot', { position: { x: 2, y: 2 } });
    assert.equal(await p.display('#ws-add-menu'), 'block');
    await p.close();
  });
});

'use strict';
// The repository graph: layout, cards, badges, edges, the header title and loadGraph's inputs.

const { test, describe, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { launchBrowser, openPage, setCanvasWidth } = require('./support/page');
const { strip } = require('./support/pixels');

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser.close(); });

const cards = (p) => p.page.$$eval('.node', (ns) => ns.map((n) => ({
  id: n.getAttribute('data-node'),
  cls: n.className,
  at: [parseFloat(n.style.left), parseFloat(n.style.top)],
  name: n.querySelector('.name').textContent,
  ver: n.querySelector('.ver').textContent,
  badge: n.querySelector('.badge').className + '/' + n.querySelector('.badge').textContent,
  meta: n.querySelector('.meta').textContent,
  track: n.querySelector('.track') && n.querySelector('.track').textContent,
})));
const paths = (p) => p.page.$$eval('#edges path', (ps) => ps.map((e) => e.getAttribute('d')));
const root = (extra = {}) => ({ id: 'r', name: 'Root', root: true, ref: 'main', ...extra });
const deps = (n) => Array.from({ length: n }, (_, i) => ({ id: 'd' + i, name: 'D' + i, ref: 'main', branch: 'main' }));

describe('the placeholder graph', () => {
  test('shows a pinned root and five modules, one of them dirty and out of step', async () => {
    const p = await openPage(browser);
    const got = await cards(p);
    assert.equal(got.length, 6);
    assert.equal(got[0].cls, 'node root');
    assert.equal(got[0].name, '★ Keystonev2.22.5');
    assert.equal(got[0].ver, 'v2.22.5');
    assert.equal(got[0].badge, 'badge tag/pinned');
    assert.equal(got[0].meta, 'pinned · VAZ · main');
    assert.equal(got[2].badge, 'badge dirty/dirty');
    assert.equal(got[2].meta, 'dirty · modules/meadow · ↑2 ↓1');
    for (const i of [1, 3, 4, 5]) {
      assert.equal(got[i].badge, 'badge clean/clean');
      assert.equal(got[i].track, null);
      assert.equal(got[i].meta, 'clean · modules/' + got[i].id);
      assert.equal(got[i].id, got[i].name.slice(0, -'main'.length).toLowerCase());
    }
    assert.equal(await p.page.textContent('#ws-title'), '— keystone@v2.22.5');
    assert.equal((await paths(p)).length, 5);
    const buttons = await p.page.$$eval('.node[data-node="meadow"] button', (bs) => bs.map((b) => [b.dataset.a, b.dataset.n, b.textContent]));
    assert.deepEqual(buttons, [['status', 'meadow', 'status'], ['push', 'meadow', 'git push']]);
    await p.close();
  });
});

describe('layout', () => {
  test('worked example at 712 px: two columns centred under the root, edges into each card', async () => {
    const p = await openPage(browser);
    await setCanvasWidth(p, 712);
    await p.call('loadGraph', { nodes: [root(), ...deps(5)] });
    assert.deepEqual((await cards(p)).map((c) => c.at), [
      [251, 30], [136, 210], [366, 210], [136, 360], [366, 360], [136, 510],
    ]);
    assert.deepEqual(await paths(p), [
      'M356,120 C356,185 241,185 241,255',
      'M356,120 C356,185 471,185 471,255',
      'M356,120 C356,185 241,335 241,405',
      'M356,120 C356,185 471,335 471,405',
      'M356,120 C356,185 241,485 241,555',
    ]);
    const attrs = await p.page.$eval('#edges path', (e) => [e.namespaceURI, e.getAttribute('stroke'), e.getAttribute('fill'), e.getAttribute('stroke-width')]);
    assert.deepEqual(attrs, ['http://www.w3.org/2000/svg', '#334155', 'none', '2']);
    await p.close();
  });

  // width -> root x, then the x of four dependencies in order (y shows the row breaks).
  const widths = [
    { w: 499, root: 144.5, deps: [[144.5, 210], [144.5, 360], [144.5, 510], [144.5, 660]] },
    { w: 500, root: 145, deps: [[30, 210], [260, 210], [30, 360], [260, 360]] },
    { w: 729, root: 259.5, deps: [[144.5, 210], [374.5, 210], [144.5, 360], [374.5, 360]] },
    { w: 730, root: 260, deps: [[30, 210], [260, 210], [490, 210], [30, 360]] },
    { w: 0, root: 245, deps: [[130, 210], [360, 210], [130, 360], [360, 360]] },
    { w: 100, root: 20, deps: [[20, 210], [20, 360], [20, 510], [20, 660]] },
    { w: 1400, root: 595, deps: [[365, 210], [595, 210], [825, 210], [365, 360]] },
  ];
  test('the graph area\'s width picks one to three columns', async () => {
    const p = await openPage(browser);
    for (const c of widths) {
      await setCanvasWidth(p, c.w);
      await p.call('loadGraph', { nodes: [root(), ...deps(4)] });
      const at = (await cards(p)).map((k) => k.at);
      assert.deepEqual(at, [[c.root, 30], ...c.deps], `width ${c.w}`);
    }
    await p.close();
  });

  test('a node keeps its own place only when both x and y are numbers, and still takes its slot', async () => {
    const p = await openPage(browser);
    await setCanvasWidth(p, 712);
    await p.call('loadGraph', [
      root({ x: 1, y: 2 }),
      { id: 'a', name: 'A', x: 5, y: 7 },
      { id: 'b', name: 'B' },
      { id: 'c', name: 'C', x: 40 },
      { id: 'd', name: 'D', x: '5', y: '7' },
      { id: 'e', name: 'E', x: 0, y: 0 },
    ]);
    assert.deepEqual((await cards(p)).map((c) => c.at), [[1, 2], [5, 7], [366, 210], [136, 360], [366, 360], [0, 0]]);
    await p.close();
  });

  test('without a root the top stays empty, the title is a dash and no edge is drawn', async () => {
    const p = await openPage(browser);
    await setCanvasWidth(p, 712);
    await p.call('loadGraph', { nodes: deps(3) });
    assert.deepEqual((await cards(p)).map((c) => c.at), [[136, 210], [366, 210], [136, 360]]);
    assert.equal(await p.page.textContent('#ws-title'), '—');
    assert.deepEqual(await paths(p), []);
    await p.close();
  });

  test('edges to cards below the fold are still drawn once the graph area is scrolled', async () => {
    const p = await openPage(browser, { width: 712, height: 450 });
    const at = await p.page.evaluate(() => {
      const c = document.getElementById('canvas');
      c.scrollTop = c.scrollHeight;
      const r = c.getBoundingClientRect();
      return { left: r.left, top: r.top, scroll: c.scrollTop, height: c.clientHeight };
    });
    // The last placeholder module sits at (136, 510); its edge passes (253, 489) on the way in,
    // below the visible height of the layer before scrolling.
    assert.ok(489 > at.height, 'the point must lie beyond the first screenful');
    const px = await strip(p.page, Math.round(at.left + 253 - 40), Math.round(at.top + 489 - at.scroll), 80);
    const brightest = Math.max(...px.map(([r, g, b]) => r + g + b));
    const darkest = Math.min(...px.map(([r, g, b]) => r + g + b));
    assert.ok(darkest < 80, 'the strip should cross the background');
    assert.ok(brightest - darkest > 60, 'no edge drawn across the strip');
    await p.close();
  });

  test('resizing the window after a load moves no card', async () => {
    const p = await openPage(browser);
    await setCanvasWidth(p, 712);
    await p.call('loadGraph', { nodes: [root(), ...deps(2)] });
    await setCanvasWidth(p, 1400);
    assert.deepEqual((await cards(p)).map((c) => c.at), [[251, 30], [136, 210], [366, 210]]);
    await p.close();
  });
});

describe('cards', () => {
  // One dependency (or root) per case; meta is the whole meta line as a user reads it.
  const badgeCases = [
    { node: { root: true, ref: 'v2.22.5' }, badge: 'tag/pinned' },
    { node: { root: true, ref: '2.0' }, badge: 'tag/pinned' },
    { node: { root: true, ref: '0' }, badge: 'tag/pinned' },
    { node: { root: true, ref: 'V2.0' }, badge: 'clean/clean' },
    { node: { root: true, ref: 'v' }, badge: 'clean/clean' },
    { node: { root: true, ref: 'vx1' }, badge: 'clean/clean' },
    { node: { root: true, ref: ' 1.0' }, badge: 'clean/clean' },
    { node: { root: true, ref: '١٢' }, badge: 'clean/clean' },
    { node: { root: true, ref: 'main' }, badge: 'clean/clean' },
    { node: { root: true }, badge: 'clean/clean' },
    { node: { ref: 'v2.22.5' }, badge: 'clean/clean' },
    { node: { root: true, ref: 'v1', dirty: true }, badge: 'dirty/dirty' },
    { node: { ref: 'main', dirty: 1 }, badge: 'dirty/dirty' },
    { node: { ref: 'main', missing: true }, badge: 'missing/missing' },
    { node: { root: true, ref: 'v1', missing: true, dirty: true }, badge: 'missing/missing' },
  ];
  test('the badge: missing, then dirty, then pinned for a root on a release, else clean', async () => {
    const p = await openPage(browser);
    await p.call('loadGraph', badgeCases.map((c, i) => ({ id: 'n' + i, name: 'N', ...c.node })));
    const got = (await cards(p)).map((c) => c.badge.replace('badge ', ''));
    assert.deepEqual(got, badgeCases.map((c) => c.badge));
    await p.close();
  });

  const metaCases = [
    { node: { ref: 'main', branch: 'main', ahead: 0, behind: 0 }, meta: 'clean · modules/m' },
    { node: { ref: 'v1.2', branch: 'main' }, meta: 'clean · modules/m · main' },
    { node: { ref: 'main', branch: '' }, meta: 'clean · modules/m' },
    { node: { ref: 'main' }, meta: 'clean · modules/m' },
    { node: { branch: 'main' }, meta: 'clean · modules/m · main' },
    { node: { ref: 'main', branch: 'main', ahead: 3 }, meta: 'clean · modules/m · ↑3' },
    { node: { ref: 'main', branch: 'main', behind: 4 }, meta: 'clean · modules/m · ↓4' },
    { node: { ref: 'main', branch: 'dev', ahead: 3, behind: 4 }, meta: 'clean · modules/m · dev ↑3 ↓4' },
    { node: { root: true, ref: 'main', branch: 'main' }, meta: 'clean · VAZ' },
  ];
  test('the meta line: badge, VAZ or module path, then branch and ahead/behind', async () => {
    const p = await openPage(browser);
    for (const c of metaCases) {
      await p.call('loadGraph', [{ id: 'm', name: 'M', ...c.node }]);
      assert.equal((await cards(p))[0].meta, c.meta, JSON.stringify(c.node));
    }
    await p.close();
  });

  test('a root without a ref shows a dash as version and a question mark in the title', async () => {
    const p = await openPage(browser);
    for (const ref of [undefined, '']) {
      await p.call('loadGraph', [{ id: 'r', name: 'MyRoot', root: true, ref }]);
      assert.equal((await cards(p))[0].ver, '—');
      assert.equal(await p.page.textContent('#ws-title'), '— myroot@?');
    }
    await p.close();
  });

  test('names, refs and ids that look like markup are shown as text and run nothing', async () => {
    const p = await openPage(browser, { hosted: true });
    const evil = '<img src=x onerror="window.__ran=1">';
    await p.call('loadGraph', [
      { id: 'a&b', name: evil, root: true, ref: '<b>v</b>', branch: '<i>x</i>' },
      { id: '"><svg onload=window.__ran=2>', name: '&amp;', ref: 'main' },
    ]);
    const got = await cards(p);
    assert.equal(got[0].name, '★ ' + evil + '<b>v</b>');
    assert.equal(got[0].track, '<i>x</i>');
    assert.equal(got[1].name, '&amp;main');
    assert.equal(got[1].meta, 'clean · modules/"><svg onload=window.__ran=2>');
    assert.equal(await p.page.textContent('#ws-title'), '— ' + evil.toLowerCase() + '@<b>v</b>');
    assert.equal(await p.page.locator('#canvas img, #canvas b, #canvas i, .node svg').count(), 0);
    await p.clearPosted();
    await p.page.locator('.node').nth(1).locator('button[data-a="push"]').click();
    assert.deepEqual((await p.posted()).map((m) => JSON.parse(m.value)), [{ action: 'push', node: '"><svg onload=window.__ran=2>' }]);
    assert.equal(await p.page.evaluate(() => window.__ran), undefined);
    assert.deepEqual(p.errors, []);
    await p.close();
  });
});

describe('loadGraph', () => {
  const accepted = [
    { how: 'status object', payload: { nodes: [root(), ...deps(1)] } },
    { how: 'bare array', payload: [root(), ...deps(1)] },
    { how: 'JSON text of an object', payload: JSON.stringify({ nodes: [root(), ...deps(1)] }) },
    { how: 'JSON text of an array', payload: JSON.stringify([root(), ...deps(1)]) },
  ];
  for (const c of accepted) {
    test(`takes a ${c.how}`, async () => {
      const p = await openPage(browser);
      await p.call('loadGraph', c.payload);
      assert.deepEqual((await cards(p)).map((k) => k.id), ['r', 'd0']);
      assert.equal(await p.logText(), '✓ status: 2 repos · 0 with changes');
      await p.close();
    });
  }

  const refused = [
    { payload: {}, line: 'loadGraph: payload missing nodes[]' },
    { payload: null, line: 'loadGraph: payload missing nodes[]' },
    { payload: 5, line: 'loadGraph: payload missing nodes[]' },
    { payload: { nodes: 'r' }, line: 'loadGraph: payload missing nodes[]' },
    { payload: '{"workspaces":[]}', line: 'loadGraph: payload missing nodes[]' },
    { payload: 'null', line: 'loadGraph: payload missing nodes[]' },
    { payload: '{nodes:[]}', line: /^loadGraph error: ./ },
    { payload: 'window.__ran = 1', line: /^loadGraph error: ./ },
    { payload: '', line: /^loadGraph error: ./ },
  ];
  test('a payload without a nodes array, or text that is not JSON, changes nothing and runs nothing', async () => {
    const p = await openPage(browser);
    const before = await cards(p);
    for (const c of refused) {
      await p.call('loadGraph', c.payload);
      const line = await p.logText();
      if (typeof c.line === 'string') assert.equal(line, c.line, JSON.stringify(c.payload));
      else assert.match(line, c.line, JSON.stringify(c.payload));
      assert.deepEqual(await cards(p), before);
    }
    assert.equal(await p.page.evaluate(() => window.__ran), undefined);
    await p.close();
  });

  test('counts every node and those that are dirty; a missing node counts only when also dirty', async () => {
    const p = await openPage(browser);
    await p.call('loadGraph', [
      root({ dirty: true }),
      { id: 'a', name: 'A', missing: true },
      { id: 'b', name: 'B', missing: true, dirty: true },
      { id: 'c', name: 'C' },
    ]);
    assert.equal(await p.logText(), '✓ status: 4 repos · 2 with changes');
    await p.close();
  });

  test('a partial node still renders, with the defaults filled in', async () => {
    const p = await openPage(browser);
    await p.call('loadGraph', [{ id: 'p' }, null]);
    const got = await cards(p);
    assert.equal(got.length, 2);
    assert.equal(got[0].meta, 'clean · modules/p');
    assert.equal(got[0].ver, '—');
    await p.close();
  });

  test('an empty list empties the graph area but keeps the error card', async () => {
    const p = await openPage(browser);
    await p.call('loadGraph', { nodes: [] });
    assert.equal(await p.page.locator('.node').count(), 0);
    assert.deepEqual(await paths(p), []);
    assert.equal(await p.page.textContent('#ws-title'), '—');
    assert.equal(await p.logText(), '✓ status: 0 repos · 0 with changes');
    assert.equal(await p.page.locator('#canvas > #err-card').count(), 1);
    await p.close();
  });

  test('loading the same graph twice gives the same cards and edges, nothing doubled', async () => {
    const p = await openPage(browser);
    const g = JSON.stringify({ nodes: [root(), ...deps(3)] });
    await p.call('loadGraph', g);
    const once = [await cards(p), await paths(p)];
    await p.call('loadGraph', g);
    assert.deepEqual([await cards(p), await paths(p)], once);
    assert.equal(once[1].length, 3);
    await p.close();
  });

  test('the active workspace\'s dot follows the graph: amber with a dirty or missing node, else green', async () => {
    const p = await openPage(browser);
    await p.call('loadWorkspaces', { workspaces: [{ id: 'w1', name: 'One' }, { id: 'w2', name: 'Two' }] });
    const dots = () => p.page.$$eval('.sdot', (ds) => ds.map((d) => getComputedStyle(d).backgroundColor));
    const [amber, green, grey] = ['rgb(245, 158, 11)', 'rgb(16, 185, 129)', 'rgb(71, 85, 105)'];
    for (const [nodes, colour] of [
      [[root(), { id: 'a', name: 'A', missing: true }], amber],
      [[root()], green],
      [[root(), { id: 'a', name: 'A', dirty: true }], amber],
      [[], green],
    ]) {
      await p.call('loadGraph', nodes);
      assert.deepEqual(await dots(), [colour, grey], JSON.stringify(nodes));
    }
    await p.close();
  });
});

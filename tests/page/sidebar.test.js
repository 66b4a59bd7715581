'use strict';
// The workspace sidebar: the list, the active row, the status dots and the clone menu.

const { test, describe, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { launchBrowser, openPage } = require('./support/page');

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser.close(); });

const GREY = 'rgb(71, 85, 105)';
const GREEN = 'rgb(16, 185, 129)';
const AMBER = 'rgb(245, 158, 11)';
const THREE = { workspaces: [{ id: 'w1', name: 'Alpha' }, { id: 'w2', name: 'Beta' }, { id: 'w3', name: 'Gamma' }] };

const rows = (p) => p.page.$$eval('#ws-list .ws-item', (rs) => rs.map((r) => ({
  ws: r.getAttribute('data-ws'),
  active: r.classList.contains('active'),
  name: r.querySelector('.nm').textContent,
  title: r.querySelector('.nm').title,
  dot: getComputedStyle(r.querySelector('.sdot')).backgroundColor,
})));
const activeIds = async (p) => (await rows(p)).filter((r) => r.active).map((r) => r.ws);

describe('loadWorkspaces', () => {
  test('builds one row per workspace, marks the first active and tints it from the placeholder graph', async () => {
    const p = await openPage(browser);
    await p.call('loadWorkspaces', JSON.stringify(THREE));
    assert.equal(await p.page.textContent('#ws-count'), '3');
    assert.deepEqual(await rows(p), [
      // The placeholder graph holds a dirty module, so the active dot is amber until a real graph.
      { ws: 'w1', active: true, name: 'Alpha', title: 'Alpha', dot: AMBER },
      { ws: 'w2', active: false, name: 'Beta', title: 'Beta', dot: GREY },
      { ws: 'w3', active: false, name: 'Gamma', title: 'Gamma', dot: GREY },
    ]);
    await p.close();
  });

  test('a reload keeps the active workspace while it is listed, else falls back to the first', async () => {
    const p = await openPage(browser);
    await p.call('loadWorkspaces', THREE);
    await p.page.click('.ws-item[data-ws="w3"]');
    await p.call('loadWorkspaces', { workspaces: [{ id: 'w0', name: 'Zero' }, ...THREE.workspaces] });
    assert.deepEqual(await activeIds(p), ['w3']);
    await p.call('loadWorkspaces', { workspaces: [{ id: 'w2', name: 'Beta' }, { id: 'w1', name: 'Alpha' }] });
    assert.deepEqual(await activeIds(p), ['w2']);
    await p.close();
  });

  const empties = [
    { payload: { workspaces: [] } },
    { payload: {} },
    { payload: [{ id: 'w1', name: 'Alpha' }] },
    { payload: null },
    { payload: '{"workspaces":"w1"}' },
  ];
  test('no workspaces: count 0, "no workspaces", and the active id is left as it was', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.call('loadWorkspaces', THREE);
    await p.page.click('.ws-item[data-ws="w2"]');
    for (const c of empties) {
      await p.call('loadWorkspaces', c.payload);
      assert.equal(await p.page.textContent('#ws-count'), '0', JSON.stringify(c.payload));
      assert.equal(await p.page.textContent('#ws-list'), 'no workspaces');
    }
    // The earlier choice survives the empty lists.
    await p.call('loadWorkspaces', THREE);
    assert.deepEqual(await activeIds(p), ['w2']);
    await p.close();
  });

  test('text that is not JSON is reported and changes nothing', async () => {
    const p = await openPage(browser);
    await p.call('loadWorkspaces', THREE);
    await p.call('loadWorkspaces', '{workspaces:[]} window.__ran=1');
    assert.match(await p.logText(), /^loadWorkspaces error: ./);
    assert.equal((await rows(p)).length, 3);
    assert.equal(await p.page.textContent('#ws-count'), '3');
    assert.equal(await p.page.evaluate(() => window.__ran), undefined);
    await p.close();
  });

  test('every reload sets the dots back to grey before the active one is tinted', async () => {
    const p = await openPage(browser);
    await p.call('loadWorkspaces', THREE);
    await p.call('loadGraph', []);
    await p.call('setWorkspaceDot', 'w2', 'dirty');
    await p.call('loadWorkspaces', THREE);
    assert.deepEqual((await rows(p)).map((r) => r.dot), [GREEN, GREY, GREY]);
    await p.close();
  });

  test('names that look like markup, and ids with quotes and backslashes, stay text and still work', async () => {
    const p = await openPage(browser, { hosted: true });
    const name = '<img src=x onerror="window.__ran=1"> & "quoted"';
    const id = 'a"b\\c\']';
    await p.call('loadWorkspaces', { workspaces: [{ id: 'plain', name: 'Plain' }, { id, name }] });
    const got = await rows(p);
    assert.equal(got[1].name, name);
    assert.equal(got[1].title, name);
    assert.equal(got[1].ws, id);
    await p.call('setWorkspaceDot', id, 'clean');
    assert.equal((await rows(p))[1].dot, GREEN);
    await p.clearPosted();
    await p.page.locator('.ws-item').nth(1).click();
    assert.deepEqual((await p.posted()).map((m) => JSON.parse(m.value)), [{ action: 'switch-workspace', node: id }]);
    await p.page.click('#ws-add');
    assert.equal(await p.page.locator('#ws-add-menu .mi').nth(1).textContent(), name);
    assert.equal(await p.page.locator('#ws-list img, #ws-add-menu img').count(), 0);
    assert.equal(await p.page.evaluate(() => window.__ran), undefined);
    assert.deepEqual(p.errors, []);
    await p.close();
  });

  test('a long name is cut with an ellipsis inside the sidebar and kept whole in the tooltip', async () => {
    const p = await openPage(browser);
    const long = 'a-workspace-name-far-too-long-for-the-sidebar-column';
    await p.call('loadWorkspaces', { workspaces: [{ id: 'l', name: long }] });
    const nm = await p.page.$eval('.ws-item .nm', (e) => ({
      cut: e.scrollWidth > e.clientWidth,
      overflow: getComputedStyle(e).textOverflow,
      title: e.title,
      inside: e.getBoundingClientRect().right <= document.getElementById('ws-sidebar').getBoundingClientRect().right,
    }));
    assert.deepEqual(nm, { cut: true, overflow: 'ellipsis', title: long, inside: true });
    await p.close();
  });
});

describe('setWorkspaceDot', () => {
  test('colours by state: clean green, dirty amber, anything else grey; unknown ids do nothing', async () => {
    const p = await openPage(browser);
    await p.call('loadWorkspaces', { workspaces: ['a', 'b', 'c', 'd', 'e'].map((id) => ({ id, name: id })) });
    // The host's sweep: one script of several calls.
    await p.page.evaluate(`window.setWorkspaceDot("a","clean");window.setWorkspaceDot("b","dirty");
      window.setWorkspaceDot("c","missing");window.setWorkspaceDot("d","bogus");window.setWorkspaceDot("e","constructor");
      window.setWorkspaceDot("zz","clean");`);
    assert.deepEqual((await rows(p)).map((r) => r.dot), [GREEN, AMBER, GREY, GREY, GREY]);
    assert.equal(await p.logText(), 'ready.');
    await p.close();
  });

  test('a dot for a workspace not yet listed is dropped', async () => {
    const p = await openPage(browser);
    await p.call('setWorkspaceDot', 'w2', 'clean');
    await p.call('loadWorkspaces', THREE);
    assert.equal((await rows(p))[1].dot, GREY);
    await p.close();
  });
});

describe('row clicks', () => {
  test('a click makes the row active and asks to switch, also when it already was active', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.call('loadWorkspaces', THREE);
    await p.clearPosted();
    await p.page.click('.ws-item[data-ws="w2"] .nm');
    assert.deepEqual(await activeIds(p), ['w2']);
    assert.equal(await p.logText(), '→ host: switch-workspace(w2)');
    await p.page.click('.ws-item[data-ws="w2"] .sdot');
    assert.deepEqual((await p.posted()).map((m) => m.value), [
      '{"action":"switch-workspace","node":"w2"}',
      '{"action":"switch-workspace","node":"w2"}',
    ]);
    // Switching does not touch the graph; the host answers with the new one.
    assert.equal(await p.page.locator('.node').count(), 6);
    await p.close();
  });

  test('a click on the list\'s empty space or its placeholder text does nothing', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.clearPosted();
    await p.page.click('.ws-empty');
    await p.call('loadWorkspaces', THREE);
    await p.page.click('#ws-list', { position: { x: 50, y: 300 } });
    assert.deepEqual(await p.posted(), []);
    assert.deepEqual(await activeIds(p), ['w1']);
    await p.close();
  });
});

describe('clone menu', () => {
  test('with no workspaces the button only says to sign in', async () => {
    const p = await openPage(browser);
    await p.page.click('#ws-add');
    assert.equal(await p.logText(), 'No workspaces to clone — sign in to the portal first.');
    assert.equal(await p.display('#ws-add-menu'), 'none');
    await p.close();
  });

  test('opens upwards with the heading and every workspace; a second click closes it', async () => {
    const p = await openPage(browser);
    await p.call('loadWorkspaces', THREE);
    await p.page.click('#ws-add');
    assert.equal(await p.display('#ws-add-menu'), 'block');
    const items = await p.page.$$eval('#ws-add-menu > *', (es) => es.map((e) => [e.className, e.getAttribute('data-ws'), e.textContent]));
    assert.deepEqual(items, [['mh', null, 'Clone which workspace?'], ['mi', 'w1', 'Alpha'], ['mi', 'w2', 'Beta'], ['mi', 'w3', 'Gamma']]);
    const [foot, menu] = await p.page.$$eval('.ws-foot, #ws-add-menu', (es) => es.map((e) => e.getBoundingClientRect().toJSON()));
    // Measured from inside the foot's 1 px top border, where its positioned children start.
    assert.equal(foot.top + 1 - menu.bottom, 2);
    await p.page.click('#ws-add');
    assert.equal(await p.display('#ws-add-menu'), 'none');
    await p.close();
  });

  test('a pick closes the menu, asks to clone that workspace and says it may take a while', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.call('loadWorkspaces', THREE);
    await p.clearPosted();
    await p.page.click('#ws-add');
    await p.page.click('#ws-add-menu .mh');
    assert.equal(await p.display('#ws-add-menu'), 'block');
    assert.deepEqual(await p.posted(), []);
    await p.page.click('#ws-add-menu .mi[data-ws="w3"]');
    assert.equal(await p.display('#ws-add-menu'), 'none');
    assert.deepEqual((await p.posted()).map((m) => m.value), ['{"action":"clone-workspace","node":"w3"}']);
    assert.equal(await p.logText(), 'cloning workspace… (clones the VAZ + deps, may take a while)');
    // Picking to clone does not change the active workspace.
    assert.deepEqual(await activeIds(p), ['w1']);
    await p.close();
  });

  test('a list that arrives while the menu is open changes the next opening, not this one', async () => {
    const p = await openPage(browser);
    await p.call('loadWorkspaces', THREE);
    await p.page.click('#ws-add');
    await p.call('loadWorkspaces', { workspaces: [{ id: 'n', name: 'New' }] });
    assert.equal(await p.page.locator('#ws-add-menu .mi').count(), 3);
    await p.page.click('#ws-add');
    await p.page.click('#ws-add');
    assert.deepEqual(await p.page.$$eval('#ws-add-menu .mi', (es) => es.map((e) => e.textContent)), ['New']);
    await p.close();
  });
});

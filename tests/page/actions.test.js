'use strict';
// The commit bar, the diff overlay, the error card and its sign-in form.

const { test, describe, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { launchBrowser, openPage } = require('./support/page');

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser.close(); });

const TXT = 'rgb(226, 232, 240)';
const GREEN = 'rgb(16, 185, 129)';
const RED = 'rgb(239, 68, 68)';
const BRAND = 'rgb(59, 130, 246)';
const MUTED = 'rgb(100, 116, 139)';

const sent = async (p) => (await p.posted()).map((m) => {
  assert.equal(m.kind, 'string');
  return m.value;
});

describe('commit bar', () => {
  test('the Commit button toggles the bar, focuses the field and keeps its text when hiding', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.clearPosted();
    await p.page.click('#commit-btn');
    assert.equal(await p.display('#commit-bar'), 'flex');
    assert.equal(await p.page.evaluate(() => document.activeElement.id), 'commit-msg');
    await p.page.keyboard.type('half written');
    await p.page.click('#commit-btn');
    assert.equal(await p.display('#commit-bar'), 'none');
    await p.page.click('#commit-btn');
    assert.equal(await p.page.inputValue('#commit-msg'), 'half written');
    assert.deepEqual(await p.posted(), []);
    await p.close();
  });

  // Typed message -> the node member sent, or null when refused.
  const messages = [
    { typed: 'Fix the build', node: 'Fix the build' },
    { typed: 'say "hello" twice', node: 'say  hello  twice' },
    { typed: '   padded   ', node: 'padded' },
    { typed: '"quoted"', node: 'quoted' },
    { typed: 'keeps  inner   runs', node: 'keeps  inner   runs' },
    { typed: "it's C:\\path ✓ é", node: "it's C:\\path ✓ é" },
    { typed: '', node: null },
    { typed: '    ', node: null },
    { typed: '" "  ""', node: null },
  ];
  test('a message is cleaned of double quotes and outer blanks; an empty one is refused', async () => {
    const p = await openPage(browser, { hosted: true });
    for (const m of messages) {
      await p.clearPosted();
      await p.call('log', 'before');
      if (await p.display('#commit-bar') === 'none') await p.page.click('#commit-btn');
      await p.page.fill('#commit-msg', m.typed);
      await p.page.click('#commit-go');
      if (m.node === null) {
        assert.deepEqual(await p.posted(), [], m.typed);
        assert.equal(await p.logText(), 'Write a commit message.');
        assert.equal(await p.display('#commit-bar'), 'flex');
        assert.equal(await p.page.inputValue('#commit-msg'), m.typed);
      } else {
        assert.deepEqual(await sent(p), [JSON.stringify({ action: 'commit-all', node: m.node })], m.typed);
        assert.equal(await p.logText(), 'committing repos with changes…');
        assert.equal(await p.display('#commit-bar'), 'none');
        assert.equal(await p.page.inputValue('#commit-msg'), '');
      }
    }
    await p.close();
  });

  test('line breaks in the field become blanks too', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.clearPosted();
    await p.page.click('#commit-btn');
    // A text field drops typed line breaks itself; a script can still put them in.
    await p.page.evaluate(() => {
      const f = document.getElementById('commit-msg');
      Object.defineProperty(f, 'value', { configurable: true, get: () => 'one\r\ntwo\nthree', set: () => {} });
    });
    await p.page.click('#commit-go');
    assert.deepEqual(await sent(p), ['{"action":"commit-all","node":"one  two three"}']);
    await p.close();
  });

  test('Enter sends from the field whatever modifier is held', async () => {
    const p = await openPage(browser, { hosted: true });
    for (const key of ['Enter', 'Shift+Enter', 'Control+Enter', 'Alt+Enter']) {
      await p.clearPosted();
      await p.page.click('#commit-btn');
      await p.page.fill('#commit-msg', 'msg');
      await p.page.press('#commit-msg', key);
      assert.deepEqual(await sent(p), ['{"action":"commit-all","node":"msg"}'], key);
    }
    await p.close();
  });

  test('an Enter that confirms an input method\'s composition sends nothing', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.call('showError', 'Not signed in', '', true);
    await p.page.click('#commit-btn');
    await p.page.fill('#commit-msg', 'half');
    await p.page.fill('#login-token', 'twk_half');
    await p.clearPosted();
    await p.page.evaluate(() => {
      for (const id of ['commit-msg', 'login-token']) {
        document.getElementById(id).dispatchEvent(new KeyboardEvent('keydown', { key: 'Enter', isComposing: true, bubbles: true }));
      }
    });
    assert.deepEqual(await p.posted(), []);
    assert.equal(await p.page.inputValue('#commit-msg'), 'half');
    await p.close();
  });

  test('Cancel hides the bar and empties the field, sending and logging nothing', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.clearPosted();
    await p.page.click('#commit-btn');
    await p.page.fill('#commit-msg', 'not this one');
    await p.page.click('#commit-cancel');
    assert.equal(await p.display('#commit-bar'), 'none');
    assert.equal(await p.page.inputValue('#commit-msg'), '');
    assert.deepEqual(await p.posted(), []);
    assert.equal(await p.logText(), '→ host: ready');
    await p.close();
  });

  test('in a browser the commit still ends on its own log line', async () => {
    const p = await openPage(browser);
    await p.page.click('#commit-btn');
    await p.page.fill('#commit-msg', 'msg');
    await p.page.click('#commit-go');
    assert.equal(await p.logText(), 'committing repos with changes…');
    await p.close();
  });
});

// The diff as the user sees it: every line with the colour it is painted in.
const diffLines = (p, nth = 0) => p.page.evaluate((i) => {
  const pre = document.querySelectorAll('#diff-body pre')[i];
  const chars = [];
  const walk = (node) => {
    for (const c of node.childNodes) {
      if (c.nodeType === Node.TEXT_NODE) {
        const colour = getComputedStyle(c.parentElement).color;
        for (const ch of c.data) chars.push([ch, colour]);
      } else {
        walk(c);
      }
    }
  };
  walk(pre);
  const lines = [{ text: '', colours: new Set() }];
  for (const [ch, colour] of chars) {
    if (ch === '\n') lines.push({ text: '', colours: new Set() });
    else { lines[lines.length - 1].text += ch; lines[lines.length - 1].colours.add(colour); }
  }
  return { whole: pre.textContent, elements: pre.querySelectorAll('*:not(span)').length,
    lines: lines.map((l) => [l.text, [...l.colours].join('|')]) };
}, nth);

describe('diff', () => {
  test('the Diff button asks the host and waits; the overlay opens only with loadDiff', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.clearPosted();
    await p.page.click('#diff-btn');
    assert.deepEqual(await sent(p), ['{"action":"diff-all"}']);
    assert.equal(await p.logText(), 'loading diff…');
    assert.equal(await p.display('#diff-overlay'), 'none');
    await p.close();
  });

  test('lines are coloured by how they begin and shown exactly as written', async () => {
    const p = await openPage(browser);
    const table = [
      ['diff --git a/f b/f', TXT],
      ['--- a/f', TXT],
      ['+++ b/f', TXT],
      ['@@ -1,3 +1,3 @@ ctx', BRAND],
      [' context <b>bold</b> & more', TXT],
      ['-removed <script>window.__ran=1</script>', RED],
      ['-removed too', RED],
      ['+added &amp; &lt;', GREEN],
      ['+', GREEN],
      ['-', RED],
      ['++ double plus', GREEN],
      ['-- double minus', RED],
      ['@ single at', TXT],
      ['@@@ triple', BRAND],
      ['+windows line\r', GREEN],
      ['\\ No newline at end of file', TXT],
    ];
    const diff = table.map(([l]) => l).join('\n');
    await p.call('loadDiff', { repos: [{ name: 'core', diff }] });
    const got = await diffLines(p);
    assert.equal(got.whole, diff);
    assert.equal(got.elements, 0);
    assert.deepEqual(got.lines, table);
    assert.equal(await p.page.evaluate(() => window.__ran), undefined);
    assert.equal(await p.display('#diff-overlay'), 'flex');
    await p.close();
  });

  test('an empty line and a final line feed keep the block\'s colour', async () => {
    const p = await openPage(browser);
    await p.call('loadDiff', JSON.stringify({ repos: [{ name: 'r', diff: '+a\n\n-b\n' }] }));
    assert.deepEqual((await diffLines(p)).lines, [['+a', GREEN], ['', ''], ['-b', RED], ['', '']]);
    await p.close();
  });

  test('one block per repository in order; a blank diff shows the untracked note', async () => {
    const p = await openPage(browser);
    const name = '<img src=x onerror="window.__ran=1">';
    await p.call('loadDiff', { repos: [
      { name: 'first', diff: '+x' },
      { name: 'empty', diff: '' },
      { name: 'blank', diff: ' \n\t' },
      { name: 'absent' },
      { name, diff: null },
    ] });
    const blocks = await p.page.$$eval('.diff-repo', (bs) => bs.map((b) => [
      b.querySelector('h3').textContent, b.querySelector('pre').textContent,
      getComputedStyle(b.querySelector('pre').lastElementChild || b.querySelector('pre')).color,
    ]));
    const note = '(untracked changes — no diff vs HEAD)';
    assert.deepEqual(blocks, [
      ['first', '+x', GREEN],
      ['empty', note, MUTED],
      ['blank', note, MUTED],
      ['absent', note, MUTED],
      [name, note, MUTED],
    ]);
    assert.equal(await p.page.locator('#diff-body img').count(), 0);
    await p.close();
  });

  const nothing = [{ repos: [] }, {}, null, '{"repos":"x"}', '[]'];
  test('nothing to show still opens the overlay, with the clean message', async () => {
    const p = await openPage(browser);
    for (const payload of nothing) {
      await p.page.click('#diff-close').catch(() => {});
      await p.call('loadDiff', payload);
      assert.equal(await p.display('#diff-overlay'), 'flex', JSON.stringify(payload));
      assert.equal(await p.page.textContent('#diff-body'), 'Nothing to diff — every repo is clean.');
      assert.equal(await p.page.$eval('#diff-body > div', (d) => d.className), 'diff-empty');
    }
    await p.close();
  });

  test('Close hides the overlay; its content stays until the next diff replaces it', async () => {
    const p = await openPage(browser);
    await p.call('loadDiff', { repos: [{ name: 'one', diff: '+1' }] });
    await p.page.click('#diff-close');
    assert.equal(await p.display('#diff-overlay'), 'none');
    assert.equal(await p.page.textContent('.diff-repo h3'), 'one');
    await p.call('loadDiff', { repos: [{ name: 'two', diff: '-2' }] });
    assert.deepEqual(await p.page.$$eval('.diff-repo h3', (hs) => hs.map((h) => h.textContent)), ['two']);
    await p.close();
  });

  test('text that is not JSON is reported and changes nothing', async () => {
    const p = await openPage(browser);
    await p.call('loadDiff', { repos: [{ name: 'kept', diff: '+k' }] });
    await p.page.click('#diff-close');
    await p.call('loadDiff', '{repos:[]}');
    assert.match(await p.logText(), /^loadDiff error: ./);
    assert.equal(await p.display('#diff-overlay'), 'none');
    assert.equal(await p.page.textContent('.diff-repo h3'), 'kept');
    await p.close();
  });

  test('the overlay covers the whole main pane while the sidebar stays usable', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.call('loadWorkspaces', { workspaces: [{ id: 'w1', name: 'One' }, { id: 'w2', name: 'Two' }] });
    await p.call('showError', 'Blocked', '', false);
    await p.call('loadDiff', { repos: [] });
    const [main, overlay] = await p.page.$$eval('#main, #diff-overlay', (es) => es.map((e) => e.getBoundingClientRect().toJSON()));
    assert.deepEqual(overlay, main);
    // Above the error card: the point in the middle of the graph area belongs to the overlay.
    const top = await p.page.evaluate(() => {
      const r = document.getElementById('canvas').getBoundingClientRect();
      return document.elementFromPoint(r.x + r.width / 2, r.y + r.height / 2).closest('#diff-overlay') !== null;
    });
    assert.equal(top, true);
    await p.clearPosted();
    await p.page.click('.ws-item[data-ws="w2"]');
    assert.deepEqual(await sent(p), ['{"action":"switch-workspace","node":"w2"}']);
    await p.close();
  });
});

describe('error card', () => {
  // How the hint reads: text runs as strings, code spans as ['code', text].
  const hints = [
    { hint: 'Run `tw login` first.', parts: ['Run ', ['code', 'tw login'], ' first.'] },
    { hint: '`a` and `b`', parts: [['code', 'a'], ' and ', ['code', 'b']] },
    { hint: 'a `` b `c`', parts: ['a `', ['code', ' b '], 'c`'] },
    { hint: 'unclosed `tick', parts: ['unclosed `tick'] },
    { hint: '`<b>x</b>` & <i>y</i>', parts: [['code', '<b>x</b>'], ' & <i>y</i>'] },
    { hint: '', parts: [] },
  ];
  test('the hint turns backtick spans into code and everything else into plain text', async () => {
    const p = await openPage(browser);
    for (const h of hints) {
      await p.call('showError', 'T', h.hint, false);
      const parts = await p.page.$eval('#err-hint', (el) => [...el.childNodes].map((n) =>
        (n.nodeType === Node.TEXT_NODE ? n.data : [n.tagName.toLowerCase(), n.textContent])));
      // Adjacent text nodes read as one run.
      const merged = parts.reduce((acc, x) => {
        if (typeof x === 'string' && typeof acc[acc.length - 1] === 'string') acc[acc.length - 1] += x;
        else acc.push(x);
        return acc;
      }, []);
      assert.deepEqual(merged, h.parts, h.hint);
    }
    await p.close();
  });

  const calls = [
    { args: ['Not signed in', 'Sign in below.', true], title: 'Not signed in', login: 'flex' },
    { args: ['tw not found', 'Place tw in the same folder as the app.', false], title: 'tw not found', login: 'none' },
    { args: ['', 'x', true], title: 'Something went wrong', login: 'flex' },
    { args: [], title: 'Something went wrong', login: 'none' },
    { args: ['<b>t</b>', 'x', 'yes'], title: '<b>t</b>', login: 'none' },
  ];
  test('showError sets the title, falls back when it is empty, and shows the sign-in form on request', async () => {
    const p = await openPage(browser);
    for (const c of calls) {
      await p.call('showError', ...c.args);
      assert.equal(await p.display('#err-card'), 'flex', JSON.stringify(c.args));
      assert.equal(await p.page.textContent('#err-title'), c.title);
      assert.equal(await p.display('#err-login'), c.login, JSON.stringify(c.args));
    }
    assert.equal(await p.page.locator('#err-card b').count(), 0);
    await p.close();
  });

  test('the card covers the graph area only: header buttons and the log line stay usable', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.call('showError', 'No workspace', 'Run `tw init`', false);
    const [canvas, card, box] = await p.page.$$eval('#canvas, #err-card, #err-card .card', (es) => es.map((e) => e.getBoundingClientRect().toJSON()));
    assert.deepEqual(card, canvas);
    // The box sits in the middle of the graph area.
    assert.ok(Math.abs((box.x + box.width / 2) - (canvas.x + canvas.width / 2)) < 1);
    assert.ok(Math.abs((box.y + box.height / 2) - (canvas.y + canvas.height / 2)) < 1);
    await p.clearPosted();
    await p.page.click('#refresh');
    assert.deepEqual(await sent(p), ['{"action":"refresh-status"}']);
    // A card button under the card cannot be reached.
    const covered = await p.page.evaluate(() => {
      const b = document.querySelector('.node button').getBoundingClientRect();
      return document.elementFromPoint(b.x + 3, b.y + 3).closest('#err-card') !== null;
    });
    assert.equal(covered, true);
    await p.close();
  });

  test('hideError hides the card and keeps title, hint and the typed token', async () => {
    const p = await openPage(browser);
    await p.call('showError', 'Not signed in', 'Paste `twk_` token', true);
    await p.page.fill('#login-token', 'twk_secret');
    await p.call('hideError');
    assert.equal(await p.display('#err-card'), 'none');
    assert.equal(await p.page.textContent('#err-title'), 'Not signed in');
    await p.call('showError', 'Still not signed in', '', true);
    assert.equal(await p.page.inputValue('#login-token'), 'twk_secret');
    await p.close();
  });
});

describe('sign-in', () => {
  const tokens = [
    { typed: 'twk_abc123', node: 'twk_abc123' },
    { typed: '"twk_abc123"', node: 'twk_abc123' },
    { typed: " 'twk_ab c'\t", node: 'twk_abc' },
    { typed: '\u00a0twk_nb\u00a0', node: 'twk_nb' },
    { typed: 'twk_\\back', node: 'twk_\\back' },
    { typed: '', node: null },
    { typed: ' "\'\' ', node: null },
  ];
  test('the token loses quotes and white space wherever they stand; an empty one is refused', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.call('showError', 'Not signed in', '', true);
    for (const t of tokens) {
      await p.clearPosted();
      await p.page.fill('#login-token', t.typed);
      await p.page.click('#login-go');
      if (t.node === null) {
        assert.deepEqual(await p.posted(), [], JSON.stringify(t.typed));
        assert.equal(await p.logText(), 'Paste a twk_… token');
      } else {
        assert.deepEqual(await sent(p), [JSON.stringify({ action: 'login', node: t.node })], JSON.stringify(t.typed));
        // The token never stays on screen.
        assert.equal(await p.logText(), 'signing in…');
        assert.equal(await p.page.inputValue('#login-token'), t.typed);
        assert.equal(await p.display('#err-card'), 'flex');
      }
    }
    await p.close();
  });

  test('a token pasted between quotes with a line break after it is sent without them', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.call('showError', 'Not signed in', '', true);
    await p.clearPosted();
    await p.page.evaluate(() => {
      const f = document.getElementById('login-token');
      Object.defineProperty(f, 'value', { configurable: true, get: () => '"twk_pasted"\r\n', set: () => {} });
    });
    await p.page.click('#login-go');
    assert.deepEqual(await sent(p), ['{"action":"login","node":"twk_pasted"}']);
    await p.close();
  });

  test('Enter in the token field signs in', async () => {
    const p = await openPage(browser, { hosted: true });
    await p.call('showError', 'Not signed in', '', true);
    await p.clearPosted();
    await p.page.fill('#login-token', 'twk_enter');
    await p.page.press('#login-token', 'Enter');
    assert.deepEqual(await sent(p), ['{"action":"login","node":"twk_enter"}']);
    await p.close();
  });

  test('the token link opens the portal\'s token page in a new window without a referrer', async () => {
    const p = await openPage(browser);
    const link = await p.page.$eval('#err-login a', (a) => ({ text: a.textContent, href: a.href, target: a.target, rel: a.rel }));
    const url = new URL(link.href);
    assert.equal(url.protocol, 'https:');
    assert.equal(url.pathname, '/profile/tokens');
    assert.deepEqual({ ...link, href: undefined }, { text: 'Generate a token on the portal ↗', href: undefined, target: '_blank', rel: 'noreferrer' });
    const field = await p.page.$eval('#login-token', (i) => [i.type, i.placeholder]);
    assert.deepEqual(field, ['password', 'Paste your token (twk_...)']);
    await p.close();
  });
});

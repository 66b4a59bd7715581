'use strict';
// How long the page takes to show a large graph and a large diff in headless Chromium, next
// to the time for showing the same text with no work at all (textContent into one element).
// Layout is forced in every case, so both sides include the browser's own layout.
// Run: node bench/page-bench.js [runs]

const { launchBrowser, openPage } = require('../tests/page/support/page');

const RUNS = Number(process.argv[2]) || 7;

function bigGraph(n) {
  const nodes = [{ id: 'root', name: 'Root', root: true, ref: 'v1.0.0', branch: 'main' }];
  for (let i = 1; i < n; i++) {
    nodes.push({ id: 'mod-' + i, name: 'Module ' + i, ref: 'main', branch: i % 7 ? 'main' : 'topic',
      dirty: i % 5 === 0, missing: i % 97 === 0, ahead: i % 3, behind: i % 4 });
  }
  return { nodes };
}

function bigDiff(lines) {
  const out = [];
  let file = 0;
  while (out.length < lines) {
    if (out.length % 200 === 0) {
      file++;
      out.push(`diff --git a/src/f${file}.c b/src/f${file}.c`, `--- a/src/f${file}.c`, `+++ b/src/f${file}.c`);
    }
    if (out.length % 20 === 3) out.push(`@@ -${out.length},7 +${out.length},7 @@ static int f(void)`);
    const k = out.length % 6;
    out.push(k === 0 ? '-  old = value < limit && flag;' : k === 1 ? '+  new = value <= limit && flag;' : '   context line ' + out.length);
  }
  return out.slice(0, lines).join('\n');
}

const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

// Each measure runs in the page and returns milliseconds.
async function measure(p, fnSource, arg) {
  return p.page.evaluate(([src, a]) => {
    const fn = new Function('arg', src);
    const t0 = performance.now();
    fn(a);
    void document.body.offsetHeight;
    return performance.now() - t0;
  }, [fnSource, arg]);
}

const BASELINE = `
  let el = document.getElementById('bench-plain');
  if (!el) {
    el = document.createElement('pre');
    el.id = 'bench-plain';
    el.style.cssText = 'position:absolute;left:0;top:0;width:900px;white-space:pre-wrap;margin:0';
    document.getElementById('canvas').append(el);
  }
  el.textContent = arg.text;
  void el.getBoundingClientRect();
  el.textContent = '';`;

// The obvious way: one span per coloured line. Kept here only as a yardstick.
const NAIVE_DIFF = `
  const body = document.getElementById('diff-body');
  body.replaceChildren();
  const block = document.createElement('div'); block.className = 'diff-repo';
  const pre = document.createElement('pre');
  const lines = arg.payload.repos[0].diff.split('\\n');
  lines.forEach((line, i) => {
    const c = line.startsWith('+') && !line.startsWith('+++') ? 'var(--green)'
      : line.startsWith('-') && !line.startsWith('---') ? 'var(--red)'
      : line.startsWith('@@') ? 'var(--brand)' : '';
    if (c) { const s = document.createElement('span'); s.style.color = c; s.textContent = line; pre.append(s); }
    else pre.append(line);
    if (i < lines.length - 1) pre.append('\\n');
  });
  block.append(pre); body.append(block);
  document.getElementById('diff-overlay').style.display = 'flex';`;

async function row(p, label, pageSrc, arg) {
  const pageTimes = [];
  const plainTimes = [];
  for (let i = 0; i < RUNS; i++) {
    pageTimes.push(await measure(p, pageSrc, arg));
    plainTimes.push(await measure(p, BASELINE, arg));
  }
  const a = median(pageTimes);
  const b = median(plainTimes);
  console.log(`${label.padEnd(34)} ${a.toFixed(1).padStart(8)} ms   plain text ${b.toFixed(1).padStart(8)} ms   ratio ${(a / b).toFixed(2)}`);
}

async function main() {
  const browser = await launchBrowser();
  try {
    const p = await openPage(browser, { width: 1012, height: 800 });
    const graph = bigGraph(1000);
    const diff = bigDiff(100000);
    const diffPayload = { repos: [{ name: 'big', diff }] };
    console.log(`median of ${RUNS} runs, headless Chromium ${browser.context.browser()?.version() ?? ''}`);
    await row(p, 'loadGraph, 1,000 nodes', 'window.loadGraph(arg.payload);',
      { payload: graph, text: JSON.stringify(graph) });
    await row(p, 'loadDiff, 100,000 lines', 'window.loadDiff(arg.payload);',
      { payload: diffPayload, text: diff });
    await row(p, '  (one span per line, for scale)', NAIVE_DIFF, { payload: diffPayload, text: diff });
    if (p.errors.length) throw new Error(p.errors.join('; '));
  } finally {
    await browser.close();
  }
}

main().catch((e) => { console.error(e); process.exit(1); });

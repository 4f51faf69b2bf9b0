// Headless Chromium for the page tests and the screenshot tool: Debian's
// own browser, driven by playwright-core, with everything that would reach
// for the network switched off (the machine has none, and the refused
// connections would only slow the browser down).
export const CHROMIUM = process.env.VESPERLINE_CHROMIUM || '/usr/bin/chromium';

export const CHROMIUM_ARGS = [
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--disable-default-apps',
  '--disable-extensions',
  '--metrics-recording-only',
  '--password-store=basic',
];

/** Resolves once the output page has finished showing content `id` ('' for nothing). */
export function settled(page, id) {
  return page.waitForFunction((want) => document.body.dataset.settled === want && document.body.dataset.shown === want, id, {
    timeout: 15000,
  });
}

/**
 * Everything an operator would call overflow on an output page: the page
 * scrolling, or any text box reaching outside the frame or outside its own
 * layout box. Answers a list of problems (empty when the frame holds).
 */
export function overflowProblems(page) {
  return page.evaluate(() => {
    const problems = [];
    const { w, h } = window.vesperlineOutput.frame;
    const doc = document.documentElement;
    if (doc.scrollWidth > window.innerWidth || doc.scrollHeight > window.innerHeight) {
      problems.push(`page scrolls: ${doc.scrollWidth}×${doc.scrollHeight} in ${window.innerWidth}×${window.innerHeight}`);
    }
    const layer = document.querySelector('.layer.shown');
    if (!layer) return ['nothing shown'];
    const stage = document.getElementById('stage').getBoundingClientRect();
    if (Math.round(stage.width) !== w || Math.round(stage.height) !== h) problems.push(`stage is ${stage.width}×${stage.height}, not ${w}×${h}`);
    const box = layer.querySelector('.box');
    const boxRect = box ? box.getBoundingClientRect() : stage;
    for (const node of layer.querySelectorAll('.scripture, .reference, .attribution, .col-head')) {
      const r = node.getBoundingClientRect();
      const name = node.className;
      if (r.left < -0.5 || r.top < -0.5 || r.right > w + 0.5 || r.bottom > h + 0.5) problems.push(`${name} leaves the frame: ${JSON.stringify(r)}`);
      if (r.left < boxRect.left - 0.5 || r.right > boxRect.right + 0.5 || r.bottom > boxRect.bottom + 0.5 || r.top < boxRect.top - 0.5) {
        problems.push(`${name} leaves its box`);
      }
      if (node.scrollHeight > node.clientHeight + 1 || node.scrollWidth > node.clientWidth + 1) problems.push(`${name} overflows itself`);
    }
    if (box && (box.scrollHeight > box.clientHeight + 1 || box.scrollWidth > box.clientWidth + 1)) problems.push('the layout box overflows');
    return problems;
  });
}

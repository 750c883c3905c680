() => {
  const results = [];
  const seen = new Set();
  for (const el of document.querySelectorAll('div, span, li, td')) {
    if (window.getComputedStyle(el).cursor !== 'pointer') continue;
    const text = (el.innerText || '').trim();
    if (!text || text.length > 60) continue;
    if (el.querySelectorAll('*').length > 10) continue;
    const r = el.getBoundingClientRect();
    if (r.width <= 0 || r.height <= 0) continue;
    const steps = [];
    for (let node = el; node && node.nodeType === 1; node = node.parentNode) {
      let n = 1;
      for (let sib = node.previousElementSibling; sib; sib = sib.previousElementSibling)
        if (sib.tagName === node.tagName) n++;
      steps.unshift(node.tagName.toLowerCase() + '[' + n + ']');
    }
    const xpath = '/' + steps.join('/');
    if (seen.has(xpath)) continue;
    seen.add(xpath);
    results.push({
      tag: el.tagName.toLowerCase(), text, xpath,
      x: Math.round(r.x), y: Math.round(r.y), w: Math.round(r.width), h: Math.round(r.height),
      cls: el.getAttribute('class') || '', aria: el.getAttribute('aria-label') || ''
    });
  }
  return results;
}

el => {
  for (let sib = el.previousElementSibling; sib; sib = sib.previousElementSibling) {
    const direct = Array.from(sib.childNodes)
      .filter(n => n.nodeType === 3)
      .map(n => n.textContent.trim())
      .filter(t => t.length > 0)
      .join(' ');
    if (direct && direct.length < 50) return direct;
    const first = sib.firstElementChild;
    if (first) {
      const t = (first.textContent || '').trim();
      if (t && t.length < 50) return t;
    }
  }
  return null;
}

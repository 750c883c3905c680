el => {
  const parent = el.parentElement;
  if (!parent) return null;
  for (const child of parent.children) {
    if (child === el) break;
    const t = (child.textContent || '').trim();
    if (t && t.length < 50) return t;
  }
  return null;
}

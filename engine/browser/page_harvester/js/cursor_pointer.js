// Every div, span, li and td drawn with a pointer cursor and short text,
// through open shadow trees and readable frames, each path once.
() => {
  const results = [];
  const seen = new Set();
  lib.walk(document, (el, off) => {
    const item = lib.pointerItem(el, off, lib.elementPath);
    if (!item || seen.has(item.xpath)) return;
    seen.add(item.xpath);
    results.push(item);
  }, true);
  return results;
}

// What the extraction's in-page scripts share, as one object (`lib` in the
// scripts that use it), made from the element-path function. Everything
// here works on the document it is given and on the frames and open
// shadow trees inside it, in the order the driver's own queries list
// elements: an element, its light children, its shadow tree, then the
// document of the frame it shows.
elementPath => {
'use strict';
const XHTML = 'http://www.w3.org/1999/xhtml';

// Lone UTF-16 surrogates cannot travel as text: each becomes U+FFFD. The
// browser's own test is fast; the pattern serves a browser without it.
const SURROGATE = /[\ud800-\udfff]/;
const LONE = /[\ud800-\udbff](?![\udc00-\udfff])|(?<![\ud800-\udbff])[\udc00-\udfff]/g;
const replaceLone = s => SURROGATE.test(s) ? s.replace(LONE, '\ufffd') : s;
const wf = typeof ''.isWellFormed === 'function'
  ? s => typeof s === 'string' && !s.isWellFormed() ? s.toWellFormed() : s
  : s => typeof s === 'string' ? replaceLone(s) : s;

// White space runs as one space, ends trimmed.
const squeeze = s => s.replace(/\s+/g, ' ').trim();

const styleOf = el => {
  const view = el.ownerDocument && el.ownerDocument.defaultView;
  return view ? view.getComputedStyle(el) : null;
};
const textNodeShown = node => {
  const range = node.ownerDocument.createRange();
  range.selectNode(node);
  const r = range.getBoundingClientRect();
  return r.width > 0 && r.height > 0;
};
// The driver's visibility: computed style, checkVisibility and a
// non-empty box; display: contents looks at its children. `st` is the
// element's computed style; `rect` gives its bounding rectangle.
const shown = (el, st, rect) => {
  if (!st) return true;
  if (st.display === 'contents') {
    for (let c = el.firstChild; c; c = c.nextSibling) {
      if (c.nodeType === 1 && shown(c, styleOf(c), () => c.getBoundingClientRect())) return true;
      if (c.nodeType === 3 && textNodeShown(c)) return true;
    }
    return false;
  }
  const r = rect();  // the cheapest test first: most hidden elements have no size
  return r.width > 0 && r.height > 0 && st.visibility === 'visible' && el.checkVisibility();
};
const isShown = el => shown(el, styleOf(el), () => el.getBoundingClientRect());

// The document a frame element shows, when this page may read it (same
// origin) and the frame is drawn; otherwise null.
const FRAMES = new Set(['iframe', 'frame']);
const isFrame = el => el.namespaceURI === XHTML && FRAMES.has(el.localName);
const frameDocument = el => {
  if (!isFrame(el)) return null;
  let doc = null;
  try {
    doc = el.contentDocument;
  } catch (e) {
    return null;
  }
  if (!doc || !doc.documentElement || !el.getClientRects().length) return null;
  return doc;
};
// Where a frame's viewport starts in top-page coordinates: the frame
// element's box plus its border and padding, added to `off`, the offset
// of the document the frame element is in.
const frameOffset = (el, off) => {
  const r = el.getBoundingClientRect();
  const st = styleOf(el);
  return [off[0] + r.left + parseFloat(st.borderLeftWidth) + parseFloat(st.paddingLeft),
    off[1] + r.top + parseFloat(st.borderTopWidth) + parseFloat(st.paddingTop)];
};

// Calls visit(el, off) on every element of the document, through open
// shadow trees and, when `frames`, readable frames; `off` is the element's
// document's offset in top-page coordinates.
const walk = (doc, visit, frames, off = [0, 0]) => {
  const step = (el, o) => {
    visit(el, o);
    for (let c = el.firstElementChild; c; c = c.nextElementSibling) step(c, o);
    if (el.shadowRoot)
      for (let c = el.shadowRoot.firstElementChild; c; c = c.nextElementSibling) step(c, o);
    if (frames) {
      const inner = frameDocument(el);
      if (inner) step(inner.documentElement, frameOffset(el, o));
    }
  };
  if (doc.documentElement) step(doc.documentElement, off);
};

// How many elements matching `css` the driver lists in the frame
// element's document up to the end of the frame element itself, so that
// the frame's own elements can follow them.
const countThrough = (frameEl, css) => {
  let n = 0, done = false;
  const step = el => {
    if (done) return;
    if (el.matches(css)) n++;
    for (let c = el.firstElementChild; c; c = c.nextElementSibling) step(c);
    if (el.shadowRoot)
      for (let c = el.shadowRoot.firstElementChild; c; c = c.nextElementSibling) step(c);
    if (el === frameEl) done = true;
  };
  step(frameEl.ownerDocument.documentElement);
  return n;
};

const innerText = el => el.namespaceURI === XHTML ? el.innerText : null;

// --- Field labels -------------------------------------------------------

// A label's text; when it wraps the control, without the control's own
// text (a select's options, an editable element's content), so that
// <label>Show <select>...</select> entries</label> reads "Show entries".
const textWithout = (node, control) => {
  let s = '';
  for (let c = node.firstChild; c; c = c.nextSibling) {
    if (c === control) continue;
    if (c.nodeType === 3) {
      s += c.data;
    } else if (c.nodeType === 1) {
      if (c.contains(control)) {
        s += ' ' + textWithout(c, control) + ' ';
        continue;
      }
      if (c.namespaceURI !== XHTML) continue;
      const st = styleOf(c);
      if (!st || st.display === 'none') continue;
      s += st.display === 'inline' ? c.innerText : ' ' + c.innerText + ' ';
    }
  }
  return s;
};
const labelText = (label, control) => label.contains(control) ? squeeze(textWithout(label, control)) : label.innerText;

const firstLabelFor = (root, id) => {
  if (!root.querySelectorAll) return null;
  for (const l of root.querySelectorAll('label')) if (l.getAttribute('for') === id) return l;
  return null;
};
// The same lookup for one reading of many fields: each tree's labels are
// listed once, by their for attribute, instead of once per field, which
// on a page of many fields and labels grows with their product. Valid as
// long as the page does not change, so made again for every reading.
const labelsFor = () => {
  const byRoot = new Map();
  return (root, id) => {
    if (!root.querySelectorAll) return null;
    let first = byRoot.get(root);
    if (!first) {
      first = new Map();
      for (const l of root.querySelectorAll('label')) {
        const f = l.getAttribute('for');
        if (f !== null && !first.has(f)) first.set(f, l);
      }
      byRoot.set(root, first);
    }
    return first.get(id) || null;
  };
};

// The label element right beside the field: the previous element sibling
// of the field, or of a wrapper around it that holds nothing but it (up to
// three wrappers), when it is a visible label without a for attribute.
const holdsOnly = (parent, child) => {
  if (parent.firstElementChild !== child || parent.lastElementChild !== child) return false;
  for (let c = parent.firstChild; c; c = c.nextSibling) if (c.nodeType === 3 && c.data.trim()) return false;
  return true;
};
const besideLabel = el => {
  let a = el;
  for (let level = 0; level < 4 && a; level++) {
    const prev = a.previousElementSibling;
    if (prev) {
      if (prev.namespaceURI === XHTML && prev.localName === 'label' && !prev.hasAttribute('for') && isShown(prev)) {
        const t = prev.innerText;
        if (t.trim()) return t;
      }
      return null;
    }
    const p = a.parentElement;
    if (!p || !holdsOnly(p, a)) return null;
    a = p;
  }
  return null;
};

// For a checkbox or radio button, the text that follows it: the next
// non-blank text node, or the text of the next element, within its parent
// or, when the parent holds nothing readable but the box, after the
// parent. Another control, a line break or a label for another control
// ends the search; an element not shown is passed over; a text of 80
// characters or more is no label.
const FOLLOW_MAX = 80;
const CONTROLS = new Set(['input', 'select', 'textarea', 'button']);
const controlsIn = el => el.querySelectorAll('input, select, textarea, button').length;
const followingText = el => {
  if (el.namespaceURI !== XHTML || el.localName !== 'input') return null;
  const type = (el.getAttribute('type') || '').toLowerCase();
  if (type !== 'checkbox' && type !== 'radio') return null;
  const short = t => t.length < FOLLOW_MAX ? t : null;
  let a = el;
  for (let level = 0; level < 3; level++) {
    for (let n = a.nextSibling; n; n = n.nextSibling) {
      if (n.nodeType === 3) {
        const t = n.data.trim();
        if (t) return short(t);
        continue;
      }
      if (n.nodeType !== 1) continue;
      if (n.namespaceURI !== XHTML) continue;
      if (CONTROLS.has(n.localName) || n.localName === 'br' || (n.localName === 'label' && n.hasAttribute('for')))
        return null;
      const t = isShown(n) ? (n.innerText || '').trim() : '';
      if (t) return short(t);
      if (controlsIn(n)) return null;
    }
    const p = a.parentElement;
    if (!p || p.namespaceURI !== XHTML || (p.innerText || '').trim() || controlsIn(p) !== 1) return null;
    a = p;
  }
  return null;
};

// The label sources of one field, as texts (null: none). `by` holds the
// texts of the elements aria-labelledby names, in its order, found in the
// field's own tree; `f` the first label whose for attribute names the
// field; `w` the label wrapping it (one without a for attribute); `s` the
// label beside it; `n` the text after a checkbox or radio button.
// `labelFor` finds the label a for attribute names (a `labelsFor()` when
// one reading asks for many fields).
const labelTexts = (el, labelFor = firstLabelFor) => {
  const root = el.getRootNode();
  const by = [];
  const ids = el.getAttribute('aria-labelledby');
  if (ids && root.getElementById) {
    for (const id of ids.split(/[ \t\n\f\r]+/)) {
      if (!id) continue;
      const target = root.getElementById(id);
      const t = target ? innerText(target) : null;
      if (typeof t === 'string') by.push(wf(t));
    }
  }
  const id = el.getAttribute('id');
  const forLabel = id ? labelFor(root, id) : null;
  const wrap = el.parentElement ? el.parentElement.closest('label') : null;
  return {
    by,
    f: forLabel ? wf(labelText(forLabel, el)) : null,
    w: wrap && !wrap.hasAttribute('for') ? wf(labelText(wrap, el)) : null,
    s: wf(besideLabel(el)),
    n: wf(followingText(el)),
  };
};

// --- Sibling labels -----------------------------------------------------

// The preceding-sibling and parent-children functions
// (preceding_sibling.js, parent_children.js) for one reading of many
// fields. Asked field by field, they walk back over a field's siblings
// and over its parent's children before it: in a container of thousands
// of fields that grows with their square. Here each sibling's text is read
// once and each answer kept for the fields that share it. Valid as long as
// the page does not change, so made again for every reading.
const siblingLabels = () => {
  // What the preceding-sibling function takes from one sibling: its own
  // text, else its first child's, when short; null: it looks further back.
  const ownText = sib => {
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
    return null;
  };
  // An element and the siblings passed over before the text was found
  // share the answer.
  const before = new Map();
  const preceding = el => {
    const passed = [];
    let found = null;
    for (let at = el; ; ) {
      if (before.has(at)) {
        found = before.get(at);
        break;
      }
      passed.push(at);
      const sib = at.previousElementSibling;
      if (!sib) break;
      found = ownText(sib);
      if (found !== null) break;
      at = sib;
    }
    for (const e of passed) before.set(e, found);
    return found;
  };
  // Per parent: its first child with a short text, and the children up to
  // it, whose answer is null.
  const firstShort = new Map();
  const parentChildren = el => {
    const parent = el.parentElement;
    if (!parent) return null;
    let first = firstShort.get(parent);
    if (!first) {
      first = { upTo: new Set(), text: null };
      for (const child of parent.children) {
        first.upTo.add(child);
        const t = (child.textContent || '').trim();
        if (t && t.length < 50) {
          first.text = t;
          break;
        }
      }
      firstShort.set(parent, first);
    }
    return first.upTo.has(el) ? null : first.text;
  };
  return { preceding, parentChildren };
};

// --- Inline phrases -----------------------------------------------------

// An inline phrase: the element's rendered text is one short line (at most
// 60 characters) made of at least two non-blank pieces (its own text nodes
// and child elements), and every element inside it is laid out inline.
// "<span><strong>2</strong><span> items left</span></span>" is one.
const PHRASE_MAX = 60;
const allInline = el => {
  for (let c = el.firstElementChild; c; c = c.nextElementSibling) {
    const st = styleOf(c);
    if (!st || st.display === 'none') continue;
    if (st.display !== 'inline' || !allInline(c)) return false;
  }
  return true;
};
// `text` is the element's inner text when already read.
const isPhrase = (el, text = innerText(el)) => {
  if (typeof text !== 'string') return false;
  const t = text.trim();
  if (!t || t.length > PHRASE_MAX || /[\n\r]/.test(t)) return false;
  let pieces = 0;
  for (let c = el.firstChild; c; c = c.nextSibling) {
    if (c.nodeType === 3) {
      if (c.data.trim()) pieces++;
      continue;
    }
    if (c.nodeType !== 1) continue;
    const st = styleOf(c);
    if (!st || st.display === 'none') continue;
    if (st.display !== 'inline' || !allInline(c)) return false;
    const own = innerText(c);
    if (typeof own === 'string' && own.trim()) pieces++;
  }
  return pieces >= 2;
};

// --- Icons --------------------------------------------------------------

// An icon's name in words: "arrow-right", "arrow_right" and "mdi:arrow-right"
// read "arrow right". null when the value names nothing.
const iconWords = value => {
  if (typeof value !== 'string') return null;
  let v = value.trim().toLowerCase();
  v = v.slice(v.lastIndexOf(':') + 1);
  if (!/^[a-z0-9][a-z0-9_-]*$/.test(v) || !/[a-z]/.test(v)) return null;
  return v.split(/[-_]+/).filter(Boolean).join(' ');
};

// Icon sets that name the icon in a class: the set's prefix, then the
// name (fa-user, bi-trash, glyphicon-star, mdi-account, feather-bell,
// lucide-trash-2, icon-home). The classes that only size, turn, animate or
// pick a style of the icon name none; neither does the bare set class
// (fa, fas, bi, mdi, icon).
const ICON_CLASS = /^(fa|bi|glyphicon|mdi|feather|lucide|icon)-(.+)$/;
const ICON_STYLES = {
  fa: new Set(('fw lg xs sm xl 2xs 2xl solid regular light thin duotone brands sharp sharp-solid ' +
    'sharp-regular sharp-light sharp-thin sharp-duotone-solid classic spin spin-pulse spin-reverse ' +
    'pulse beat beat-fade bounce fade flip shake border pull-left pull-right pull-start pull-end ' +
    'rotate-by flip-horizontal flip-vertical flip-both stack inverse li ul layers layers-text ' +
    'layers-counter layers-top-left layers-top-right layers-bottom-left layers-bottom-right ' +
    'swap-opacity primary secondary width-auto width-fixed').split(' ')),
  bi: new Set(),
  glyphicon: new Set(),
  mdi: new Set(['spin', 'light', 'dark', 'inactive', 'flip-h', 'flip-v']),
  feather: new Set(),
  lucide: new Set(['icon']),
  // Icon fonts that use the bare prefix (IcoMoon, Font Awesome 3), and the
  // classes of pages that merely style an icon's box.
  icon: new Set(('large small xs sm md lg xl spin fixed-width border muted light dark white inverse ' +
    'stack stack-base flip-horizontal flip-vertical bar link link-hover button btn only wrapper wrap ' +
    'container box holder text label group circle shape bg badge left right').split(' ')),
};
// Sizes and turns written with numbers: fa-2x, fa-w-14, fa-rotate-90,
// fa-stack-1x, mdi-24px, icon-16.
const ICON_STYLE_NUMBERS = /^(\d+x|w-\d+|rotate-\d+|stack-\d+x|\d+px|\d+)$/;
const classIconNames = cls => {
  const names = [];
  for (const token of cls.toLowerCase().split(/[ \t\n\f\r]+/)) {
    const m = ICON_CLASS.exec(token);
    if (!m || ICON_STYLES[m[1]].has(m[2]) || ICON_STYLE_NUMBERS.test(m[2])) continue;
    const name = iconWords(m[2]);
    if (name && !names.includes(name)) names.push(name);
  }
  return names.join(' ') || null;
};

// Material Icons and Material Symbols draw the icon named by their text
// (a ligature): <span class="material-icons">arrow_forward</span>.
const LIGATURE_ICONS = 'mat-icon, [class*="material-icons"], [class*="material-symbols"]';
const LIGATURE_CLASS = /(^|\s)material-(icons|symbols)/;
const ATTRIBUTE_NAMES_ICON = ['data-icon', 'data-feather', 'data-lucide'];
const NO_NAME = new Set(['true', 'false', 'none']);

// The icon one element draws: {name, glyph}, glyph the ligature text it
// shows (or ''), or null when it is no icon. In this order: an attribute
// naming it (Font Awesome's and Iconify's SVG data-icon, Feather's and
// Lucide's placeholders, ion-icon's name, Angular Material's icon name),
// its classes, the ligature it shows, the symbol an SVG <use> draws
// (#icon-trash).
const iconOf = el => {
  const tag = el.localName;
  for (const a of ATTRIBUTE_NAMES_ICON) {
    const v = el.getAttribute(a);
    const name = v && !NO_NAME.has(v.trim().toLowerCase()) ? iconWords(v) : null;
    if (name) return { name, glyph: '' };
  }
  const named = tag === 'ion-icon' ? iconWords(el.getAttribute('name'))
    : tag === 'mat-icon' ? iconWords(el.getAttribute('data-mat-icon-name')) : null;
  if (named) return { name: named, glyph: '' };
  const cls = el.getAttribute('class') || '';
  const fromClass = cls ? classIconNames(cls) : null;
  if (fromClass) return { name: fromClass, glyph: '' };
  if (tag === 'mat-icon' || LIGATURE_CLASS.test(cls)) {
    const glyph = typeof el.innerText === 'string' ? el.innerText.trim() : '';
    return /^[a-z0-9_]+$/.test(glyph) && iconWords(glyph) ? { name: iconWords(glyph), glyph } : null;
  }
  if (tag === 'use') {
    const href = el.getAttribute('href') || el.getAttribute('xlink:href') || '';
    const hash = href.indexOf('#');
    const name = hash < 0 ? null : iconWords(href.slice(hash + 1).replace(/^icons?[-_]/i, ''));
    if (name) return { name, glyph: '' };
  }
  return null;
};

// What may be an icon inside a control.
const ICON_CANDIDATES = '[class], [data-icon], [data-feather], [data-lucide], ion-icon, mat-icon, use';
// Ligatures are short: a control with more text than this shows words.
const ICON_TEXT_MAX = 64;
const FIELD_TAGS = new Set(['input', 'select', 'textarea']);
const DRAWN = { checkVisibilityCSS: true, visibilityProperty: true };

// The name of the icon a control shows when it shows no text of its own
// (its text is blank, or only the ligatures of its icons), or null: the
// names of its icons in order, each once. An icon counts when it is the
// control itself or inside it, not inside another control within it
// (`controls`: the selector of controls), and drawn when the control is.
// `text` is the control's inner text. Fields are named by their labels.
const iconName = (el, text, controls) => {
  if (el.namespaceURI !== XHTML || FIELD_TAGS.has(el.localName) || typeof text !== 'string') return null;
  const blank = !text.trim();
  const ligatures = () => el.matches(LIGATURE_ICONS) || el.querySelector(LIGATURE_ICONS) !== null;
  if (!blank && (text.length > ICON_TEXT_MAX || !ligatures())) return null;
  const drawn = el.checkVisibility(DRAWN);
  const names = [], glyphs = [], taken = [];
  const consider = d => {
    if (taken.some(t => t.contains(d))) return;
    const icon = iconOf(d);
    if (!icon || (d !== el && d.closest(controls) !== el) || (drawn && !d.checkVisibility(DRAWN))) return;
    taken.push(d);
    if (!names.includes(icon.name)) names.push(icon.name);
    if (icon.glyph) glyphs.push(icon.glyph);
  };
  consider(el);
  for (const d of el.querySelectorAll(ICON_CANDIDATES)) consider(d);
  if (!names.length) return null;
  if (!blank) {
    let rest = text;
    for (const g of glyphs) {
      const at = rest.indexOf(g);
      if (at < 0) return null;
      rest = rest.slice(0, at) + ' ' + rest.slice(at + g.length);
    }
    if (rest.trim()) return null;
  }
  return wf(names.join(' '));
};

// --- Pointer-cursor elements --------------------------------------------

// The pointer item of a div, span, li or td drawn with a pointer cursor,
// short text and few descendants, or null. `pathOf` gives its path; `st`,
// `text` and `r` are its style, inner text and bounding rectangle when
// already measured.
const POINTER_TAGS = new Set(['div', 'span', 'li', 'td']);
const pointerItem = (el, off, pathOf, st, text, r) => {
  if (el.namespaceURI !== XHTML || !POINTER_TAGS.has(el.localName)) return null;
  if ((st || styleOf(el)).cursor !== 'pointer') return null;
  const t = (text === undefined ? el.innerText || '' : text || '').trim();
  if (!t || t.length > 60) return null;
  if (el.querySelectorAll('*').length > 10) return null;
  const rect = r || el.getBoundingClientRect();
  if (rect.width <= 0 || rect.height <= 0) return null;
  const path = pathOf(el);
  if (path === null) return null;
  return {
    tag: wf(el.tagName.toLowerCase()), text: wf(t), xpath: path,
    x: Math.round(rect.x + off[0]), y: Math.round(rect.y + off[1]),
    w: Math.round(rect.width), h: Math.round(rect.height),
    cls: wf(el.getAttribute('class') || ''), aria: wf(el.getAttribute('aria-label') || ''),
  };
};

// A path step's name, as the element-path function takes it.
const stepName = elementPath.stepName;

return {
  XHTML, wf, replaceLone, squeeze, stepName, elementPath, styleOf, shown, isShown, isFrame,
  frameDocument, frameOffset, walk, countThrough, innerText, labelText, labelsFor, labelTexts, besideLabel,
  followingText, siblingLabels, isPhrase, pointerItem, iconWords, iconOf, iconName,
};
}

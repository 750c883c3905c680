arg => {
const XHTML = 'http://www.w3.org/1999/xhtml';
// The direct-text function, without building the child list.
const directText = el => {
  for (let n = el.firstChild; n; n = n.nextSibling)
    if (n.nodeType === 3 && n.textContent.trim().length > 0) return true;
  return false;
};

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
// `st` is the element's computed style; `rect` gives its bounding
// rectangle, measured once per element.
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

const upper = el => String(el.tagName).toUpperCase();
const parentOrHost = el => {
  if (el.parentElement) return el.parentElement;
  const p = el.parentNode;
  return p && p.nodeType === 11 && p.host ? p.host : null;
};
const closestAcross = (el, css) => {
  for (let e = el; e; ) {
    const hit = e.closest(css);
    if (hit) return hit;
    let top = e;
    while (top.parentElement) top = top.parentElement;
    e = parentOrHost(top);
  }
  return null;
};
const FORM_CONTROLS = ['BUTTON', 'INPUT', 'SELECT', 'TEXTAREA', 'OPTION', 'OPTGROUP'];
const nativelyDisabled = el => {
  if (!FORM_CONTROLS.includes(upper(el))) return false;
  if (el.hasAttribute('disabled')) return true;
  if (upper(el) === 'OPTION' && el.closest('optgroup[disabled]')) return true;
  const fieldset = el.closest('fieldset[disabled]');
  if (!fieldset) return false;
  const legend = fieldset.querySelector(':scope > legend');
  return !legend || !legend.contains(el);
};
const ROLES = ('alert alertdialog application article banner blockquote button caption cell ' +
  'checkbox code columnheader combobox complementary contentinfo definition deletion dialog ' +
  'directory document emphasis feed figure form generic grid gridcell group heading img ' +
  'insertion link list listbox listitem log main mark marquee math meter menu menubar menuitem ' +
  'menuitemcheckbox menuitemradio navigation none note option paragraph presentation ' +
  'progressbar radio radiogroup region row rowgroup rowheader scrollbar search searchbox ' +
  'separator slider spinbutton status strong subscript superscript switch tab table tablist ' +
  'tabpanel term textbox time timer toolbar tooltip tree treegrid treeitem').split(' ');
const DISABLEABLE = ('application button composite gridcell group input link menuitem scrollbar ' +
  'separator tab checkbox columnheader combobox grid listbox menu menubar menuitemcheckbox ' +
  'menuitemradio option radio radiogroup row rowheader searchbox select slider spinbutton ' +
  'switch tablist textbox toolbar tree treegrid treeitem').split(' ');
const GLOBAL_ARIA = ['aria-atomic', 'aria-busy', 'aria-controls', 'aria-current',
  'aria-describedby', 'aria-details', 'aria-dropeffect', 'aria-flowto', 'aria-grabbed',
  'aria-hidden', 'aria-keyshortcuts', 'aria-label', 'aria-labelledby', 'aria-live', 'aria-owns',
  'aria-relevant', 'aria-roledescription'];
const explicitRole = el => {
  const tokens = (el.getAttribute('role') || '').toLowerCase().split(' ').map(r => r.trim());
  return tokens.find(r => ROLES.includes(r)) || null;
};
const hasTabIndex = el => !Number.isNaN(Number(String(el.getAttribute('tabindex'))));
const nativelyFocusable = el => {
  const t = upper(el);
  if (['BUTTON', 'DETAILS', 'SELECT', 'TEXTAREA'].includes(t)) return true;
  if (t === 'A' || t === 'AREA') return el.hasAttribute('href');
  if (t === 'INPUT') return !el.hidden;
  return false;
};
const keepsRole = el => GLOBAL_ARIA.some(a => el.hasAttribute(a)) ||
  (!nativelyDisabled(el) && (nativelyFocusable(el) || hasTabIndex(el)));
// Implicit roles, as far as they decide whether aria-disabled applies.
const tagRole = el => {
  switch (upper(el)) {
    case 'A': case 'AREA': return el.hasAttribute('href') ? 'link' : null;
    case 'BUTTON': return 'button';
    case 'DATALIST': return 'listbox';
    case 'DETAILS': case 'FIELDSET': case 'OPTGROUP': return 'group';
    case 'HR': return 'separator';
    case 'INPUT': return String(el.type).toLowerCase() === 'hidden' ? null : 'textbox';
    case 'OPTION': return 'option';
    case 'SELECT': return 'combobox';
    case 'TEXTAREA': return 'textbox';
    case 'TR': return 'row';
    case 'TD': {
      const table = closestAcross(el, 'table');
      const role = table ? explicitRole(table) : '';
      return role === 'grid' || role === 'treegrid' ? 'gridcell' : 'cell';
    }
    case 'TH': {
      const scope = el.getAttribute('scope');
      if (scope === 'row' || scope === 'rowgroup') return 'rowheader';
      if (scope === 'col' || scope === 'colgroup') return 'columnheader';
      if (!el.nextElementSibling && !el.previousElementSibling) {
        const row = el.parentElement && upper(el.parentElement) === 'TR' ? el.parentElement : null;
        const table = row ? closestAcross(row, 'table') : null;
        if (table && table.rows.length <= 1) return null;
      }
      return 'columnheader';
    }
  }
  return null;
};
const INHERITS_PRESENTATION = { TD: ['TR'], TH: ['TR'], TR: ['THEAD', 'TBODY', 'TFOOT', 'TABLE'],
  THEAD: ['TABLE'], TBODY: ['TABLE'], TFOOT: ['TABLE'] };
const implicitRole = el => {
  const role = tagRole(el);
  if (!role) return null;
  for (let a = el; ; ) {
    const parent = parentOrHost(a);
    const parents = INHERITS_PRESENTATION[upper(a)];
    if (!parents || !parent || !parents.includes(upper(parent))) break;
    const pr = explicitRole(parent);
    if ((pr === 'none' || pr === 'presentation') && !keepsRole(parent)) return pr;
    a = parent;
  }
  return role;
};
const roleOf = el => {
  const explicit = explicitRole(el);
  if (!explicit) return implicitRole(el);
  if ((explicit === 'none' || explicit === 'presentation') && keepsRole(el)) return implicitRole(el);
  return explicit;
};
const ariaDisabledChain = el => {
  for (let e = el; e; e = parentOrHost(e)) {
    const v = (e.getAttribute('aria-disabled') || '').toLowerCase();
    if (v === 'true') return true;
    if (v === 'false') return false;
  }
  return false;
};
const stateTarget = el => {
  let e = el;
  if (!e.matches('input, textarea, select') && !e.isContentEditable)
    e = e.closest('button, [role=button], [role=checkbox], [role=radio]') || e;
  if (!e.matches('a, input, textarea, button, select, option, optgroup, [role=link], ' +
                 '[role=button], [role=checkbox], [role=radio]') && !e.isContentEditable) {
    const label = e.closest('label');
    if (label && label.control) e = label.control;
  }
  return e;
};
const enabled = el => {
  const e = stateTarget(el);
  if (nativelyDisabled(e)) return false;
  return !(ariaDisabledChain(e) && DISABLEABLE.includes(roleOf(e) || ''));
};
const innerText = el => el.namespaceURI === XHTML ? el.innerText : null;
// An element without client rectangles has no box; the bounding rectangle
// is all zeros exactly then, or for a zero-size box at the origin.
const boxOf = (el, r) => {
  if (!r.x && !r.y && !r.width && !r.height && !el.getClientRects().length) return null;
  return [r.x, r.y, r.width, r.height];
};

const paths = new Map();
const stepIndex = new Map();
const indexChildren = parent => {
  const counts = new Map();
  for (let c = parent.firstElementChild; c; c = c.nextElementSibling) {
    const n = (counts.get(c.tagName) || 0) + 1;
    counts.set(c.tagName, n);
    stepIndex.set(c, n);
  }
};
const xpathOf = el => {
  let p = paths.get(el);
  if (p !== undefined) return p;
  const parent = el.parentNode;
  if (!stepIndex.has(el)) {
    if (parent) indexChildren(parent); else stepIndex.set(el, 1);
  }
  const step = el.tagName.toLowerCase() + '[' + stepIndex.get(el) + ']';
  p = (parent && parent.nodeType === 1 ? xpathOf(parent) : '') + '/' + step;
  paths.set(el, p);
  return p;
};

const firstMatch = css => {
  const search = root => {
    const hit = root.querySelector(css);
    if (hit) return hit;
    for (const e of root.querySelectorAll('*'))
      if (e.shadowRoot) {
        const h = search(e.shadowRoot);
        if (h) return h;
      }
    return null;
  };
  return search(document);
};
const lookedUp = (cache, id, css) => {
  if (cache.has(id)) return;
  const el = firstMatch(css);
  cache.set(id, el ? (el.namespaceURI === XHTML ? el.innerText : false) : null);
};
const ids = new Map();
const fors = new Map();
const cssString = s => '"' + s.replace(/[\\"]/g, '\\$&').replace(/[\x01-\x1f\x7f]/g,
  c => '\\' + c.charCodeAt(0).toString(16) + ' ') + '"';
const gatherLabel = (el, rec) => {
  const by = el.getAttribute('aria-labelledby');
  if (by)
    for (const id of by.split(/[ \t\n\f\r]+/))
      if (id) lookedUp(ids, id, '#' + CSS.escape(id));
  const id = el.getAttribute('id');
  if (id) lookedUp(fors, id, 'label[for=' + cssString(id) + ']');
  rec.ps = precedingSibling(el);
  rec.pc = parentChildren(el);
};

const names = Object.keys(arg.groups);
const selectors = names.map(n => arg.groups[n]);
const groups = {};
for (const n of names) groups[n] = [];
const nodes = [];
const index = new Map();
// `light`: the element is in the document's own tree, not in a shadow one.
const visit = (el, light) => {
  for (let g = 0; g < names.length; g++) {
    if (!el.matches(selectors[g])) continue;
    let i = index.get(el);
    if (i === undefined) {
      i = nodes.length;
      index.set(el, i);
      nodes.push({ el, light, groups: new Set() });
    }
    nodes[i].groups.add(names[g]);
    groups[names[g]].push(i);
  }
  for (let c = el.firstElementChild; c; c = c.nextElementSibling) visit(c, light);
  if (el.shadowRoot)
    for (let c = el.shadowRoot.firstElementChild; c; c = c.nextElementSibling) visit(c, false);
};
if (document.documentElement) visit(document.documentElement, true);

// White space that both the page and the engine trim: text made only of it
// is surely empty to the rules, anything else may not be.
const BLANK = /^[\t\n\v\f\r \u00a0\u1680\u2000-\u200a\u2028\u2029\u202f\u205f\u3000]*$/;
const wanted = new Set(arg.attributes);
const attributesOf = el => {
  const out = [];
  if (!el.hasAttributes()) return out;
  for (const a of el.attributes)
    if (wanted.has(a.name) || a.name.startsWith('data-')) out.push([a.name, a.value]);
  return out;
};
// Paths go as the number of steps shared with the path sent before (the
// elements come in document order, so that is most of them) and the rest.
let sentPath = '';
const pathAfter = p => {
  const prev = sentPath;
  sentPath = p;
  let n = 0;
  const m = Math.min(p.length, prev.length);
  while (n < m && p.charCodeAt(n) === prev.charCodeAt(n)) n++;
  const atStep = i => i === p.length ? i === prev.length || prev[i] === '/' : p[i] === '/' && (i === prev.length || prev[i] === '/');
  while (n > 0 && !atStep(n)) n--;
  let steps = 0;
  for (let i = 0; i < n; i++) if (p.charCodeAt(i) === 47) steps++;
  return [steps, p.slice(n)];
};
// Each element answers what the rules of its groups will ask of it, and no
// more: a hidden text element only its visibility, a blank one its text
// (and its box when it may caption a field).
// The node keeps what was measured (st, r, it) for the pointer items.
const records = nodes.map(node => {
  const { el, groups: g } = node;
  const native = g.has('interactable'), custom = g.has('custom');
  const rect = () => node.r || (node.r = el.getBoundingClientRect());
  node.st = styleOf(el);
  const rec = { v: el.isConnected && shown(el, node.st, rect) };
  const text = rec.v && (g.has('text') || g.has('label'));
  if (native || rec.v) rec.i = node.it = innerText(el);
  const written = text && rec.i !== null && !BLANK.test(rec.i);
  if (native || custom || written || (rec.v && g.has('label'))) rec.b = boxOf(el, rect());
  const described = native || custom || (written && g.has('text') && rec.b !== null);
  if (described) {
    rec.t = tagOf(el);
    const a = attributesOf(el);
    if (a.length) rec.a = a;  // a tag without attributes: gathered, there are none
  }
  if (native || (custom && rec.v) || (described && g.has('text'))) rec.x = pathAfter(xpathOf(el));
  if (native) rec.e = enabled(el);
  if (described && rec.v && g.has('text')) rec.d = directText(el);
  if ((native && (rec.t === 'input' || rec.t === 'textarea')) || (rec.v && custom)) gatherLabel(el, rec);
  return rec;
});
// The cursor-pointer script's items, from what the elements measured: when
// the text group was gathered, every div, span, li and td of the document
// is among the nodes, in document order.
const POINTER_TAGS = 'div, span, li, td';
const pointerFromNodes = () => {
  const results = [];
  const seen = new Set();
  for (const node of nodes) {
    const el = node.el;
    if (!node.light || !el.matches(POINTER_TAGS)) continue;
    if ((node.st || window.getComputedStyle(el)).cursor !== 'pointer') continue;
    const text = (('it' in node ? node.it : el.innerText) || '').trim();
    if (!text || text.length > 60) continue;
    if (el.querySelectorAll('*').length > 10) continue;
    const r = node.r || el.getBoundingClientRect();
    if (r.width <= 0 || r.height <= 0) continue;
    const xpath = xpathOf(el);
    if (seen.has(xpath)) continue;
    seen.add(xpath);
    results.push({
      tag: el.tagName.toLowerCase(), text, xpath,
      x: Math.round(r.x), y: Math.round(r.y), w: Math.round(r.width), h: Math.round(r.height),
      cls: el.getAttribute('class') || '', aria: el.getAttribute('aria-label') || ''
    });
  }
  return results;
};
const out = { groups, ids: Array.from(ids), fors: Array.from(fors) };
if (arg.pointer) {
  try {
    out.pointer = 'text' in arg.groups ? pointerFromNodes() : pointerItems();
  } catch (e) {
    out.pointer = null;
  }
}
return JSON.stringify(records) + '\n' + JSON.stringify(out);
}

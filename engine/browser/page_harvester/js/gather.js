// The fast reading: one pass over the page gathers, for every element of
// the requested groups, the answers the extraction rules will ask of it,
// and no more. The answer's format is written down in answer_format.md
// beside the C++ that reads it (fast_reads.cpp).
//
// `arg`: {groups: {name: selector}, pointer: bool, attributes: [names],
// text: {tags: [...], never: [...]}}. The text group takes no selector:
// its members are the elements of one of text.tags or with text of their
// own, never one of text.never.
arg => {
const { wf, stepName, styleOf, shown, frameDocument, frameOffset, innerText, labelTexts, isPhrase,
  pointerItem, iconName } = lib;

// The direct-text function, without building the child list.
const directText = el => {
  for (let n = el.firstChild; n; n = n.nextSibling)
    if (n.nodeType === 3 && n.textContent.trim().length > 0) return true;
  return false;
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
// The driver's enabled state: native disabled state with fieldsets and
// optgroups, aria-disabled for roles that take it, the state of the
// control a label or button stands for.
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
// An element without client rectangles has no box; the bounding rectangle
// is all zeros exactly then, or for a zero-size box at the origin. Boxes
// are in top-page coordinates: `off` is the offset of the element's frame.
const boxOf = (el, r, off) => {
  if (!r.x && !r.y && !r.width && !r.height && !el.getClientRects().length) return null;
  return [r.x + off[0], r.y + off[1], r.width, r.height];
};

// Paths, each element's built on its parent's (the host's for the top of
// a shadow tree, the frame element's for a frame's root); null when some
// step has no valid name.
const paths = new Map();
const stepIndex = new Map();
const frameOf = new Map();  // a frame's document -> the frame element it was reached from
const indexChildren = parent => {
  const counts = new Map();
  for (let c = parent.firstElementChild; c; c = c.nextElementSibling) {
    const key = c.namespaceURI + ' ' + c.localName;
    const n = (counts.get(key) || 0) + 1;
    counts.set(key, n);
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
  let up = '';
  if (parent && parent.nodeType === 1) {
    up = xpathOf(parent);
  } else if (parent && parent.nodeType === 11 && parent.host) {
    const host = xpathOf(parent.host);
    up = host === null ? null : host + '/#shadow-root';
  } else if (parent && parent.nodeType === 9 && frameOf.has(parent)) {
    const frame = xpathOf(frameOf.get(parent));
    up = frame === null ? null : frame + '/#document';
  }
  const name = stepName(el);
  p = name === null || up === null ? null : up + '/' + name + '[' + stepIndex.get(el) + ']';
  paths.set(el, p);
  return p;
};

const names = Object.keys(arg.groups);
const selectors = names.map(n => arg.groups[n]);
const textTags = new Set(arg.text.tags);
const neverText = new Set(arg.text.never);
const inText = el => {
  const tag = tagOf(el);
  return !neverText.has(tag) && (textTags.has(tag) || directText(el));
};
const groups = {};
for (const n of names) groups[n] = [];
const nodes = [];
const index = new Map();
const visit = (el, off) => {
  for (let g = 0; g < names.length; g++) {
    if (!(names[g] === 'text' ? inText(el) : el.matches(selectors[g]))) continue;
    let i = index.get(el);
    if (i === undefined) {
      i = nodes.length;
      index.set(el, i);
      nodes.push({ el, off, groups: new Set() });
    }
    nodes[i].groups.add(names[g]);
    groups[names[g]].push(i);
  }
  for (let c = el.firstElementChild; c; c = c.nextElementSibling) visit(c, off);
  if (el.shadowRoot)
    for (let c = el.shadowRoot.firstElementChild; c; c = c.nextElementSibling) visit(c, off);
  const inner = frameDocument(el);
  if (inner) {
    frameOf.set(inner, el);
    visit(inner.documentElement, frameOffset(el, off));
  }
};
if (document.documentElement) visit(document.documentElement, [0, 0]);

// White space that both the page and the engine trim: text made only of it
// is surely empty to the rules, anything else may not be.
const BLANK = /^[\t\n\v\f\r \u00a0\u1680\u2000-\u200a\u2028\u2029\u202f\u205f\u3000]*$/;
const wanted = new Set(arg.attributes);
const attributesOf = el => {
  const out = [];
  if (!el.hasAttributes()) return out;
  for (const a of el.attributes)
    if (wanted.has(a.name) || a.name.startsWith('data-')) out.push([wf(a.name), wf(a.value)]);
  return out;
};
// Paths go as the number of steps shared with the path sent before (the
// elements come in document order, so that is most of them) and the rest.
let sentPath = '';
const pathAfter = p => {
  if (p === null) return null;
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
const LABELLED = new Set(['input', 'textarea', 'select']);
const labelFor = lib.labelsFor();
const siblings = lib.siblingLabels();
// Each element answers what the rules of its groups will ask of it, and no
// more: a hidden text element its visibility alone, a blank one its text
// (and its box when it may caption a field).
// The node keeps what was measured (st, r, it) for the pointer items.
const records = nodes.map(node => {
  const { el, groups: g, off } = node;
  const native = g.has('interactable'), custom = g.has('custom'), text = g.has('text'), label = g.has('label');
  const rect = () => node.r || (node.r = el.getBoundingClientRect());
  node.st = styleOf(el);
  const rec = {};
  rec.v = el.isConnected && shown(el, node.st, rect);
  if (native || custom || (text && rec.v)) rec.t = wf(tagOf(el));
  if (text && rec.v) rec.d = directText(el);
  if (native || rec.v) rec.i = wf(node.it = innerText(el));
  const written = rec.v && (text || label) && rec.i !== null && !BLANK.test(rec.i);
  if (native || custom || written || (rec.v && label)) rec.b = boxOf(el, rect(), off);
  const described = text && written && rec.b !== null;
  if (native || custom || described) rec.a = attributesOf(el);
  if (native || (custom && rec.v) || described) rec.x = pathAfter(xpathOf(el));
  if (native) rec.e = enabled(el);
  if (native) rec.ic = iconName(el, node.it, arg.groups.interactable);
  if (described && !rec.d) rec.p = isPhrase(el, node.it);
  if ((native && LABELLED.has(rec.t)) || (custom && rec.v)) {
    const l = labelTexts(el, labelFor);
    rec.lb = l.by;
    rec.lf = l.f;
    rec.lw = l.w;
    rec.ls = l.s;
    rec.ln = l.n;
    rec.ps = wf(siblings.preceding(el));
    rec.pc = wf(siblings.parentChildren(el));
  }
  return rec;
});
// The pointer items, from what the elements measured: when the text group
// was gathered, every div, span, li and td of the page is among its nodes,
// in the driver's order.
const pointerFromNodes = () => {
  const results = [];
  const seen = new Set();
  for (const node of nodes) {
    const item = pointerItem(node.el, node.off, xpathOf, node.st, 'it' in node ? node.it : undefined, node.r);
    if (!item || seen.has(item.xpath)) continue;
    seen.add(item.xpath);
    results.push(item);
  }
  return results;
};
const out = { groups };
if (arg.pointer) {
  try {
    out.pointer = 'text' in arg.groups ? pointerFromNodes() : pointerItems();
  } catch (e) {
    out.pointer = null;
  }
}
return JSON.stringify(records) + '\n' + JSON.stringify(out);
}

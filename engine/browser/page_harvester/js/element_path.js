// The element's absolute path: /html[1]/body[1]/div[2], every step the
// lower-case name and the 1-based index among the preceding siblings of
// the same name; the host's path and "#shadow-root" before the steps in an
// open shadow tree, the frame element's path and "#document" before the
// steps in a frame's document. null when some step has no valid name.
// The function carries its step-name test as `stepName`.
(() => {
  const XHTML = 'http://www.w3.org/1999/xhtml';
  // A step's name: an HTML element's plain lower-case name, prefixed ones
  // (<x:button>) included, which the driver finds again (a prefixed name
  // by walking, since XPath reads the prefix as a namespace). Any other
  // name (another namespace, upper case, the punctuation a script can put
  // in a made-up element's name) makes no step, and the element no path.
  const STEP_NAME = /^[a-z][a-z0-9._-]*(:[a-z][a-z0-9._-]*)?$/;
  const stepName = el => el.namespaceURI === XHTML && STEP_NAME.test(el.localName) ? el.localName : null;
  const sameName = (a, b) => a.localName === b.localName && a.namespaceURI === b.namespaceURI;
  const elementPath = el => {
    let path = '';
    for (let node = el; node;) {
      const name = stepName(node);
      if (name === null) return null;
      let n = 1;
      for (let s = node.previousElementSibling; s; s = s.previousElementSibling) if (sameName(s, node)) n++;
      path = '/' + name + '[' + n + ']' + path;
      const parent = node.parentNode;
      if (!parent) return path;
      if (parent.nodeType === 1) {
        node = parent;
      } else if (parent.nodeType === 11 && parent.host) {
        path = '/#shadow-root' + path;
        node = parent.host;
      } else if (parent.nodeType === 9) {
        let frame = null;
        try {
          frame = parent.defaultView && parent.defaultView.frameElement;
        } catch (e) {
          frame = null;
        }
        if (!frame) return path;
        path = '/#document' + path;
        node = frame;
      } else {
        return path;
      }
    }
    return path;
  };
  elementPath.stepName = stepName;
  return elementPath;
})()

// For the exact reading of a frame element: whether its document is read
// (same origin and drawn), and how many elements matching `css` the
// driver lists in its own document up to the end of it.
(el, css) => ({ read: lib.frameDocument(el) !== null, through: lib.countThrough(el, css) })
